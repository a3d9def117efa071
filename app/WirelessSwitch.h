#ifndef WIRELESSSWITCH_H
#define WIRELESSSWITCH_H

#include <QObject>
#include <QString>

#include "adb/AdbProcess.h"

// Switches a USB device to wireless adb: reads its wireless address, restarts its adb daemon to
// listen on the network, and connects there. Each step starts when the one before has reported,
// on a runner of its own; the first step that fails ends the switch and is reported once.
class WirelessSwitch : public QObject
{
    Q_OBJECT
public:
    // After "tcpip" answers, the device's adb daemon restarts to listen on the network; a connection
    // tried earlier finds nothing there.
    static constexpr int kDaemonRestartMs = 1000;
    // After "connect" answers, the time the new serial takes to be listed as ready.
    static constexpr int kConnectSettleMs = 2000;

    explicit WirelessSwitch(QObject* parent = nullptr);

    // False, and nothing done, while a switch is under way.
    bool start(const QString& serial);
    bool isRunning() const { return m_running; }

signals:
    // The device can now be listed under its wireless serial.
    void switched(const QString& wirelessSerial);
    void failed(const QString& why);

private:
    void onAddress(dvk::AdbProcess::ADB_EXEC_RESULT result, dvk::AdbProcess* runner);
    void enableWireless();
    void onEnabled(dvk::AdbProcess::ADB_EXEC_RESULT result, dvk::AdbProcess* runner);
    void connectWireless();
    void onConnected(dvk::AdbProcess::ADB_EXEC_RESULT result, dvk::AdbProcess* runner);
    void succeed();
    void fail(const QString& why);

    QString m_serial;
    QString m_host;
    bool m_running = false;
};

#endif // WIRELESSSWITCH_H

#ifndef WIRELESSSTART_H
#define WIRELESSSTART_H

#include <QCoreApplication>
#include <QObject>
#include <QString>
#include <QTimer>

#include "adb/AdbProcess.h"

// Brings the device to mirror onto Wi-Fi before mirroring starts. Without an address, the
// attached USB device is switched to wireless adb as the Wireless button does (its Wi-Fi address,
// adb tcpip, adb connect); with one, that address is connected. Each step starts when the
// previous one reports.
class WirelessStart : public QObject
{
    Q_OBJECT
public:
    // After a switch, adb on the device restarts: the connection is tried this often before it fails.
    static constexpr int kConnectAttempts = 5;
    static constexpr int kConnectRetryMs = 1000;

    // usbSerial: the USB device to switch, empty for the attached one. address: "IP:PORT" to
    // connect instead of switching a USB device.
    WirelessStart(const QString& usbSerial, const QString& address, QObject* parent = nullptr);

    void start();

signals:
    void progress(const QString& text);
    // The wireless serial to mirror.
    void ready(const QString& serial);
    // Names the step that failed and what adb said.
    void failed(const QString& why);

private:
    enum Step {
        STEP_IDLE,
        STEP_FIND_USB,
        STEP_READ_ADDRESS,
        STEP_SWITCH,
        STEP_CONNECT,
    };

    // The runner to start the step's command on.
    dvk::AdbProcess& runStep(Step step);
    void onAdbResult(dvk::AdbProcess::ADB_EXEC_RESULT result);
    void findUsbDevice();
    void onDevices();
    void onAddress();
    void onSwitched();
    void connectAddress();
    void onConnected(bool exitOk);
    void fail(const QString& why);
    QString adbSaid();

    QString m_usbSerial;
    QString m_address;
    // The address is ours to switch to, so adb on the device may still be restarting.
    bool m_switched = false;
    bool m_waitTold = false;
    int m_connectAttempts = 0;
    Step m_step = STEP_IDLE;
    dvk::AdbProcess m_adb;
    QTimer m_pollTimer;
};

#endif // WIRELESSSTART_H

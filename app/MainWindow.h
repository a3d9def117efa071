#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include <QPointer>
#include <QSize>
#include <QStringList>
#include <QTimer>

#include "DeviceWindow.h"
#include "adb/AdbProcess.h"
#include "device/DeviceParams.h"
#include "LaunchOptions.h"

class LogoWidget;
class Reconnection;
class WirelessSwitch;

// The first window: finds attached devices by polling adb, connects one, and shows it. While it
// shows none, it shows the logo and polls. Every adb command runs on a runner of its own and is
// followed up when it reports; the wireless switch and the reconnection are step sequences of their own.
class MainWindow : public DeviceWindow
{
    Q_OBJECT
public:
    // The options are those of the command line; a window made without them behaves as a start without options.
    explicit MainWindow(const LaunchOptions& options = LaunchOptions(), QWidget* parent = nullptr);
    ~MainWindow() override;

    // Whether a device connecting now is shown here: one this window connected itself, else any
    // (or the one named on the command line) while it shows none.
    bool takes(const QString& serial) const;

    // The index of the first serial that is (wireless) or is not (!wireless) a wireless one, or -1.
    static int findSerial(const QStringList& serials, bool wireless);
    // The size an "adb shell wm size" output overrides the screen with; invalid when it names none.
    static QSize overrideSizeFromOutput(const QString& output);

protected:
    void deviceLeft(const QString& serial) override;
    bool tellsNoticesOf(const QString& serial) const override;
    void onSwitchWireless() override;
    void closeEvent(QCloseEvent* event) override;

private slots:
    void onUpdateDevice();
    void onGetSize();
    void onDeviceConnected(bool success, const QString& serial, const QString& deviceName, const QSize& size);

private:
    // Construction steps, in order.
    void startPolling();
    void connectSignals();

    void onDevicesListed(dvk::AdbProcess::ADB_EXEC_RESULT result, dvk::AdbProcess* runner);
    void onSizeAnswered(dvk::AdbProcess::ADB_EXEC_RESULT result, dvk::AdbProcess* runner);
    void checkOverrideSize(const QString& output);
    void autoConnect();
    void showLogoWidget();

    void updateDevice();
    void disconnectDevice();
    void reConnect();
    void onReadyToReconnect();
    void onWirelessSwitched();
    void onWirelessFailed();

    // The device shown last, kept after it has gone: the reconnection and the end of the program act on it.
    QString m_currentSerial;
    // Connected by this window and not yet reported: it is shown here whatever the window shows.
    QString m_requested;
    QStringList m_devicesList;
    // The commands in flight; a tick that finds its command still running waits for it.
    QPointer<dvk::AdbProcess> m_devicesQuery;
    QPointer<dvk::AdbProcess> m_sizeQuery;
    // A listing asked for while one ran: its answer may predate what changed, so it runs again.
    bool m_listAgain = false;
    QSize m_overrideSize{-1, -1};
    int m_sizeQueryCount = 0;
    // After a wireless switch, the wireless serial is chosen among several.
    bool m_wirelessSwitch = false;
    QPointer<WirelessSwitch> m_switch;
    QPointer<Reconnection> m_reconnection;
    QTimer m_updateDeviceTimer;
    QTimer m_getSizeTimer;
    QPointer<LogoWidget> m_logoWidget;
};

#endif // MAINWINDOW_H

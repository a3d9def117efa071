#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include <QMainWindow>
#include <QPointer>
#include <QSet>
#include <QSize>
#include <QStringList>
#include <QTimer>

#include "adb/AdbProcess.h"
#include "device/DeviceParams.h"
#include "device/DeviceObserver.h"
#include "device/IDevice.h"
#include "LaunchOptions.h"

class LogoWidget;
class Reconnection;
class ToolBar;
class VideoForm;
class WirelessSwitch;

namespace Ui {
class MainWindow;
}

// The only top-level window: finds attached devices by polling adb, connects one, and shows it
// with the tool bar beside it. Every adb command runs on a runner of its own and is followed up
// when it reports; the wireless switch and the reconnection are step sequences of their own.
class MainWindow : public QMainWindow, public dvk::DeviceObserver
{
    Q_OBJECT
public:
    // The options are those of the command line; a window made without them behaves as a start without options.
    explicit MainWindow(const LaunchOptions& options = LaunchOptions(), QWidget* parent = nullptr);
    ~MainWindow() override;

    // The index of the first serial that is (wireless) or is not (!wireless) a wireless one, or -1.
    static int findSerial(const QStringList& serials, bool wireless);
    // The size an "adb shell wm size" output overrides the screen with; invalid when it names none.
    static QSize overrideSizeFromOutput(const QString& output);

    static const QString& getServerPath();
    // What the window says for a device's notice; empty when it says nothing.
    static QString noticeText(const QString& serial, dvk::IDevice::Notice notice, const QString& detail);

    void gameModeChanged(bool on) override;

private slots:
    void onUpdateDevice();
    void onGetSize();
    void onDeviceConnected(bool success, const QString& serial, const QString& deviceName, const QSize& size);
    void onDeviceDisconnected(QString serial);
    void onSwitchFullScreen();
    void onNoticeConnect();
    void onSwitchWireless();
    void onFrameSizeChanged(const QSize& size);
    void onDeviceNotice(const QString& serial, dvk::IDevice::Notice notice, const QString& detail);

private:
    // Construction steps, in order.
    void initWindow();
    void initLook();
    void startPolling();
    void connectSignals();
    void initToolbar();
    void installShortcut();

    void onDevicesListed(dvk::AdbProcess::ADB_EXEC_RESULT result, dvk::AdbProcess* runner);
    void onSizeAnswered(dvk::AdbProcess::ADB_EXEC_RESULT result, dvk::AdbProcess* runner);
    void checkOverrideSize(const QString& output);
    void autoConnect();
    dvk::DeviceParams deviceParams(const QString& serial) const;
    void showVideoForm();
    void showLogoWidget();
    void detachVideoForm();
    void switchFullScreen(bool full);
    void showNotice(const QString& text);
    bool currentDeviceLive() const;

    void updateDevice();
    void disconnectDevice();
    void reConnect();
    void onReadyToReconnect();
    void onWirelessSwitched();
    void onWirelessFailed();

    Ui::MainWindow* ui = nullptr;
    const LaunchOptions m_options;
    bool m_fullScreen = false;
    // Asked for on the command line; taken once the first device is shown.
    bool m_startFullScreen = false;
    QString m_currentSerial;
    QStringList m_devicesList;
    // The commands in flight; a tick that finds its command still running waits for it.
    QPointer<dvk::AdbProcess> m_devicesQuery;
    QPointer<dvk::AdbProcess> m_sizeQuery;
    // A listing asked for while one ran: its answer may predate what changed, so it runs again.
    bool m_listAgain = false;
    QSize m_overrideSize{-1, -1};
    int m_sizeQueryCount = 0;
    // Failures already told, so that a device failing at every poll is told once.
    QSet<QString> m_failuresTold;
    // After a wireless switch, the wireless serial is chosen among several.
    bool m_wirelessSwitch = false;
    QPointer<WirelessSwitch> m_switch;
    QPointer<Reconnection> m_reconnection;
    // Whether the window was placed for the connection's first picture.
    bool m_windowPlaced = false;
    QTimer m_updateDeviceTimer;
    QTimer m_getSizeTimer;
    QPointer<ToolBar> m_toolForm;
    QPointer<VideoForm> m_videoForm;
    QPointer<LogoWidget> m_logoWidget;
};

#endif // MAINWINDOW_H

#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include <QMainWindow>
#include <QPointer>
#include <QSet>
#include <QSize>
#include <QStringList>
#include <QTimer>

#include "adb/AdbProcess.h"
#include "device/DeviceObserver.h"
#include "device/DeviceParams.h"
#include "device/IDevice.h"
#include "LaunchOptions.h"

class LogoWidget;
class ToolBar;
class VideoForm;

namespace Ui {
class MainWindow;
}

// The only top-level window: finds attached devices by polling adb, connects one, and shows it
// with the tool bar beside it.
class MainWindow : public QMainWindow, public dvk::DeviceObserver
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
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

    void onAdbResult(dvk::AdbProcess::ADB_EXEC_RESULT result);
    void checkOverrideSize(const QString& output);
    void autoConnect();
    int findDeviceFromeSerialBox(bool wireless);
    dvk::DeviceParams deviceParams(const QString& serial) const;
    void showVideoForm();
    void showLogoWidget();
    void detachVideoForm();
    void switchFullScreen(bool full);
    void showNotice(const QString& text);
    bool currentDeviceLive() const;

    void runAdb(const QString& serial, const QStringList& args);
    void updateDevice();
    void getIP();
    void startAdbd();
    void connectWireless();
    void disconnectDevice();
    void reConnect();
    void delayMs(int ms);

    Ui::MainWindow* ui = nullptr;
    bool m_fullScreen = false;
    // Asked for on the command line; taken once the first device is shown.
    bool m_startFullScreen = LaunchOptions::current().fullscreen;
    QString m_currentSerial;
    QString m_deviceIP;
    QStringList m_devicesList;
    QSize m_overrideSize{-1, -1};
    int m_sizeQueryCount = 0;
    // Failures already told, so that a device failing at every poll is told once.
    QSet<QString> m_failuresTold;
    bool m_wirelessSwitch = false;
    // Whether the window was placed for the connection's first picture.
    bool m_windowPlaced = false;
    dvk::AdbProcess m_adb;
    QTimer m_updateDeviceTimer;
    QTimer m_getSizeTimer;
    QPointer<ToolBar> m_toolForm;
    QPointer<VideoForm> m_videoForm;
    QPointer<LogoWidget> m_logoWidget;
};

#endif // MAINWINDOW_H

#ifndef DEVICEWINDOW_H
#define DEVICEWINDOW_H

#include <QMainWindow>
#include <QPointer>
#include <QSet>
#include <QSize>
#include <QString>

#include "LaunchOptions.h"
#include "device/DeviceObserver.h"
#include "device/IDevice.h"

class DeviceTitle;
class ToolBar;
class VideoForm;

namespace Ui {
class DeviceWindow;
}

// A top-level window showing one connected device: its picture with the quick bar and the
// shortcuts, the tool bar beside it, full screen, the device's notices and a title that names
// it. Closing the window disconnects its device; the device going closes the window. The main
// window is one of these that also finds devices and waits for them.
class DeviceWindow : public QMainWindow, public dvk::DeviceObserver
{
    Q_OBJECT
public:
    explicit DeviceWindow(const LaunchOptions& options = LaunchOptions(), QWidget* parent = nullptr);
    ~DeviceWindow() override;

    // Puts a connected device in the window, in place of whatever it showed. model: the device's
    // model for the title; empty leaves it out.
    void showDevice(const QString& serial, const QString& model);
    // The device shown; empty while none is.
    const QString& serial() const { return m_serial; }
    // The window that shows the serial's device, if any.
    static DeviceWindow* showing(const QString& serial);

    static const QString& getServerPath();
    // What the window says for a device's notice; empty when it says nothing.
    static QString noticeText(const QString& serial, dvk::IDevice::Notice notice, const QString& detail);

    void gameModeChanged(bool on) override;

protected:
    // The shown device has gone and the window shows none: this one closes.
    virtual void deviceLeft(const QString& serial);
    // Whether the window tells a notice about this serial.
    virtual bool tellsNoticesOf(const QString& serial) const;
    // The quick bar's wireless button.
    virtual void onSwitchWireless();
    void closeEvent(QCloseEvent* event) override;

    void switchFullScreen(bool full);
    bool deviceLive() const;
    // Takes the shown device out of the window: no frame, title or notice of it reaches the window after.
    void leaveDevice();
    VideoForm* videoForm() const;
    const LaunchOptions& options() const { return m_options; }

private slots:
    void onDeviceDisconnected(QString serial);
    void onDeviceNotice(const QString& serial, dvk::IDevice::Notice notice, const QString& detail);
    void onSwitchFullScreen();
    void onNoticeConnect();
    void onFrameSizeChanged(const QSize& size);

private:
    // Construction steps, in order.
    void initWindow();
    void initLook();
    void initToolbar();
    void installShortcut();
    void applyOptions();

    void showVideoForm();
    void detachVideoForm();
    void showNotice(const QString& text);

    Ui::DeviceWindow* ui = nullptr;
    const LaunchOptions m_options;
    QString m_serial;
    bool m_fullScreen = false;
    // Asked for on the command line; taken once the first device is shown.
    bool m_startFullScreen = false;
    // Whether the window was placed for the connection's first picture.
    bool m_windowPlaced = false;
    // Failures already told, so that a device failing at every poll is told once.
    QSet<QString> m_failuresTold;
    QPointer<ToolBar> m_toolForm;
    QPointer<VideoForm> m_videoForm;
    QPointer<DeviceTitle> m_title;
};

#endif // DEVICEWINDOW_H

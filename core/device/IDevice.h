#ifndef IDEVICE_H
#define IDEVICE_H

#include <QObject>
#include <QSize>
#include <QString>

class QKeyEvent;
class QMouseEvent;
class QWheelEvent;

namespace dvk {

class DeviceObserver;

// What windows and tools see of one device connection. They look it up by serial each time
// (the registry) and never keep it.
class IDevice : public QObject
{
    Q_OBJECT
public:
    // What a device tells its user besides connecting and disconnecting.
    enum Notice {
        NOTICE_SHELL_FALLBACK, // mirrored with the device's own tools: no server could run
        NOTICE_NOT_AVAILABLE,  // an action this connection cannot carry out (detail names it)
        NOTICE_TEXT_DROPPED,   // characters the device's input command cannot type were left out
        NOTICE_FAILED,         // the connection could not start or ended (detail says why)
    };
    Q_ENUM(Notice)

    explicit IDevice(QObject* parent = nullptr);
    ~IDevice() override;

    virtual void setUserData(void* data) = 0;
    virtual void* getUserData() = 0;
    virtual void registerDeviceObserver(DeviceObserver* observer) = 0;
    virtual void deRegisterDeviceObserver(DeviceObserver* observer) = 0;

    // True when the start has been scheduled; the outcome arrives through deviceConnected.
    virtual bool connectDevice() = 0;
    virtual void disconnectDevice() = 0;

    virtual void mouseEvent(const QMouseEvent* from, const QSize& frameSize, const QSize& showSize) = 0;
    virtual void wheelEvent(const QWheelEvent* from, const QSize& frameSize, const QSize& showSize) = 0;
    virtual void keyEvent(const QKeyEvent* from, const QSize& frameSize, const QSize& showSize) = 0;

    virtual void postGoBack() = 0;
    virtual void postGoHome() = 0;
    virtual void postGoMenu() = 0;
    virtual void postAppSwitch() = 0;
    virtual void postPower() = 0;
    virtual void postVolumeUp() = 0;
    virtual void postVolumeDown() = 0;
    virtual void postCopy() = 0;
    virtual void postCut() = 0;
    virtual void setScreenPowerMode(bool open) = 0;
    virtual void expandNotificationPanel() = 0;
    virtual void collapsePanel() = 0;
    virtual void postBackOrScreenOn(bool down) = 0;
    virtual void postTextInput(QString& text) = 0;
    virtual void requestDeviceClipboard() = 0;
    virtual void setDeviceClipboard(bool paste) = 0;
    virtual void clipboardPaste() = 0;
    virtual void pushFileRequest(const QString& file, const QString& devicePath) = 0;
    virtual void installApkRequest(const QString& apkFile) = 0;

    virtual void screenshot() = 0;
    virtual void showTouch(bool show) = 0;
    virtual bool isReversePort(quint16 port) = 0;
    virtual const QString& getSerial() = 0;
    virtual void updateScript(QString script) = 0;
    virtual bool isCurrentCustomKeymap() = 0;

signals:
    void deviceConnected(bool success, const QString& serial, const QString& deviceName, const QSize& size);
    void deviceDisconnected(QString serial);
    // A screenshot was written to path; opened tells whether a program was started to show it.
    void screenshotSaved(const QString& path, bool opened);
    void deviceNotice(const QString& serial, dvk::IDevice::Notice notice, const QString& detail);
};

} // namespace dvk

#endif // IDEVICE_H

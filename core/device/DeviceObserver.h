#ifndef DEVICEOBSERVER_H
#define DEVICEOBSERVER_H

#include <QSize>
#include <QString>

#include <cstdint>

class QKeyEvent;
class QMouseEvent;
class QWheelEvent;

namespace dvk {

// Receives what a device reports (pictures, frame rate, cursor-grab requests) and, after the
// device has carried them out, a repeat of its operations. Override only what is needed.
class DeviceObserver
{
public:
    DeviceObserver() = default;
    virtual ~DeviceObserver();

    // Runs with the decoder's frame buffer locked: copy what is needed before returning.
    virtual void onFrame(int width, int height, uint8_t* dataY, uint8_t* dataU, uint8_t* dataV, int linesizeY,
                         int linesizeU, int linesizeV)
    {
        Q_UNUSED(width) Q_UNUSED(height) Q_UNUSED(dataY) Q_UNUSED(dataU) Q_UNUSED(dataV) Q_UNUSED(linesizeY)
        Q_UNUSED(linesizeU) Q_UNUSED(linesizeV)
    }
    virtual void updateFPS(quint32 fps) { Q_UNUSED(fps) }
    virtual void grabCursor(bool grab) { Q_UNUSED(grab) }
    // The keymap's game mode went on or off.
    virtual void gameModeChanged(bool on) { Q_UNUSED(on) }

    virtual void mouseEvent(const QMouseEvent* from, const QSize& frameSize, const QSize& showSize)
    {
        Q_UNUSED(from) Q_UNUSED(frameSize) Q_UNUSED(showSize)
    }
    virtual void wheelEvent(const QWheelEvent* from, const QSize& frameSize, const QSize& showSize)
    {
        Q_UNUSED(from) Q_UNUSED(frameSize) Q_UNUSED(showSize)
    }
    virtual void keyEvent(const QKeyEvent* from, const QSize& frameSize, const QSize& showSize)
    {
        Q_UNUSED(from) Q_UNUSED(frameSize) Q_UNUSED(showSize)
    }

    virtual void postGoBack() {}
    virtual void postGoHome() {}
    virtual void postGoMenu() {}
    virtual void postAppSwitch() {}
    virtual void postPower() {}
    virtual void postVolumeUp() {}
    virtual void postVolumeDown() {}
    virtual void postCopy() {}
    virtual void postCut() {}
    virtual void setScreenPowerMode(bool open) { Q_UNUSED(open) }
    virtual void expandNotificationPanel() {}
    virtual void collapsePanel() {}
    virtual void postBackOrScreenOn(bool down) { Q_UNUSED(down) }
    virtual void postTextInput(QString& text) { Q_UNUSED(text) }
    virtual void requestDeviceClipboard() {}
    virtual void setDeviceClipboard(bool paste) { Q_UNUSED(paste) }
    virtual void clipboardPaste() {}
    virtual void pushFileRequest(const QString& file, const QString& devicePath)
    {
        Q_UNUSED(file) Q_UNUSED(devicePath)
    }
    virtual void installApkRequest(const QString& apkFile) { Q_UNUSED(apkFile) }
    virtual void screenshot() {}
    virtual void showTouch(bool show) { Q_UNUSED(show) }

private:
    Q_DISABLE_COPY(DeviceObserver)
};

} // namespace dvk

#endif // DEVICEOBSERVER_H

#ifndef DEVICETESTSUPPORT_H
#define DEVICETESTSUPPORT_H

#include <QDir>
#include <QSize>
#include <QString>
#include <QStringList>

#include <atomic>

#include "LogCapture.h"
#include "SimDevice.h"
#include "SimDeviceParams.h"
#include "device/DeviceObserver.h"
#include "device/DeviceParams.h"

// Counts pictures and keeps the size of the last one.
class FrameObserver : public dvk::DeviceObserver
{
public:
    void onFrame(int width, int height, uint8_t*, uint8_t*, uint8_t*, int, int, int) override
    {
        lastSize = QSize(width, height);
        ++frames;
    }

    std::atomic<int> frames{0};
    QSize lastSize;
};

// Also records the name of every repeated operation, in order.
class CallObserver : public FrameObserver
{
public:
    void grabCursor(bool) override { calls << "grabCursor"; }
    void mouseEvent(const QMouseEvent*, const QSize&, const QSize&) override { calls << "mouseEvent"; }
    void wheelEvent(const QWheelEvent*, const QSize&, const QSize&) override { calls << "wheelEvent"; }
    void keyEvent(const QKeyEvent*, const QSize&, const QSize&) override { calls << "keyEvent"; }
    void postGoBack() override { calls << "postGoBack"; }
    void postGoHome() override { calls << "postGoHome"; }
    void postGoMenu() override { calls << "postGoMenu"; }
    void postAppSwitch() override { calls << "postAppSwitch"; }
    void postPower() override { calls << "postPower"; }
    void postVolumeUp() override { calls << "postVolumeUp"; }
    void postVolumeDown() override { calls << "postVolumeDown"; }
    void postCopy() override { calls << "postCopy"; }
    void postCut() override { calls << "postCut"; }
    void setScreenPowerMode(bool) override { calls << "setScreenPowerMode"; }
    void expandNotificationPanel() override { calls << "expandNotificationPanel"; }
    void collapsePanel() override { calls << "collapsePanel"; }
    void postBackOrScreenOn(bool) override { calls << "postBackOrScreenOn"; }
    void postTextInput(QString&) override { calls << "postTextInput"; }
    void requestDeviceClipboard() override { calls << "requestDeviceClipboard"; }
    void setDeviceClipboard(bool) override { calls << "setDeviceClipboard"; }
    void clipboardPaste() override { calls << "clipboardPaste"; }
    void pushFileRequest(const QString&, const QString&) override { calls << "pushFileRequest"; }
    void installApkRequest(const QString&) override { calls << "installApkRequest"; }
    void screenshot() override { calls << "screenshot"; }
    void showTouch(bool) override { calls << "showTouch"; }

    QStringList calls;
};

// The files of one kind in a folder, newest last.
inline QStringList filesIn(const QString& folder, const QString& pattern)
{
    return QDir(folder).entryList({pattern}, QDir::Files, QDir::Time | QDir::Reversed);
}

#endif // DEVICETESTSUPPORT_H

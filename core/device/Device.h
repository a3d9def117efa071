#ifndef DEVICE_H
#define DEVICE_H

#include <QElapsedTimer>
#include <QPointer>
#include <QSet>
#include <QTimer>

#include <atomic>

#include "device/DeviceParams.h"
#include "device/IDevice.h"
#include "filehandler/FileHandler.h"

struct AVPacket;

namespace dvk {

class Controller;
class Decoder;
class Recorder;
class ScreenRecordStream;
class Server;
class ShellConnection;
class Stream;
class VideoSocket;

// One connection to one device: owns the server bring-up, stream thread, decoder,
// controller, file handler and recorder, wires them together and starts and stops them.
class Device : public IDevice
{
    Q_OBJECT
public:
    // How long the stream may go on reading after the server process has ended.
    static constexpr int kStreamDrainMs = 2000;
    // How long a deliberate disconnection may wait for the last frames of a recording.
    static constexpr int kRecordingDrainMs = 500;

    explicit Device(DeviceParams params, QObject* parent = nullptr);
    ~Device() override;

    void setUserData(void* data) override;
    void* getUserData() override;
    void registerDeviceObserver(DeviceObserver* observer) override;
    void deRegisterDeviceObserver(DeviceObserver* observer) override;

    bool connectDevice() override;
    void disconnectDevice() override;

    void mouseEvent(const QMouseEvent* from, const QSize& frameSize, const QSize& showSize) override;
    void wheelEvent(const QWheelEvent* from, const QSize& frameSize, const QSize& showSize) override;
    void keyEvent(const QKeyEvent* from, const QSize& frameSize, const QSize& showSize) override;

    void postGoBack() override;
    void postGoHome() override;
    void postGoMenu() override;
    void postAppSwitch() override;
    void postPower() override;
    void postVolumeUp() override;
    void postVolumeDown() override;
    void postCopy() override;
    void postCut() override;
    void setScreenPowerMode(bool open) override;
    void expandNotificationPanel() override;
    void collapsePanel() override;
    void postBackOrScreenOn(bool down) override;
    void postTextInput(QString& text) override;
    void requestDeviceClipboard() override;
    void setDeviceClipboard(bool paste) override;
    void clipboardPaste() override;
    void pushFileRequest(const QString& file, const QString& devicePath) override;
    void installApkRequest(const QString& apkFile) override;

    void screenshot() override;
    void showTouch(bool show) override;
    bool isReversePort(quint16 port) override;
    const QString& getSerial() override;
    void updateScript(QString script) override;
    bool isCurrentCustomKeymap() override;

    bool saveFrame(int width, int height, uint8_t* rgb32);

private slots:
    void onServerStarted(bool success, const QString& deviceName, const QSize& size);
    void onShellStream(dvk::ScreenRecordStream* stream);
    void onShellStarted(bool success, const QString& deviceName, const QSize& size, const QString& reason);
    void onShellStopped(const QString& reason);
    void showStillPicture(const QImage& image);
    void onServerStoped();
    void onStreamStop();
    void onFileHandlerResult(dvk::FileHandler::FILE_HANDLER_RESULT processResult, bool isApk);

private:
    void initSignals();
    void startConnection();
    bool shellFirst();
    void fallBackToShell();
    void startServer();
    void startShell();
    void connectShellInput();
    // Tells the listeners; false when the device cannot go on (failed, disconnected or deleted).
    bool reportStart(bool success, const QString& deviceName, const QSize& size);
    void logStartTime();
    void startRecording(const QSize& size);
    void onRecordTimeLimit();
    void stopRecording();
    void drainStreamIntoRecording();
    QString recordFolder() const;
    QString timestampedName(const QString& suffix) const;

    // Called on the stream thread.
    qint32 recvVideoData(quint8* buf, qint32 bufSize);
    void onStreamFrame(AVPacket* packet);
    void onStreamConfigFrame(AVPacket* packet);

    template <typename F> void forEachObserver(F&& call);
    // Carries an operation out on a component, then repeats it to every observer;
    // a device without that component (no display) does neither.
    template <typename Component, typename Act, typename Tell> void forward(Component* component, Act&& act, Tell&& tell);
    template <typename... ActArgs, typename... TellArgs, typename... Args>
    void forwardToController(void (Controller::*act)(ActArgs...), void (DeviceObserver::*tell)(TellArgs...),
                             Args&&... args);

    // Also the sign that the device has not been disconnected yet, whichever way it connects.
    QPointer<Server> m_server;
    QPointer<ShellConnection> m_shell;
    QPointer<Decoder> m_decoder;
    QPointer<Controller> m_controller;
    QPointer<FileHandler> m_fileHandler;
    QPointer<Stream> m_stream;
    QPointer<Recorder> m_recorder;

    bool m_serverStartSuccess = false;
    // A start is scheduled or the bring-up runs; a second start would restart it midway.
    bool m_startPending = false;
    QElapsedTimer m_startTimeCount;
    DeviceParams m_params;
    QSet<DeviceObserver*> m_deviceObservers;
    void* m_userData = nullptr;

    // The socket the stream thread reads. Set on the GUI thread before the thread starts
    // and cleared only after it has ended, so the stream thread never reads a guarded
    // pointer that the GUI thread is changing.
    VideoSocket* m_streamSocket = nullptr;
    QTimer m_recordLimit;
    // Set on the GUI thread once the recording is finished while the stream goes on; the stream
    // thread then hands the recorder nothing more.
    std::atomic<bool> m_recordingEnded{false};
};

} // namespace dvk

#endif // DEVICE_H

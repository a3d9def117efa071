#include "device/Device.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

#include "AppPath.h"
#include "adb/AdbProcess.h"
#include "controller/Controller.h"
#include "controller/DeviceMsgReader.h"
#include "decoder/Decoder.h"
#include "device/DeviceObserver.h"
#include "device/DeviceSerial.h"
#include "recorder/Recorder.h"
#include "server/Server.h"
#include "server/Stream.h"
#include "server/VideoSocket.h"
#include "shell/ScreenRecordStream.h"
#include "shell/ShellConnection.h"

namespace dvk {

Device::Device(DeviceParams params, QObject* parent) : IDevice(parent), m_params(std::move(params))
{
    if (m_params.display) {
        m_decoder = new Decoder(
            [this](int width, int height, uint8_t* dataY, uint8_t* dataU, uint8_t* dataV, int linesizeY,
                   int linesizeU, int linesizeV) {
                forEachObserver([&](DeviceObserver* observer) {
                    observer->onFrame(width, height, dataY, dataU, dataV, linesizeY, linesizeU, linesizeV);
                });
            },
            this);
        m_fileHandler = new FileHandler(this);
    }
    // A view-only device has no controller, so no input of any kind can reach it.
    if (m_params.display && m_params.control) {
        m_controller = new Controller(
            [this](const QByteArray& bytes) -> qint64 {
                QTcpSocket* socket = m_server ? m_server->getControlSocket() : nullptr;
                if (!socket) {
                    return 0;
                }
                const qint64 written = socket->write(bytes);
                // Out now: left to the socket, the bytes wait for the event loop's next turn, which
                // comes only after every window due for a repaint has swapped its buffers.
                socket->flush();
                return written;
            },
            m_params.gameScript, this);
    }
    if (!m_params.display && !m_params.recordFile) {
        qCritical("not display must be recorded");
        return;
    }

    m_stream = new Stream([this](quint8* buf, qint32 bufSize) { return recvVideoData(buf, bufSize); }, this);
    m_server = new Server(this);

    if (m_params.recordFile && !m_params.recordFileName.isEmpty()) {
        m_recorder = new Recorder(m_params.recordFileName, Recorder::formatFromName(m_params.recordFileFormat), this);
    } else if (m_params.recordFile && !m_params.recordPath.trimmed().isEmpty()) {
        const QString fileName = QDir(recordFolder()).absoluteFilePath(timestampedName(m_params.recordFileFormat));
        m_recorder = new Recorder(QDir::cleanPath(fileName), this);
    }
    initSignals();
}

Device::~Device()
{
    disconnectDevice();
}

void Device::initSignals()
{
    if (m_controller) {
        connect(m_controller, &Controller::grabCursor, this,
                [this](bool grab) { forEachObserver([grab](DeviceObserver* observer) { observer->grabCursor(grab); }); });
        connect(m_controller, &Controller::gameModeChanged, this, [this](bool on) {
            forEachObserver([on](DeviceObserver* observer) { observer->gameModeChanged(on); });
        });
    }
    if (m_fileHandler) {
        connect(m_fileHandler, &FileHandler::fileHandlerResult, this, &Device::onFileHandlerResult);
    }
    if (m_server) {
        connect(m_server, &Server::serverStarted, this, &Device::onServerStarted);
        connect(m_server, &Server::serverStoped, this, &Device::onServerStoped);
    }
    if (m_stream) {
        connect(m_stream, &Stream::onStreamStop, this, &Device::onStreamStop, Qt::QueuedConnection);
        // The packet is valid only during the emission, on the stream thread.
        connect(m_stream, &Stream::getFrame, this, [this](AVPacket* packet) { onStreamFrame(packet); },
                Qt::DirectConnection);
        connect(m_stream, &Stream::getConfigFrame, this, [this](AVPacket* packet) { onStreamConfigFrame(packet); },
                Qt::DirectConnection);
    }
    m_recordLimit.setSingleShot(true);
    connect(&m_recordLimit, &QTimer::timeout, this, &Device::onRecordTimeLimit);
    if (m_decoder) {
        connect(m_decoder, &Decoder::updateFPS, this,
                [this](quint32 fps) { forEachObserver([fps](DeviceObserver* observer) { observer->updateFPS(fps); }); });
    }
}

template <typename F> void Device::forEachObserver(F&& call)
{
    // An observer may deregister itself or another one from inside its callback.
    const QSet<DeviceObserver*> observers = m_deviceObservers;
    for (DeviceObserver* observer : observers) {
        if (m_deviceObservers.contains(observer)) {
            call(observer);
        }
    }
}

void Device::setUserData(void* data)
{
    m_userData = data;
}

void* Device::getUserData()
{
    return m_userData;
}

void Device::registerDeviceObserver(DeviceObserver* observer)
{
    if (observer) {
        m_deviceObservers.insert(observer);
    }
}

void Device::deRegisterDeviceObserver(DeviceObserver* observer)
{
    m_deviceObservers.remove(observer);
}

bool Device::connectDevice()
{
    if (!m_server || m_serverStartSuccess || m_startPending) {
        return false;
    }
    m_startPending = true;
    QTimer::singleShot(0, this, [this]() { startConnection(); });
    return true;
}

void Device::startConnection()
{
    if (!m_server) {
        m_startPending = false;
        return;
    }
    m_startTimeCount.start();
    if (shellFirst()) {
        startShell();
        return;
    }
    startServer();
}

bool Device::shellFirst()
{
    const QString& mode = m_params.connection;
    if (mode == QLatin1String(defaults::kConnectionShell)) {
        return true;
    }
    if (mode != QLatin1String(defaults::kConnectionAuto)) {
        return false;
    }
    if (ShellConnection::fallsBack(m_params.serial)) {
        return true;
    }
    if (QFileInfo::exists(m_params.serverLocalPath)) {
        return false;
    }
    qInfo("%s", qUtf8Printable(QStringLiteral("no server file at %1").arg(m_params.serverLocalPath)));
    fallBackToShell();
    return true;
}

void Device::fallBackToShell()
{
    qInfo("%s", qUtf8Printable(QStringLiteral("%1: mirroring with the device's own screen recorder")
                                   .arg(m_params.serial)));
    ShellConnection::rememberFallback(m_params.serial);
    emit deviceNotice(m_params.serial, NOTICE_SHELL_FALLBACK, QString());
}

void Device::startServer()
{
    m_server->start(m_params);
}

void Device::onServerStarted(bool success, const QString& deviceName, const QSize& size)
{
    if (!success && m_server && m_server->startRefused()
        && m_params.connection == QLatin1String(defaults::kConnectionAuto)) {
        // The device cannot run our server: its own tools take over, in the same connection.
        m_server->stop();
        fallBackToShell();
        startShell();
        return;
    }
    if (!success && m_server) {
        emit deviceNotice(m_params.serial, NOTICE_FAILED, m_server->failureReason());
    }
    if (!reportStart(success, deviceName, size)) {
        return;
    }
    logStartTime();
    if (m_recorder) {
        startRecording(size);
    }
    if (m_decoder) {
        m_decoder->open();
    }
    m_streamSocket = m_server->getVideoSocket();
    m_stream->startDecode();

    QTcpSocket* controlSocket = m_server->getControlSocket();
    if (m_controller && controlSocket) {
        DeviceMsgReader::attach(controlSocket, m_controller);
    }
    if (m_params.closeScreen && m_params.display && m_controller) {
        m_controller->setScreenPowerMode(ControlMsg::SCREEN_POWER_OFF);
    }
}

bool Device::reportStart(bool success, const QString& deviceName, const QSize& size)
{
    m_startPending = false;
    // A report from a bring-up that was torn down meanwhile has nobody left to inform.
    if (!m_server) {
        return false;
    }
    m_serverStartSuccess = success;

    QPointer<Device> self(this);
    emit deviceConnected(success, m_params.serial, deviceName, size);
    // A listener may have disconnected or deleted the device.
    if (!self || !m_server) {
        return false;
    }
    if (!success) {
        m_server->stop();
        return false;
    }
    return true;
}

void Device::logStartTime()
{
    const double seconds = m_startTimeCount.elapsed() / 1000.0;
    qInfo("%s", qUtf8Printable(QStringLiteral("server start finish in %1s")
                                   .arg(QString::number(seconds, 'g', QLocale::FloatingPointShortest))));
}

void Device::startShell()
{
    static bool s_ignoredTold = false;
    if (!s_ignoredTold && (!m_params.crop.isEmpty() || m_params.displayId != 0)) {
        s_ignoredTold = true;
        qInfo("crop and display id are ignored when mirroring with the device's own screen recorder");
    }
    m_shell = new ShellConnection(m_params.serial, m_params.bitRate, m_params.maxSize, this);
    connect(m_shell, &ShellConnection::streamCreated, this, &Device::onShellStream);
    connect(m_shell, &ShellConnection::started, this, &Device::onShellStarted);
    connect(m_shell, &ShellConnection::stopped, this, &Device::onShellStopped);
    connect(m_shell, &ShellConnection::stillPicture, this, &Device::showStillPicture);
    m_shell->start();
}

void Device::showStillPicture(const QImage& image)
{
    if (!m_decoder) {
        return;
    }
    ScreenCapture::Planes planes = ScreenCapture::toPlanes(image);
    const int width = planes.size.width();
    forEachObserver([&](DeviceObserver* observer) {
        observer->onFrame(width, planes.size.height(), planes.y.data(), planes.u.data(), planes.v.data(), width,
                          width / 2, width / 2);
    });
}

void Device::onShellStream(ScreenRecordStream* stream)
{
    // The packet is valid only during the emission, on the stream thread.
    connect(stream, &Stream::getFrame, this, [this](AVPacket* packet) { onStreamFrame(packet); },
            Qt::DirectConnection);
    connect(stream, &Stream::getConfigFrame, this, [this](AVPacket* packet) { onStreamConfigFrame(packet); },
            Qt::DirectConnection);
    // Frames come from the moment the recorder starts, before its picture size is known here.
    if (m_decoder) {
        m_decoder->open();
    }
}

void Device::onShellStarted(bool success, const QString& deviceName, const QSize& size, const QString& reason)
{
    if (!success) {
        emit deviceNotice(m_params.serial, NOTICE_FAILED, reason);
    }
    if (!reportStart(success, deviceName, size)) {
        return;
    }
    logStartTime();
    // The recorder queues what the stream has already handed it and writes it once open.
    if (m_recorder) {
        startRecording(size);
    }
    connectShellInput();
    if (m_params.closeScreen && m_params.display && m_controller) {
        m_controller->setScreenPowerMode(ControlMsg::SCREEN_POWER_OFF);
    }
}

void Device::connectShellInput()
{
    ShellInput* input = m_shell ? m_shell->input() : nullptr;
    if (!input || !m_controller) {
        return;
    }
    QPointer<ShellInput> guarded(input);
    m_controller->setMessageSink([guarded](const ControlMsg& msg) {
        if (guarded) {
            guarded->send(msg);
        }
    });
    connect(input, &ShellInput::missing, this, [this](ShellInput::Missing what) {
        static const char* const names[] = {"clipboard", "screen-off", "second-finger"};
        emit deviceNotice(m_params.serial, NOTICE_NOT_AVAILABLE, QString::fromLatin1(names[what]));
    });
    connect(input, &ShellInput::textDropped, this,
            [this]() { emit deviceNotice(m_params.serial, NOTICE_TEXT_DROPPED, QString()); });
}

void Device::onShellStopped(const QString& reason)
{
    if (!reason.isEmpty()) {
        emit deviceNotice(m_params.serial, NOTICE_FAILED, reason);
    }
    disconnectDevice();
}

void Device::startRecording(const QSize& size)
{
    m_recorder->setFrameSize(size);
    if (!m_recorder->open()) {
        qCritical("Could not open recorder");
    }
    if (!m_recorder->startRecorder()) {
        qCritical("Could not start recorder");
    }
    if (m_params.recordTimeLimit > 0) {
        m_recordLimit.start(int(m_params.recordTimeLimit * 1000));
    }
}

void Device::onRecordTimeLimit()
{
    qInfo("%s", qUtf8Printable(QStringLiteral("recording time limit of %1 s reached").arg(m_params.recordTimeLimit)));
    if (!m_params.display) {
        // Recording is all such a connection does: it ends as when its user stops it.
        disconnectDevice();
        return;
    }
    // The mirror goes on; only the file is finished.
    m_recordingEnded = true;
    stopRecording();
}

void Device::stopRecording()
{
    m_recordLimit.stop();
    if (!m_recorder) {
        return;
    }
    if (m_recorder->isRunning()) {
        m_recorder->stopRecorder();
        m_recorder->wait();
    }
    m_recorder->close();
}

void Device::drainStreamIntoRecording()
{
    if (!m_recorder || !m_streamSocket || !m_stream || !m_stream->isRunning()) {
        return;
    }
    // Frames the device has already sent belong in the recording: stop the sender, take in what
    // is still on its way, and let the stream thread finish with it before the socket closes.
    m_server->endServerProcess();
    m_streamSocket->drain(kRecordingDrainMs);
    m_stream->stopDecode();
}

void Device::onServerStoped()
{
    if (m_server && m_stream && m_stream->isRunning()) {
        // The server's last frames may still be on their way through the video socket, and
        // the stream's own end disconnects once it has read them. A stream that never ends
        // must not keep the connection up, though.
        QTimer::singleShot(kStreamDrainMs, this, [this]() { disconnectDevice(); });
        qDebug("server process stop");
        return;
    }
    disconnectDevice();
    qDebug("server process stop");
}

void Device::onStreamStop()
{
    disconnectDevice();
    qDebug("stream thread stop");
}

void Device::disconnectDevice()
{
    if (!m_server) {
        qDebug() << "disconnectDevice m_server: " << m_server.data();
        return;
    }
    drainStreamIntoRecording();
    if (m_shell) {
        m_shell->stop();
        m_shell->deleteLater();
        m_shell = nullptr;
    }
    if (m_controller) {
        m_controller->setMessageSink(nullptr);
    }
    // Closing the video socket releases the stream thread's pending read, so the waits below end.
    m_server->stop();
    m_server = nullptr;
    m_startPending = false;
    if (m_stream) {
        m_stream->stopDecode();
    }
    m_streamSocket = nullptr;
    if (m_decoder) {
        m_decoder->close();
    }
    stopRecording();
    qInfo() << "disconnectDevice m_serverStartSuccess:" << m_serverStartSuccess;
    // Cleared before the emission: a listener may delete the device.
    m_serverStartSuccess = false;
    emit deviceDisconnected(m_params.serial);
}

qint32 Device::recvVideoData(quint8* buf, qint32 bufSize)
{
    return m_streamSocket ? m_streamSocket->subThreadRecvData(buf, bufSize) : 0;
}

void Device::onStreamFrame(AVPacket* packet)
{
    if (m_decoder && !m_decoder->push(packet)) {
        qCritical("Could not send packet to decoder");
    }
    // Once the recording has failed every packet is refused: say so for the first, the recorder counts the rest.
    if (m_recorder && !m_recordingEnded && !m_recorder->push(packet) && m_recorder->refusedPackets() == 1) {
        qCritical("Could not send packet to recorder: %s", qUtf8Printable(m_recorder->failureReason()));
    }
}

void Device::onStreamConfigFrame(AVPacket* packet)
{
    if (m_recorder && !m_recordingEnded && !m_recorder->push(packet) && m_recorder->refusedPackets() == 1) {
        qCritical("Could not send config packet to recorder: %s", qUtf8Printable(m_recorder->failureReason()));
    }
}

void Device::onFileHandlerResult(FileHandler::FILE_HANDLER_RESULT processResult, bool isApk)
{
    const QString kind = isApk ? QStringLiteral("install apk") : QStringLiteral("file transfer");
    QString text;
    switch (processResult) {
    case FileHandler::FAR_IS_RUNNING:
        text = QStringLiteral("wait current %1 to complete").arg(kind);
        break;
    case FileHandler::FAR_SUCCESS_EXEC:
        text = QStringLiteral("%1 complete, save in %2").arg(kind, m_params.pushFilePath);
        break;
    case FileHandler::FAR_ERROR_EXEC:
        text = QStringLiteral("%1 failed").arg(kind);
        break;
    }
    qInfo("%s", qUtf8Printable(text));
}

template <typename Component, typename Act, typename Tell>
void Device::forward(Component* component, Act&& act, Tell&& tell)
{
    if (!component) {
        return;
    }
    act(component);
    forEachObserver(tell);
}

template <typename... ActArgs, typename... TellArgs, typename... Args>
void Device::forwardToController(void (Controller::*act)(ActArgs...), void (DeviceObserver::*tell)(TellArgs...),
                                 Args&&... args)
{
    forward(
        m_controller.data(), [&](Controller* controller) { (controller->*act)(args...); },
        [&](DeviceObserver* observer) { (observer->*tell)(args...); });
}

void Device::mouseEvent(const QMouseEvent* from, const QSize& frameSize, const QSize& showSize)
{
    forwardToController(&Controller::mouseEvent, &DeviceObserver::mouseEvent, from, frameSize, showSize);
}

void Device::wheelEvent(const QWheelEvent* from, const QSize& frameSize, const QSize& showSize)
{
    forwardToController(&Controller::wheelEvent, &DeviceObserver::wheelEvent, from, frameSize, showSize);
}

void Device::keyEvent(const QKeyEvent* from, const QSize& frameSize, const QSize& showSize)
{
    forwardToController(&Controller::keyEvent, &DeviceObserver::keyEvent, from, frameSize, showSize);
}

void Device::postGoBack()
{
    forwardToController(&Controller::postGoBack, &DeviceObserver::postGoBack);
}

void Device::postGoHome()
{
    forwardToController(&Controller::postGoHome, &DeviceObserver::postGoHome);
}

void Device::postGoMenu()
{
    forwardToController(&Controller::postGoMenu, &DeviceObserver::postGoMenu);
}

void Device::postAppSwitch()
{
    forwardToController(&Controller::postAppSwitch, &DeviceObserver::postAppSwitch);
}

void Device::postPower()
{
    forwardToController(&Controller::postPower, &DeviceObserver::postPower);
}

void Device::postVolumeUp()
{
    forwardToController(&Controller::postVolumeUp, &DeviceObserver::postVolumeUp);
}

void Device::postVolumeDown()
{
    forwardToController(&Controller::postVolumeDown, &DeviceObserver::postVolumeDown);
}

void Device::postCopy()
{
    forwardToController(&Controller::copy, &DeviceObserver::postCopy);
}

void Device::postCut()
{
    forwardToController(&Controller::cut, &DeviceObserver::postCut);
}

void Device::expandNotificationPanel()
{
    forwardToController(&Controller::expandNotificationPanel, &DeviceObserver::expandNotificationPanel);
}

void Device::collapsePanel()
{
    forwardToController(&Controller::collapsePanel, &DeviceObserver::collapsePanel);
}

void Device::requestDeviceClipboard()
{
    forwardToController(&Controller::requestDeviceClipboard, &DeviceObserver::requestDeviceClipboard);
}

void Device::clipboardPaste()
{
    forwardToController(&Controller::clipboardPaste, &DeviceObserver::clipboardPaste);
}

void Device::postBackOrScreenOn(bool down)
{
    forwardToController(&Controller::postBackOrScreenOn, &DeviceObserver::postBackOrScreenOn, down);
}

void Device::setDeviceClipboard(bool paste)
{
    forwardToController(&Controller::setDeviceClipboard, &DeviceObserver::setDeviceClipboard, paste);
}

void Device::postTextInput(QString& text)
{
    forwardToController(&Controller::postTextInput, &DeviceObserver::postTextInput, text);
}

void Device::setScreenPowerMode(bool open)
{
    const ControlMsg::ScreenPowerMode mode = open ? ControlMsg::SCREEN_POWER_NORMAL : ControlMsg::SCREEN_POWER_OFF;
    forward(
        m_controller.data(), [mode](Controller* controller) { controller->setScreenPowerMode(mode); },
        [open](DeviceObserver* observer) { observer->setScreenPowerMode(open); });
}

void Device::pushFileRequest(const QString& file, const QString& devicePath)
{
    forward(
        m_fileHandler.data(),
        [&](FileHandler* handler) { handler->onPushFileRequest(getSerial(), file, devicePath); },
        [&](DeviceObserver* observer) { observer->pushFileRequest(file, devicePath); });
}

void Device::installApkRequest(const QString& apkFile)
{
    forward(
        m_fileHandler.data(), [&](FileHandler* handler) { handler->onInstallApkRequest(getSerial(), apkFile); },
        [&](DeviceObserver* observer) { observer->installApkRequest(apkFile); });
}

void Device::screenshot()
{
    if (!m_decoder) {
        return;
    }
    m_decoder->peekFrame([this](int width, int height, uint8_t* rgb32) { saveFrame(width, height, rgb32); });
}

bool Device::saveFrame(int width, int height, uint8_t* rgb32)
{
    if (!rgb32 || width <= 0 || height <= 0) {
        return false;
    }
    const QImage image(rgb32, width, height, QImage::Format_RGB32);
    if (m_params.recordPath.trimmed().isEmpty()) {
        qWarning("please select record save path!!!");
        return false;
    }
    QDir dir(recordFolder());
    if (!dir.exists()) {
        dir.mkpath(QStringLiteral("."));
    }
    const QString path = dir.absoluteFilePath(timestampedName(QStringLiteral("png")));
    if (!image.save(path, "PNG", 100)) {
        qWarning("%s", qUtf8Printable(QStringLiteral("screenshot save to %1 failed!").arg(path)));
        return false;
    }
    // Opening needs the desktop's services, which only a GUI application has.
    bool opened = false;
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        opened = QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    }
    qInfo("%s", qUtf8Printable(QStringLiteral("screenshot save to %1").arg(path)));
    emit screenshotSaved(path, opened);
    return true;
}

void Device::showTouch(bool show)
{
    AdbProcess::selfDeleting()->setShowTouchesEnabled(getSerial(), show);
    qInfo("%s", qUtf8Printable(getSerial() + QStringLiteral(" show touch ")
                               + (show ? QStringLiteral("enable") : QStringLiteral("disable"))));
}

bool Device::isReversePort(quint16 port)
{
    return !m_shell && m_server && m_server->isReverse() && m_server->getParams().localPort == port;
}

const QString& Device::getSerial()
{
    return m_params.serial;
}

void Device::updateScript(QString script)
{
    if (m_controller) {
        m_controller->updateScript(script);
    }
}

bool Device::isCurrentCustomKeymap()
{
    return m_controller ? m_controller->isCurrentCustomKeymap() : false;
}

QString Device::recordFolder() const
{
    return QDir::cleanPath(QDir(getAppPath()).filePath(m_params.recordPath));
}

QString Device::timestampedName(const QString& suffix) const
{
    return DeviceSerial::fileBaseName(m_params.serial) + QDateTime::currentDateTime().toString("_yyyyMMdd_hhmmss_zzz")
        + QStringLiteral(".") + suffix;
}

} // namespace dvk

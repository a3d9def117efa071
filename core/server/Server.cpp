#include "server/Server.h"

#include <QDebug>
#include <QDeadlineTimer>
#include <QHostAddress>
#include <QSignalBlocker>
#include <QTimerEvent>

#include "server/TcpServer.h"
#include "server/VideoSocket.h"

namespace dvk {

namespace {

const char* const kSocketName = "dravik";
const char* const kServerClass = "com.kelvanorth.dravik.Server";
const int kDeviceNameFieldSize = 64;
const int kAcceptPendingMax = 2;
const int kAcceptTimeoutMs = 20000;
const int kConnectPollIntervalMs = 100;
// Retryable attempts continue while the count of earlier failures is at most this: 31 in all.
const int kConnectRetryMax = 29;
const int kConnectFinal = 30;

} // namespace

Server::Server(QObject* parent)
    : QObject(parent)
    , m_workProcess(new AdbProcess(this))
    , m_serverProcess(new AdbProcess(this))
    , m_serverSocket(new TcpServer(this))
{
    connect(m_workProcess, &AdbProcess::adbProcessResult, this, &Server::onWorkProcessResult);
    connect(m_serverProcess, &AdbProcess::adbProcessResult, this, &Server::onWorkProcessResult);
    connect(m_serverSocket, &QTcpServer::newConnection, this, &Server::onNewConnection);
}

Server::~Server()
{
    // The runners die with us and kill their commands; their last results must not reach a half-destroyed object.
    m_workProcess->disconnect(this);
    m_serverProcess->disconnect(this);
    if (m_videoSocket) {
        m_videoSocket->deleteLater();
    }
    if (m_controlSocket) {
        m_controlSocket->deleteLater();
    }
}

bool Server::start(const DeviceParams& params)
{
    m_params = params;
    m_connected = false;
    m_startRefused = false;
    m_failure.clear();
    m_serverStartStep = STEP_PUSH;
    return startServerByStep();
}

void Server::stop()
{
    cancelInfoWait();
    stopForwardPoll();
    stopAcceptTimeoutTimer();

    // Closed sockets are no longer handed out, even before their deferred deletion has run.
    if (m_videoSocket) {
        m_videoSocket->close();
        m_videoSocket->deleteLater();
        m_videoSocket = nullptr;
    }
    if (m_controlSocket) {
        m_controlSocket->close();
        m_controlSocket->deleteLater();
        m_controlSocket = nullptr;
    }

    // A tunnel command may have succeeded before the shell started; remove it too.
    const bool tunnelMayExist = m_serverStartStep == STEP_TUNNEL_REVERSE
        || m_serverStartStep == STEP_TUNNEL_FORWARD || m_serverStartStep == STEP_EXECUTE;
    if (!m_connected) {
        // Stopping a bring-up in progress ends it quietly: the owner asked, nothing is reported.
        m_serverStartStep = STEP_IDLE;
        m_workProcess->kill();
    }
    m_serverProcess->kill();

    if (m_tunnelEnabled || tunnelMayExist) {
        removeTunnel();
        m_tunnelForward = false;
        m_tunnelEnabled = false;
    }
    m_serverSocket->close();
}

void Server::endServerProcess()
{
    m_serverProcess->kill();
}

VideoSocket* Server::getVideoSocket()
{
    return m_videoSocket;
}

QTcpSocket* Server::getControlSocket()
{
    return m_controlSocket;
}

const DeviceParams& Server::getParams() const
{
    return m_params;
}

bool Server::isReverse()
{
    return !m_tunnelForward;
}

bool Server::readInfo(VideoSocket* videoSocket, QString& deviceName, QSize& size)
{
    // The record may arrive in several segments; wait for the rest within one overall deadline.
    QDeadlineTimer deadline(DEVICE_INFO_WAIT_MS);
    while (videoSocket->bytesAvailable() < DEVICE_INFO_SIZE && !deadline.hasExpired()) {
        if (!videoSocket->waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
            break;
        }
    }
    return takeInfo(videoSocket, deviceName, size);
}

bool Server::takeInfo(VideoSocket* videoSocket, QString& deviceName, QSize& size)
{
    if (videoSocket->bytesAvailable() < DEVICE_INFO_SIZE) {
        qInfo("Could not retrieve device information");
        return false;
    }
    const QByteArray info = videoSocket->read(DEVICE_INFO_SIZE);
    // The last byte of the name field always terminates it, whatever the device wrote there.
    const int nameEnd = info.left(kDeviceNameFieldSize - 1).indexOf('\0');
    const int nameLength = nameEnd < 0 ? kDeviceNameFieldSize - 1 : nameEnd;
    deviceName = QString::fromUtf8(info.constData(), nameLength);

    const auto* bytes = reinterpret_cast<const quint8*>(info.constData());
    const int width = (bytes[64] << 8) | bytes[65];
    const int height = (bytes[66] << 8) | bytes[67];
    size = QSize(width, height);
    return true;
}

QStringList Server::serverArguments(const DeviceParams& params, bool tunnelForward)
{
    QStringList args{"shell", QString("CLASSPATH=%1").arg(params.serverRemotePath), "app_process", "/", kServerClass,
                     params.serverVersion};
    if (!params.logLevel.isEmpty()) {
        args << QString("log_level=%1").arg(params.logLevel);
    }
    args << QString("max_size=%1").arg(params.maxSize);
    args << QString("bit_rate=%1").arg(params.bitRate);
    args << QString("max_fps=%1").arg(params.maxFps);
    args << QString("lock_video_orientation=%1").arg(params.lockVideoOrientation);
    args << QString("tunnel_forward=%1").arg(tunnelForward ? "true" : "false");
    if (!params.crop.isEmpty()) {
        args << QString("crop=%1").arg(params.crop);
    }
    args << QString("control=%1").arg(params.control ? "true" : "false");
    args << QString("display_id=%1").arg(params.displayId) << "show_touches=false";
    args << QString("stay_awake=%1").arg(params.stayAwake ? "true" : "false");
    if (!params.codecOptions.isEmpty()) {
        args << QString("codec_options=%1").arg(params.codecOptions);
    }
    if (!params.codecName.isEmpty()) {
        args << QString("encoder_name=%1").arg(params.codecName);
    }
    return args;
}

bool Server::startServerByStep()
{
    switch (m_serverStartStep) {
    case STEP_PUSH:
        return pushServer();
    case STEP_TUNNEL_REVERSE:
        return enableTunnelReverse();
    case STEP_TUNNEL_FORWARD:
        return enableTunnelForward();
    case STEP_EXECUTE:
        return execute();
    default:
        reportFailure();
        return false;
    }
}

bool Server::pushServer()
{
    killAndWait(m_workProcess);
    m_workProcess->push(m_params.serial, m_params.serverLocalPath, m_params.serverRemotePath);
    return true;
}

bool Server::enableTunnelReverse()
{
    killAndWait(m_workProcess);
    m_workProcess->reverse(m_params.serial, kSocketName, m_params.localPort);
    return true;
}

void Server::disableTunnelReverse()
{
    AdbProcess::selfDeleting()->reverseRemove(m_params.serial, kSocketName);
}

bool Server::enableTunnelForward()
{
    killAndWait(m_workProcess);
    m_workProcess->forward(m_params.serial, m_params.localPort, kSocketName);
    return true;
}

void Server::disableTunnelForward()
{
    AdbProcess::selfDeleting()->forwardRemove(m_params.serial, m_params.localPort);
}

bool Server::execute()
{
    killAndWait(m_serverProcess);
    m_serverProcess->execute(m_params.serial, serverArguments(m_params, m_tunnelForward));
    return true;
}

void Server::removeTunnel()
{
    if (m_tunnelForward) {
        disableTunnelForward();
    } else {
        disableTunnelReverse();
    }
}

void Server::onWorkProcessResult(dvk::AdbProcess::ADB_EXEC_RESULT processResult)
{
    if (sender() == m_workProcess) {
        onWorkResult(processResult);
    } else if (sender() == m_serverProcess) {
        onServerResult(processResult);
    }
}

void Server::onWorkResult(AdbProcess::ADB_EXEC_RESULT processResult)
{
    if (processResult == AdbProcess::ADB_STARTED) {
        return;
    }
    switch (m_serverStartStep) {
    case STEP_PUSH:
        if (processResult != AdbProcess::ADB_EXIT_OK) {
            qCritical("adb push failed");
            m_failure = QStringLiteral("adb push failed: %1").arg(m_workProcess->getErrorOut().trimmed());
            m_serverStartStep = STEP_IDLE;
            reportFailure();
            return;
        }
        // The mode is chosen afresh on every bring-up, also after an automatic restart.
        m_tunnelForward = !m_params.useReverse;
        m_serverStartStep = m_params.useReverse ? STEP_TUNNEL_REVERSE : STEP_TUNNEL_FORWARD;
        startServerByStep();
        return;
    case STEP_TUNNEL_REVERSE:
        if (processResult != AdbProcess::ADB_EXIT_OK) {
            qCritical("adb reverse failed");
            m_tunnelForward = true;
            m_serverStartStep = STEP_TUNNEL_FORWARD;
            startServerByStep();
            return;
        }
        listenForReverse();
        return;
    case STEP_TUNNEL_FORWARD:
        if (processResult != AdbProcess::ADB_EXIT_OK) {
            qCritical("adb forward failed");
            m_serverStartStep = STEP_IDLE;
            reportFailure();
            return;
        }
        m_serverStartStep = STEP_EXECUTE;
        startServerByStep();
        return;
    default:
        return;
    }
}

void Server::listenForReverse()
{
    m_serverSocket->setMaxPendingConnections(kAcceptPendingMax);
    m_serverSocket->expectVideoSocket();
    if (!m_serverSocket->listen(QHostAddress::LocalHost, m_params.localPort)) {
        qCritical("Could not listen on port %d", m_params.localPort);
        m_serverStartStep = STEP_IDLE;
        disableTunnelReverse();
        reportFailure();
        return;
    }
    m_serverStartStep = STEP_EXECUTE;
    startServerByStep();
}

void Server::onServerResult(AdbProcess::ADB_EXEC_RESULT processResult)
{
    if (m_serverStartStep == STEP_EXECUTE) {
        if (processResult == AdbProcess::ADB_STARTED) {
            m_serverStartStep = STEP_RUNNING;
            // The server may have connected already (see onNewConnection): nothing left to wait for.
            if (m_connected) {
                return;
            }
            m_tunnelEnabled = true;
            connectTo();
            return;
        }
        // A missing adb ends the start as surely as a run error; waiting on would hang the bring-up.
        if (processResult == AdbProcess::ADB_RUN_ERROR || processResult == AdbProcess::ADB_NOT_FOUND) {
            if (!m_tunnelForward) {
                m_serverSocket->close();
            }
            removeTunnel();
            qCritical("adb shell start server failed");
            m_serverStartStep = STEP_IDLE;
            reportFailure();
        }
        return;
    }
    if (m_serverStartStep != STEP_RUNNING) {
        return;
    }
    if (processResult == AdbProcess::ADB_STARTED) {
        return;
    }
    m_serverStartStep = STEP_IDLE;
    if (m_connected) {
        m_connected = false;
        emit serverStoped();
        return;
    }
    // The shell ended before both sockets and the handshake were there: the start failed.
    stopAcceptTimeoutTimer();
    stopForwardPoll();
    qWarning("server exited before the connection was made");
    // Only an error exit says the server cannot run here; one that ended cleanly ran, and went
    // because an attempt that failed hung up on it.
    m_startRefused = processResult != AdbProcess::ADB_EXIT_OK;
    m_failure = m_serverProcess->getErrorOut().trimmed();
    if (m_failure.isEmpty()) {
        m_failure = m_serverProcess->getStdOut().trimmed();
    }
    reportFailure();
}

bool Server::connectTo()
{
    if (m_serverStartStep != STEP_RUNNING) {
        qWarning("server not run");
        return false;
    }
    if (m_tunnelForward) {
        m_connectCount = 0;
        startConnectTimeoutTimer();
    } else {
        startAcceptTimeoutTimer();
    }
    return true;
}

void Server::onNewConnection()
{
    QTcpSocket* socket = m_serverSocket->nextPendingConnection();
    // Only the bring-up in progress may use a connection; anything later or unasked is dropped.
    // The shell's start is reported through the event loop, so on a busy machine the server it
    // started can connect before that report is taken: such a connection is the server's too.
    const bool started = m_serverStartStep == STEP_RUNNING || m_serverStartStep == STEP_EXECUTE;
    if (!started || m_connected || m_tunnelForward) {
        if (socket) {
            socket->close();
            socket->deleteLater();
        }
        return;
    }
    if (auto* videoSocket = qobject_cast<VideoSocket*>(socket)) {
        onAcceptedVideoSocket(videoSocket);
        return;
    }
    onAcceptedControlSocket(socket);
}

// A device that connects but is slow to send its record (or never does) must not freeze the
// window: the record is awaited through the event loop, within the same time limit.
void Server::onAcceptedVideoSocket(VideoSocket* videoSocket)
{
    m_videoSocket = videoSocket;
    if (!m_videoSocket->isValid()) {
        stop();
        reportFailure();
        return;
    }
    // Queued: the connection's start-up then runs from the event loop, not inside the socket's signal.
    connect(m_videoSocket, &QIODevice::readyRead, this, &Server::onInfoBytes, Qt::QueuedConnection);
    m_infoTimeoutTimer = startTimer(DEVICE_INFO_WAIT_MS, Qt::PreciseTimer);
    onInfoBytes();
}

void Server::onInfoBytes()
{
    if (m_infoTimeoutTimer && m_videoSocket && m_videoSocket->bytesAvailable() >= DEVICE_INFO_SIZE) {
        finishInfoWait();
    }
}

void Server::finishInfoWait()
{
    cancelInfoWait();
    if (!m_videoSocket || !takeInfo(m_videoSocket, m_deviceName, m_deviceSize)) {
        stop();
        reportFailure();
        return;
    }
    // The control connection may have come while the record was still on its way.
    if (m_controlSocket || !m_params.control) {
        completeReverse();
    }
}

void Server::cancelInfoWait()
{
    stopTimer(m_infoTimeoutTimer);
    if (m_videoSocket) {
        disconnect(m_videoSocket, &QIODevice::readyRead, this, &Server::onInfoBytes);
    }
}

void Server::onAcceptedControlSocket(QTcpSocket* controlSocket)
{
    m_controlSocket = controlSocket;
    stopAcceptTimeoutTimer();
    if (!m_controlSocket || !m_controlSocket->isValid() || !m_videoSocket) {
        stop();
        reportFailure();
        return;
    }
    if (!m_infoTimeoutTimer) {
        completeReverse();
    }
}

void Server::completeReverse()
{
    // Without a control connection the accept wait ends here.
    stopAcceptTimeoutTimer();
    m_serverSocket->close();
    disableTunnelReverse();
    m_tunnelEnabled = false;
    reportSuccess(m_deviceName, m_deviceSize);
}

void Server::onConnectTimer()
{
    // One attempt at a time; ticks that come while it runs are let pass.
    if (m_forwardAttempt) {
        return;
    }
    m_forwardAttempt = new ForwardAttempt(m_params.localPort, m_params.control, this);
    connect(m_forwardAttempt, &ForwardAttempt::finished, this, &Server::onForwardAttemptFinished);
    m_forwardAttempt->start();
}

void Server::onForwardAttemptFinished(ForwardAttempt::Outcome outcome)
{
    ForwardAttempt* attempt = m_forwardAttempt;
    m_forwardAttempt = nullptr;
    if (!attempt) {
        return;
    }
    attempt->deleteLater();
    if (outcome == ForwardAttempt::CONNECTED) {
        stopForwardPoll();
        m_videoSocket = attempt->takeVideoSocket();
        m_controlSocket = attempt->takeControlSocket();
        // The established connections outlive the tunnel.
        disableTunnelForward();
        m_tunnelEnabled = false;
        m_restartCount = 0;
        reportSuccess(attempt->deviceName(), attempt->deviceSize());
        return;
    }
    if (outcome == ForwardAttempt::FINAL) {
        m_connectCount = kConnectFinal;
    }
    if (m_connectCount++ <= kConnectRetryMax) {
        return;
    }

    stopForwardPoll();
    stop();
    if (m_restartCount == 0) {
        m_restartCount = 1;
        qWarning("restart server auto");
        start(m_params);
        return;
    }
    m_restartCount = 0;
    reportFailure();
}

void Server::stopForwardPoll()
{
    stopConnectTimeoutTimer();
    m_connectCount = 0;
    if (m_forwardAttempt) {
        m_forwardAttempt->disconnect(this);
        m_forwardAttempt->deleteLater();
        m_forwardAttempt = nullptr;
    }
}

QString Server::failureReason() const
{
    return m_failure.isEmpty() ? QStringLiteral("the server did not connect") : m_failure;
}

void Server::reportFailure()
{
    // A failure found elsewhere (the shell ending) ends the wait for the record too: reported once.
    cancelInfoWait();
    m_serverStartStep = STEP_IDLE;
    emit serverStarted(false, QString(), QSize(-1, -1));
}

void Server::reportSuccess(const QString& deviceName, const QSize& size)
{
    m_connected = true;
    emit serverStarted(true, deviceName, size);
}

void Server::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == m_acceptTimeoutTimer) {
        stopAcceptTimeoutTimer();
        qDebug("timerEvent server started false");
        reportFailure();
        return;
    }
    if (event->timerId() == m_connectTimeoutTimer) {
        onConnectTimer();
        return;
    }
    if (event->timerId() == m_infoTimeoutTimer) {
        finishInfoWait();
        return;
    }
    QObject::timerEvent(event);
}

void Server::startAcceptTimeoutTimer()
{
    stopAcceptTimeoutTimer();
    m_acceptTimeoutTimer = startTimer(kAcceptTimeoutMs, Qt::CoarseTimer);
}

void Server::stopAcceptTimeoutTimer()
{
    stopTimer(m_acceptTimeoutTimer);
}

void Server::startConnectTimeoutTimer()
{
    stopConnectTimeoutTimer();
    m_connectTimeoutTimer = startTimer(kConnectPollIntervalMs, Qt::CoarseTimer);
}

void Server::stopConnectTimeoutTimer()
{
    stopTimer(m_connectTimeoutTimer);
}

void Server::stopTimer(int& timerId)
{
    if (timerId) {
        killTimer(timerId);
        timerId = 0;
    }
}

void Server::killAndWait(AdbProcess* process)
{
    if (!process->isRuning()) {
        return;
    }
    // The old command's results belong to an earlier step; keep them away from the step about to run.
    const QSignalBlocker blocker(process);
    process->kill();
    process->waitForFinished();
}

} // namespace dvk

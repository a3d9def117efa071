#include "server/ForwardAttempt.h"

#include <QDebug>
#include <QHostAddress>
#include <QTcpSocket>

#include "server/Server.h"
#include "server/VideoSocket.h"

namespace dvk {

ForwardAttempt::ForwardAttempt(quint16 port, bool withControl, QObject* parent)
    : QObject(parent)
    , m_port(port)
    , m_withControl(withControl)
    , m_videoSocket(new VideoSocket(this))
    , m_controlSocket(withControl ? new QTcpSocket(this) : nullptr)
{
    m_deadline.setSingleShot(true);
    m_deadline.setTimerType(Qt::PreciseTimer);
    connect(&m_deadline, &QTimer::timeout, this, &ForwardAttempt::onDeadline);
    connect(m_videoSocket, &QAbstractSocket::connected, this, &ForwardAttempt::onVideoConnected);
    connect(m_videoSocket, &QAbstractSocket::errorOccurred, this, &ForwardAttempt::onVideoError);
    connect(m_videoSocket, &QIODevice::readyRead, this, &ForwardAttempt::onVideoBytes);
    connect(m_videoSocket, &QAbstractSocket::disconnected, this, &ForwardAttempt::onVideoBytes);
    if (m_controlSocket) {
        connect(m_controlSocket, &QAbstractSocket::connected, this, &ForwardAttempt::onControlConnected);
        connect(m_controlSocket, &QAbstractSocket::errorOccurred, this, &ForwardAttempt::onControlError);
    }
}

// Sockets not taken go with the attempt (they are its children).
ForwardAttempt::~ForwardAttempt() = default;

void ForwardAttempt::start()
{
    if (m_stage != STAGE_IDLE) {
        return;
    }
    waitFor(STAGE_VIDEO, CONNECT_WAIT_MS);
    m_videoSocket->connectToHost(QHostAddress::LocalHost, m_port);
}

VideoSocket* ForwardAttempt::takeVideoSocket()
{
    VideoSocket* socket = m_videoSocket;
    if (socket) {
        socket->setParent(nullptr);
    }
    m_videoSocket = nullptr;
    return socket;
}

QTcpSocket* ForwardAttempt::takeControlSocket()
{
    QTcpSocket* socket = m_controlSocket;
    if (socket) {
        socket->setParent(nullptr);
    }
    m_controlSocket = nullptr;
    return socket;
}

void ForwardAttempt::onVideoConnected()
{
    if (m_stage != STAGE_VIDEO) {
        return;
    }
    if (!m_withControl) {
        awaitFirstByte();
        return;
    }
    waitFor(STAGE_CONTROL, CONNECT_WAIT_MS);
    m_controlSocket->connectToHost(QHostAddress::LocalHost, m_port);
}

void ForwardAttempt::onControlConnected()
{
    if (m_stage == STAGE_CONTROL) {
        awaitFirstByte();
    }
}

void ForwardAttempt::awaitFirstByte()
{
    // adb's end of the tunnel hangs up at once while nothing listens on the device yet; that
    // is the poll's "not yet" and shows as a missing first byte below. Any other loss is final.
    if (m_videoSocket->state() != QAbstractSocket::ConnectedState
        && m_videoSocket->error() != QAbstractSocket::RemoteHostClosedError) {
        qWarning("connect to server failed");
        finish(FINAL);
        return;
    }
    waitFor(STAGE_FIRST_BYTE, FIRST_BYTE_WAIT_MS);
    takeFirstByte();
}

void ForwardAttempt::onVideoError()
{
    if (m_stage == STAGE_VIDEO) {
        qWarning("video socket connect to server failed");
        finish(FINAL);
    }
}

void ForwardAttempt::onControlError()
{
    if (m_stage == STAGE_CONTROL) {
        qWarning("control socket connect to server failed");
        finish(FINAL);
    }
}

void ForwardAttempt::onVideoBytes()
{
    if (m_stage == STAGE_FIRST_BYTE) {
        takeFirstByte();
    } else if (m_stage == STAGE_INFO) {
        takeDeviceInfo();
    }
}

void ForwardAttempt::onDeadline()
{
    switch (m_stage) {
    case STAGE_VIDEO:
        qWarning("video socket connect to server failed");
        finish(FINAL);
        return;
    case STAGE_CONTROL:
        qWarning("control socket connect to server failed");
        finish(FINAL);
        return;
    case STAGE_FIRST_BYTE:
        retry();
        return;
    case STAGE_INFO:
        // Whatever came in time is all there is: a short record fails here and says so.
        if (Server::takeInfo(m_videoSocket, m_deviceName, m_deviceSize)) {
            finish(CONNECTED);
        } else {
            retry();
        }
        return;
    default:
        return;
    }
}

// The server's first byte on the video connection says it is really there, not just adb's
// end of the tunnel; its value means nothing.
void ForwardAttempt::takeFirstByte()
{
    if (m_videoSocket->bytesAvailable() < 1) {
        if (m_videoSocket->state() != QAbstractSocket::ConnectedState) {
            retry();
        }
        return;
    }
    m_videoSocket->read(1);
    waitFor(STAGE_INFO, Server::DEVICE_INFO_WAIT_MS);
    takeDeviceInfo();
}

void ForwardAttempt::takeDeviceInfo()
{
    const bool complete = m_videoSocket->bytesAvailable() >= Server::DEVICE_INFO_SIZE;
    if (!complete && m_videoSocket->state() == QAbstractSocket::ConnectedState) {
        return;
    }
    if (!Server::takeInfo(m_videoSocket, m_deviceName, m_deviceSize)) {
        retry();
        return;
    }
    finish(CONNECTED);
}

void ForwardAttempt::waitFor(Stage stage, int timeoutMs)
{
    m_stage = stage;
    m_deadline.start(timeoutMs);
}

void ForwardAttempt::retry()
{
    qWarning("video socket connect to server read device info failed, try again");
    finish(RETRY);
}

void ForwardAttempt::finish(Outcome outcome)
{
    m_stage = STAGE_DONE;
    m_deadline.stop();
    // The sockets may pass to the caller: from here on their signals are none of this attempt's business.
    m_videoSocket->disconnect(this);
    if (m_controlSocket) {
        m_controlSocket->disconnect(this);
    }
    // Told from the event loop rather than inside a socket's signal: the receiver may close the
    // sockets, and the connection's start-up should not run nested in their notifications.
    QMetaObject::invokeMethod(this, [this, outcome]() { emit finished(outcome); }, Qt::QueuedConnection);
}

} // namespace dvk

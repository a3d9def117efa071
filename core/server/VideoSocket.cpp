#include "server/VideoSocket.h"

#include "server/VideoSocketEvent.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <algorithm>
#include <cstring>
#include <limits>

namespace dvk {

namespace {
// Bounds what is held on this side when the stream thread falls behind; beyond
// it the socket stops reading and TCP slows the sender down.
constexpr qint64 kSocketBufferLimit = 4 * 1024 * 1024;
constexpr qint64 kReadAheadLimit = 2 * 1024 * 1024;
} // namespace

VideoSocket::VideoSocket(QObject* parent) : QTcpSocket(parent)
{
    setReadBufferSize(kSocketBufferLimit);
    connect(this, &QTcpSocket::readyRead, this, &VideoSocket::onReadyRead);
    connect(this, &QTcpSocket::aboutToClose, this, &VideoSocket::quitNotify);
    connect(this, &QTcpSocket::disconnected, this, &VideoSocket::onPeerClosed);
}

VideoSocket::~VideoSocket()
{
    quitNotify();
    {
        // The woken stream thread still touches our mutex on its way out.
        std::unique_lock<std::mutex> locker(m_mutex);
        m_idleCond.wait(locker, [this] { return !m_requestActive; });
    }
    // The base destructor closes the socket; our slots must not run on a half-destroyed object.
    disconnect(this, nullptr, this, nullptr);
}

qint32 VideoSocket::subThreadRecvData(quint8* buf, const qint32 bufSize)
{
    if (!buf || bufSize <= 0 || m_quit) {
        return 0;
    }
    std::unique_lock<std::mutex> locker(m_mutex);
    // Checked again under the lock: a close between the first check and here
    // must not leave this thread waiting for an answer that never comes.
    if (m_quit) {
        return 0;
    }
    m_streaming = true;
    const qint32 taken = takeReadAhead(buf, bufSize);
    if (taken == bufSize) {
        return bufSize;
    }
    if (m_drained) {
        // A partial packet at the very end is dropped, as after any close.
        return 0;
    }

    m_buffer = buf;
    m_bufferSize = bufSize;
    m_dataSize = taken;
    m_requestDone = false;
    m_requestActive = true;
    QCoreApplication::postEvent(this, new VideoSocketEvent(), Qt::NormalEventPriority);
    m_recvDataCond.wait(locker, [this] { return m_requestDone; });
    const qint32 result = m_dataSize;
    m_requestDone = false;
    m_requestActive = false;
    m_idleCond.notify_all();
    return result;
}

void VideoSocket::onReadyRead()
{
    std::unique_lock<std::mutex> locker(m_mutex);
    serveRequestLocked();
}

void VideoSocket::quitNotify()
{
    m_quit = true;
    std::unique_lock<std::mutex> locker(m_mutex);
    m_quit = true;
    m_readAhead.clear();
    m_readAheadPos = 0;
    if (m_buffer) {
        finishRequest(0);
    }
}

void VideoSocket::onPeerClosed()
{
    std::unique_lock<std::mutex> locker(m_mutex);
    m_peerClosed = true;
    serveRequestLocked();
    // Nothing more will arrive: hand the stream thread everything that is left
    // so it can finish the last packets without this thread.
    if (m_streaming && !m_quit) {
        fillReadAhead(std::numeric_limits<qint64>::max());
    }
}

void VideoSocket::drain(int timeoutMs)
{
    {
        std::unique_lock<std::mutex> locker(m_mutex);
        m_draining = true;
    }
    // The waits emit readyRead and disconnected, whose slots serve the stream thread meanwhile.
    QDeadlineTimer deadline(timeoutMs);
    while (state() == QAbstractSocket::ConnectedState && !deadline.hasExpired()) {
        waitForReadyRead(int(deadline.remainingTime()));
    }
    std::unique_lock<std::mutex> locker(m_mutex);
    if (!m_quit) {
        fillReadAhead(std::numeric_limits<qint64>::max());
    }
    m_drained = true;
    serveRequestLocked();
}

bool VideoSocket::event(QEvent* event)
{
    if (event->type() != static_cast<QEvent::Type>(QDravikEvent::VideoSocketEventType)) {
        return QTcpSocket::event(event);
    }
    std::unique_lock<std::mutex> locker(m_mutex);
    serveRequestLocked();
    return true;
}

void VideoSocket::serveRequestLocked()
{
    if (m_buffer) {
        m_dataSize += takeReadAhead(m_buffer + m_dataSize, m_bufferSize - m_dataSize);
        if (m_dataSize < m_bufferSize && !m_quit) {
            const qint64 n = read(reinterpret_cast<char*>(m_buffer + m_dataSize), m_bufferSize - m_dataSize);
            if (n > 0) {
                m_dataSize += static_cast<qint32>(n);
            }
        }
        if (m_dataSize == m_bufferSize) {
            finishRequest(m_bufferSize);
        } else if (m_quit || m_peerClosed || m_drained || state() == QAbstractSocket::UnconnectedState) {
            // No more bytes can come: a partial answer would be a corrupt packet.
            finishRequest(0);
        }
    }
    if (m_streaming && !m_quit) {
        fillReadAhead(m_draining ? std::numeric_limits<qint64>::max() : kReadAheadLimit);
    }
}

void VideoSocket::finishRequest(qint32 dataSize)
{
    m_dataSize = dataSize;
    m_buffer = nullptr;
    m_bufferSize = 0;
    m_requestDone = true;
    m_recvDataCond.notify_one();
}

qint32 VideoSocket::takeReadAhead(quint8* dst, qint32 size)
{
    const qint64 queued = static_cast<qint64>(m_readAhead.size()) - m_readAheadPos;
    const qint32 n = static_cast<qint32>(std::min<qint64>(queued, size));
    if (n <= 0) {
        return 0;
    }
    std::memcpy(dst, m_readAhead.data() + m_readAheadPos, static_cast<size_t>(n));
    m_readAheadPos += n;
    if (m_readAheadPos == static_cast<int>(m_readAhead.size())) {
        m_readAhead.clear();
        m_readAheadPos = 0;
    }
    return n;
}

void VideoSocket::fillReadAhead(qint64 limit)
{
    const qint64 available = bytesAvailable();
    if (available <= 0) {
        return;
    }
    if (m_readAheadPos > 0) {
        m_readAhead.erase(m_readAhead.begin(), m_readAhead.begin() + m_readAheadPos);
        m_readAheadPos = 0;
    }
    const qint64 room = limit - static_cast<qint64>(m_readAhead.size());
    const qint64 want = std::min(available, room);
    if (want <= 0) {
        return;
    }
    const size_t oldSize = m_readAhead.size();
    m_readAhead.resize(oldSize + static_cast<size_t>(want));
    const qint64 n = read(reinterpret_cast<char*>(m_readAhead.data() + oldSize), want);
    m_readAhead.resize(oldSize + static_cast<size_t>(std::max<qint64>(n, 0)));
}

} // namespace dvk

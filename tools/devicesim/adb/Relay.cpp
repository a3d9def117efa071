#include "Relay.h"

namespace sim {

namespace {
constexpr qint64 kMaxQueued = 1 << 20;
}

Relay::Relay(QTcpSocket* a, QTcpSocket* b, QObject* parent) : QObject(parent), m_a(a), m_b(b)
{
    for (QTcpSocket* socket : {a, b}) {
        socket->setParent(this);
        socket->setReadBufferSize(kMaxQueued);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { pump(socket, other(socket)); });
        connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] {
            QTcpSocket* peer = other(socket);
            if (peer) {
                pump(peer, socket);
            }
        });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { onClosed(socket); });
    }
    // Bytes that arrived before the relay existed.
    pump(a, b);
    pump(b, a);
    if (a->state() != QAbstractSocket::ConnectedState) {
        onClosed(a);
    } else if (b->state() != QAbstractSocket::ConnectedState) {
        onClosed(b);
    }
}

Relay::~Relay() = default;

QTcpSocket* Relay::other(QTcpSocket* socket) const
{
    return socket == m_a ? m_b.data() : m_a.data();
}

void Relay::pump(QTcpSocket* from, QTcpSocket* to)
{
    if (!from || !to) {
        return;
    }
    while (from->bytesAvailable() > 0 && to->bytesToWrite() < kMaxQueued) {
        const QByteArray chunk = from->read(kMaxQueued - to->bytesToWrite());
        if (chunk.isEmpty()) {
            break;
        }
        to->write(chunk);
    }
}

void Relay::onClosed(QTcpSocket* closed)
{
    if (m_closing) {
        return;
    }
    m_closing = true;
    QTcpSocket* peer = other(closed);
    if (peer) {
        // Deliver everything the closed side had sent before it went.
        while (closed->bytesAvailable() > 0) {
            peer->write(closed->readAll());
        }
        peer->disconnectFromHost();
        if (peer->state() != QAbstractSocket::UnconnectedState) {
            connect(peer, &QTcpSocket::disconnected, this, [this] {
                emit finished();
                deleteLater();
            });
            return;
        }
    }
    emit finished();
    deleteLater();
}

} // namespace sim

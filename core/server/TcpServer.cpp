#include "server/TcpServer.h"

#include <QDebug>

#include "server/VideoSocket.h"

namespace dvk {

TcpServer::TcpServer(QObject* parent)
    : QTcpServer(parent)
{
}

TcpServer::~TcpServer()
{
    // Connections nobody took are ours to free: they were created without a parent.
    while (QTcpSocket* socket = nextPendingConnection()) {
        delete socket;
    }
}

void TcpServer::expectVideoSocket()
{
    m_isVideoSocket = true;
}

void TcpServer::incomingConnection(qintptr handle)
{
    QTcpSocket* socket = nullptr;
    if (m_isVideoSocket) {
        socket = new VideoSocket(nullptr);
    } else {
        socket = new QTcpSocket(nullptr);
    }
    if (!socket->setSocketDescriptor(handle, QAbstractSocket::ConnectedState, QIODevice::ReadWrite)) {
        qWarning() << "Could not adopt incoming connection:" << socket->errorString();
        delete socket;
        return;
    }
    m_isVideoSocket = false;
    addPendingConnection(socket);
}

} // namespace dvk

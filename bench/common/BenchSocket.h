#ifndef BENCHSOCKET_H
#define BENCHSOCKET_H

#include <QByteArray>
#include <QTcpServer>
#include <QtGlobal>

#include "BenchMeasure.h"
#include "server/VideoSocket.h"

// The two ends of a benchmark's video connection: the device side writes on a plain socket from
// a thread of its own, the client side accepts it as a VideoSocket, as the tunnel's server does.
namespace BenchSocket {

// A socket connected to the port on the loopback address, without Nagle's delay; -1 on failure.
int connectLoopback(quint16 port);

// Writes all the bytes. lastCall: when the call that carried the last byte began, taken before
// the call, since a thread woken by the data may delay its return.
bool sendAll(int fd, const QByteArray& bytes, BenchMeasure::Clock::time_point* lastCall = nullptr);

} // namespace BenchSocket

class VideoServer : public QTcpServer
{
protected:
    void incomingConnection(qintptr fd) override
    {
        auto* socket = new dvk::VideoSocket(this);
        socket->setSocketDescriptor(fd);
        addPendingConnection(socket);
    }
};

#endif // BENCHSOCKET_H

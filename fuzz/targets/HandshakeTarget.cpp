// The device information record, read off a real socket: whatever the peer sends, a record of
// 68 bytes or more yields the name up to its first zero (at most 63 bytes) and the two
// big-endian sizes, and a shorter one is refused.
#include "FuzzSupport.h"
#include "FuzzTargets.h"

#include <QTcpServer>
#include <QTcpSocket>

#include <cstdlib>

#include "server/Server.h"
#include "server/VideoSocket.h"

namespace fuzz {

namespace {

constexpr int kInfoSize = 68;

QTcpServer& listener()
{
    static QTcpServer* server = [] {
        auto* s = new QTcpServer();
        if (!s->listen(QHostAddress::LocalHost, 0)) {
            qFatal("handshake target: cannot listen");
        }
        return s;
    }();
    return *server;
}

void check(bool ok, const char* what)
{
    if (!ok) {
        fprintf(stderr, "handshake target: %s\n", what);
        abort();
    }
}

} // namespace

int fuzzHandshake(const uint8_t* data, size_t size)
{
    ensureApp();
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<int>(qMin<size_t>(size, 4096)));
    QTcpServer& server = listener();
    dvk::VideoSocket videoSocket;
    videoSocket.connectToHost(QHostAddress::LocalHost, server.serverPort());
    if (!videoSocket.waitForConnected(2000) || !server.waitForNewConnection(2000)) {
        return 0;
    }
    QTcpSocket* peer = server.nextPendingConnection();
    peer->write(bytes);
    peer->waitForBytesWritten(2000);
    // A closed peer ends the wait for a short record at once.
    peer->disconnectFromHost();

    static dvk::Server bringUp;
    QString name;
    QSize deviceSize;
    const bool ok = bringUp.readInfo(&videoSocket, name, deviceSize);
    delete peer;

    check(ok == (bytes.size() >= kInfoSize), "a record was accepted or refused against its length");
    if (!ok) {
        return 0;
    }
    const QByteArray field = bytes.left(63);
    const int zero = field.indexOf('\0');
    check(name == QString::fromUtf8(zero < 0 ? field : field.left(zero)), "the name differs from its field");
    const auto* u = reinterpret_cast<const quint8*>(bytes.constData());
    check(deviceSize == QSize((u[64] << 8) | u[65], (u[66] << 8) | u[67]), "the size differs from its field");
    return 0;
}

} // namespace fuzz

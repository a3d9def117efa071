#ifndef TCPSERVER_H
#define TCPSERVER_H

#include <QTcpServer>

namespace dvk {

// Listening socket of the reverse tunnel: the device connects twice, video first, then control.
// The first connection is handed out as a VideoSocket, every later one as a plain QTcpSocket.
// Handed-out sockets have no parent; whoever takes them owns them.
class TcpServer : public QTcpServer
{
    Q_OBJECT
public:
    explicit TcpServer(QObject* parent = nullptr);
    ~TcpServer() override;

    // Makes the next incoming connection a VideoSocket again, for a new bring-up on the same object.
    void expectVideoSocket();

protected:
    void incomingConnection(qintptr handle) override;

private:
    bool m_isVideoSocket = true;
};

} // namespace dvk

#endif // TCPSERVER_H

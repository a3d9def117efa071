#pragma once

#include <QObject>
#include <QPointer>
#include <QTcpSocket>

namespace sim {

// Copies bytes both ways between two connected sockets, with back-pressure: a
// side is read only while the other side's send queue is short. When one side
// closes, what it sent is delivered and then the other side is closed too.
class Relay : public QObject
{
    Q_OBJECT
public:
    Relay(QTcpSocket* a, QTcpSocket* b, QObject* parent);
    ~Relay() override;

signals:
    void finished();

private:
    void pump(QTcpSocket* from, QTcpSocket* to);
    void onClosed(QTcpSocket* closed);
    QTcpSocket* other(QTcpSocket* socket) const;

    QPointer<QTcpSocket> m_a;
    QPointer<QTcpSocket> m_b;
    bool m_closing = false;
};

} // namespace sim

#pragma once

#include "SimHome.h"

#include <QJsonObject>
#include <QString>

class QTcpSocket;
class QObject;

namespace sim {

// Talks to the simulator's daemon: one JSON line request, one JSON line reply,
// each over its own loopback connection.
class DaemonClient
{
public:
    explicit DaemonClient(const SimHome& home) : m_home(home) {}

    // Starts the daemon (this very program with the "__daemon" command) unless
    // one already answers for this home.
    bool ensureRunning(const QString& adbProgram, QString* error);
    bool isRunning() const;

    bool request(const QJsonObject& request, QJsonObject& reply, QString* error, int timeoutMs = 5000) const;

    // Sends a request and, when the daemon accepts it, keeps the connection open
    // for the caller: it then carries a tunnelled stream or a registration.
    QTcpSocket* openChannel(const QJsonObject& request, QJsonObject& reply, QString* error,
                            QObject* parent, int timeoutMs = 5000) const;

    quint16 port() const;
    qint64 pid() const;

private:
    SimHome m_home;
};

} // namespace sim

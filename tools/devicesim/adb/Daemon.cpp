#include "Daemon.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHostAddress>
#include <QJsonDocument>

#include "Relay.h"

namespace sim {

namespace {
constexpr qint64 kIdleExitMs = 30000;
constexpr qint64 kStaleTunnelsExitMs = 10 * 60 * 1000;

bool parseTcp(const QString& endpoint, quint16& port)
{
    if (!endpoint.startsWith("tcp:")) {
        return false;
    }
    bool ok = false;
    const uint value = endpoint.mid(4).toUInt(&ok);
    if (!ok || value > 65535) {
        return false;
    }
    port = static_cast<quint16>(value);
    return true;
}

QString abstractName(const QString& endpoint)
{
    return endpoint.startsWith("localabstract:") ? endpoint.mid(14) : QString();
}
} // namespace

Daemon::Daemon(const SimHome& home, QObject* parent) : QObject(parent), m_home(home)
{
    connect(&m_control, &QTcpServer::newConnection, this, &Daemon::onControlConnection);
    connect(&m_housekeeping, &QTimer::timeout, this, &Daemon::onHousekeeping);
}

Daemon::~Daemon()
{
    QJsonObject info;
    if (readJsonFile(m_home.daemonInfoPath(), info) &&
        static_cast<qint64>(info.value("pid").toDouble()) == QCoreApplication::applicationPid()) {
        QFile::remove(m_home.daemonInfoPath());
    }
    m_home.unregisterProcess(QCoreApplication::applicationPid());
}

bool Daemon::start(QString* error)
{
    if (!m_control.listen(QHostAddress::LocalHost, 0)) {
        *error = m_control.errorString();
        return false;
    }
    const qint64 pid = QCoreApplication::applicationPid();
    m_home.registerProcess(pid, "daemon");
    writeJsonFile(m_home.daemonInfoPath(), QJsonObject{{"pid", pid}, {"port", m_control.serverPort()}});
    m_idleSince = nowMs();
    m_unusedSince = m_idleSince;
    m_housekeeping.start(500);
    saveTunnels();
    return true;
}

void Daemon::onControlConnection()
{
    while (QTcpSocket* client = m_control.nextPendingConnection()) {
        client->setParent(this);
        connect(client, &QTcpSocket::readyRead, this, [this, client] { onRequest(client); });
        connect(client, &QTcpSocket::disconnected, client, &QObject::deleteLater);
    }
}

void Daemon::onRequest(QTcpSocket* client)
{
    if (!client->canReadLine()) {
        if (client->bytesAvailable() > 65536) {
            client->abort();
        }
        return;
    }
    // Later bytes on this connection belong to whatever the request opens.
    disconnect(client, &QTcpSocket::readyRead, this, nullptr);
    const QJsonObject request = QJsonDocument::fromJson(client->readLine()).object();
    bool keepOpen = false;
    const QJsonObject reply = handle(request, client, keepOpen);
    if (reply.isEmpty()) {
        return; // answered later
    }
    client->write(QJsonDocument(reply).toJson(QJsonDocument::Compact) + "\n");
    if (!keepOpen) {
        client->disconnectFromHost();
    }
    if (request.value("op").toString() == "kill") {
        shutdown();
    }
}

QJsonObject Daemon::handle(const QJsonObject& request, QTcpSocket* client, bool& keepOpen)
{
    const QString op = request.value("op").toString();
    if (op == "ping") {
        return QJsonObject{{"ok", true}, {"home", m_home.root()}, {"pid", QCoreApplication::applicationPid()}};
    }
    if (op == "kill") {
        return QJsonObject{{"ok", true}};
    }
    if (op == "forward") {
        return addForward(request);
    }
    if (op == "forward-remove") {
        return removeForward(request);
    }
    if (op == "forward-list") {
        return listForwards(request.value("serial").toString());
    }
    if (op == "reverse") {
        return addReverse(request);
    }
    if (op == "reverse-remove") {
        return removeReverse(request);
    }
    if (op == "reverse-list") {
        return listReverses(request.value("serial").toString());
    }
    if (op == "drop-serial") {
        dropSerial(request.value("serial").toString());
        return QJsonObject{{"ok", true}};
    }
    if (op == "reverse-connect") {
        connectReverse(request, client);
        return QJsonObject();
    }
    if (op == "abstract-listen") {
        const QJsonObject reply = registerAbstract(request, client);
        keepOpen = reply.value("ok").toBool();
        return reply;
    }
    return failure("unknown request");
}

QJsonObject Daemon::failure(const QString& text)
{
    return QJsonObject{{"ok", false}, {"error", text}};
}

QJsonObject Daemon::addForward(const QJsonObject& request)
{
    m_unusedSince = nowMs();
    quint16 port = 0;
    const QString local = request.value("local").toString();
    const QString remote = request.value("remote").toString();
    if (!parseTcp(local, port)) {
        return failure(QString("cannot bind listener: unsupported local '%1'").arg(local));
    }
    if (abstractName(remote).isEmpty()) {
        return failure(QString("cannot bind listener: unsupported remote '%1'").arg(remote));
    }
    if (m_forwards.contains(port)) {
        if (request.value("norebind").toBool()) {
            return failure("cannot rebind existing socket");
        }
        Forward& existing = m_forwards[port];
        existing.serial = request.value("serial").toString();
        existing.device = request.value("device").toString();
        existing.remote = remote;
        saveTunnels();
        return QJsonObject{{"ok", true}, {"port", port}};
    }
    auto* listener = new QTcpServer(this);
    if (!listener->listen(QHostAddress::LocalHost, port)) {
        delete listener;
        return failure("cannot bind listener: Address already in use");
    }
    const quint16 bound = listener->serverPort();
    connect(listener, &QTcpServer::newConnection, this, [this, bound] { onForwardConnection(bound); });
    Forward forward;
    forward.serial = request.value("serial").toString();
    forward.device = request.value("device").toString();
    forward.local = QString("tcp:%1").arg(bound);
    forward.remote = remote;
    forward.listener = listener;
    m_forwards.insert(bound, forward);
    saveTunnels();
    return QJsonObject{{"ok", true}, {"port", bound}};
}

QJsonObject Daemon::removeForward(const QJsonObject& request)
{
    const QString serial = request.value("serial").toString();
    if (request.value("all").toBool()) {
        closeForwardsOf(serial);
        saveTunnels();
        return QJsonObject{{"ok", true}};
    }
    quint16 port = 0;
    const QString local = request.value("local").toString();
    if (!parseTcp(local, port) || !m_forwards.contains(port)) {
        return failure(QString("listener '%1' not found").arg(local));
    }
    // Established connections live in their relays and stay open.
    delete m_forwards[port].listener.data();
    m_forwards.remove(port);
    saveTunnels();
    return QJsonObject{{"ok", true}};
}

QJsonObject Daemon::addReverse(const QJsonObject& request)
{
    m_unusedSince = nowMs();
    const QString remote = request.value("remote").toString();
    const QString local = request.value("local").toString();
    quint16 port = 0;
    if (abstractName(remote).isEmpty()) {
        return failure(QString("cannot bind listener: unsupported remote '%1'").arg(remote));
    }
    if (!parseTcp(local, port) || port == 0) {
        return failure(QString("cannot bind listener: unsupported local '%1'").arg(local));
    }
    const QString device = request.value("device").toString();
    const QString k = key(device, remote);
    if (m_reverses.contains(k) && request.value("norebind").toBool()) {
        return failure("cannot rebind existing socket");
    }
    m_reverses.insert(k, Reverse{request.value("serial").toString(), device, remote, local});
    saveTunnels();
    return QJsonObject{{"ok", true}};
}

QJsonObject Daemon::removeReverse(const QJsonObject& request)
{
    const QString device = request.value("device").toString();
    if (request.value("all").toBool()) {
        for (auto it = m_reverses.begin(); it != m_reverses.end();) {
            it = it->device == device ? m_reverses.erase(it) : it + 1;
        }
        saveTunnels();
        return QJsonObject{{"ok", true}};
    }
    const QString remote = request.value("remote").toString();
    if (!m_reverses.remove(key(device, remote))) {
        return failure(QString("listener '%1' not found").arg(remote));
    }
    saveTunnels();
    return QJsonObject{{"ok", true}};
}

// Connections already made live in their relays and stay open.
void Daemon::closeForwardsOf(const QString& serial)
{
    for (auto it = m_forwards.begin(); it != m_forwards.end();) {
        if (it->serial == serial) {
            delete it->listener.data();
            it = m_forwards.erase(it);
        } else {
            ++it;
        }
    }
}

QJsonObject Daemon::listForwards(const QString& serial) const
{
    QJsonArray list;
    for (const Forward& forward : m_forwards) {
        if (serial.isEmpty() || forward.serial == serial) {
            list.append(QJsonObject{{"serial", forward.serial}, {"local", forward.local}, {"remote", forward.remote}});
        }
    }
    return QJsonObject{{"ok", true}, {"list", list}};
}

QJsonObject Daemon::listReverses(const QString& serial) const
{
    QJsonArray list;
    for (const Reverse& reverse : m_reverses) {
        if (serial.isEmpty() || reverse.serial == serial) {
            list.append(QJsonObject{{"serial", reverse.serial}, {"remote", reverse.remote}, {"local", reverse.local}});
        }
    }
    return QJsonObject{{"ok", true}, {"list", list}};
}

void Daemon::dropSerial(const QString& serial)
{
    closeForwardsOf(serial);
    for (auto it = m_reverses.begin(); it != m_reverses.end();) {
        it = it->serial == serial ? m_reverses.erase(it) : it + 1;
    }
    saveTunnels();
}

void Daemon::connectReverse(const QJsonObject& request, QTcpSocket* client)
{
    const QString k = key(request.value("device").toString(), "localabstract:" + request.value("name").toString());
    quint16 port = 0;
    if (!m_reverses.contains(k) || !parseTcp(m_reverses.value(k).local, port)) {
        client->write(QJsonDocument(failure("Connection refused")).toJson(QJsonDocument::Compact) + "\n");
        client->disconnectFromHost();
        return;
    }
    auto* outgoing = new QTcpSocket(this);
    QPointer<QTcpSocket> guardedClient(client);
    connect(outgoing, &QTcpSocket::connected, this, [this, outgoing, guardedClient] {
        if (!guardedClient || guardedClient->state() != QAbstractSocket::ConnectedState) {
            outgoing->abort();
            outgoing->deleteLater();
            return;
        }
        guardedClient->write(QJsonDocument(QJsonObject{{"ok", true}}).toJson(QJsonDocument::Compact) + "\n");
        startRelay(guardedClient, outgoing);
    });
    connect(outgoing, &QTcpSocket::errorOccurred, this, [this, outgoing, guardedClient] {
        if (outgoing->state() == QAbstractSocket::ConnectedState) {
            return; // the relay reports a closed peer itself
        }
        if (guardedClient) {
            guardedClient->write(QJsonDocument(failure("Connection refused")).toJson(QJsonDocument::Compact) + "\n");
            guardedClient->disconnectFromHost();
        }
        outgoing->deleteLater();
    });
    outgoing->connectToHost(QHostAddress::LocalHost, port);
}

QJsonObject Daemon::registerAbstract(const QJsonObject& request, QTcpSocket* client)
{
    const QString k = key(request.value("device").toString(), "localabstract:" + request.value("name").toString());
    const auto existing = m_abstracts.constFind(k);
    if (existing != m_abstracts.constEnd() && existing->registration) {
        return failure("Address already in use");
    }
    Abstract entry;
    entry.port = static_cast<quint16>(request.value("port").toInt());
    entry.registration = client;
    m_abstracts.insert(k, entry);
    // The listener lives as long as the connection that registered it.
    connect(client, &QObject::destroyed, this, [this, k] {
        const auto it = m_abstracts.find(k);
        if (it != m_abstracts.end() && !it->registration) {
            m_abstracts.erase(it);
        }
    });
    connect(client, &QTcpSocket::disconnected, this, [this, k, client] {
        const auto it = m_abstracts.find(k);
        if (it != m_abstracts.end() && it->registration == client) {
            m_abstracts.erase(it);
        }
    });
    return QJsonObject{{"ok", true}};
}

void Daemon::onForwardConnection(quint16 port)
{
    const Forward forward = m_forwards.value(port);
    if (!forward.listener) {
        return;
    }
    while (QTcpSocket* incoming = forward.listener->nextPendingConnection()) {
        incoming->setParent(this);
        const auto target = m_abstracts.constFind(key(forward.device, forward.remote));
        if (target == m_abstracts.constEnd() || !target->registration) {
            // Like adb: the local side is accepted, then closed when nothing
            // listens on the device.
            incoming->disconnectFromHost();
            connect(incoming, &QTcpSocket::disconnected, incoming, &QObject::deleteLater);
            continue;
        }
        auto* outgoing = new QTcpSocket(this);
        QPointer<QTcpSocket> guardedIncoming(incoming);
        connect(outgoing, &QTcpSocket::connected, this, [this, outgoing, guardedIncoming] {
            if (!guardedIncoming) {
                outgoing->abort();
                outgoing->deleteLater();
                return;
            }
            startRelay(guardedIncoming, outgoing);
        });
        connect(outgoing, &QTcpSocket::errorOccurred, this, [outgoing, guardedIncoming] {
            if (outgoing->state() == QAbstractSocket::ConnectedState) {
                return;
            }
            if (guardedIncoming) {
                guardedIncoming->disconnectFromHost();
            }
            outgoing->deleteLater();
        });
        outgoing->connectToHost(QHostAddress::LocalHost, target->port);
    }
}

void Daemon::startRelay(QTcpSocket* a, QTcpSocket* b)
{
    // The relay owns both sockets from here on.
    a->disconnect();
    b->disconnect();
    ++m_relays;
    auto* relay = new Relay(a, b, this);
    connect(relay, &QObject::destroyed, this, [this] { --m_relays; });
}

void Daemon::saveTunnels() const
{
    QJsonArray forwards;
    for (const Forward& forward : m_forwards) {
        forwards.append(QJsonObject{{"serial", forward.serial}, {"local", forward.local}, {"remote", forward.remote}});
    }
    QJsonArray reverses;
    for (const Reverse& reverse : m_reverses) {
        reverses.append(QJsonObject{{"serial", reverse.serial}, {"remote", reverse.remote}, {"local", reverse.local}});
    }
    writeJsonFile(m_home.tunnelsPath(), QJsonObject{{"forward", forwards}, {"reverse", reverses}});
}

void Daemon::onHousekeeping()
{
    if (!QFileInfo(m_home.root()).isDir()) {
        // The home was removed (a finished test): nobody can reach us any more.
        shutdown();
        return;
    }
    if (!m_abstracts.isEmpty() || m_relays > 0) {
        m_idleSince = nowMs();
        m_unusedSince = m_idleSince;
        return;
    }
    // Tunnels that nobody used for long are a test that died before it could
    // clean up; adb would keep them, but an orphan must not live for ever.
    if (!m_forwards.isEmpty() || !m_reverses.isEmpty()) {
        m_idleSince = nowMs();
        if (nowMs() - m_unusedSince > kStaleTunnelsExitMs) {
            shutdown();
        }
        return;
    }
    m_unusedSince = nowMs();
    if (nowMs() - m_idleSince > kIdleExitMs) {
        shutdown();
    }
}

void Daemon::shutdown()
{
    m_housekeeping.stop();
    m_control.close();
    QCoreApplication::exit(0);
}

} // namespace sim

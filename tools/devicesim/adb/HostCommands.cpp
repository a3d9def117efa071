#include "HostCommands.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QThread>

#include <functional>

#include "Console.h"
#include "DaemonClient.h"

namespace sim {

HostCommands::HostCommands(const DeviceAccess& access) : m_access(access), m_home(access.home()) {}

const QHash<QString, HostCommands::Command>& HostCommands::commands()
{
    static const QHash<QString, Command> table = {
        {"devices", &HostCommands::devices},
        {"version", [](HostCommands* c, const QStringList&) { return c->version(); }},
        {"kill-server", [](HostCommands* c, const QStringList&) { return stopDaemon(c->m_home), 0; }},
        {"start-server", [](HostCommands* c, const QStringList&) { return c->startServer(); }},
        {"get-state", [](HostCommands* c, const QStringList&) { return c->getState(); }},
        {"get-serialno", [](HostCommands* c, const QStringList&) { return c->getSerialNo(); }},
        {"wait-for-device", [](HostCommands* c, const QStringList&) { return c->waitForDevice(); }},
        {"forward", [](HostCommands* c, const QStringList& r) { return c->tunnel("forward", r); }},
        {"reverse", [](HostCommands* c, const QStringList& r) { return c->tunnel("reverse", r); }},
        {"logcat", &HostCommands::logcat},
        {"tcpip", &HostCommands::tcpip},
        {"usb", [](HostCommands* c, const QStringList&) { return c->usb(); }},
        {"connect", &HostCommands::connectDevice},
        {"disconnect", &HostCommands::disconnectDevice},
    };
    return table;
}

bool HostCommands::handles(const QString& command)
{
    return commands().contains(command);
}

int HostCommands::run(const QString& command, const QStringList& rest)
{
    const auto it = commands().constFind(command);
    return it == commands().constEnd() ? Console::fail(QString("adb: unknown command %1").arg(command))
                                       : (*it)(this, rest);
}

int HostCommands::devices(const QStringList& rest)
{
    const bool longForm = rest.contains("-l");
    Console::out("List of devices attached");
    for (const QJsonObject& entry : m_home.entries()) {
        QJsonObject device;
        const bool haveDevice = m_access.load(entry, device);
        QString state = haveDevice ? device.value("state").toString("device") : "offline";
        if (entry.value("state").toString("device") != "device") {
            state = entry.value("state").toString();
        }
        const QString serial = entry.value("serial").toString();
        if (!longForm) {
            Console::out(serial + "\t" + state);
            continue;
        }
        const QString model = device.value("model").toString("SimPhone").replace(' ', '_');
        Console::out(QString("%1 %2 product:%3 model:%4 device:%5 transport_id:%6")
                         .arg(serial.leftJustified(22), state, device.value("product").toString("devicesim"), model,
                              device.value("product").toString("devicesim"))
                         .arg(entry.value("order").toInt()));
    }
    Console::out("");
    return 0;
}

int HostCommands::version()
{
    Console::out("Android Debug Bridge version 1.0.41");
    Console::out("Version 34.0.5-devicesim");
    Console::out("Installed as " + QCoreApplication::applicationFilePath());
    return 0;
}

void HostCommands::stopDaemon(const SimHome& home)
{
    DaemonClient client(home);
    QJsonObject reply;
    client.request(QJsonObject{{"op", "kill"}}, reply, nullptr, 2000);
}

int HostCommands::startServer()
{
    return ensureDaemon() ? 0 : 1;
}

int HostCommands::getState()
{
    QJsonObject entry;
    if (!m_access.select(entry)) {
        return 1;
    }
    Console::out("device");
    return 0;
}

int HostCommands::getSerialNo()
{
    QJsonObject entry;
    if (!m_access.select(entry)) {
        return 1;
    }
    Console::out(entry.value("serial").toString());
    return 0;
}

int HostCommands::waitForDevice()
{
    const QString& wanted = m_access.serial();
    while (m_home.isValid()) {
        for (const QJsonObject& entry : m_home.entries()) {
            QJsonObject device;
            if ((wanted.isEmpty() || entry.value("serial").toString() == wanted) && m_access.load(entry, device) &&
                device.value("state").toString("device") == "device") {
                return 0;
            }
        }
        QThread::msleep(100);
    }
    return 1;
}

bool HostCommands::ensureDaemon()
{
    DaemonClient client(m_home);
    QString error;
    if (!client.ensureRunning(QCoreApplication::applicationFilePath(), &error)) {
        Console::err("adb: " + error);
        return false;
    }
    return true;
}

bool HostCommands::daemonRequest(const QJsonObject& request, QJsonObject& reply)
{
    if (!ensureDaemon()) {
        return false;
    }
    QString error;
    if (!DaemonClient(m_home).request(request, reply, &error)) {
        Console::err("adb: error: " + error);
        return false;
    }
    return true;
}

// "forward LOCAL REMOTE" and "reverse REMOTE LOCAL": the same verbs, with the
// two ends named in the other order.
int HostCommands::tunnel(const QString& op, const QStringList& rest)
{
    const QString first = op == "reverse" ? "remote" : "local";
    const QString second = op == "reverse" ? "local" : "remote";
    QStringList args = rest;
    const bool noRebind = args.value(0) == "--no-rebind";
    if (noRebind) {
        args.removeFirst();
    }
    if (args.value(0) == "--list") {
        return listTunnels(op, first, second);
    }
    QJsonObject entry;
    if (!m_access.select(entry)) {
        return 1;
    }
    QJsonObject request{{"serial", entry.value("serial").toString()}, {"device", m_access.physical(entry)}};
    if (args.value(0) == "--remove-all") {
        request.insert("op", op + "-remove");
        request.insert("all", true);
    } else if (args.value(0) == "--remove") {
        if (args.size() != 2) {
            return Console::fail(QString("adb: usage: adb %1 --remove %2").arg(op, first.toUpper()));
        }
        request.insert("op", op + "-remove");
        request.insert(first, args.at(1));
    } else {
        if (args.size() != 2) {
            return Console::fail(QString("adb: usage: adb %1 %2 %3").arg(op, first.toUpper(), second.toUpper()));
        }
        QJsonObject device;
        m_access.load(entry, device);
        if (op == "reverse" && device.value("faults").toObject().value("reverseRefused").toBool()) {
            return Console::fail("adb: error: closed");
        }
        request.insert("op", op);
        request.insert(first, args.at(0));
        request.insert(second, args.at(1));
        request.insert("norebind", noRebind);
    }
    QJsonObject reply;
    if (!daemonRequest(request, reply)) {
        return 1;
    }
    if (request.value("op") == "forward" && args.at(0) == "tcp:0") {
        Console::out(QString::number(reply.value("port").toInt()));
    }
    return 0;
}

int HostCommands::listTunnels(const QString& op, const QString& first, const QString& second)
{
    QJsonObject request{{"op", op + "-list"}};
    if (op == "reverse") {
        // Reverse tunnels belong to one device; forward ones are the host's.
        QJsonObject entry;
        if (!m_access.select(entry)) {
            return 1;
        }
        request.insert("serial", entry.value("serial").toString());
        request.insert("device", m_access.physical(entry));
    } else if (!DaemonClient(m_home).isRunning()) {
        return 0;
    }
    QJsonObject reply;
    if (!daemonRequest(request, reply)) {
        return 1;
    }
    for (const QJsonValue& item : reply.value("list").toArray()) {
        const QJsonObject t = item.toObject();
        Console::out(QString("%1 %2 %3").arg(t.value("serial").toString(), t.value(first).toString(),
                                             t.value(second).toString()));
    }
    return 0;
}

int HostCommands::logcat(const QStringList& rest)
{
    QJsonObject entry;
    if (!m_access.select(entry)) {
        return 1;
    }
    const QString path = m_home.logcatPath(m_access.physical(entry));
    if (rest.contains("-c")) {
        QFile::remove(path);
        return 0;
    }
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        Console::raw(file.readAll());
    }
    if (rest.contains("-d")) {
        return 0;
    }
    // A streaming logcat runs until it is killed or the simulator goes away.
    fflush(stdout);
    while (m_home.isValid()) {
        QThread::msleep(200);
    }
    return 0;
}

int HostCommands::tcpip(const QStringList& rest)
{
    bool ok = false;
    const int port = rest.value(0).toInt(&ok);
    if (!ok || port <= 0 || port > 65535) {
        return Console::fail("adb: tcpip: invalid port: " + rest.value(0));
    }
    QJsonObject entry;
    if (!m_access.select(entry)) {
        return 1;
    }
    if (!m_access.update(m_access.physical(entry), [port](QJsonObject& d) { d.insert("tcpipPort", port); })) {
        return Console::failNoLock();
    }
    m_access.recordEvent(m_access.physical(entry), QJsonObject{{"event", "tcpip"}, {"port", port}});
    Console::out(QString("restarting in TCP mode port: %1").arg(port));
    return 0;
}

int HostCommands::usb()
{
    QJsonObject entry;
    if (!m_access.select(entry)) {
        return 1;
    }
    if (!m_access.update(m_access.physical(entry), [](QJsonObject& d) { d.insert("tcpipPort", 0); })) {
        return Console::failNoLock();
    }
    Console::out("restarting in USB mode");
    return 0;
}

int HostCommands::connectDevice(const QStringList& rest)
{
    if (rest.isEmpty()) {
        return Console::fail("adb: usage: adb connect HOST[:PORT]");
    }
    const QString target = rest.first();
    const QString host = target.section(':', 0, 0);
    const QString portText = target.contains(':') ? target.section(':', 1) : QString("5555");
    bool ok = false;
    const int port = portText.toInt(&ok);
    if (host.isEmpty() || !ok) {
        Console::out(QString("failed to connect to '%1': Connection refused").arg(target));
        return 1;
    }
    const QString serial = QString("%1:%2").arg(host).arg(port);
    const auto lock = m_home.lock();
    if (!lock) {
        return Console::failNoLock();
    }
    QJsonObject existing;
    if (m_home.readEntry(serial, existing)) {
        Console::out("already connected to " + serial);
        return 0;
    }
    if (!addAlias(serial, host, port)) {
        Console::out(QString("failed to connect to '%1': Connection refused").arg(serial));
        return 1;
    }
    Console::out("connected to " + serial);
    return 0;
}

// A wireless transport is a second entry for the device listening on host:port.
bool HostCommands::addAlias(const QString& serial, const QString& host, int port)
{
    for (const QJsonObject& entry : m_home.entries()) {
        if (entry.contains("aliasOf")) {
            continue;
        }
        if (entry.value("ip").toString() == host && entry.value("tcpipPort").toInt() == port &&
            entry.value("state").toString("device") == "device") {
            return m_home.writeEntry(QJsonObject{{"serial", serial},
                                                 {"aliasOf", entry.value("serial").toString()},
                                                 {"state", "device"},
                                                 {"order", m_home.nextOrder()}});
        }
    }
    return false;
}

int HostCommands::disconnectDevice(const QStringList& rest)
{
    QStringList removed;
    {
        const auto lock = m_home.lock();
        if (!lock) {
            return Console::failNoLock();
        }
        if (rest.isEmpty()) {
            for (const QJsonObject& entry : m_home.entries()) {
                if (entry.contains("aliasOf")) {
                    removed.append(entry.value("serial").toString());
                    m_home.removeEntry(removed.last());
                }
            }
        } else {
            QString serial = rest.first();
            if (!serial.contains(':')) {
                serial += ":5555";
            }
            QJsonObject entry;
            if (!m_home.readEntry(serial, entry) || !entry.contains("aliasOf")) {
                return Console::fail(QString("error: no such device '%1'").arg(serial));
            }
            m_home.removeEntry(serial);
            removed.append(serial);
        }
    }
    DaemonClient client(m_home);
    if (client.isRunning()) {
        for (const QString& serial : removed) {
            QJsonObject reply;
            client.request(QJsonObject{{"op", "drop-serial"}, {"serial", serial}}, reply, nullptr);
        }
    }
    Console::out(rest.isEmpty() ? QString("disconnected everything") : "disconnected " + removed.first());
    return 0;
}

} // namespace sim

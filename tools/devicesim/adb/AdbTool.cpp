#include "AdbTool.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QThread>

#include <cstdio>
#include <functional>

#include "DaemonClient.h"
#include "ServerLauncher.h"
#include "ProcessUtil.h"

namespace sim {

namespace {

const char* const kUnauthorized =
    "adb: device unauthorized.\n"
    "This adb server's $ADB_VENDOR_KEYS is not set\n"
    "Try 'adb kill-server' if that seems wrong.\n"
    "Otherwise check for a confirmation dialog on your device.";

QJsonValue parseValue(const QString& text)
{
    // Numbers, booleans, objects and quoted strings as JSON; anything else as text.
    const QJsonDocument doc = QJsonDocument::fromJson(QString("[%1]").arg(text).toUtf8());
    if (doc.isArray() && doc.array().size() == 1) {
        return doc.array().at(0);
    }
    return text;
}

void setPath(QJsonObject& object, const QStringList& path, const QJsonValue& value)
{
    if (path.size() == 1) {
        if (value.isNull()) {
            object.remove(path.first());
        } else {
            object.insert(path.first(), value);
        }
        return;
    }
    QJsonObject child = object.value(path.first()).toObject();
    setPath(child, path.mid(1), value);
    object.insert(path.first(), child);
}

bool isWritableDevicePath(const QString& path)
{
    for (const char* prefix : {"/data/", "/sdcard", "/storage/", "/mnt/"}) {
        if (path.startsWith(QLatin1String(prefix))) {
            return true;
        }
    }
    return false;
}

QString defaultIfconfig(const QString& ip)
{
    QString bcast = ip.section('.', 0, 2) + ".255";
    return QString("wlan0     Link encap:UNSPEC    Driver icnss\n"
                   "          inet addr:%1  Bcast:%2  Mask:255.255.255.0 \n"
                   "          inet6 addr: fe80::1c2e:5aff:fe10:4b7/64 Scope: Link\n"
                   "          UP BROADCAST RUNNING MULTICAST  MTU:1500  Metric:1\n"
                   "          RX packets:4213 errors:0 dropped:0 overruns:0 frame:0 \n"
                   "          TX packets:2380 errors:0 dropped:0 overruns:0 carrier:0 \n"
                   "          collisions:0 txqueuelen:3000 \n"
                   "          RX bytes:3104410 TX bytes:402117 ")
        .arg(ip, bcast);
}

} // namespace

QStringList splitShellWords(const QString& line)
{
    QStringList words;
    QString word;
    bool inWord = false;
    QChar quote;
    for (int i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (!quote.isNull()) {
            if (c == quote) {
                quote = QChar();
            } else if (c == '\\' && quote == '"' && i + 1 < line.size()) {
                word += line.at(++i);
            } else {
                word += c;
            }
            continue;
        }
        if (c == '\'' || c == '"') {
            quote = c;
            inWord = true;
        } else if (c == '\\' && i + 1 < line.size()) {
            word += line.at(++i);
            inWord = true;
        } else if (c.isSpace()) {
            if (inWord) {
                words.append(word);
                word.clear();
                inWord = false;
            }
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) {
        words.append(word);
    }
    return words;
}

AdbTool::AdbTool(const SimHome& home, const QStringList& args) : m_home(home), m_args(args) {}

void AdbTool::out(const QString& text)
{
    const QByteArray bytes = text.toUtf8() + "\n";
    fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
}

void AdbTool::err(const QString& text)
{
    const QByteArray bytes = text.toUtf8() + "\n";
    fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
}

int AdbTool::fail(const QString& text, int code)
{
    err(text);
    return code;
}

int AdbTool::run()
{
    QStringList args = m_args;
    m_serial = QString::fromLocal8Bit(qgetenv("ANDROID_SERIAL"));
    while (!args.isEmpty() && args.first().startsWith('-')) {
        const QString option = args.takeFirst();
        if (option == "-s") {
            if (args.isEmpty()) {
                return fail("adb: -s requires an argument");
            }
            m_serial = args.takeFirst();
        } else if (option == "-H" || option == "-P" || option == "-t" || option == "-L") {
            if (!args.isEmpty()) {
                args.removeFirst();
            }
        } else if (option == "-d" || option == "-e" || option == "-a") {
            continue;
        } else {
            return fail(QString("adb: unknown option %1").arg(option));
        }
    }
    if (args.isEmpty()) {
        return fail("adb: no command given");
    }
    const QString command = args.takeFirst();
    if (command == "sim") {
        m_logged = false;
    }
    if (!m_home.isValid() && !QDir().mkpath(m_home.root())) {
        return fail(QString("adb: cannot use the simulator home '%1'").arg(m_home.root()));
    }
    QDir().mkpath(m_home.devicesDir());
    return dispatch(command, args);
}

int AdbTool::dispatch(const QString& command, const QStringList& rest)
{
    static const QHash<QString, std::function<int(AdbTool*, const QStringList&)>> commands = {
        {"devices", &AdbTool::cmdDevices},
        {"version", [](AdbTool* t, const QStringList&) { return t->cmdVersion(); }},
        {"kill-server", [](AdbTool* t, const QStringList&) { return t->cmdKillServer(); }},
        {"start-server", [](AdbTool* t, const QStringList&) { return t->cmdStartServer(); }},
        {"get-state", [](AdbTool* t, const QStringList&) { return t->cmdGetState(); }},
        {"get-serialno", [](AdbTool* t, const QStringList&) { return t->cmdGetSerialNo(); }},
        {"wait-for-device", [](AdbTool* t, const QStringList&) { return t->cmdWaitForDevice(); }},
        {"push", &AdbTool::cmdPush},
        {"pull", &AdbTool::cmdPull},
        {"install", &AdbTool::cmdInstall},
        {"uninstall", &AdbTool::cmdUninstall},
        {"forward", &AdbTool::cmdForward},
        {"reverse", &AdbTool::cmdReverse},
        {"logcat", &AdbTool::cmdLogcat},
        {"tcpip", &AdbTool::cmdTcpip},
        {"usb", [](AdbTool* t, const QStringList&) { return t->cmdUsb(); }},
        {"connect", &AdbTool::cmdConnect},
        {"disconnect", &AdbTool::cmdDisconnect},
        {"shell", &AdbTool::cmdShell},
        {"sim", &AdbTool::cmdSim},
    };
    const auto it = commands.constFind(command);
    if (it == commands.constEnd()) {
        return fail(QString("adb: unknown command %1").arg(command));
    }
    return (*it)(this, rest);
}

bool AdbTool::selectDevice(QJsonObject& entry)
{
    const QList<QJsonObject> entries = m_home.entries();
    if (!m_serial.isEmpty()) {
        bool found = false;
        for (const QJsonObject& candidate : entries) {
            if (candidate.value("serial").toString() == m_serial) {
                entry = candidate;
                found = true;
            }
        }
        if (!found) {
            err(QString("adb: device '%1' not found").arg(m_serial));
            return false;
        }
    } else if (entries.isEmpty()) {
        err("adb: no devices/emulators found");
        return false;
    } else if (entries.size() > 1) {
        err("adb: more than one device/emulator");
        return false;
    } else {
        entry = entries.first();
    }
    QJsonObject device;
    const QString state = loadDevice(entry, device) ? device.value("state").toString("device") : "offline";
    const QString entryState = entry.value("state").toString(state);
    if (state == "unauthorized" || entryState == "unauthorized") {
        err(kUnauthorized);
        return false;
    }
    if (state != "device" || entryState != "device") {
        err("adb: device offline");
        return false;
    }
    return true;
}

bool AdbTool::loadDevice(const QJsonObject& entry, QJsonObject& device)
{
    return m_home.readDevice(physical(entry), device);
}

bool AdbTool::updateDevice(const QString& physicalSerial, const std::function<void(QJsonObject&)>& change)
{
    auto lock = m_home.lock();
    if (!lock) {
        return false;
    }
    QJsonObject device;
    if (!m_home.readDevice(physicalSerial, device)) {
        return false;
    }
    change(device);
    return m_home.writeEntry(device);
}

void AdbTool::recordEvent(const QString& physicalSerial, const QJsonObject& event)
{
    QJsonObject line = event;
    line.insert("t", nowMs());
    appendJsonLine(m_home.eventLogPath(physicalSerial), line);
}

int AdbTool::cmdDevices(const QStringList& rest)
{
    const bool longForm = rest.contains("-l");
    out("List of devices attached");
    for (const QJsonObject& entry : m_home.entries()) {
        QJsonObject device;
        const bool haveDevice = loadDevice(entry, device);
        QString state = haveDevice ? device.value("state").toString("device") : "offline";
        if (entry.value("state").toString("device") != "device") {
            state = entry.value("state").toString();
        }
        const QString serial = entry.value("serial").toString();
        if (!longForm) {
            out(serial + "\t" + state);
            continue;
        }
        const QString model = device.value("model").toString("SimPhone").replace(' ', '_');
        out(QString("%1 %2 product:%3 model:%4 device:%5 transport_id:%6")
                .arg(serial.leftJustified(22), state, device.value("product").toString("devicesim"), model,
                     device.value("product").toString("devicesim"))
                .arg(entry.value("order").toInt()));
    }
    out("");
    return 0;
}

int AdbTool::cmdVersion()
{
    out("Android Debug Bridge version 1.0.41");
    out("Version 34.0.5-devicesim");
    out("Installed as " + QCoreApplication::applicationFilePath());
    return 0;
}

int AdbTool::cmdKillServer()
{
    DaemonClient client(m_home);
    QJsonObject reply;
    client.request(QJsonObject{{"op", "kill"}}, reply, nullptr, 2000);
    return 0;
}

int AdbTool::cmdStartServer()
{
    return ensureDaemon() ? 0 : 1;
}

int AdbTool::cmdGetState()
{
    QJsonObject entry;
    if (!selectDevice(entry)) {
        return 1;
    }
    out("device");
    return 0;
}

int AdbTool::cmdGetSerialNo()
{
    QJsonObject entry;
    if (!selectDevice(entry)) {
        return 1;
    }
    out(entry.value("serial").toString());
    return 0;
}

int AdbTool::cmdWaitForDevice()
{
    QElapsedTimer timer;
    timer.start();
    while (m_home.isValid()) {
        const QList<QJsonObject> entries = m_home.entries();
        for (const QJsonObject& entry : entries) {
            QJsonObject device;
            if ((m_serial.isEmpty() || entry.value("serial").toString() == m_serial) && loadDevice(entry, device) &&
                device.value("state").toString("device") == "device") {
                return 0;
            }
        }
        QThread::msleep(100);
    }
    return 1;
}

int AdbTool::cmdPush(const QStringList& rest)
{
    QStringList paths;
    for (const QString& arg : rest) {
        if (!arg.startsWith("--")) {
            paths.append(arg);
        }
    }
    if (paths.size() < 2) {
        return fail("adb: push requires an argument");
    }
    const QString remote = paths.takeLast();
    QJsonObject entry;
    if (!selectDevice(entry)) {
        return 1;
    }
    const QString device = physical(entry);
    int pushed = 0;
    qint64 bytes = 0;
    QElapsedTimer timer;
    timer.start();
    for (const QString& local : paths) {
        const QFileInfo info(local);
        if (!info.exists()) {
            return fail(QString("adb: error: cannot stat '%1': No such file or directory").arg(local));
        }
        QString target = remote;
        const QString remoteHost = m_home.hostPathFor(device, remote);
        if (remote.endsWith('/') || QFileInfo(remoteHost).isDir() || paths.size() > 1) {
            target = remote + (remote.endsWith('/') ? "" : "/") + info.fileName();
        }
        const QString targetHost = m_home.hostPathFor(device, target);
        if (targetHost.isEmpty()) {
            return fail(QString("adb: error: failed to copy '%1' to '%2': remote secure_mkdirs() failed: "
                                "No such file or directory")
                            .arg(local, target));
        }
        if (!isWritableDevicePath(QDir::cleanPath(target))) {
            return fail(QString("adb: error: failed to copy '%1' to '%2': remote couldn't create file: "
                                "Read-only file system")
                            .arg(local, target));
        }
        QList<QPair<QString, QString>> copies;
        if (info.isDir()) {
            QDirIterator it(local, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString file = it.next();
                copies.append({file, targetHost + "/" + QDir(local).relativeFilePath(file)});
            }
        } else {
            copies.append({local, targetHost});
        }
        for (const auto& copy : copies) {
            QDir().mkpath(QFileInfo(copy.second).absolutePath());
            QFile::remove(copy.second);
            if (!QFile::copy(copy.first, copy.second)) {
                return fail(QString("adb: error: failed to copy '%1' to '%2': remote write failed")
                                .arg(copy.first, target));
            }
            bytes += QFileInfo(copy.first).size();
            ++pushed;
        }
    }
    const double seconds = std::max<qint64>(timer.elapsed(), 1) / 1000.0;
    out(QString("%1: %2 file%3 pushed, 0 skipped. %4 MB/s (%5 bytes in %6s)")
            .arg(paths.size() == 1 ? paths.first() : QString("%1 files").arg(paths.size()))
            .arg(pushed)
            .arg(pushed == 1 ? "" : "s")
            .arg(bytes / seconds / 1e6, 0, 'f', 1)
            .arg(bytes)
            .arg(seconds, 0, 'f', 3));
    recordEvent(device, QJsonObject{{"event", "push"}, {"local", paths.join(' ')}, {"remote", remote}});
    return 0;
}

int AdbTool::cmdPull(const QStringList& rest)
{
    if (rest.isEmpty()) {
        return fail("adb: pull requires an argument");
    }
    QJsonObject entry;
    if (!selectDevice(entry)) {
        return 1;
    }
    const QString remote = rest.first();
    const QString source = m_home.hostPathFor(physical(entry), remote);
    if (source.isEmpty() || !QFileInfo(source).isFile()) {
        return fail(QString("adb: error: failed to stat remote object '%1': No such file or directory").arg(remote));
    }
    QString local = rest.value(1, QFileInfo(remote).fileName());
    if (QFileInfo(local).isDir()) {
        local += "/" + QFileInfo(remote).fileName();
    }
    QFile::remove(local);
    if (!QFile::copy(source, local)) {
        return fail(QString("adb: error: cannot create '%1': Permission denied").arg(local));
    }
    out(QString("%1: 1 file pulled, 0 skipped.").arg(remote));
    return 0;
}

int AdbTool::cmdInstall(const QStringList& rest)
{
    bool replace = false;
    QString file;
    for (const QString& arg : rest) {
        if (arg == "-r") {
            replace = true;
        } else if (!arg.startsWith('-')) {
            file = arg;
        }
    }
    if (file.isEmpty()) {
        return fail("adb: install requires an argument");
    }
    QJsonObject entry;
    if (!selectDevice(entry)) {
        return 1;
    }
    QFile apk(file);
    if (!apk.open(QIODevice::ReadOnly)) {
        return fail(QString("adb: failed to stat %1: No such file or directory").arg(file));
    }
    const QByteArray content = apk.readAll();
    out("Performing Streamed Install");
    const QString device = physical(entry);
    if (!content.startsWith("PK\x03\x04") || !content.contains("AndroidManifest.xml")) {
        recordEvent(device, QJsonObject{{"event", "install"}, {"file", file}, {"result", "invalid"}});
        return fail(QString("adb: failed to install %1: Failure [INSTALL_PARSE_FAILED_NOT_APK: Failed to parse "
                            "/data/app/vmdl.tmp/base.apk: Failed to load asset path /data/app/vmdl.tmp/base.apk]")
                        .arg(file));
    }
    QJsonObject state;
    loadDevice(entry, state);
    const QString failure = state.value("faults").toObject().value("installFailure").toString();
    if (!failure.isEmpty()) {
        return fail(QString("adb: failed to install %1: Failure [%2]").arg(file, failure));
    }
    const QString package = QFileInfo(file).completeBaseName();
    if (!replace && state.value("packages").toArray().contains(package)) {
        return fail(QString("adb: failed to install %1: Failure [INSTALL_FAILED_ALREADY_EXISTS: Attempt to "
                            "re-install %2 without first uninstalling.]")
                        .arg(file, package));
    }
    updateDevice(device, [&](QJsonObject& d) {
        QJsonArray packages = d.value("packages").toArray();
        if (!packages.contains(package)) {
            packages.append(package);
        }
        d.insert("packages", packages);
    });
    recordEvent(device, QJsonObject{{"event", "install"}, {"file", file}, {"package", package}, {"result", "ok"}});
    out("Success");
    return 0;
}

int AdbTool::cmdUninstall(const QStringList& rest)
{
    const QString package = rest.isEmpty() ? QString() : rest.last();
    QJsonObject entry;
    if (!selectDevice(entry)) {
        return 1;
    }
    bool removed = false;
    updateDevice(physical(entry), [&](QJsonObject& d) {
        QJsonArray packages = d.value("packages").toArray();
        for (int i = 0; i < packages.size(); ++i) {
            if (packages.at(i).toString() == package) {
                packages.removeAt(i);
                removed = true;
                break;
            }
        }
        d.insert("packages", packages);
    });
    if (!removed) {
        out("Failure [DELETE_FAILED_INTERNAL_ERROR]");
        return 1;
    }
    out("Success");
    return 0;
}

bool AdbTool::ensureDaemon()
{
    DaemonClient client(m_home);
    QString error;
    if (!client.ensureRunning(QCoreApplication::applicationFilePath(), &error)) {
        err("adb: " + error);
        return false;
    }
    return true;
}

bool AdbTool::daemonRequest(const QJsonObject& request, QJsonObject& reply)
{
    if (!ensureDaemon()) {
        return false;
    }
    QString error;
    if (!DaemonClient(m_home).request(request, reply, &error)) {
        err("adb: error: " + error);
        return false;
    }
    return true;
}

int AdbTool::cmdForward(const QStringList& rest)
{
    QStringList args = rest;
    bool noRebind = false;
    if (args.value(0) == "--no-rebind") {
        noRebind = true;
        args.removeFirst();
    }
    if (args.value(0) == "--list") {
        QJsonObject reply;
        if (!DaemonClient(m_home).isRunning()) {
            return 0;
        }
        if (!daemonRequest(QJsonObject{{"op", "forward-list"}}, reply)) {
            return 1;
        }
        for (const QJsonValue& item : reply.value("list").toArray()) {
            const QJsonObject f = item.toObject();
            out(QString("%1 %2 %3").arg(f.value("serial").toString(), f.value("local").toString(),
                                        f.value("remote").toString()));
        }
        return 0;
    }
    QJsonObject entry;
    if (!selectDevice(entry)) {
        return 1;
    }
    QJsonObject request{{"serial", entry.value("serial").toString()}, {"device", physical(entry)}};
    if (args.value(0) == "--remove-all") {
        request.insert("op", "forward-remove");
        request.insert("all", true);
    } else if (args.value(0) == "--remove") {
        if (args.size() != 2) {
            return fail("adb: usage: adb forward --remove LOCAL");
        }
        request.insert("op", "forward-remove");
        request.insert("local", args.at(1));
    } else {
        if (args.size() != 2) {
            return fail("adb: usage: adb forward LOCAL REMOTE");
        }
        request.insert("op", "forward");
        request.insert("local", args.at(0));
        request.insert("remote", args.at(1));
        request.insert("norebind", noRebind);
    }
    QJsonObject reply;
    if (!daemonRequest(request, reply)) {
        return 1;
    }
    if (request.value("op") == "forward" && args.at(0) == "tcp:0") {
        out(QString::number(reply.value("port").toInt()));
    }
    return 0;
}

int AdbTool::cmdReverse(const QStringList& rest)
{
    QStringList args = rest;
    bool noRebind = false;
    if (args.value(0) == "--no-rebind") {
        noRebind = true;
        args.removeFirst();
    }
    QJsonObject entry;
    if (!selectDevice(entry)) {
        return 1;
    }
    QJsonObject device;
    loadDevice(entry, device);
    QJsonObject request{{"serial", entry.value("serial").toString()}, {"device", physical(entry)}};
    if (args.value(0) == "--list") {
        request.insert("op", "reverse-list");
        QJsonObject reply;
        if (!daemonRequest(request, reply)) {
            return 1;
        }
        for (const QJsonValue& item : reply.value("list").toArray()) {
            const QJsonObject r = item.toObject();
            out(QString("%1 %2 %3").arg(r.value("serial").toString(), r.value("remote").toString(),
                                        r.value("local").toString()));
        }
        return 0;
    }
    if (args.value(0) == "--remove-all") {
        request.insert("op", "reverse-remove");
        request.insert("all", true);
    } else if (args.value(0) == "--remove") {
        if (args.size() != 2) {
            return fail("adb: usage: adb reverse --remove REMOTE");
        }
        request.insert("op", "reverse-remove");
        request.insert("remote", args.at(1));
    } else {
        if (args.size() != 2) {
            return fail("adb: usage: adb reverse REMOTE LOCAL");
        }
        if (device.value("faults").toObject().value("reverseRefused").toBool()) {
            return fail("adb: error: closed");
        }
        request.insert("op", "reverse");
        request.insert("remote", args.at(0));
        request.insert("local", args.at(1));
        request.insert("norebind", noRebind);
    }
    QJsonObject reply;
    return daemonRequest(request, reply) ? 0 : 1;
}

int AdbTool::cmdLogcat(const QStringList& rest)
{
    QJsonObject entry;
    if (!selectDevice(entry)) {
        return 1;
    }
    const QString path = m_home.logcatPath(physical(entry));
    if (rest.contains("-c")) {
        QFile::remove(path);
        return 0;
    }
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray content = file.readAll();
        fwrite(content.constData(), 1, static_cast<size_t>(content.size()), stdout);
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

int AdbTool::cmdTcpip(const QStringList& rest)
{
    bool ok = false;
    const int port = rest.value(0).toInt(&ok);
    if (!ok || port <= 0 || port > 65535) {
        return fail("adb: tcpip: invalid port: " + rest.value(0));
    }
    QJsonObject entry;
    if (!selectDevice(entry)) {
        return 1;
    }
    updateDevice(physical(entry), [port](QJsonObject& d) { d.insert("tcpipPort", port); });
    recordEvent(physical(entry), QJsonObject{{"event", "tcpip"}, {"port", port}});
    out(QString("restarting in TCP mode port: %1").arg(port));
    return 0;
}

int AdbTool::cmdUsb()
{
    QJsonObject entry;
    if (!selectDevice(entry)) {
        return 1;
    }
    updateDevice(physical(entry), [](QJsonObject& d) { d.insert("tcpipPort", 0); });
    out("restarting in USB mode");
    return 0;
}

int AdbTool::cmdConnect(const QStringList& rest)
{
    if (rest.isEmpty()) {
        return fail("adb: usage: adb connect HOST[:PORT]");
    }
    const QString target = rest.first();
    const QString host = target.section(':', 0, 0);
    const QString portText = target.contains(':') ? target.section(':', 1) : QString("5555");
    bool ok = false;
    const int port = portText.toInt(&ok);
    if (host.isEmpty() || !ok) {
        out(QString("failed to connect to '%1': Connection refused").arg(target));
        return 1;
    }
    const QString serial = QString("%1:%2").arg(host).arg(port);
    auto lock = m_home.lock();
    QJsonObject existing;
    if (m_home.readEntry(serial, existing)) {
        out("already connected to " + serial);
        return 0;
    }
    for (const QJsonObject& entry : m_home.entries()) {
        if (entry.contains("aliasOf")) {
            continue;
        }
        if (entry.value("ip").toString() == host && entry.value("tcpipPort").toInt() == port &&
            entry.value("state").toString("device") == "device") {
            QJsonObject alias{{"serial", serial},
                              {"aliasOf", entry.value("serial").toString()},
                              {"state", "device"},
                              {"order", m_home.nextOrder()}};
            m_home.writeEntry(alias);
            out("connected to " + serial);
            return 0;
        }
    }
    out(QString("failed to connect to '%1': Connection refused").arg(serial));
    return 1;
}

int AdbTool::cmdDisconnect(const QStringList& rest)
{
    QStringList removed;
    {
        auto lock = m_home.lock();
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
                return fail(QString("error: no such device '%1'").arg(serial));
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
    out(rest.isEmpty() ? QString("disconnected everything") : "disconnected " + removed.first());
    return 0;
}

int AdbTool::cmdShell(const QStringList& rest)
{
    QStringList args = rest;
    while (!args.isEmpty() && (args.first() == "-t" || args.first() == "-T" || args.first() == "-x")) {
        args.removeFirst();
    }
    QJsonObject entry;
    if (!selectDevice(entry)) {
        return 1;
    }
    if (args.isEmpty()) {
        return fail("adb: the simulated device has no interactive shell");
    }
    // adb joins its arguments with blanks and the device's shell splits them again.
    return shellCommand(entry, splitShellWords(args.join(' ')), args);
}

int AdbTool::shellCommand(const QJsonObject& entry, const QStringList& wordsIn, const QStringList& rawArgs)
{
    QStringList words = wordsIn;
    QHash<QString, QString> env;
    static const QRegularExpression assignment("^[A-Za-z_][A-Za-z0-9_]*=");
    while (!words.isEmpty() && assignment.match(words.first()).hasMatch()) {
        const QString word = words.takeFirst();
        env.insert(word.section('=', 0, 0), word.section('=', 1));
    }
    if (words.isEmpty()) {
        return 0;
    }
    const QString program = words.takeFirst();
    const QString device = physical(entry);
    QJsonObject state;
    loadDevice(entry, state);
    if (program == "app_process") {
        return shellAppProcess(entry, env, words, rawArgs);
    }
    if (program == "settings") {
        return shellSettings(device, words);
    }
    if (program == "ifconfig") {
        return shellIfconfig(state, words);
    }
    if (program == "ip") {
        return shellIp(state, words);
    }
    if (program == "wm") {
        return shellWm(device, state, words);
    }
    if (program == "am") {
        return shellAm(device, words);
    }
    if (program == "pm") {
        return shellPm(state, words);
    }
    if (program == "rm") {
        return shellRm(device, words);
    }
    if (program == "ls") {
        return shellLs(device, words);
    }
    if (program == "cat") {
        return shellCat(device, words);
    }
    if (program == "input") {
        return shellInput(device, words);
    }
    if (program == "echo") {
        out(words.join(' '));
        return 0;
    }
    if (program == "getprop") {
        const QHash<QString, QString> props{{"ro.product.model", state.value("model").toString("SimPhone")},
                                            {"ro.product.name", state.value("product").toString("devicesim")},
                                            {"ro.build.version.release", "11"},
                                            {"ro.build.version.sdk", "30"},
                                            {"ro.serialno", device}};
        out(props.value(words.value(0)));
        return 0;
    }
    return fail(QString("/system/bin/sh: %1: inaccessible or not found").arg(program), 127);
}

int AdbTool::shellSettings(const QString& device, const QStringList& args)
{
    const QString verb = args.value(0);
    const QString table = args.value(1);
    if (!QStringList{"system", "secure", "global"}.contains(table) || args.size() < 3) {
        return fail("usage:  settings [--user <USER_ID> | current] get namespace key");
    }
    const QString name = args.at(2);
    if (verb == "get") {
        QJsonObject state;
        m_home.readDevice(device, state);
        const QJsonValue value = state.value("settings").toObject().value(table).toObject().value(name);
        out(value.isUndefined() ? QString("null") : value.toString());
        return 0;
    }
    if (verb == "put" && args.size() >= 4) {
        const QString value = args.at(3);
        updateDevice(device, [&](QJsonObject& d) { setPath(d, {"settings", table, name}, value); });
        recordEvent(device, QJsonObject{{"event", "settings"}, {"table", table}, {"name", name}, {"value", value}});
        return 0;
    }
    if (verb == "delete") {
        updateDevice(device, [&](QJsonObject& d) { setPath(d, {"settings", table, name}, QJsonValue()); });
        return 0;
    }
    return fail("usage:  settings [--user <USER_ID> | current] put namespace key value");
}

int AdbTool::shellIfconfig(const QJsonObject& device, const QStringList& args)
{
    const QString iface = args.value(0);
    if (iface != "wlan0" && !iface.isEmpty()) {
        return fail(QString("ifconfig: %1: No such device").arg(iface));
    }
    const QString custom = device.value("ifconfig").toString();
    if (!custom.isEmpty()) {
        out(custom);
        return 0;
    }
    const QString ip = device.value("ip").toString();
    if (ip.isEmpty()) {
        return fail("ifconfig: wlan0: No such device");
    }
    out(defaultIfconfig(ip));
    return 0;
}

int AdbTool::shellIp(const QJsonObject& device, const QStringList& args)
{
    const QString ip = device.value("ip").toString();
    if (ip.isEmpty() || !args.join(' ').contains("wlan0")) {
        return fail("Device \"wlan0\" does not exist.");
    }
    if (args.contains("-o")) {
        out(QString("30: wlan0    inet %1/24 brd %2.255 scope global wlan0\\       valid_lft forever preferred_lft forever")
                .arg(ip, ip.section('.', 0, 2)));
        return 0;
    }
    out("30: wlan0: <BROADCAST,MULTICAST,UP,LOWER_UP> mtu 1500 qdisc mq state UP group default qlen 3000");
    out(QString("    inet %1/24 brd %2.255 scope global wlan0").arg(ip, ip.section('.', 0, 2)));
    return 0;
}

int AdbTool::shellWm(const QString& device, const QJsonObject& state, const QStringList& args)
{
    if (args.value(0) != "size") {
        return fail("Error: unknown command '" + args.value(0) + "'", 255);
    }
    const QString physicalSize = QString("%1x%2").arg(state.value("width").toInt()).arg(state.value("height").toInt());
    if (args.size() == 1) {
        out("Physical size: " + physicalSize);
        const QString override = state.value("wmSize").toString();
        if (!override.isEmpty()) {
            out("Override size: " + override);
        }
        return 0;
    }
    const QString value = args.at(1);
    static const QRegularExpression size("^\\d+x\\d+$");
    if (value != "reset" && !size.match(value).hasMatch()) {
        return fail("Error: bad size " + value, 255);
    }
    updateDevice(device, [&](QJsonObject& d) { d.insert("wmSize", value == "reset" ? QString() : value); });
    recordEvent(device, QJsonObject{{"event", "wm-size"}, {"value", value}});
    return 0;
}

int AdbTool::shellAm(const QString& device, const QStringList& args)
{
    const QString verb = args.value(0);
    recordEvent(device, QJsonObject{{"event", "am"}, {"args", QJsonArray::fromStringList(args)}});
    if (verb == "start") {
        const QString component = args.isEmpty() ? QString() : args.last();
        out(QString("Starting: Intent { cmp=%1 }").arg(component));
        return 0;
    }
    if (verb == "broadcast") {
        const int action = args.indexOf("-a");
        out(QString("Broadcasting: Intent { act=%1 flg=0x400000 (has extras) }").arg(args.value(action + 1)));
        out("Broadcast completed: result=0");
        return 0;
    }
    if (verb == "force-stop") {
        return 0;
    }
    return fail("Error: unknown command '" + verb + "'", 255);
}

int AdbTool::shellPm(const QJsonObject& state, const QStringList& args)
{
    if (args.value(0) == "list" && args.value(1) == "packages") {
        for (const QJsonValue& package : state.value("packages").toArray()) {
            out("package:" + package.toString());
        }
        return 0;
    }
    return fail("Error: unknown command '" + args.value(0) + "'", 255);
}

int AdbTool::shellRm(const QString& device, const QStringList& args)
{
    bool force = false;
    bool recursive = false;
    int status = 0;
    for (const QString& arg : args) {
        if (arg.startsWith('-')) {
            force = force || arg.contains('f');
            recursive = recursive || arg.contains('r') || arg.contains('R');
            continue;
        }
        const QString host = m_home.hostPathFor(device, arg);
        const QFileInfo info(host);
        if (host.isEmpty() || !info.exists()) {
            if (!force) {
                err(QString("rm: %1: No such file or directory").arg(arg));
                status = 1;
            }
            continue;
        }
        if (info.isDir() && !recursive) {
            err(QString("rm: %1: is a directory").arg(arg));
            status = 1;
            continue;
        }
        const bool ok = info.isDir() ? QDir(host).removeRecursively() : QFile::remove(host);
        if (!ok) {
            err(QString("rm: %1: Permission denied").arg(arg));
            status = 1;
        }
    }
    recordEvent(device, QJsonObject{{"event", "rm"}, {"args", QJsonArray::fromStringList(args)}});
    return status;
}

int AdbTool::shellLs(const QString& device, const QStringList& args)
{
    const QString path = args.isEmpty() ? QString("/") : args.last();
    const QString host = m_home.hostPathFor(device, path);
    const QFileInfo info(host);
    if (host.isEmpty() || !info.exists()) {
        return fail(QString("ls: %1: No such file or directory").arg(path));
    }
    if (info.isFile()) {
        out(path);
        return 0;
    }
    for (const QString& name : QDir(host).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name)) {
        out(name);
    }
    return 0;
}

int AdbTool::shellCat(const QString& device, const QStringList& args)
{
    int status = 0;
    for (const QString& path : args) {
        QFile file(m_home.hostPathFor(device, path));
        if (!file.open(QIODevice::ReadOnly)) {
            err(QString("cat: %1: No such file or directory").arg(path));
            status = 1;
            continue;
        }
        const QByteArray content = file.readAll();
        fwrite(content.constData(), 1, static_cast<size_t>(content.size()), stdout);
    }
    return status;
}

int AdbTool::shellInput(const QString& device, const QStringList& args)
{
    if (args.isEmpty()) {
        return fail("Usage: input [<source>] <command> [<arg>...]");
    }
    recordEvent(device, QJsonObject{{"event", "input"}, {"args", QJsonArray::fromStringList(args)}});
    return 0;
}

int AdbTool::shellAppProcess(const QJsonObject& entry, const QHash<QString, QString>& env, const QStringList& args,
                             const QStringList& rawArgs)
{
    QStringList rest = args;
    while (!rest.isEmpty() && rest.first().startsWith('-')) {
        rest.removeFirst();
    }
    if (rest.size() < 2) {
        return fail("Usage: app_process [java-options] cmd-dir start-class-name [options]");
    }
    rest.removeFirst(); // the command directory
    const QString className = rest.takeFirst();
    const QString classPath = env.value("CLASSPATH");
    ServerLauncher launcher(m_home, entry, m_args);
    return launcher.run(classPath, className, rest, rawArgs);
}

int AdbTool::cmdSim(const QStringList& rest)
{
    const QString verb = rest.value(0);
    const QStringList args = rest.mid(1);
    if (verb == "add") {
        return simAdd(args);
    }
    if (verb == "default") {
        if (!m_home.entries().isEmpty()) {
            out(m_home.entries().first().value("serial").toString());
            return 0;
        }
        return simAdd({});
    }
    if (verb == "set") {
        return simSet(args);
    }
    if (verb == "remove") {
        auto lock = m_home.lock();
        for (const QString& serial : args) {
            m_home.removeEntry(serial);
        }
        return 0;
    }
    if (verb == "show") {
        QJsonArray list;
        for (const QJsonObject& entry : m_home.entries()) {
            if (args.isEmpty() || args.contains(entry.value("serial").toString())) {
                list.append(entry);
            }
        }
        out(QString::fromUtf8(QJsonDocument(list).toJson(QJsonDocument::Indented)).trimmed());
        return 0;
    }
    if (verb == "home") {
        out(m_home.root());
        return 0;
    }
    if (verb == "stop") {
        return simStop();
    }
    return fail("usage: adb sim add|default|set|remove|show|home|stop ...");
}

int AdbTool::simStop()
{
    cmdKillServer();
    // Only processes this home recorded are ended, each by its own id.
    QDir run(m_home.runDir());
    QList<qint64> pids;
    for (const QString& name : run.entryList({"*.json"}, QDir::Files)) {
        QJsonObject info;
        if (!readJsonFile(run.filePath(name), info)) {
            continue;
        }
        const qint64 pid = static_cast<qint64>(info.value("pid").toDouble());
        if (pid > 0 && pid != QCoreApplication::applicationPid() && isSimulatorProcess(pid)) {
            terminateProcess(pid, false);
            pids.append(pid);
        } else {
            run.remove(name);
        }
    }
    QElapsedTimer timer;
    timer.start();
    while (!pids.isEmpty() && timer.elapsed() < 3000) {
        for (int i = pids.size() - 1; i >= 0; --i) {
            if (!isSimulatorProcess(pids.at(i))) {
                run.remove(QString("%1.json").arg(pids.at(i)));
                pids.removeAt(i);
            }
        }
        QThread::msleep(20);
    }
    for (qint64 pid : pids) {
        terminateProcess(pid, true);
        run.remove(QString("%1.json").arg(pid));
    }
    return 0;
}

int AdbTool::simAdd(const QStringList& args)
{
    QJsonObject device{{"state", "device"},
                       {"name", "Sim Device"},
                       {"model", "SimPhone"},
                       {"product", "devicesim"},
                       {"width", 1080},
                       {"height", 2340},
                       {"sizeLimit", 0},
                       {"ip", "192.168.1.5"},
                       {"tcpipPort", 0},
                       {"clipboard", ""},
                       {"screenPower", 2},
                       {"packages", QJsonArray{"com.android.settings", "com.zel.launcher"}},
                       {"faults", QJsonObject()}};
    QString serial;
    for (int i = 0; i < args.size(); ++i) {
        const QString option = args.at(i);
        const QString value = args.value(i + 1);
        if (option == "--serial") {
            serial = value;
        } else if (option == "--name") {
            device.insert("name", value);
        } else if (option == "--model") {
            device.insert("model", value);
        } else if (option == "--state") {
            device.insert("state", value);
        } else if (option == "--ip") {
            device.insert("ip", value);
        } else if (option == "--size-limit") {
            device.insert("sizeLimit", value.toInt());
        } else if (option == "--size") {
            device.insert("width", value.section('x', 0, 0).toInt());
            device.insert("height", value.section('x', 1, 1).toInt());
        } else if (option == "--set" || option == "--fault") {
            const QString key = value.section('=', 0, 0);
            QStringList path = key.split('.');
            if (option == "--fault") {
                path.prepend("faults");
            }
            setPath(device, path, value.contains('=') ? parseValue(value.section('=', 1)) : QJsonValue(true));
        } else {
            return fail("adb sim add: unknown option " + option);
        }
        ++i;
    }
    if (device.value("width").toInt() <= 0 || device.value("height").toInt() <= 0) {
        return fail("adb sim add: bad size");
    }
    auto lock = m_home.lock();
    if (!lock) {
        return fail("adb sim add: cannot lock the simulator home");
    }
    if (serial.isEmpty()) {
        for (int n = 1; serial.isEmpty() || QFileInfo(m_home.entryDir(serial)).exists(); ++n) {
            serial = QString("SIM%1").arg(n, 4, 10, QChar('0'));
        }
    }
    static const QRegularExpression badSerial("^\\.|\\s");
    if (badSerial.match(serial).hasMatch()) {
        return fail("adb sim add: a serial may not start with '.' or hold blanks: " + serial);
    }
    if (QFileInfo(m_home.entryDir(serial)).exists()) {
        return fail("adb sim add: a device with serial " + serial + " exists");
    }
    device.insert("serial", serial);
    device.insert("order", m_home.nextOrder());
    if (!m_home.writeEntry(device)) {
        return fail("adb sim add: cannot write the device");
    }
    QDir().mkpath(m_home.deviceFsDir(serial) + "/data/local/tmp");
    QDir().mkpath(m_home.deviceFsDir(serial) + "/sdcard");
    QFile logcat(m_home.logcatPath(serial));
    if (logcat.open(QIODevice::WriteOnly)) {
        logcat.write("--------- beginning of main\n"
                     "01-01 00:00:00.000  1000  1000 I devicesim: simulated device booted\n");
    }
    out(serial);
    return 0;
}

int AdbTool::simSet(const QStringList& args)
{
    if (args.size() < 2) {
        return fail("usage: adb sim set SERIAL key=value...");
    }
    const QString serial = args.first();
    auto lock = m_home.lock();
    QJsonObject entry;
    if (!m_home.readEntry(serial, entry)) {
        return fail("adb sim set: no device " + serial);
    }
    for (const QString& assignment : args.mid(1)) {
        if (!assignment.contains('=')) {
            return fail("adb sim set: expected key=value, got " + assignment);
        }
        const QString value = assignment.section('=', 1);
        setPath(entry, assignment.section('=', 0, 0).split('.'), value.isEmpty() ? QJsonValue(QString()) : parseValue(value));
    }
    return m_home.writeEntry(entry) ? 0 : fail("adb sim set: cannot write the device");
}

} // namespace sim

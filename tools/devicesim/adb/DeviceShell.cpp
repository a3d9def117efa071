#include "DeviceShell.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QRegularExpression>

#include <functional>

#include "Console.h"
#include "InputCommand.h"
#include "InputDump.h"
#include "InteractiveShell.h"
#include "ServerLauncher.h"
#include "ShellPipe.h"

namespace sim {

namespace {

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

DeviceShell::DeviceShell(const DeviceAccess& access, const QStringList& adbArgs)
    : m_access(access), m_home(access.home()), m_adbArgs(adbArgs)
{
}

QStringList DeviceShell::splitWords(const QString& line)
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

int DeviceShell::run(const QStringList& rest)
{
    QStringList args = rest;
    while (!args.isEmpty() && (args.first() == "-t" || args.first() == "-T" || args.first() == "-x")) {
        args.removeFirst();
    }
    if (!m_access.select(m_entry)) {
        return 1;
    }
    m_device = m_access.physical(m_entry);
    m_access.load(m_entry, m_state);
    if (args.isEmpty()) {
        return InteractiveShell(*this).run();
    }
    return start(args);
}

// Like shell, without a terminal in between: what the program writes arrives byte for byte.
int DeviceShell::runExecOut(const QStringList& rest)
{
    if (rest.isEmpty()) {
        return Console::fail("adb: usage: adb exec-out command");
    }
    if (!m_access.select(m_entry)) {
        return 1;
    }
    m_device = m_access.physical(m_entry);
    m_access.load(m_entry, m_state);
    return start(rest);
}

int DeviceShell::start(const QStringList& args)
{
    // adb joins its arguments with blanks and the device's shell splits them again.
    return pipeline(args.join(' '), args);
}

int DeviceShell::runLine(const QString& line)
{
    return pipeline(line, QStringList{line});
}

// The first command's output runs through each grep after it; the exit code is
// the last one's, as in the device's shell.
int DeviceShell::pipeline(const QString& line, const QStringList& rawArgs)
{
    const QStringList parts = ShellPipe::segments(line);
    if (parts.size() == 1) {
        return command(splitWords(line), rawArgs);
    }
    QByteArray output;
    Console::beginCapture(&output);
    int code = command(splitWords(parts.first()), QStringList{parts.first()});
    Console::endCapture();
    for (const QString& part : parts.mid(1)) {
        const QStringList words = splitWords(part);
        if (words.value(0) != "grep") {
            return Console::fail(QString("/system/bin/sh: %1: inaccessible or not found").arg(words.value(0)), 127);
        }
        code = ShellPipe::grep(words.mid(1), output, output);
    }
    Console::raw(output);
    return code;
}

bool DeviceShell::reload()
{
    QJsonObject entry;
    QJsonObject state;
    if (!m_home.readEntry(m_entry.value("serial").toString(), entry) || !m_access.load(entry, state)) {
        return false;
    }
    if (state.value("state").toString("device") != "device" || entry.value("state").toString("device") != "device") {
        return false;
    }
    m_entry = entry;
    m_state = state;
    return true;
}

int DeviceShell::command(const QStringList& wordsIn, const QStringList& rawArgs)
{
    using Program = std::function<int(DeviceShell*, const QStringList&)>;
    static const QHash<QString, Program> programs{
        {"settings", &DeviceShell::settings}, {"ifconfig", &DeviceShell::ifconfig}, {"ip", &DeviceShell::ip},
        {"wm", &DeviceShell::wm},             {"am", &DeviceShell::am},             {"pm", &DeviceShell::pm},
        {"rm", &DeviceShell::rm},             {"ls", &DeviceShell::ls},             {"cat", &DeviceShell::cat},
        {"input", &DeviceShell::input},       {"getprop", &DeviceShell::getprop},   {"cmd", &DeviceShell::cmd},
        {"screenrecord", &DeviceShell::screenrecord}, {"screencap", &DeviceShell::screencap},
        {"dumpsys", &DeviceShell::dumpsys},
        {"echo", [](DeviceShell*, const QStringList& w) { return Console::out(w.join(' ')), 0; }},
    };
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
    if (program == "app_process") {
        return appProcess(env, words, rawArgs);
    }
    const auto it = programs.constFind(program);
    if (it == programs.constEnd()) {
        return Console::fail(QString("/system/bin/sh: %1: inaccessible or not found").arg(program), 127);
    }
    return (*it)(this, words);
}

int DeviceShell::settings(const QStringList& args)
{
    const QString verb = args.value(0);
    const QString table = args.value(1);
    if (!QStringList{"system", "secure", "global"}.contains(table) || args.size() < 3) {
        return Console::fail("usage:  settings [--user <USER_ID> | current] get namespace key");
    }
    const QString name = args.at(2);
    if (verb == "get") {
        const QJsonValue value = m_state.value("settings").toObject().value(table).toObject().value(name);
        Console::out(value.isUndefined() ? QString("null") : value.toString());
        return 0;
    }
    QJsonValue value;
    if (verb == "put" && args.size() >= 4) {
        value = args.at(3);
    } else if (verb != "delete") {
        return Console::fail("usage:  settings [--user <USER_ID> | current] put namespace key value");
    }
    if (!m_access.update(m_device, [&](QJsonObject& d) { setJsonPath(d, {"settings", table, name}, value); })) {
        return Console::failNoLock();
    }
    if (verb == "put") {
        m_access.recordEvent(m_device, QJsonObject{{"event", "settings"},
                                                   {"table", table},
                                                   {"name", name},
                                                   {"value", value}});
    }
    return 0;
}

int DeviceShell::ifconfig(const QStringList& args)
{
    const QString iface = args.value(0);
    if (iface != "wlan0" && !iface.isEmpty()) {
        return Console::fail(QString("ifconfig: %1: No such device").arg(iface));
    }
    const QString custom = m_state.value("ifconfig").toString();
    if (!custom.isEmpty()) {
        Console::out(custom);
        return 0;
    }
    const QString address = m_state.value("ip").toString();
    if (address.isEmpty()) {
        return Console::fail("ifconfig: wlan0: No such device");
    }
    Console::out(defaultIfconfig(address));
    return 0;
}

int DeviceShell::ip(const QStringList& args)
{
    const QString address = m_state.value("ip").toString();
    if (address.isEmpty() || !args.join(' ').contains("wlan0")) {
        return Console::fail("Device \"wlan0\" does not exist.");
    }
    const QString broadcast = address.section('.', 0, 2);
    if (args.contains("-o")) {
        Console::out(
            QString("30: wlan0    inet %1/24 brd %2.255 scope global wlan0\\       valid_lft forever preferred_lft forever")
                .arg(address, broadcast));
        return 0;
    }
    Console::out("30: wlan0: <BROADCAST,MULTICAST,UP,LOWER_UP> mtu 1500 qdisc mq state UP group default qlen 3000");
    Console::out(QString("    inet %1/24 brd %2.255 scope global wlan0").arg(address, broadcast));
    return 0;
}

int DeviceShell::wm(const QStringList& args)
{
    if (args.value(0) != "size") {
        return Console::fail("Error: unknown command '" + args.value(0) + "'", 255);
    }
    if (args.size() == 1) {
        Console::out(
            QString("Physical size: %1x%2").arg(m_state.value("width").toInt()).arg(m_state.value("height").toInt()));
        const QString override = m_state.value("wmSize").toString();
        if (!override.isEmpty()) {
            Console::out("Override size: " + override);
        }
        return 0;
    }
    const QString value = args.at(1);
    static const QRegularExpression size("^\\d+x\\d+$");
    if (value != "reset" && !size.match(value).hasMatch()) {
        return Console::fail("Error: bad size " + value, 255);
    }
    if (!m_access.update(m_device, [&](QJsonObject& d) { d.insert("wmSize", value == "reset" ? QString() : value); })) {
        return Console::failNoLock();
    }
    m_access.recordEvent(m_device, QJsonObject{{"event", "wm-size"}, {"value", value}});
    return 0;
}

int DeviceShell::am(const QStringList& args)
{
    const QString verb = args.value(0);
    m_access.recordEvent(m_device, QJsonObject{{"event", "am"}, {"args", QJsonArray::fromStringList(args)}});
    if (verb == "start") {
        const QString component = args.isEmpty() ? QString() : args.last();
        Console::out(QString("Starting: Intent { cmp=%1 }").arg(component));
        return 0;
    }
    if (verb == "broadcast") {
        const int action = args.indexOf("-a");
        Console::out(QString("Broadcasting: Intent { act=%1 flg=0x400000 (has extras) }").arg(args.value(action + 1)));
        Console::out("Broadcast completed: result=0");
        return 0;
    }
    if (verb == "force-stop") {
        return 0;
    }
    return Console::fail("Error: unknown command '" + verb + "'", 255);
}

int DeviceShell::pm(const QStringList& args)
{
    if (args.value(0) != "list" || args.value(1) != "packages") {
        return Console::fail("Error: unknown command '" + args.value(0) + "'", 255);
    }
    for (const QJsonValue& package : m_state.value("packages").toArray()) {
        Console::out("package:" + package.toString());
    }
    return 0;
}

int DeviceShell::rm(const QStringList& args)
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
        const QString host = m_home.hostPathFor(m_device, arg);
        const QFileInfo info(host);
        if (host.isEmpty() || !info.exists()) {
            if (!force) {
                Console::err(QString("rm: %1: No such file or directory").arg(arg));
                status = 1;
            }
            continue;
        }
        if (info.isDir() && !recursive) {
            Console::err(QString("rm: %1: is a directory").arg(arg));
            status = 1;
            continue;
        }
        const bool ok = info.isDir() ? QDir(host).removeRecursively() : QFile::remove(host);
        if (!ok) {
            Console::err(QString("rm: %1: Permission denied").arg(arg));
            status = 1;
        }
    }
    m_access.recordEvent(m_device, QJsonObject{{"event", "rm"}, {"args", QJsonArray::fromStringList(args)}});
    return status;
}

int DeviceShell::ls(const QStringList& args)
{
    const QString path = args.isEmpty() ? QString("/") : args.last();
    const QString host = m_home.hostPathFor(m_device, path);
    const QFileInfo info(host);
    if (host.isEmpty() || !info.exists()) {
        return Console::fail(QString("ls: %1: No such file or directory").arg(path));
    }
    if (info.isFile()) {
        Console::out(path);
        return 0;
    }
    for (const QString& name : QDir(host).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name)) {
        Console::out(name);
    }
    return 0;
}

int DeviceShell::cat(const QStringList& args)
{
    int status = 0;
    for (const QString& path : args) {
        QFile file(m_home.hostPathFor(m_device, path));
        if (!file.open(QIODevice::ReadOnly)) {
            Console::err(QString("cat: %1: No such file or directory").arg(path));
            status = 1;
            continue;
        }
        Console::raw(file.readAll());
    }
    return status;
}

int DeviceShell::input(const QStringList& args)
{
    return InputCommand(m_access, m_device, m_state).run(args);
}

int DeviceShell::cmd(const QStringList& args)
{
    const QString service = args.value(0);
    if (service.isEmpty()) {
        return Console::fail("cmd: No service specified; use -l to list all running services.", 20);
    }
    if (service != "statusbar") {
        return Console::fail("cmd: Can't find service: " + service, 20);
    }
    static const QStringList known{"expand-notifications", "expand-settings", "collapse"};
    if (!known.contains(args.value(1))) {
        return Console::fail("Unknown command: " + args.value(1), 255);
    }
    m_access.recordEvent(m_device, QJsonObject{{"event", "cmd"}, {"args", QJsonArray::fromStringList(args)}});
    return 0;
}

int DeviceShell::screenrecord(const QStringList& args)
{
    return ServerLauncher(m_home, m_entry, m_adbArgs).runScreenProgram("screenrecord", args);
}

int DeviceShell::screencap(const QStringList& args)
{
    return ServerLauncher(m_home, m_entry, m_adbArgs).runScreenProgram("screencap", args);
}

int DeviceShell::dumpsys(const QStringList& args)
{
    const QString service = args.value(0, "input");
    if (service != "input") {
        return Console::fail("Can't find service: " + service);
    }
    Console::out(InputDump::text(m_state));
    return 0;
}

int DeviceShell::getprop(const QStringList& args)
{
    const QHash<QString, QString> props{{"ro.product.model", m_state.value("model").toString("SimPhone")},
                                        {"ro.product.name", m_state.value("product").toString("devicesim")},
                                        {"ro.build.version.release", "11"},
                                        {"ro.build.version.sdk", "30"},
                                        {"ro.serialno", m_device}};
    Console::out(props.value(args.value(0)));
    return 0;
}

int DeviceShell::appProcess(const QHash<QString, QString>& env, const QStringList& args, const QStringList& rawArgs)
{
    QStringList rest = args;
    while (!rest.isEmpty() && rest.first().startsWith('-')) {
        rest.removeFirst();
    }
    if (rest.size() < 2) {
        return Console::fail("Usage: app_process [java-options] cmd-dir start-class-name [options]");
    }
    rest.removeFirst(); // the command directory
    const QString className = rest.takeFirst();
    ServerLauncher launcher(m_home, m_entry, m_adbArgs);
    launcher.setServerless(m_state.value("serverless").toBool());
    return launcher.run(env.value("CLASSPATH"), className, rest, rawArgs);
}

} // namespace sim

#include "SimAdmin.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QThread>

#include <functional>

#include "Console.h"
#include "HostCommands.h"
#include "ProcessUtil.h"

namespace sim {

namespace {

QJsonValue parseValue(const QString& text)
{
    // Numbers, booleans, objects and quoted strings as JSON; anything else as text.
    const QJsonDocument doc = QJsonDocument::fromJson(QString("[%1]").arg(text).toUtf8());
    if (doc.isArray() && doc.array().size() == 1) {
        return doc.array().at(0);
    }
    return text;
}

QJsonObject defaultDevice()
{
    return QJsonObject{{"state", "device"},
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
}

// "--set a.b=V" and "--fault a=V": V as JSON when it parses, otherwise as text; no "=V" means true.
void setAssignment(QJsonObject& device, const QString& assignment, const QString& under)
{
    QStringList path = assignment.section('=', 0, 0).split('.');
    if (!under.isEmpty()) {
        path.prepend(under);
    }
    setJsonPath(device, path, assignment.contains('=') ? parseValue(assignment.section('=', 1)) : QJsonValue(true));
}

} // namespace

SimAdmin::SimAdmin(const SimHome& home) : m_home(home) {}

int SimAdmin::run(const QStringList& rest)
{
    const QString verb = rest.value(0);
    const QStringList args = rest.mid(1);
    static const QHash<QString, std::function<int(SimAdmin*, const QStringList&)>> verbs{
        {"add", &SimAdmin::add},
        {"default", [](SimAdmin* a, const QStringList&) { return a->addDefault(); }},
        {"set", &SimAdmin::set},
        {"remove", &SimAdmin::remove},
        {"show", &SimAdmin::show},
        {"home", [](SimAdmin* a, const QStringList&) { return Console::out(a->m_home.root()), 0; }},
        {"stop", [](SimAdmin* a, const QStringList&) { return a->stop(); }},
    };
    const auto it = verbs.constFind(verb);
    if (it == verbs.constEnd()) {
        return Console::fail("usage: adb sim add|default|set|remove|show|home|stop ...");
    }
    return (*it)(this, args);
}

int SimAdmin::addDefault()
{
    const QList<QJsonObject> entries = m_home.entries();
    if (entries.isEmpty()) {
        return add({});
    }
    Console::out(entries.first().value("serial").toString());
    return 0;
}

bool SimAdmin::readAddOptions(const QStringList& args, QJsonObject& device, QString& serial, QString& error) const
{
    using Option = std::function<void(QJsonObject&, const QString&)>;
    const QHash<QString, Option> options{
        {"--serial", [&serial](QJsonObject&, const QString& v) { serial = v; }},
        {"--name", [](QJsonObject& d, const QString& v) { d.insert("name", v); }},
        {"--model", [](QJsonObject& d, const QString& v) { d.insert("model", v); }},
        {"--state", [](QJsonObject& d, const QString& v) { d.insert("state", v); }},
        {"--ip", [](QJsonObject& d, const QString& v) { d.insert("ip", v); }},
        {"--size-limit", [](QJsonObject& d, const QString& v) { d.insert("sizeLimit", v.toInt()); }},
        {"--size",
         [](QJsonObject& d, const QString& v) {
             d.insert("width", v.section('x', 0, 0).toInt());
             d.insert("height", v.section('x', 1, 1).toInt());
         }},
        {"--set", [](QJsonObject& d, const QString& v) { setAssignment(d, v, QString()); }},
        {"--fault", [](QJsonObject& d, const QString& v) { setAssignment(d, v, "faults"); }},
    };
    for (int i = 0; i < args.size(); i += 2) {
        const auto option = options.constFind(args.at(i));
        if (option == options.constEnd()) {
            error = "adb sim add: unknown option " + args.at(i);
            return false;
        }
        (*option)(device, args.value(i + 1));
    }
    if (device.value("width").toInt() <= 0 || device.value("height").toInt() <= 0) {
        error = "adb sim add: bad size";
        return false;
    }
    return true;
}

int SimAdmin::add(const QStringList& args)
{
    QJsonObject device = defaultDevice();
    QString serial;
    QString error;
    if (!readAddOptions(args, device, serial, error)) {
        return Console::fail(error);
    }
    return createDevice(device, serial);
}

int SimAdmin::createDevice(QJsonObject device, QString serial)
{
    const auto lock = m_home.lock();
    if (!lock) {
        return Console::fail("adb sim add: cannot lock the simulator home");
    }
    for (int n = 1; serial.isEmpty(); ++n) {
        const QString candidate = QString("SIM%1").arg(n, 4, 10, QChar('0'));
        if (!QFileInfo(m_home.entryDir(candidate)).exists()) {
            serial = candidate;
        }
    }
    static const QRegularExpression badSerial("^\\.|\\s");
    if (badSerial.match(serial).hasMatch()) {
        return Console::fail("adb sim add: a serial may not start with '.' or hold blanks: " + serial);
    }
    if (QFileInfo(m_home.entryDir(serial)).exists()) {
        return Console::fail("adb sim add: a device with serial " + serial + " exists");
    }
    device.insert("serial", serial);
    device.insert("order", m_home.nextOrder());
    if (!m_home.writeEntry(device)) {
        return Console::fail("adb sim add: cannot write the device");
    }
    QDir().mkpath(m_home.deviceFsDir(serial) + "/data/local/tmp");
    QDir().mkpath(m_home.deviceFsDir(serial) + "/sdcard");
    QFile logcat(m_home.logcatPath(serial));
    if (logcat.open(QIODevice::WriteOnly)) {
        logcat.write("--------- beginning of main\n"
                     "01-01 00:00:00.000  1000  1000 I devicesim: simulated device booted\n");
    }
    Console::out(serial);
    return 0;
}

int SimAdmin::set(const QStringList& args)
{
    if (args.size() < 2) {
        return Console::fail("usage: adb sim set SERIAL key=value...");
    }
    const QString serial = args.first();
    const auto lock = m_home.lock();
    if (!lock) {
        return Console::fail("adb sim set: cannot lock the simulator home");
    }
    QJsonObject entry;
    if (!m_home.readEntry(serial, entry)) {
        return Console::fail("adb sim set: no device " + serial);
    }
    for (const QString& assignment : args.mid(1)) {
        if (!assignment.contains('=')) {
            return Console::fail("adb sim set: expected key=value, got " + assignment);
        }
        const QString value = assignment.section('=', 1);
        setJsonPath(entry, assignment.section('=', 0, 0).split('.'),
                    value.isEmpty() ? QJsonValue(QString()) : parseValue(value));
    }
    return m_home.writeEntry(entry) ? 0 : Console::fail("adb sim set: cannot write the device");
}

int SimAdmin::remove(const QStringList& serials)
{
    const auto lock = m_home.lock();
    if (!lock) {
        return Console::fail("adb sim remove: cannot lock the simulator home");
    }
    for (const QString& serial : serials) {
        m_home.removeEntry(serial);
    }
    return 0;
}

int SimAdmin::show(const QStringList& serials)
{
    QJsonArray list;
    for (const QJsonObject& entry : m_home.entries()) {
        if (serials.isEmpty() || serials.contains(entry.value("serial").toString())) {
            list.append(entry);
        }
    }
    Console::out(QString::fromUtf8(QJsonDocument(list).toJson(QJsonDocument::Indented)).trimmed());
    return 0;
}

int SimAdmin::stop()
{
    HostCommands::stopDaemon(m_home);
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

} // namespace sim

#include "SimDevice.h"

#include "SimHome.h"
#include "TestWait.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QThread>
#include <QUrl>

namespace {

QString jsonText(const QJsonValue& value)
{
    if (value.isString()) {
        return value.toString();
    }
    const QByteArray wrapped = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(wrapped.mid(1, wrapped.size() - 2));
}

} // namespace

SimDevice::SimDevice(bool addDefault)
{
    init();
    if (addDefault) {
        addDevice(Options());
    }
}

SimDevice::SimDevice(const Options& options)
{
    init();
    addDevice(options);
}

void SimDevice::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_hadHome = qEnvironmentVariableIsSet("VADIZEDE_SIM_HOME");
    m_savedHome = qgetenv("VADIZEDE_SIM_HOME");
    qputenv("VADIZEDE_SIM_HOME", home().toLocal8Bit());
}

SimDevice::~SimDevice()
{
    stop();
    if (m_hadHome) {
        qputenv("VADIZEDE_SIM_HOME", m_savedHome);
    } else {
        qunsetenv("VADIZEDE_SIM_HOME");
    }
}

bool SimDevice::isValid() const
{
    return m_dir && m_dir->isValid() && QFile::exists(adbPath()) && QFile::exists(serverFilePath());
}

QString SimDevice::home() const
{
    return m_dir ? m_dir->path() : QString();
}

QString SimDevice::adbPath()
{
    return QStringLiteral(DEVICESIM_ADB_PATH);
}

QString SimDevice::serverFilePath()
{
    return QStringLiteral(DEVICESIM_SERVER_FILE);
}

QString SimDevice::serverVersion()
{
    return QStringLiteral(DEVICESIM_SERVER_VERSION);
}

// Below the system's range of ports for outgoing connections (32768 and up on Linux): a port the
// system picked from that range could be taken by any connection made before the caller listens,
// and the tests make many. Below the application's own ports too (27183 and the ones after it,
// which other tests' programs take), and picked at random, so that tests side by side rarely meet.
quint16 SimDevice::freePort()
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto port = quint16(QRandomGenerator::global()->bounded(20000, 27000));
        QTcpServer server;
        if (server.listen(QHostAddress::LocalHost, port)) {
            return port;
        }
    }
    return 0;
}

QProcessEnvironment SimDevice::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VADIZEDE_SIM_HOME", home());
    env.insert("VADIZEDE_ADB_PATH", adbPath());
    env.insert("VADIZEDE_SERVER_PATH", serverFilePath());
    const QString dir = adbPath().section('/', 0, -2);
    env.insert("PATH", dir + ":" + env.value("PATH"));
    return env;
}

SimDevice::AdbResult SimDevice::runAdb(const QStringList& args, int timeoutMs) const
{
    AdbResult result;
    QProcess process;
    process.setProcessEnvironment(environment());
    process.start(adbPath(), args);
    if (!process.waitForStarted(timeoutMs)) {
        return result;
    }
    result.finished = process.waitForFinished(timeoutMs);
    if (!result.finished) {
        process.kill();
        process.waitForFinished(2000);
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

bool SimDevice::addDevice(const Options& options)
{
    QStringList args{"sim",
                     "add",
                     "--serial",
                     options.serial,
                     "--name",
                     options.name,
                     "--model",
                     options.model,
                     "--size",
                     QString("%1x%2").arg(options.screen.width()).arg(options.screen.height()),
                     "--size-limit",
                     QString::number(options.sizeLimit),
                     "--state",
                     options.state,
                     "--ip",
                     options.ip};
    for (auto it = options.faults.constBegin(); it != options.faults.constEnd(); ++it) {
        args << "--fault" << it.key() + "=" + jsonText(it.value());
    }
    for (auto it = options.properties.constBegin(); it != options.properties.constEnd(); ++it) {
        args << "--set" << it.key() + "=" + jsonText(it.value());
    }
    const AdbResult result = runAdb(args);
    if (result.exitCode != 0) {
        qWarning("SimDevice: adding %s failed: %s", qPrintable(options.serial), qPrintable(result.err));
        return false;
    }
    if (m_serial.isEmpty()) {
        m_serial = options.serial;
    }
    return true;
}

bool SimDevice::setProperty(const QString& serial, const QString& key, const QJsonValue& value)
{
    return runAdb({"sim", "set", serial, key + "=" + jsonText(value)}).exitCode == 0;
}

bool SimDevice::setFault(const QString& serial, const QString& fault, const QJsonValue& value)
{
    return setProperty(serial, "faults." + fault, value);
}

QString SimDevice::deviceDir(const QString& serial) const
{
    const QString s = serial.isEmpty() ? m_serial : serial;
    return home() + "/devices/" + QString::fromLatin1(QUrl::toPercentEncoding(s));
}

QJsonObject SimDevice::deviceState(const QString& serial) const
{
    QFile file(deviceDir(serial) + "/device.json");
    if (!file.open(QIODevice::ReadOnly)) {
        return QJsonObject();
    }
    return QJsonDocument::fromJson(file.readAll()).object();
}

QList<QJsonObject> SimDevice::invocations() const
{
    return sim::readJsonLines(home() + "/adb.jsonl");
}

QList<QJsonObject> SimDevice::controlLog(const QString& serial) const
{
    return sim::readJsonLines(deviceDir(serial) + "/control.jsonl");
}

QList<QJsonObject> SimDevice::serverLog(const QString& serial) const
{
    return sim::readJsonLines(deviceDir(serial) + "/server.jsonl");
}

QList<QJsonObject> SimDevice::eventLog(const QString& serial) const
{
    return sim::readJsonLines(deviceDir(serial) + "/events.jsonl");
}

bool SimDevice::waitForControlLog(int count, int timeoutMs, const QString& serial) const
{
    QDeadlineTimer deadline(TestWait::scaled(timeoutMs));
    while (controlLog(serial).size() < count) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
    return true;
}

bool SimDevice::waitForServerEvent(const QString& event, int timeoutMs, const QString& serial) const
{
    QDeadlineTimer deadline(TestWait::scaled(timeoutMs));
    for (;;) {
        for (const QJsonObject& line : serverLog(serial)) {
            if (line.value("event").toString() == event) {
                return true;
            }
        }
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
}

QString SimDevice::devicePath(const QString& path, const QString& serial) const
{
    return deviceDir(serial) + "/fs" + path;
}

void SimDevice::stop()
{
    if (m_stopped || !m_dir) {
        return;
    }
    m_stopped = true;
    runAdb({"sim", "stop"}, 10000);
}

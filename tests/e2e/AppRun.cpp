#include "AppRun.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QSettings>
#include <QThread>

#include "ScriptFile.h"
#include "SimDevice.h"

bool waitFor(const std::function<bool()>& condition, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(50);
    }
    return true;
}

QList<QStringList> adbCalls(const SimDevice& sim)
{
    QList<QStringList> calls;
    for (const QJsonObject& line : sim.invocations()) {
        QStringList args;
        for (const QJsonValue& arg : line.value("argv").toArray()) {
            args << arg.toString();
        }
        calls << args;
    }
    return calls;
}

int countCalls(const SimDevice& sim, const QStringList& args)
{
    int count = 0;
    for (const QStringList& call : adbCalls(sim)) {
        count += call == args ? 1 : 0;
    }
    return count;
}

AppRun::AppRun(const SimDevice& sim, const QString& language) : m_sim(sim), m_language(language) {}

AppRun::~AppRun()
{
    stop();
}

QString AppRun::dataDir() const
{
    return m_dir.filePath("data/VuvodiZidevi");
}

QString AppRun::appLog() const
{
    QFile file(dataDir() + "/appdebug.log");
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The program looks for its server file beside itself, so it runs from a copy in its own folder.
bool AppRun::start()
{
    const QString bin = m_dir.filePath("bin");
    QDir().mkpath(bin);
    QDir().mkpath(dataDir() + "/config");
    if (!QFile::copy(VADIZEDE_BINARY_DIR "/app/vadizede", bin + "/vadizede")
        || !QFile::link(SimDevice::serverFilePath(), bin + "/dravik-server")) {
        return false;
    }
    QFile::copy(VADIZEDE_SOURCE_DIR "/config/config.ini", dataDir() + "/config/config.ini");
    QFile::setPermissions(dataDir() + "/config/config.ini", QFile::ReadOwner | QFile::WriteOwner);
    {
        QSettings config(dataDir() + "/config/config.ini", QSettings::IniFormat);
        config.setValue("common/AdbPath", SimDevice::adbPath());
        config.setValue("common/ServerVersion", SimDevice::serverVersion());
    }
    // Files the program opens are only noted, not shown.
    writeScript(bin + "/xdg-open", QString("echo \"$1\" >> '%1'").arg(m_dir.filePath("opened")));

    QProcessEnvironment env = m_sim.environment();
    env.insert("XDG_DATA_HOME", m_dir.filePath("data"));
    env.insert("PATH", bin + ":" + env.value("PATH"));
    env.insert("LANGUAGE", m_language);
    m_process.setProcessEnvironment(env);
    m_process.setWorkingDirectory(m_dir.path());
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(bin + "/vadizede", QStringList());
    if (!m_process.waitForStarted(10000)) {
        return false;
    }
    const QString pid = QString::number(m_process.processId());
    return waitFor(
        [&]() {
            m_window = run("xdotool", {"search", "--onlyvisible", "--pid", pid, "--name", "^VaDizede$"})
                           .section('\n', 0, 0);
            return !m_window.isEmpty();
        },
        20000);
}

void AppRun::stop()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(15000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    // Whatever happened to the handle, no copy of the program may outlive the test: it holds the port.
    m_process.killGroup();
}

QString AppRun::run(const QString& program, const QStringList& args, int timeoutMs)
{
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(1000);
        return QString();
    }
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

QRect AppRun::geometry() const
{
    return geometryOf(m_window);
}

QRect AppRun::geometryOf(const QString& windowId)
{
    QRect rect;
    const QStringList lines = run("xdotool", {"getwindowgeometry", "--shell", windowId}).split('\n');
    for (const QString& line : lines) {
        const int value = line.section('=', 1).toInt();
        if (line.startsWith("X=")) rect.moveLeft(value);
        if (line.startsWith("Y=")) rect.moveTop(value);
        if (line.startsWith("WIDTH=")) rect.setWidth(value);
        if (line.startsWith("HEIGHT=")) rect.setHeight(value);
    }
    return rect;
}

int AppRun::visibleWindows() const
{
    const QString out =
        run("xdotool", {"search", "--onlyvisible", "--pid", QString::number(m_process.processId()), "--name", "."});
    return out.isEmpty() ? 0 : out.split('\n').size();
}

bool AppRun::waitForVisibleWindows(int count, int timeoutMs) const
{
    return waitFor([&]() { return visibleWindows() == count; }, timeoutMs);
}

void AppRun::moveTo(const QPoint& inWindow) const
{
    run("xdotool", {"mousemove", "--window", m_window, QString::number(inWindow.x()), QString::number(inWindow.y())});
}

void AppRun::click(const QPoint& inWindow, int button) const
{
    moveTo(inWindow);
    run("xdotool", {"click", QString::number(button)});
}

void AppRun::key(const QString& keys) const
{
    run("xdotool", {"windowfocus", m_window});
    run("xdotool", {"key", "--clearmodifiers", keys});
}

QImage AppRun::grab() const
{
    const QString path = m_dir.filePath("grab.png");
    saveScreenshot(path);
    return QImage(path);
}

bool AppRun::saveScreenshot(const QString& path, const QString& windowId) const
{
    QFile::remove(path);
    run("import", {"-window", windowId.isEmpty() ? m_window : windowId, path});
    return QFile::exists(path);
}

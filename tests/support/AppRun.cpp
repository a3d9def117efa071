#include "AppRun.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QSettings>
#include <QThread>
#include <QtTest>

#include <csignal>
#include <unistd.h>

#include "ScriptFile.h"
#include "SimDevice.h"
#include "TestWait.h"

bool waitFor(const std::function<bool()>& condition, int timeoutMs)
{
    QDeadlineTimer deadline(TestWait::scaled(timeoutMs));
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

AppRun::AppRun(const SimDevice& sim, const QString& language)
{
    QProcessEnvironment env = sim.environment();
    env.insert("XDG_DATA_HOME", m_dir.filePath("data"));
    env.insert("PATH", m_dir.filePath("bin") + ":" + env.value("PATH"));
    env.insert("LANGUAGE", language);
    m_process.setProcessEnvironment(env);
    m_process.setWorkingDirectory(m_dir.path());
    placeProgram();
}

namespace {

QString lastLines(const QString& text)
{
    const QStringList lines = text.split('\n');
    return lines.mid(qMax(0, int(lines.size()) - 80)).join('\n');
}

} // namespace

AppRun::~AppRun()
{
    stop();
    // A failed test says what the program itself logged; its folder goes away with this object.
    if (QTest::currentTestFailed()) {
        qWarning("the program's log, last lines:\n%s", qPrintable(lastLines(appLog())));
        // What it wrote to standard error where that was not passed on: a sanitizer's report, say.
        const QString errors = err();
        if (!errors.isEmpty()) {
            qWarning("its standard error, last lines:\n%s", qPrintable(lastLines(errors)));
        }
    }
}

// The program looks for its server file beside itself, so it runs from a copy in its own folder.
bool AppRun::placeProgram()
{
    const QString bin = m_dir.filePath("bin");
    QDir().mkpath(bin);
    m_program = bin + "/vadizede";
    // A hard link where possible: cheap, and the program still finds its files beside itself.
    if (::link(VADIZEDE_BINARY_DIR "/app/vadizede", qPrintable(m_program)) != 0
        && !QFile::copy(VADIZEDE_BINARY_DIR "/app/vadizede", m_program)) {
        return false;
    }
    // Files the program opens are only noted, not shown.
    writeScript(bin + "/xdg-open", QString("echo \"$1\" >> '%1'").arg(m_dir.filePath("opened")));
    return QFile::link(SimDevice::serverFilePath(), bin + "/dravik-server");
}

QString AppRun::dataDir() const
{
    return m_dir.filePath("data/VuvodiZidevi");
}

QString AppRun::appLog() const
{
    return readAll(dataDir() + "/appdebug.log");
}

QString AppRun::readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// ---- command-line runs ----------------------------------------------------------------------

void AppRun::start(const QStringList& args)
{
    m_process.start(m_program, args);
    QVERIFY2(m_process.waitForStarted(10000), qPrintable(m_process.errorString()));
}

bool AppRun::run(const QStringList& args, int timeoutMs)
{
    start(args);
    return finish(timeoutMs);
}

bool AppRun::finish(int timeoutMs)
{
    return m_process.waitForFinished(timeoutMs);
}

void AppRun::signal(int signalNumber)
{
    ::kill(pid_t(m_process.processId()), signalNumber);
}

int AppRun::exitCode() const
{
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

QString AppRun::out()
{
    return m_out += QString::fromLocal8Bit(m_process.readAllStandardOutput());
}

QString AppRun::err()
{
    return m_err += QString::fromLocal8Bit(m_process.readAllStandardError());
}

bool AppRun::waitForLog(const QString& text, int timeoutMs) const
{
    return waitFor([&]() { return logText().contains(text); }, timeoutMs);
}

// ---- window runs ----------------------------------------------------------------------------

bool AppRun::writeConfig()
{
    const QString config = dataDir() + "/config/config.ini";
    QDir().mkpath(dataDir() + "/config");
    if (!QFile::copy(VADIZEDE_SOURCE_DIR "/config/config.ini", config)) {
        return false;
    }
    QFile::setPermissions(config, QFile::ReadOwner | QFile::WriteOwner);
    QSettings settings(config, QSettings::IniFormat);
    settings.setValue("common/AdbPath", SimDevice::adbPath());
    settings.setValue("common/ServerVersion", SimDevice::serverVersion());
    return true;
}

bool AppRun::start()
{
    if (m_program.isEmpty() || !QFile::exists(m_program) || !writeConfig()) {
        return false;
    }
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(m_program, QStringList());
    if (!m_process.waitForStarted(10000)) {
        return false;
    }
    return waitFor(
        [&]() {
            m_window = tool("xdotool", {"search", "--onlyvisible", "--pid", pid(), "--name", "^VaDizede$"})
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

QString AppRun::tool(const QString& program, const QStringList& args, int timeoutMs)
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
    const QStringList lines = tool("xdotool", {"getwindowgeometry", "--shell", windowId}).split('\n');
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
        tool("xdotool", {"search", "--onlyvisible", "--pid", QString::number(m_process.processId()), "--name", "."});
    return out.isEmpty() ? 0 : out.split('\n').size();
}

bool AppRun::waitForVisibleWindows(int count, int timeoutMs) const
{
    return waitFor([&]() { return visibleWindows() == count; }, timeoutMs);
}

void AppRun::moveTo(const QPoint& inWindow) const
{
    tool("xdotool", {"mousemove", "--window", m_window, QString::number(inWindow.x()), QString::number(inWindow.y())});
}

void AppRun::click(const QPoint& inWindow, int button) const
{
    moveTo(inWindow);
    tool("xdotool", {"click", QString::number(button)});
}

void AppRun::key(const QString& keys) const
{
    tool("xdotool", {"windowfocus", m_window});
    tool("xdotool", {"key", "--clearmodifiers", keys});
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
    tool("import", {"-window", windowId.isEmpty() ? m_window : windowId, path});
    return QFile::exists(path);
}

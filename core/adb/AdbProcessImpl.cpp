#include "adb/AdbProcessImpl.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFileInfo>
#include <QMetaEnum>
#include <QRegularExpression>
#include <QStandardPaths>

#include <atomic>
#include <mutex>

namespace dvk {

namespace {

// The APK installer resolves the path on its own worker thread, so the shared path is locked.
std::mutex s_pathMutex;

bool isExistingFile(const QString& path)
{
    return !path.isEmpty() && QFileInfo(path).isFile();
}

// Generous: a real adb starting its background server takes a few seconds for its first answer.
constexpr int kDefaultAnswerTimeoutMs = 15000;
std::atomic<int> s_answerTimeoutMs{kDefaultAnswerTimeoutMs};

// The adb path last found missing, so that a poll every few seconds says so once, not every time.
QString s_missingReported;

// Commands that answer at once. Transfers (push, install, logcat) and the shell that hosts the
// server may run for as long as they need, so they are never timed out.
const QStringList kQueryCommands = {"devices", "forward", "reverse", "connect", "disconnect", "tcpip",
                                    "get-state", "get-serialno", "version"};
const QStringList kQueryShellCommands = {"wm", "ifconfig", "ip", "settings", "am", "rm", "getprop", "input"};

} // namespace

QString AdbProcessImpl::s_adbPath;

AdbProcessImpl::AdbProcessImpl(QObject* parent) : QProcess(parent)
{
    connect(this, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), this, &AdbProcessImpl::onFinished);
    connect(this, &QProcess::errorOccurred, this, &AdbProcessImpl::onErrorOccurred);
    connect(this, &QProcess::readyReadStandardOutput, this, &AdbProcessImpl::onReadyReadStandardOutput);
    connect(this, &QProcess::readyReadStandardError, this, &AdbProcessImpl::onReadyReadStandardError);
    connect(this, &QProcess::started, this, &AdbProcessImpl::onStarted);
    m_answerTimer.setSingleShot(true);
    connect(&m_answerTimer, &QTimer::timeout, this, &AdbProcessImpl::onAnswerTimeout);
}

AdbProcessImpl::~AdbProcessImpl()
{
    // The end of a process killed here is no run error worth reporting.
    disconnect(this, nullptr, this, nullptr);
    if (state() != QProcess::NotRunning) {
        kill();
        waitForFinished();
    }
}

void AdbProcessImpl::execute(const QString& serial, const QStringList& args)
{
    // The process would refuse to start anyway; keep the running command's output intact.
    if (state() != QProcess::NotRunning) {
        qWarning("adb is still running a command: %s", qUtf8Printable(args.join(" ")));
        return;
    }
    m_standardOutput.clear();
    m_errorOutput.clear();

    QStringList adbArgs;
    if (!serial.isEmpty()) {
        adbArgs << "-s" << serial;
    }
    adbArgs << args;

    const QString adbPath = getAdbPath();
    qDebug("%s %s", qUtf8Printable(adbPath), qUtf8Printable(adbArgs.join(" ")));
    m_isQuery = isQuery(args);
    start(adbPath, adbArgs, QIODevice::ReadWrite);
}

bool AdbProcessImpl::waitForEnd(int transferTimeoutMs)
{
    if (!m_isQuery) {
        return waitForFinished(transferTimeoutMs);
    }
    if (waitForFinished(answerTimeoutMs())) {
        return true;
    }
    if (state() != QProcess::NotRunning) {
        onAnswerTimeout();
        waitForFinished();
    }
    return false;
}

int AdbProcessImpl::answerTimeoutMs()
{
    return s_answerTimeoutMs;
}

void AdbProcessImpl::setAnswerTimeoutMs(int ms)
{
    s_answerTimeoutMs = ms > 0 ? ms : kDefaultAnswerTimeoutMs;
}

bool AdbProcessImpl::isQuery(const QStringList& args)
{
    const QString command = args.value(0);
    if (command == "shell") {
        return kQueryShellCommands.contains(args.value(1));
    }
    return kQueryCommands.contains(command);
}

QString AdbProcessImpl::getStdOut() const
{
    return m_standardOutput.text();
}

QString AdbProcessImpl::getErrorOut() const
{
    return m_errorOutput.text();
}

QStringList AdbProcessImpl::getDevicesSerialFromStdOut() const
{
    return parseDevicesSerial(m_standardOutput.text());
}

QString AdbProcessImpl::getDeviceIPFromStdOut() const
{
    return parseDeviceIP(m_standardOutput.text());
}

QString AdbProcessImpl::getDeviceIPByIpFromStdOut() const
{
    return parseDeviceIPByIp(m_standardOutput.text());
}

QStringList AdbProcessImpl::parseDevicesSerial(const QString& output)
{
    QStringList serials;
    const QStringList lines = output.split(QRegularExpression("\r\n|\n"), Qt::SkipEmptyParts);
    for (const QString& line : lines) {
        const QStringList pieces = line.split('\t', Qt::SkipEmptyParts);
        if (pieces.size() == 2 && pieces[1] == "device") {
            serials << pieces[0];
        }
    }
    return serials;
}

QString AdbProcessImpl::parseDeviceIP(const QString& output)
{
    static const QRegularExpression re("inet addr:[\\d.]*", QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = re.match(output);
    if (!match.hasMatch()) {
        return QString();
    }
    return match.captured(0).mid(10);
}

QString AdbProcessImpl::parseDeviceIPByIp(const QString& output)
{
    static const QRegularExpression re("wlan0    inet [\\d.]*", QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = re.match(output);
    const QString ip = match.hasMatch() ? match.captured(0).mid(14) : QString();
    qDebug("get ip: %s", qUtf8Printable(ip));
    return ip;
}

void AdbProcessImpl::setAdbPath(const QString& adbPath)
{
    std::lock_guard<std::mutex> locker(s_pathMutex);
    s_adbPath = adbPath;
}

QString AdbProcessImpl::getAdbPath()
{
    std::lock_guard<std::mutex> locker(s_pathMutex);
    if (s_adbPath.isEmpty()) {
        s_adbPath = resolveAdbPath();
        qInfo("adb path: %s", qUtf8Printable(QFileInfo(s_adbPath).absoluteFilePath()));
    }
    return s_adbPath;
}

QString AdbProcessImpl::resolveAdbPath()
{
    const QString envPath = QString::fromLocal8Bit(qgetenv("VADIZEDE_ADB_PATH"));
    if (isExistingFile(envPath)) {
        return QFileInfo(envPath).absoluteFilePath();
    }
#ifndef Q_OS_WIN
    // Desktop systems ship adb as a package; a user who installed it needs no setting.
    const QString onPath = QStandardPaths::findExecutable("adb");
    if (!onPath.isEmpty()) {
        return onPath;
    }
#endif
    return QCoreApplication::applicationDirPath() + "/adb";
}

QByteArray AdbProcessImpl::upToFirstZero(const QByteArray& chunk)
{
    const int zero = chunk.indexOf('\0');
    return zero < 0 ? chunk : chunk.left(zero);
}

void AdbProcessImpl::onStarted()
{
    noteMissing(program(), false);
    if (m_isQuery) {
        m_answerTimer.start(answerTimeoutMs());
    }
    emit adbProcessImplResult(AdbProcess::ADB_STARTED);
}

// A hung adb would keep its runner busy for good, and a caller that waits for the end (the
// device poll) would never run another command. Ending it reports a run error as any kill does.
void AdbProcessImpl::onAnswerTimeout()
{
    if (state() == QProcess::NotRunning) {
        return;
    }
    qWarning("adb did not answer within %d ms, ending it: %s", answerTimeoutMs(), qUtf8Printable(arguments().join(" ")));
    kill();
}

void AdbProcessImpl::noteMissing(const QString& program, bool missing)
{
    std::lock_guard<std::mutex> locker(s_pathMutex);
    if (!missing) {
        s_missingReported.clear();
        return;
    }
    if (s_missingReported == program) {
        return;
    }
    s_missingReported = program;
    qWarning("adb not found or not executable: %s", qUtf8Printable(program));
}

void AdbProcessImpl::onFinished(int exitCode, QProcess::ExitStatus exitStatus)
{
    m_answerTimer.stop();
    const bool ok = exitCode == 0 && exitStatus == QProcess::NormalExit;
    emit adbProcessImplResult(ok ? AdbProcess::ADB_EXIT_OK : AdbProcess::ADB_EXIT_ERROR);
    const char* statusName = QMetaEnum::fromType<QProcess::ExitStatus>().valueToKey(exitStatus);
    qDebug("adb return %d exit status %s", exitCode, statusName ? statusName : "?");
}

void AdbProcessImpl::onErrorOccurred(QProcess::ProcessError error)
{
    // Said once per path, not on every poll; what to tell the user is the caller's choice.
    if (error == QProcess::FailedToStart) {
        m_answerTimer.stop();
        noteMissing(program(), true);
        emit adbProcessImplResult(AdbProcess::ADB_NOT_FOUND);
        return;
    }
    emit adbProcessImplResult(AdbProcess::ADB_RUN_ERROR);
    qCritical("qprocess start error:%s %s", qUtf8Printable(program()), qUtf8Printable(arguments().join(" ")));
}

void AdbProcessImpl::onReadyReadStandardOutput()
{
    const QByteArray chunk = upToFirstZero(readAllStandardOutput());
    m_standardOutput.append(chunk);
    qInfo("AdbProcessImpl::out:%s", qUtf8Printable(QString::fromUtf8(chunk).trimmed()));
}

void AdbProcessImpl::onReadyReadStandardError()
{
    const QByteArray chunk = upToFirstZero(readAllStandardError());
    m_errorOutput.append(chunk);
    qWarning("AdbProcessImpl::error:%s", qUtf8Printable(QString::fromUtf8(chunk).trimmed()));
}

} // namespace dvk

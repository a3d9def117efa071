#include "adb/AdbProcessImpl.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFileInfo>
#include <QMetaEnum>
#include <QRegularExpression>
#include <QStandardPaths>

#include <mutex>

namespace dvk {

namespace {

// The APK installer resolves the path on its own worker thread, so the shared paths are locked.
std::mutex s_pathMutex;

// The last path handed to setAdbPath; a fallback of the path resolution.
QString g_adbPath;

bool isExistingFile(const QString& path)
{
    return !path.isEmpty() && QFileInfo(path).isFile();
}

} // namespace

QString AdbProcessImpl::s_adbPath;

AdbProcessImpl::AdbProcessImpl(QObject* parent) : QProcess(parent)
{
    connect(this, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), this, &AdbProcessImpl::onFinished);
    connect(this, &QProcess::errorOccurred, this, &AdbProcessImpl::onErrorOccurred);
    connect(this, &QProcess::readyReadStandardOutput, this, &AdbProcessImpl::onReadyReadStandardOutput);
    connect(this, &QProcess::readyReadStandardError, this, &AdbProcessImpl::onReadyReadStandardError);
    connect(this, &QProcess::started, this, [this]() { emit adbProcessImplResult(AdbProcess::ADB_STARTED); });
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
    start(adbPath, adbArgs, QIODevice::ReadWrite);
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
    g_adbPath = adbPath;
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
    if (isExistingFile(g_adbPath)) {
        return g_adbPath;
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

void AdbProcessImpl::onFinished(int exitCode, QProcess::ExitStatus exitStatus)
{
    const bool ok = exitCode == 0 && exitStatus == QProcess::NormalExit;
    emit adbProcessImplResult(ok ? AdbProcess::ADB_EXIT_OK : AdbProcess::ADB_EXIT_ERROR);
    const char* statusName = QMetaEnum::fromType<QProcess::ExitStatus>().valueToKey(exitStatus);
    qDebug("adb return %d exit status %s", exitCode, statusName ? statusName : "?");
}

void AdbProcessImpl::onErrorOccurred(QProcess::ProcessError error)
{
    // A missing adb is the caller's to report; the runner stays silent about it.
    if (error == QProcess::FailedToStart) {
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

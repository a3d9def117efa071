#include "TransferCommands.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>

#include <algorithm>

#include "Console.h"

namespace sim {

namespace {

bool isWritableDevicePath(const QString& path)
{
    for (const char* prefix : {"/data/", "/sdcard", "/storage/", "/mnt/"}) {
        if (path.startsWith(QLatin1String(prefix))) {
            return true;
        }
    }
    return false;
}

// The files one pushed path stands for, each with its place under targetHost.
QList<QPair<QString, QString>> pushCopies(const QFileInfo& info, const QString& local, const QString& targetHost)
{
    QList<QPair<QString, QString>> copies;
    if (!info.isDir()) {
        copies.append({local, targetHost});
        return copies;
    }
    QDirIterator it(local, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        copies.append({file, targetHost + "/" + QDir(local).relativeFilePath(file)});
    }
    return copies;
}

} // namespace

TransferCommands::TransferCommands(const DeviceAccess& access) : m_access(access), m_home(access.home()) {}

bool TransferCommands::handles(const QString& command)
{
    return QStringList{"push", "pull", "install", "uninstall"}.contains(command);
}

int TransferCommands::run(const QString& command, const QStringList& rest)
{
    if (command == "push") {
        return push(rest);
    }
    if (command == "pull") {
        return pull(rest);
    }
    return command == "install" ? install(rest) : uninstall(rest);
}

int TransferCommands::push(const QStringList& rest)
{
    QStringList paths;
    for (const QString& arg : rest) {
        if (!arg.startsWith("--")) {
            paths.append(arg);
        }
    }
    if (paths.size() < 2) {
        return Console::fail("adb: push requires an argument");
    }
    const QString remote = paths.takeLast();
    QJsonObject entry;
    if (!m_access.select(entry)) {
        return 1;
    }
    const QString device = m_access.physical(entry);
    PushTotals totals;
    QElapsedTimer timer;
    timer.start();
    for (const QString& local : paths) {
        const int code = pushOne(device, local, remote, paths.size() > 1, totals);
        if (code != 0) {
            return code;
        }
    }
    const double seconds = std::max<qint64>(timer.elapsed(), 1) / 1000.0;
    Console::out(QString("%1: %2 file%3 pushed, 0 skipped. %4 MB/s (%5 bytes in %6s)")
                     .arg(paths.size() == 1 ? paths.first() : QString("%1 files").arg(paths.size()))
                     .arg(totals.files)
                     .arg(totals.files == 1 ? "" : "s")
                     .arg(totals.bytes / seconds / 1e6, 0, 'f', 1)
                     .arg(totals.bytes)
                     .arg(seconds, 0, 'f', 3));
    m_access.recordEvent(device, QJsonObject{{"event", "push"}, {"local", paths.join(' ')}, {"remote", remote}});
    return 0;
}

int TransferCommands::pushOne(const QString& device, const QString& local, const QString& remote, bool many,
                              PushTotals& totals)
{
    const QFileInfo info(local);
    if (!info.exists()) {
        return Console::fail(QString("adb: error: cannot stat '%1': No such file or directory").arg(local));
    }
    QString target = remote;
    if (remote.endsWith('/') || QFileInfo(m_home.hostPathFor(device, remote)).isDir() || many) {
        target = remote + (remote.endsWith('/') ? "" : "/") + info.fileName();
    }
    const QString targetHost = m_home.hostPathFor(device, target);
    if (targetHost.isEmpty()) {
        return Console::fail(QString("adb: error: failed to copy '%1' to '%2': remote secure_mkdirs() failed: "
                                     "No such file or directory")
                                 .arg(local, target));
    }
    if (!isWritableDevicePath(QDir::cleanPath(target))) {
        return Console::fail(QString("adb: error: failed to copy '%1' to '%2': remote couldn't create file: "
                                     "Read-only file system")
                                 .arg(local, target));
    }
    for (const auto& copy : pushCopies(info, local, targetHost)) {
        QDir().mkpath(QFileInfo(copy.second).absolutePath());
        QFile::remove(copy.second);
        if (!QFile::copy(copy.first, copy.second)) {
            return Console::fail(
                QString("adb: error: failed to copy '%1' to '%2': remote write failed").arg(copy.first, target));
        }
        totals.bytes += QFileInfo(copy.first).size();
        ++totals.files;
    }
    return 0;
}

int TransferCommands::pull(const QStringList& rest)
{
    if (rest.isEmpty()) {
        return Console::fail("adb: pull requires an argument");
    }
    QJsonObject entry;
    if (!m_access.select(entry)) {
        return 1;
    }
    const QString remote = rest.first();
    const QString source = m_home.hostPathFor(m_access.physical(entry), remote);
    if (source.isEmpty() || !QFileInfo(source).isFile()) {
        return Console::fail(
            QString("adb: error: failed to stat remote object '%1': No such file or directory").arg(remote));
    }
    QString local = rest.value(1, QFileInfo(remote).fileName());
    if (QFileInfo(local).isDir()) {
        local += "/" + QFileInfo(remote).fileName();
    }
    QFile::remove(local);
    if (!QFile::copy(source, local)) {
        return Console::fail(QString("adb: error: cannot create '%1': Permission denied").arg(local));
    }
    Console::out(QString("%1: 1 file pulled, 0 skipped.").arg(remote));
    return 0;
}

int TransferCommands::install(const QStringList& rest)
{
    const bool replace = rest.contains("-r");
    QString file;
    for (const QString& arg : rest) {
        if (!arg.startsWith('-')) {
            file = arg;
        }
    }
    if (file.isEmpty()) {
        return Console::fail("adb: install requires an argument");
    }
    QJsonObject entry;
    if (!m_access.select(entry)) {
        return 1;
    }
    QFile apk(file);
    if (!apk.open(QIODevice::ReadOnly)) {
        return Console::fail(QString("adb: failed to stat %1: No such file or directory").arg(file));
    }
    const QByteArray content = apk.readAll();
    Console::out("Performing Streamed Install");
    const QString device = m_access.physical(entry);
    if (!content.startsWith("PK\x03\x04") || !content.contains("AndroidManifest.xml")) {
        m_access.recordEvent(device, QJsonObject{{"event", "install"}, {"file", file}, {"result", "invalid"}});
        return Console::fail(
            QString("adb: failed to install %1: Failure [INSTALL_PARSE_FAILED_NOT_APK: Failed to parse "
                    "/data/app/vmdl.tmp/base.apk: Failed to load asset path /data/app/vmdl.tmp/base.apk]")
                .arg(file));
    }
    QJsonObject state;
    m_access.load(entry, state);
    const QString failure = state.value("faults").toObject().value("installFailure").toString();
    if (!failure.isEmpty()) {
        return Console::fail(QString("adb: failed to install %1: Failure [%2]").arg(file, failure));
    }
    const QString package = QFileInfo(file).completeBaseName();
    if (!replace && state.value("packages").toArray().contains(package)) {
        return Console::fail(QString("adb: failed to install %1: Failure [INSTALL_FAILED_ALREADY_EXISTS: Attempt to "
                                     "re-install %2 without first uninstalling.]")
                                 .arg(file, package));
    }
    const bool stored = m_access.update(device, [&](QJsonObject& d) {
        QJsonArray packages = d.value("packages").toArray();
        if (!packages.contains(package)) {
            packages.append(package);
        }
        d.insert("packages", packages);
    });
    if (!stored) {
        return Console::failNoLock();
    }
    m_access.recordEvent(device,
                         QJsonObject{{"event", "install"}, {"file", file}, {"package", package}, {"result", "ok"}});
    Console::out("Success");
    return 0;
}

int TransferCommands::uninstall(const QStringList& rest)
{
    const QString package = rest.isEmpty() ? QString() : rest.last();
    QJsonObject entry;
    if (!m_access.select(entry)) {
        return 1;
    }
    bool removed = false;
    const bool stored = m_access.update(m_access.physical(entry), [&](QJsonObject& d) {
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
    if (!stored || !removed) {
        Console::out("Failure [DELETE_FAILED_INTERNAL_ERROR]");
        return 1;
    }
    Console::out("Success");
    return 0;
}

} // namespace sim

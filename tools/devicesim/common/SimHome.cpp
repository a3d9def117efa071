#include "SimHome.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSaveFile>
#include <QUrl>

#include <algorithm>

namespace sim {

QString SimHome::fromEnvironment()
{
    return QString::fromLocal8Bit(qgetenv("VADIZEDE_SIM_HOME"));
}

SimHome::SimHome(const QString& root) : m_root(root.isEmpty() ? QString() : QDir(root).absolutePath()) {}

bool SimHome::isValid() const
{
    return !m_root.isEmpty() && QFileInfo(m_root).isDir();
}

QString SimHome::devicesDir() const
{
    return m_root + "/devices";
}

QString SimHome::entryDir(const QString& serial) const
{
    // Serials hold ':' and may hold anything else a user types.
    return devicesDir() + "/" + QString::fromLatin1(QUrl::toPercentEncoding(serial));
}

QString SimHome::invocationLogPath() const
{
    return m_root + "/adb.jsonl";
}

QString SimHome::daemonInfoPath() const
{
    return m_root + "/daemon.json";
}

QString SimHome::tunnelsPath() const
{
    return m_root + "/tunnels.json";
}

QString SimHome::runDir() const
{
    return m_root + "/run";
}

QList<QJsonObject> SimHome::entries() const
{
    QList<QJsonObject> result;
    QDir dir(devicesDir());
    for (const QString& name : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QJsonObject entry;
        if (readJsonFile(dir.filePath(name) + "/device.json", entry) && entry.contains("serial")) {
            result.append(entry);
        }
    }
    std::stable_sort(result.begin(), result.end(), [](const QJsonObject& a, const QJsonObject& b) {
        return a.value("order").toInt() < b.value("order").toInt();
    });
    return result;
}

bool SimHome::readEntry(const QString& serial, QJsonObject& entry) const
{
    if (serial.isEmpty()) {
        return false;
    }
    return readJsonFile(entryDir(serial) + "/device.json", entry);
}

bool SimHome::writeEntry(const QJsonObject& entry) const
{
    const QString dir = entryDir(entry.value("serial").toString());
    if (!QDir().mkpath(dir)) {
        return false;
    }
    return writeJsonFile(dir + "/device.json", entry);
}

bool SimHome::removeEntry(const QString& serial) const
{
    QDir dir(entryDir(serial));
    return dir.exists() && dir.removeRecursively();
}

int SimHome::nextOrder() const
{
    int order = 0;
    for (const QJsonObject& entry : entries()) {
        order = std::max(order, entry.value("order").toInt());
    }
    return order + 1;
}

QString SimHome::physicalSerial(const QJsonObject& entry) const
{
    const QString alias = entry.value("aliasOf").toString();
    return alias.isEmpty() ? entry.value("serial").toString() : alias;
}

bool SimHome::readDevice(const QString& physicalSerial, QJsonObject& device) const
{
    return readEntry(physicalSerial, device);
}

QString SimHome::deviceFsDir(const QString& physicalSerial) const
{
    return deviceDir(physicalSerial) + "/fs";
}

QString SimHome::controlLogPath(const QString& physicalSerial) const
{
    return deviceDir(physicalSerial) + "/control.jsonl";
}

QString SimHome::serverLogPath(const QString& physicalSerial) const
{
    return deviceDir(physicalSerial) + "/server.jsonl";
}

QString SimHome::eventLogPath(const QString& physicalSerial) const
{
    return deviceDir(physicalSerial) + "/events.jsonl";
}

QString SimHome::logcatPath(const QString& physicalSerial) const
{
    return deviceDir(physicalSerial) + "/logcat.txt";
}

QString SimHome::hostPathFor(const QString& physicalSerial, const QString& devicePath) const
{
    if (!devicePath.startsWith('/')) {
        return QString();
    }
    QStringList parts;
    for (const QString& part : devicePath.split('/', Qt::SkipEmptyParts)) {
        if (part == ".") {
            continue;
        }
        if (part == "..") {
            if (parts.isEmpty()) {
                return QString();
            }
            parts.removeLast();
            continue;
        }
        parts.append(part);
    }
    QString path = deviceFsDir(physicalSerial);
    if (!parts.isEmpty()) {
        path += "/" + parts.join('/');
    }
    return path;
}

std::unique_ptr<QLockFile> SimHome::lock() const
{
    auto lockFile = std::make_unique<QLockFile>(m_root + "/state.lock");
    lockFile->setStaleLockTime(10000);
    if (!lockFile->tryLock(10000)) {
        return nullptr;
    }
    return lockFile;
}

void SimHome::registerProcess(qint64 pid, const QString& role) const
{
    QDir().mkpath(runDir());
    QJsonObject info{{"pid", pid}, {"role", role}, {"started", nowMs()}};
    writeJsonFile(runDir() + QString("/%1.json").arg(pid), info);
}

void SimHome::unregisterProcess(qint64 pid) const
{
    QFile::remove(runDir() + QString("/%1.json").arg(pid));
}

bool appendJsonLine(const QString& path, const QJsonObject& object)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        return false;
    }
    QByteArray line = QJsonDocument(object).toJson(QJsonDocument::Compact);
    line.append('\n');
    return file.write(line) == line.size();
}

QList<QJsonObject> readJsonLines(const QString& path)
{
    QList<QJsonObject> result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return result;
    }
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.trimmed().isEmpty()) {
            continue;
        }
        const QJsonDocument doc = QJsonDocument::fromJson(line);
        if (doc.isObject()) {
            result.append(doc.object());
        }
    }
    return result;
}

bool writeJsonFile(const QString& path, const QJsonObject& object)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    file.write(QJsonDocument(object).toJson(QJsonDocument::Indented));
    return file.commit();
}

bool readJsonFile(const QString& path, QJsonObject& object)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll());
    if (!doc.isObject()) {
        return false;
    }
    object = doc.object();
    return true;
}

qint64 nowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

void setJsonPath(QJsonObject& object, const QStringList& path, const QJsonValue& value)
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
    setJsonPath(child, path.mid(1), value);
    object.insert(path.first(), child);
}

} // namespace sim

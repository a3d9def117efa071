#pragma once

#include <QJsonObject>
#include <QList>
#include <QLockFile>
#include <QString>
#include <QStringList>

#include <memory>

namespace sim {

// The state directory of the simulated devices, shared by the adb stand-in, its
// daemon and the server stand-in. Every writer holds the state lock.
class SimHome
{
public:
    static QString fromEnvironment();

    explicit SimHome(const QString& root);

    bool isValid() const;
    QString root() const { return m_root; }
    QString devicesDir() const;
    QString entryDir(const QString& serial) const;
    QString invocationLogPath() const;
    QString daemonInfoPath() const;
    QString tunnelsPath() const;
    QString runDir() const;

    // Device entries in the order they were added; an entry with "aliasOf" is a
    // second transport (wireless) to the device it names.
    QList<QJsonObject> entries() const;
    bool readEntry(const QString& serial, QJsonObject& entry) const;
    bool writeEntry(const QJsonObject& entry) const;
    bool removeEntry(const QString& serial) const;
    int nextOrder() const;

    // The physical device behind an entry (itself, or the device an alias names).
    QString physicalSerial(const QJsonObject& entry) const;
    bool readDevice(const QString& physicalSerial, QJsonObject& device) const;
    QString deviceDir(const QString& physicalSerial) const { return entryDir(physicalSerial); }
    QString deviceFsDir(const QString& physicalSerial) const;
    QString controlLogPath(const QString& physicalSerial) const;
    QString serverLogPath(const QString& physicalSerial) const;
    QString eventLogPath(const QString& physicalSerial) const;
    QString logcatPath(const QString& physicalSerial) const;

    // Maps an absolute device path into the device's file system folder; empty
    // for a relative path or one that would leave the folder.
    QString hostPathFor(const QString& physicalSerial, const QString& devicePath) const;

    std::unique_ptr<QLockFile> lock() const;

    // Marks a running simulator process so that a stop command can end it by id.
    void registerProcess(qint64 pid, const QString& role) const;
    void unregisterProcess(qint64 pid) const;

private:
    QString m_root;
};

// Appends one JSON object as one line with a single write, so that lines from
// concurrent processes never interleave.
bool appendJsonLine(const QString& path, const QJsonObject& object);
QList<QJsonObject> readJsonLines(const QString& path);
bool writeJsonFile(const QString& path, const QJsonObject& object);
bool readJsonFile(const QString& path, QJsonObject& object);
// Sets object.a.b.c for the path [a, b, c], creating the objects on the way;
// a null value removes the key.
void setJsonPath(QJsonObject& object, const QStringList& path, const QJsonValue& value);
qint64 nowMs();

} // namespace sim

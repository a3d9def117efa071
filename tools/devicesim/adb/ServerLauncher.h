#pragma once

#include "SimHome.h"

#include <QJsonObject>
#include <QStringList>

namespace sim {

// What app_process does on the simulated device: finds the class in the pushed
// class path file and runs the simulated server in its place, attached to this
// shell until it ends.
class ServerLauncher
{
public:
    ServerLauncher(const SimHome& home, const QJsonObject& entry, const QStringList& adbArgs);

    int run(const QString& classPath, const QString& className, const QStringList& serverArgs,
            const QStringList& rawArgs);

private:
    bool readManifest(const QString& devicePath, const QString& className, QString& version, QString* error) const;
    QString serverBinary() const;
    int spawn(const QString& binary, const QStringList& argv, const QHash<QString, QString>& env);

    SimHome m_home;
    QJsonObject m_entry;
    QStringList m_adbArgs;
};

} // namespace sim

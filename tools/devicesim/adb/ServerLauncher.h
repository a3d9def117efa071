#pragma once

#include "SimHome.h"

#include <QJsonObject>
#include <QStringList>

namespace sim {

// What app_process does on the simulated device: finds the class in the pushed
// class path file and runs the simulated server in its place, attached to this
// shell until it ends. The device's screen recorder and screencap run from the
// same program.
class ServerLauncher
{
public:
    ServerLauncher(const SimHome& home, const QJsonObject& entry, const QStringList& adbArgs);

    int run(const QString& classPath, const QString& className, const QStringList& serverArgs,
            const QStringList& rawArgs);
    // screenrecord or screencap ARGS: what the program writes goes straight to
    // this process's standard output.
    int runScreenProgram(const QString& name, const QStringList& args);
    // A phone without our server: app_process finds no class in any file.
    void setServerless(bool serverless) { m_serverless = serverless; }

private:
    bool readManifest(const QString& devicePath, const QString& className, QString& version, QString* error) const;
    QString serverBinary() const;
    QHash<QString, QString> childEnvironment(const QString& version) const;

    SimHome m_home;
    QJsonObject m_entry;
    QStringList m_adbArgs;
    bool m_serverless = false;
};

} // namespace sim

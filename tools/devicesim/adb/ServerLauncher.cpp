#include "ServerLauncher.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

#include <cstdio>
#include <unistd.h>

#include "ProcessUtil.h"

namespace sim {

ServerLauncher::ServerLauncher(const SimHome& home, const QJsonObject& entry, const QStringList& adbArgs)
    : m_home(home), m_entry(entry), m_adbArgs(adbArgs)
{
}

bool ServerLauncher::readManifest(const QString& devicePath, const QString& className, QString& version,
                                  QString* error) const
{
    const QString notFound = QString("java.lang.ClassNotFoundException: Didn't find class \"%1\" on path: "
                                     "DexPathList[[zip file \"%2\"],nativeLibraryDirectories=[/system/lib64]]")
                                 .arg(className, devicePath);
    QFile file(m_home.hostPathFor(m_home.physicalSerial(m_entry), devicePath));
    if (m_serverless || devicePath.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        *error = notFound;
        return false;
    }
    const QList<QByteArray> lines = file.read(4096).split('\n');
    if (lines.value(0).trimmed() != "DRAVIK-SIM-SERVER") {
        *error = notFound;
        return false;
    }
    QString declaredClass;
    for (const QByteArray& line : lines) {
        const QString text = QString::fromUtf8(line).trimmed();
        if (text.startsWith("class=")) {
            declaredClass = text.mid(6);
        } else if (text.startsWith("version=")) {
            version = text.mid(8);
        }
    }
    if (declaredClass != className) {
        *error = notFound;
        return false;
    }
    return true;
}

QString ServerLauncher::serverBinary() const
{
    const QString configured = QString::fromLocal8Bit(qgetenv("DEVICESIM_SERVER_BINARY"));
    if (!configured.isEmpty()) {
        return configured;
    }
    return QCoreApplication::applicationDirPath() + "/dravik-sim-server";
}

int ServerLauncher::run(const QString& classPath, const QString& className, const QStringList& serverArgs,
                        const QStringList& rawArgs)
{
    Q_UNUSED(rawArgs);
    QString version;
    QString error;
    if (!readManifest(classPath.section(':', 0, 0), className, version, &error)) {
        fprintf(stderr, "Exception in thread \"main\" %s\n", error.toUtf8().constData());
        fprintf(stderr, "Aborted\n");
        return 1;
    }
    const QString binary = serverBinary();
    if (!QFileInfo(binary).isExecutable()) {
        fprintf(stderr, "app_process: the simulated server is missing: %s\n", binary.toUtf8().constData());
        return 1;
    }
    return runAttached(binary, QStringList{binary} + serverArgs, childEnvironment(version));
}

int ServerLauncher::runScreenProgram(const QString& name, const QStringList& args)
{
    const QString binary = serverBinary();
    if (!QFileInfo(binary).isExecutable()) {
        fprintf(stderr, "%s: the simulated program is missing: %s\n", name.toUtf8().constData(),
                binary.toUtf8().constData());
        return 1;
    }
    return runAttached(binary, QStringList{binary, "--" + name} + args, childEnvironment(QString()));
}

QHash<QString, QString> ServerLauncher::childEnvironment(const QString& version) const
{
    QHash<QString, QString> env;
    env.insert("VADIZEDE_SIM_HOME", m_home.root());
    env.insert("DEVICESIM_DEVICE", m_home.physicalSerial(m_entry));
    env.insert("DEVICESIM_SERIAL", m_entry.value("serial").toString());
    env.insert("DEVICESIM_FILE_VERSION", version);
    env.insert("DEVICESIM_SHELL_PID", QString::number(getpid()));
    env.insert("DEVICESIM_INVOCATION",
               QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(m_adbArgs)).toJson(QJsonDocument::Compact)));
    env.insert("DEVICESIM_ADB", QCoreApplication::applicationFilePath());
    return env;
}

} // namespace sim

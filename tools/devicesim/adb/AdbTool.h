#pragma once

#include "SimHome.h"

#include <QJsonObject>
#include <QStringList>

namespace sim {

// One run of the adb stand-in: parses the command line, carries the command out
// against the state directory and returns adb's exit code.
class AdbTool
{
public:
    AdbTool(const SimHome& home, const QStringList& args);

    int run();
    // Sim management commands are not adb traffic and stay out of the log.
    bool shouldLog() const { return m_logged; }
    const QStringList& arguments() const { return m_args; }

private:
    int dispatch(const QString& command, const QStringList& rest);

    // Device selection, with adb's errors for none, several, unknown, offline.
    bool selectDevice(QJsonObject& entry);
    QString physical(const QJsonObject& entry) const { return m_home.physicalSerial(entry); }
    bool loadDevice(const QJsonObject& entry, QJsonObject& device);
    bool updateDevice(const QString& physicalSerial, const std::function<void(QJsonObject&)>& change);
    void recordEvent(const QString& physicalSerial, const QJsonObject& event);

    int cmdDevices(const QStringList& rest);
    int cmdVersion();
    int cmdKillServer();
    int cmdStartServer();
    int cmdGetState();
    int cmdGetSerialNo();
    int cmdWaitForDevice();
    int cmdPush(const QStringList& rest);
    int cmdPull(const QStringList& rest);
    int cmdInstall(const QStringList& rest);
    int cmdUninstall(const QStringList& rest);
    int cmdForward(const QStringList& rest);
    int cmdReverse(const QStringList& rest);
    int cmdLogcat(const QStringList& rest);
    int cmdTcpip(const QStringList& rest);
    int cmdUsb();
    int cmdConnect(const QStringList& rest);
    int cmdDisconnect(const QStringList& rest);
    int cmdShell(const QStringList& rest);
    int cmdSim(const QStringList& rest);

    int shellCommand(const QJsonObject& entry, const QStringList& words, const QStringList& rawArgs);
    int shellSettings(const QString& device, const QStringList& args);
    int shellIfconfig(const QJsonObject& device, const QStringList& args);
    int shellIp(const QJsonObject& device, const QStringList& args);
    int shellWm(const QString& device, const QJsonObject& state, const QStringList& args);
    int shellAm(const QString& device, const QStringList& args);
    int shellPm(const QJsonObject& state, const QStringList& args);
    int shellRm(const QString& device, const QStringList& args);
    int shellLs(const QString& device, const QStringList& args);
    int shellCat(const QString& device, const QStringList& args);
    int shellInput(const QString& device, const QStringList& args);
    int shellAppProcess(const QJsonObject& entry, const QHash<QString, QString>& env, const QStringList& args,
                        const QStringList& rawArgs);

    int simAdd(const QStringList& args);
    int simSet(const QStringList& args);
    int simStop();

    bool ensureDaemon();
    bool daemonRequest(const QJsonObject& request, QJsonObject& reply);

    int fail(const QString& text, int code = 1);
    void out(const QString& text);
    void err(const QString& text);

    SimHome m_home;
    QStringList m_args;
    QString m_serial;
    bool m_logged = true;
};

// Splits a command line the way the device's shell would: blanks separate
// words, quotes group them and are removed, a backslash escapes one character.
QStringList splitShellWords(const QString& line);

} // namespace sim

#pragma once

#include "DeviceAccess.h"

#include <QHash>
#include <QStringList>

namespace sim {

// "adb shell" and "adb exec-out": the device's shell and the few programs the
// simulated device has (settings, ifconfig, ip, wm, am, pm, rm, ls, cat, input,
// cmd, echo, getprop, dumpsys, screenrecord, screencap, app_process), with
// output piped into grep. Without a command, "shell" runs the lines of its
// standard input one by one.
class DeviceShell
{
public:
    // adbArgs is the whole adb command line, handed on to a launched server.
    DeviceShell(const DeviceAccess& access, const QStringList& adbArgs);

    int run(const QStringList& rest);
    int runExecOut(const QStringList& rest);

    // One line of an interactive shell, against the device's state as it is now.
    int runLine(const QString& line);
    // Reads the device's state again; false when it is no longer attached.
    bool reload();

    // Splits a command line the way the device's shell would: blanks separate
    // words, quotes group them and are removed, a backslash escapes one character.
    static QStringList splitWords(const QString& line);

private:
    int start(const QStringList& args);
    int pipeline(const QString& line, const QStringList& rawArgs);
    int command(const QStringList& words, const QStringList& rawArgs);
    int settings(const QStringList& args);
    int ifconfig(const QStringList& args);
    int ip(const QStringList& args);
    int wm(const QStringList& args);
    int am(const QStringList& args);
    int pm(const QStringList& args);
    int rm(const QStringList& args);
    int ls(const QStringList& args);
    int cat(const QStringList& args);
    int input(const QStringList& args);
    int cmd(const QStringList& args);
    int screenrecord(const QStringList& args);
    int screencap(const QStringList& args);
    int dumpsys(const QStringList& args);
    int getprop(const QStringList& args);
    int appProcess(const QHash<QString, QString>& env, const QStringList& args, const QStringList& rawArgs);

    DeviceAccess m_access;
    SimHome m_home;
    QStringList m_adbArgs;
    QJsonObject m_entry;
    QString m_device;  // the physical serial behind m_entry
    QJsonObject m_state;
};

} // namespace sim

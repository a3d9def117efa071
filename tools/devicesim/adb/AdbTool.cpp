#include "AdbTool.h"

#include <QDir>

#include "Console.h"
#include "DeviceAccess.h"
#include "DeviceShell.h"
#include "HostCommands.h"
#include "SimAdmin.h"
#include "TransferCommands.h"

namespace sim {

AdbTool::AdbTool(const SimHome& home, const QStringList& args) : m_home(home), m_args(args) {}

// Takes the options before the command off args; false (with the exit code)
// for an option adb would refuse.
bool AdbTool::readGlobalOptions(QStringList& args, int& exitCode)
{
    m_serial = QString::fromLocal8Bit(qgetenv("ANDROID_SERIAL"));
    while (!args.isEmpty() && args.first().startsWith('-')) {
        const QString option = args.takeFirst();
        if (option == "-s") {
            if (args.isEmpty()) {
                exitCode = Console::fail("adb: -s requires an argument");
                return false;
            }
            m_serial = args.takeFirst();
        } else if (option == "-H" || option == "-P" || option == "-t" || option == "-L") {
            if (!args.isEmpty()) {
                args.removeFirst();
            }
        } else if (option != "-d" && option != "-e" && option != "-a") {
            exitCode = Console::fail(QString("adb: unknown option %1").arg(option));
            return false;
        }
    }
    return true;
}

int AdbTool::run()
{
    QStringList args = m_args;
    int exitCode = 1;
    if (!readGlobalOptions(args, exitCode)) {
        return exitCode;
    }
    if (args.isEmpty()) {
        return Console::fail("adb: no command given");
    }
    const QString command = args.takeFirst();
    if (command == "sim") {
        m_logged = false;
    }
    if (!m_home.isValid() && !QDir().mkpath(m_home.root())) {
        return Console::fail(QString("adb: cannot use the simulator home '%1'").arg(m_home.root()));
    }
    QDir().mkpath(m_home.devicesDir());
    return dispatch(command, args);
}

int AdbTool::dispatch(const QString& command, const QStringList& rest)
{
    const DeviceAccess access(m_home, m_serial);
    if (command == "sim") {
        return SimAdmin(m_home).run(rest);
    }
    if (command == "shell") {
        return DeviceShell(access, m_args).run(rest);
    }
    if (command == "exec-out") {
        return DeviceShell(access, m_args).runExecOut(rest);
    }
    if (TransferCommands::handles(command)) {
        return TransferCommands(access).run(command, rest);
    }
    if (HostCommands::handles(command)) {
        return HostCommands(access).run(command, rest);
    }
    return Console::fail(QString("adb: unknown command %1").arg(command));
}

} // namespace sim

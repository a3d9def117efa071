#include "ProcessUtil.h"

#include <QFile>
#include <QString>

#include <csignal>
#include <sys/types.h>

namespace sim {

bool isSimulatorProcess(qint64 pid)
{
    QFile stat(QString("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray statLine = stat.readAll();
    const int close = statLine.lastIndexOf(')');
    if (close < 0 || statLine.mid(close + 2, 1) == "Z") {
        return false;
    }
    QFile cmdline(QString("/proc/%1/cmdline").arg(pid));
    if (!cmdline.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray program = cmdline.readAll().split('\0').value(0);
    return program.endsWith("/adb") || program == "adb" || program.endsWith("dravik-sim-server");
}

void terminateProcess(qint64 pid, bool force)
{
    ::kill(static_cast<pid_t>(pid), force ? SIGKILL : SIGTERM);
}

} // namespace sim

#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace sim {

// True while the process runs one of the simulator's programs (and is not a
// zombie), so that a reused process id is never signalled.
bool isSimulatorProcess(qint64 pid);
void terminateProcess(qint64 pid, bool force);

// Runs binary with argv (argv[0] included) and env added, attached to this
// process: same standard streams, this process's stop signals handed on, and
// ended when this process dies. Returns its exit code (128 + signal when
// killed); the signal handlers in force before are restored afterwards.
int runAttached(const QString& binary, const QStringList& argv, const QHash<QString, QString>& env);

} // namespace sim

#pragma once

#include <QtGlobal>

namespace sim {

// True while the process runs one of the simulator's programs (and is not a
// zombie), so that a reused process id is never signalled.
bool isSimulatorProcess(qint64 pid);
void terminateProcess(qint64 pid, bool force);

} // namespace sim

#ifndef BENCHWAIT_H
#define BENCHWAIT_H

#include <functional>

// Waiting while the event loop runs, for benchmarks that drive devices from their main thread.
namespace BenchWait {

// Runs the event loop for ms milliseconds.
void spin(int ms);
// Runs the event loop until done() holds or timeoutMs has passed; returns done().
bool waitUntil(const std::function<bool()>& done, int timeoutMs);

} // namespace BenchWait

#endif // BENCHWAIT_H

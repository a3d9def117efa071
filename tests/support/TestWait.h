#ifndef TESTWAIT_H
#define TESTWAIT_H

#include <QtGlobal>

// How long the tests' waits for something to happen may last. Instrumented builds run several
// times slower, so there the suite sets VADIZEDE_TEST_WAIT_SCALE; a wait that succeeds still ends
// as soon as its condition holds.
namespace TestWait {

inline int scaled(int timeoutMs)
{
    static const int scale = qMax(1, qEnvironmentVariableIntValue("VADIZEDE_TEST_WAIT_SCALE"));
    return timeoutMs * scale;
}

} // namespace TestWait

#endif // TESTWAIT_H

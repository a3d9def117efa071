#include "BenchWait.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace BenchWait {

void spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool waitUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < timeoutMs) {
        spin(20);
    }
    return done();
}

} // namespace BenchWait

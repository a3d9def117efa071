#include "BenchMeasure.h"

#include <QByteArray>
#include <QFile>

#include <algorithm>

namespace BenchMeasure {

namespace {

long statusKiB(const QByteArray& field)
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field)) {
            return line.mid(field.size()).trimmed().split(' ').first().toLong();
        }
    }
    return -1;
}

} // namespace

double msBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty()) {
        return -1;
    }
    std::sort(values.begin(), values.end());
    const size_t index = std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5));
    return values[index];
}

long rssKiB()
{
    return statusKiB("VmRSS:");
}

long peakRssKiB()
{
    return statusKiB("VmHWM:");
}

} // namespace BenchMeasure

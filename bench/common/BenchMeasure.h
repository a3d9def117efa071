#ifndef BENCHMEASURE_H
#define BENCHMEASURE_H

#include <chrono>
#include <vector>

// Time and memory figures that every benchmark reports the same way.
namespace BenchMeasure {

using Clock = std::chrono::steady_clock;

double msBetween(Clock::time_point from, Clock::time_point to);

// The value below which the fraction p (0 to 1) of the values lie, by nearest rank; -1 for no values.
double percentile(std::vector<double> values, double p);

// The process's resident memory now and at its peak, from /proc/self/status; -1 where it cannot be read.
long rssKiB();
long peakRssKiB();

} // namespace BenchMeasure

#endif // BENCHMEASURE_H

// Wall-clock helpers shared by the benchmarks.
#pragma once

#include <algorithm>
#include <chrono>
#include <vector>

using BenchClock = std::chrono::steady_clock;

inline double secondsSince(BenchClock::time_point begin)
{
    return std::chrono::duration<double>(BenchClock::now() - begin).count();
}

// The middle value: steadier than the mean on a shared machine.
inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

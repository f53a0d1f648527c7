// The one clock every sound output states its moments on, and the frame log
// and the frame timer's presents are read on: CLOCK_MONOTONIC, in nanoseconds.
#pragma once

#include <cstdint>
#include <ctime>

inline std::int64_t monotonicNanoseconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

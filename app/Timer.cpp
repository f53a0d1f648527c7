// Timer over CLOCK_MONOTONIC: a counter in nanoseconds, so its frequency is a
// fixed 1e9 counts per second and it never jumps with wall-clock changes.
//
// The counter's origin is the program's first reading, not the boot of the
// machine. The start reading is kept as a float, and a float near a month's
// worth of seconds is only good to a quarter of a second: counted from boot,
// that rounding would shift the whole timeline against the music by up to
// 125 ms on a machine that has been up for long. Counted from program start,
// the shift stays below a microsecond.
#include "app/Timer.h"

#include <ctime>

namespace {

constexpr int64_t countsPerSecond = 1000000000;

int64_t monotonicNanoseconds()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * countsPerSecond + ts.tv_nsec;
}

int64_t readCounter()
{
    static const int64_t origin = monotonicNanoseconds();
    return monotonicNanoseconds() - origin;
}

} // namespace

Timer::Timer()
{
    frequency = countsPerSecond;
    secondsPerCount = static_cast<float>(1.0 / static_cast<double>(frequency));
    start();
}

void Timer::start()
{
    startTime = static_cast<float>(now());
}

double Timer::now()
{
    count = readCounter();
    return static_cast<double>(count) * static_cast<double>(secondsPerCount);
}

float Timer::elapsed()
{
    lastElapsed = static_cast<float>(now() - static_cast<double>(startTime));
    return lastElapsed;
}

double Timer::delta()
{
    return now() - static_cast<double>(startTime) - static_cast<double>(lastElapsed);
}

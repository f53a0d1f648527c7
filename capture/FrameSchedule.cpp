// Frame times and counts. The counts start from an estimate and are then
// settled by testing the very expression the frames use, so rounding can never
// add or drop a frame at either end.
#include "capture/FrameSchedule.h"

#include "demo/DemoFrames.h"

#include <cmath>

namespace {

double exactTime(double from, int fps, std::int64_t i)
{
    return from + static_cast<double>(i) / fps;
}

} // namespace

float FrameSchedule::time(std::int64_t i) const
{
    return static_cast<float>(exactTime(from, fps, i));
}

std::int64_t framesBefore(double from, int fps, double to)
{
    const double estimate = std::ceil((to - from) * fps);
    if (!(estimate <= static_cast<double>(maxFrames) + 2))
        return -1;
    std::int64_t count = estimate > 0 ? static_cast<std::int64_t>(estimate) : 0;
    while (count > 0 && !(exactTime(from, fps, count - 1) < to))
        --count;
    while (exactTime(from, fps, count) < to)
        ++count;
    return count > maxFrames ? -1 : count;
}

std::int64_t framesUntilOver(double from, int fps)
{
    const FrameSchedule schedule{from, fps, 0};
    // Every frame before the first one over is counted, plus that one. The
    // search starts a little before the end of the schedule; the timeline's
    // own test alone decides.
    const double estimate = std::floor((static_cast<double>(DemoFrames::end) - from) * fps) - 2;
    if (!(estimate <= static_cast<double>(maxFrames)))
        return -1;
    std::int64_t i = estimate > 0 ? static_cast<std::int64_t>(estimate) : 0;
    while (i > 0 && DemoFrames::over(schedule.time(i - 1)))
        --i;
    while (!DemoFrames::over(schedule.time(i)))
        if (++i >= maxFrames)
            return -1;
    return i + 1;
}

// Which moments the frames of a capture show. Frame i shows t = from + i / fps,
// computed afresh for every frame (never by adding up frame durations), in
// double precision and then rounded once to the single-precision time the
// timeline takes, so frame 5000 is as exact as frame 1.
#pragma once

#include <cstdint>

struct FrameSchedule {
    double from = 0;
    int fps = 60;
    std::int64_t count = 0;

    // The timeline's time of frame i.
    float time(std::int64_t i) const;
    // Seconds the frames cover: count / fps.
    double duration() const { return static_cast<double>(count) / fps; }
};

// No capture has more frames than this (a day at 1000 frames per second).
inline constexpr std::int64_t maxFrames = 86'400'000;

// The frames from `from` up to `to`, not included: those with from + i / fps < to.
// -1 when there would be more than maxFrames.
std::int64_t framesBefore(double from, int fps, double to);

// The frames from `from` up to and including the first whose time ends the
// demo, as the live demo draws that frame before it stops. -1 when there
// would be more than maxFrames.
std::int64_t framesUntilOver(double from, int fps);

// A one-line progress bar on standard error for captures of many frames:
// frames done, frames per second and the time left. It draws only when
// standard error is a terminal, so logs and pipes stay clean.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

// The bar's text for done of total frames after elapsed seconds, such as
// "[######------------------] 150/600 frames    75.0 fps  0:06 left"; once
// all are done, the time they took ("0:08 in all") instead of the time left.
std::string progressLine(std::int64_t done, std::int64_t total, double elapsed);

class ProgressBar {
public:
    // enabled false: every call does nothing.
    ProgressBar(std::int64_t total, bool enabled);
    // Standard error is a terminal.
    static bool wanted();

    // Redraws the line, at most ten times a second and always for the last frame.
    void update(std::int64_t done);
    // Ends the line so that later messages start on a fresh one.
    void finish();

private:
    using Clock = std::chrono::steady_clock;
    std::int64_t total;
    bool enabled;
    bool drawn = false;
    Clock::time_point start;
    Clock::time_point lastDraw;
};

// The real demo on the desktop testbeds: drawn on a paced Weston compositor,
// playing through a PulseAudio server whose sink is recorded from a few
// seconds before the demo starts, with the demo's frame log on. Shared by the
// desktop tests and the desktop benchmark.
#pragma once

#include "ChildProcess.h"
#include "CutOffsets.h"
#include "MonitorRecorder.h"
#include "Testbeds.h"

#include <chrono>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace testsupport {

struct DesktopRunOptions {
    bool withSound = true;     // a PulseAudio server and the demo's music
    bool withMusicFile = true; // false: the demo's data without its music file
    double stopAfter = 0;      // timeline seconds after which the run is ended (0: to its end)
    int stalls = 0;            // stops of the whole process, 100 to 300 ms each
    double stallsFrom = 2.0;   // timeline seconds between which the stalls fall
    double stallsUntil = 0;
    unsigned seed = 0; // 0: a new seed each run
};

struct DesktopRunResult {
    std::string problem; // non-empty when the run could not be made
    std::string console; // the demo's standard output
    std::vector<LoggedFrame> frames;
    double repaintRate = 0; // the compositor's, from the probe client
    double drawnRate = 0;   // the demo's new frames per second, past its first second
    double cpuSecondsPerFrame = 0;
    std::vector<double> stallTimes; // timeline seconds at which each stall began
    std::vector<Stall> stalls;      // when each was, CLOCK_MONOTONIC
    std::vector<CutOffset> cuts;    // offsets at the crash cuts passed
    std::vector<CutOffset> lock;    // lock errors every half second of the run
    double recorderSpread = 0;      // the recording's own timing precision, seconds
    std::optional<int> exitStatus;
};

DesktopRunResult runDemoOnDesktop(const DesktopRunOptions& options);

} // namespace testsupport

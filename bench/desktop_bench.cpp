// The demo on real desktops' parts, one whole run per stack: Wayland with
// PulseAudio, with PipeWire through its PulseAudio server and through SDL's
// own PipeWire driver, and X11 through Xwayland (Weston, headless, GL; sound
// servers with a null sink; all started here). Every run has a first sound
// 1.5 s late (the server held stopped at the start), short stalls of the
// whole process at random moments, and one 5-s stall of the sound server.
// PipeWire's graph runs at the demo's own 1024 frames a cycle, as on a desktop
// where it plays alone. Two more rows run PipeWire with the graph at 128
// frames, as beside a client that asks for little latency, steadily (no late
// start, no stalls), with the median lock error.
// Reported per stack:
//   - drawn frames per compositor refresh (paced), or drawn frames per second
//     against the display's refresh where nothing paces presents;
//   - picture-to-sound offset at every crash cut, median and worst;
//   - the longest freeze of the picture against the longest the sound stood;
//   - CPU time per drawn frame.
// With BENCH_DETAIL=1, also the lock error every half second and the demo's
// own lines on standard error.
// A present of the frame already on screen costs no copy and no swap, so
// the CPU per drawn frame is the figure of one present per frame itself.
#include "DesktopRun.h"

#include "BenchTiming.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

using namespace testsupport;

namespace {

double loadAverage()
{
    std::ifstream in("/proc/loadavg");
    double one = 0;
    in >> one;
    return one;
}

// The longest wall time over which the picture's time stood still.
double longestFreeze(const std::vector<LoggedFrame>& frames)
{
    double longest = 0;
    std::size_t since = 0;
    for (std::size_t i = 1; i < frames.size(); ++i) {
        if (frames[i].t > frames[since].t) {
            since = i;
            continue;
        }
        longest = std::max(longest, frames[i].present - frames[since].present);
    }
    return longest;
}

// PipeWire with its graph at 128 frames a cycle, as beside a client that asks
// for little latency (a call, a game).
constexpr DesktopStack waylandPipeWirePulseAt128{"Wayland, PipeWire's PulseAudio server, graph at 128", false,
                                                 SoundServerKind::pipewire, "pulseaudio", 128};
constexpr DesktopStack waylandPipeWireAt128{"Wayland, SDL's PipeWire driver, graph at 128", false,
                                            SoundServerKind::pipewire, "pipewire", 128};

double medianLockError(const std::vector<CutOffset>& lock)
{
    std::vector<double> errors;
    for (const auto& c : lock)
        if (std::isfinite(c.lockError))
            errors.push_back(c.lockError);
    return errors.empty() ? std::nan("") : median(errors);
}

void benchStack(const DesktopStack& stack, bool steady)
{
    DesktopRunOptions options;
    options.stack = stack;
    if (!steady) {
        options.firstSoundLate = 1.5;
        options.stalls = 6;
        options.stallsFrom = 3.0;
        options.stallsUntil = 92.0;
        options.soundStallAt = 25.0;
        options.soundStall = 5.0;
    }
    const double loadBefore = loadAverage();
    DesktopRunResult run = runDemoOnDesktop(options);
    const double loadAfter = loadAverage();
    std::printf("== %s (load %.2f before, %.2f after)\n", stack.name, loadBefore, loadAfter);
    if (!run.problem.empty()) {
        std::printf("testbeds unavailable: %s\n", run.problem.c_str());
        return;
    }
    if (steady) {
        std::printf("frames drawn: %zu, steady: no late start, no stalls\n", run.frames.size());
    } else {
        std::printf("frames drawn: %zu, stalls at t =", run.frames.size());
        for (double s : run.stallTimes)
            std::printf(" %.2f", s);
        std::printf(", sound server stopped 5 s at t = %.2f\n", run.soundStallTime);
    }
    std::vector<double> offsets;
    double worst = 0;
    for (const auto& c : run.cuts) {
        std::printf("cut %5.1f s: picture - crash %+7.1f ms (lock error %+6.1f ms)\n", c.cut, c.offset * 1e3,
                    c.lockError * 1e3);
        offsets.push_back(c.offset);
        worst = std::max(worst, std::abs(c.offset));
    }
    if (std::getenv("BENCH_DETAIL")) {
        for (const auto& c : run.lock)
            std::printf("lock %5.1f %+7.1f\n", c.cut, c.lockError * 1e3);
        std::istringstream err(run.errors);
        for (std::string line; std::getline(err, line);)
            if (line.rfind("frame ", 0) != 0)
                std::printf("stderr: %s\n", line.c_str());
    }
    if (run.cappedRate > 0)
        std::printf("RATIO drawn fps / display refresh (nothing paces): %.3f (%.1f / %.1f; target <= 1.05)\n",
                    run.drawnRate / run.cappedRate, run.drawnRate, run.cappedRate);
    else
        std::printf("RATIO drawn fps / compositor repaint rate: %.3f (%.1f / %.1f; target >= 0.95)\n",
                    run.drawnRate / run.repaintRate, run.drawnRate, run.repaintRate);
    if (!offsets.empty())
        std::printf("OFFSET picture - crash at %zu cuts: median %+.1f ms, worst %.1f ms (target: median within +-5, "
                    "every cut within +-17)\n",
                    offsets.size(), median(offsets) * 1e3, worst * 1e3);
    if (steady)
        std::printf("LOCK median lock error: %+.1f ms\n", medianLockError(run.lock) * 1e3);
    std::printf("FREEZE longest picture standing still: %.2f s (%s)\n", longestFreeze(run.frames),
                steady ? "steady run" : "the sound stood still 5 s; late start 1.5 s");
    std::printf("CPU per drawn frame: %.2f ms (each frame presented once: a present of the frame already on "
                "screen does no copy and no swap)\n",
                run.cpuSecondsPerFrame * 1e3);
}

} // namespace

int main(int argc, char** argv)
{
    struct Row {
        DesktopStack stack;
        bool steady;
    };
    const Row rows[] = {{waylandPulse, false},  {waylandPipeWirePulse, false},     {waylandPipeWire, false},
                        {xwaylandPulse, false}, {waylandPipeWirePulseAt128, true}, {waylandPipeWireAt128, true}};
    constexpr int count = static_cast<int>(std::size(rows));
    // An argument picks rows by number (0 to 5); none runs them all.
    for (int i = 0; i < count; ++i) {
        bool wanted = argc < 2;
        for (int a = 1; a < argc; ++a)
            wanted = wanted || std::atoi(argv[a]) == i;
        if (wanted)
            benchStack(rows[i].stack, rows[i].steady);
    }
    return 0;
}

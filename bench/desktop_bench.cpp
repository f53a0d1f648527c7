// The demo on a real desktop's parts: a paced Wayland compositor (Weston,
// headless, GL) and a real sound server (PulseAudio, null sink), both started
// here. One whole run with stalls injected at random moments; reported:
//   - drawn frames per second over the compositor's own repaint rate;
//   - picture-to-sound offset at every crash cut (first frame past the cut
//     presented minus the crash played by the sink), median and worst;
//   - the lock error of every half second (offset without the frame's own step);
//   - CPU time per drawn frame under pacing.
#include "DesktopRun.h"

#include "BenchTiming.h"

#include <cmath>
#include <cstdio>

using namespace testsupport;

int main()
{
    DesktopRunOptions options;
    options.stalls = 8;
    options.stallsFrom = 3.0;
    options.stallsUntil = 92.0;
    DesktopRunResult run = runDemoOnDesktop(options);
    if (!run.problem.empty()) {
        std::printf("desktop testbeds unavailable: %s\n", run.problem.c_str());
        return 1;
    }
    std::printf("frames drawn: %zu, stalls at t =", run.frames.size());
    for (double s : run.stallTimes)
        std::printf(" %.2f", s);
    std::printf("\nrecording timing precision: %.2f ms\n", run.recorderSpread * 1e3);

    std::vector<double> offsets;
    double worst = 0;
    for (const auto& c : run.cuts) {
        std::printf("cut %5.1f s: picture - crash %+7.1f ms (lock error %+6.1f ms)\n", c.cut, c.offset * 1e3,
                    c.lockError * 1e3);
        offsets.push_back(c.offset);
        worst = std::max(worst, std::abs(c.offset));
    }
    std::vector<double> lock;
    double worstLock = 0;
    for (const auto& l : run.lock) {
        lock.push_back(l.lockError);
        worstLock = std::max(worstLock, std::abs(l.lockError));
    }
    std::printf("RATIO drawn fps / compositor repaint rate: %.3f (%.1f / %.1f; target >= 0.95)\n",
                run.drawnRate / run.repaintRate, run.drawnRate, run.repaintRate);
    if (!offsets.empty())
        std::printf("OFFSET picture - crash at %zu cuts: median %+.1f ms, worst %.1f ms (target: median within +-5, "
                    "every cut within +-17)\n",
                    offsets.size(), median(offsets) * 1e3, worst * 1e3);
    if (!lock.empty())
        std::printf("OFFSET lock error every 0.5 s (%zu points): median %+.1f ms, worst %.1f ms\n", lock.size(),
                    median(lock) * 1e3, worstLock * 1e3);
    std::printf("CPU per drawn frame under pacing: %.2f ms\n", run.cpuSecondsPerFrame * 1e3);
    return 0;
}

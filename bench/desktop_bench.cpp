// The demo on real desktops' parts, one whole run per stack, the demo choosing
// its own sound output (Weston, headless, GL; sound servers with a null sink;
// all started here): Wayland with PulseAudio; with PipeWire at 44.1 kHz, and
// at 48 kHz with the graph held at 256, 1024 and 2048 frames a cycle, as other
// clients hold it on a desktop; with PulseAudio told to hold 1.5 s, stalled
// 300 ms at a time; and X11 through Xwayland. Every run has a first sound
// 1.5 s late (the server held stopped at the start), short stalls of the
// whole process at random moments, and one 5-s stall of the sound server. Two
// rows end the server (PulseAudio, PipeWire) for 3 s and start it again. Four
// name the sound path in SDL_AUDIODRIVER, as desktops and launchers do:
// pulseaudio, pulseaudio holding 1.5 s, alsa through the PulseAudio server's
// ALSA plugin, and pipewire with the graph held at 2048 frames. The last eight
// play undisturbed on GNOME (mutter) and KDE (KWin), through Xwayland and
// natively, on 1280 x 720 and 1024 x 768 monitors, with PipeWire at 48 kHz,
// to 70 s, and say where the compositor's own screenshot shows the picture.
// Reported per stack:
//   - drawn frames per compositor refresh (paced), or drawn frames per second
//     against the display's refresh where nothing paces presents;
//   - at every crash cut, the error with the frames' quantisation taken out
//     (when the crash was played minus where the first new frame puts it:
//     its present plus half a frame interval less its step past the cut),
//     median and worst, and the first new frame's offset from the crash;
//   - the longest freeze of the picture against the longest the sound stood;
//   - silent stretches in the recording that are not in the track;
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

double medianLockError(const std::vector<CutOffset>& lock)
{
    std::vector<double> errors;
    for (const auto& c : lock)
        if (std::isfinite(c.lockError))
            errors.push_back(c.lockError);
    return errors.empty() ? std::nan("") : median(errors);
}

int countLines(const std::string& text, const std::string& part)
{
    int count = 0;
    for (std::size_t at = 0; (at = text.find(part, at)) != std::string::npos; at += part.size())
        ++count;
    return count;
}

// The sound server ended and started again: what the demo said, how long the
// picture stood, and when it moved again against the first sound back.
void reportReturn(const DesktopRunResult& run)
{
    std::printf("server ended at t = %.2f for 3 s; demo said: %d 'went away', %d 'is back', %d 'no sound device'\n",
                run.serverGoneTime, countLines(run.errors, "went away"), countLines(run.errors, "is back"),
                countLines(run.errors, "no sound device"));
    if (run.firstSoundBack <= 0) {
        std::printf("RETURN no sound after the server came back\n");
        return;
    }
    const auto& f = run.frames;
    for (std::size_t i = 1; i < f.size(); ++i)
        if (f[i].present >= run.firstSoundBack - 0.001 && f[i].t > f[i - 1].t) {
            std::printf("RETURN picture moves again %+.1f ms after the first sound back (%.2f s after the server; "
                        "target: within one frame)\n",
                        (f[i].present - run.firstSoundBack) * 1e3, run.firstSoundBack - run.serverBack);
            return;
        }
    std::printf("RETURN the picture never moved after the first sound back\n");
}

void benchStack(const DesktopStack& stack, bool steady, bool returns)
{
    DesktopRunOptions options;
    options.stack = stack;
    if (returns) {
        options.serverGoneAt = 30.0;
        options.serverGoneFor = 3.0;
    }
    if (stack.pulseLatencyMs > 0)
        options.stallShortest = options.stallLongest = 300;
    // The desktops' rows end past the last crash cut (68.5 s).
    if (stack.compositor != CompositorKind::weston)
        options.stopAfter = 70.0;
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
    std::printf("sound through %s\n", run.output.c_str());
    if (stack.compositor != CompositorKind::weston) {
        const std::string picture = pictureProblem(run, stack);
        std::printf("PICTURE %s\n", picture.empty() ? "where it belongs, aspect kept" : picture.c_str());
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
    std::vector<double> errors;
    double worst = 0;
    double worstError = 0;
    for (const auto& c : run.cuts) {
        std::printf("cut %5.1f s: error %+6.1f ms, first frame - crash %+7.1f ms (lock error %+6.1f ms)\n", c.cut,
                    c.error * 1e3, c.offset * 1e3, c.lockError * 1e3);
        offsets.push_back(c.offset);
        errors.push_back(c.error);
        worst = std::max(worst, std::abs(c.offset));
        worstError = std::max(worstError, std::abs(c.error));
    }
    if (std::getenv("BENCH_DETAIL")) {
        // Each silence no stall explains, at the timeline moment the picture showed then.
        for (const Silence& silence : run.silences) {
            if (silence.inStall)
                continue;
            double t = -1;
            for (const auto& f : run.frames)
                if (f.present <= silence.begin)
                    t = f.t;
            std::printf("silence at t = %.2f: %.0f ms\n", t, (silence.end - silence.begin) * 1e3);
        }
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
    else if (run.repaintRate > 0)
        std::printf("RATIO drawn fps / compositor repaint rate: %.3f (%.1f / %.1f; target >= 0.95)\n",
                    run.drawnRate / run.repaintRate, run.drawnRate, run.repaintRate);
    else
        std::printf("RATIO not measured: the compositor's rate probe reported nothing\n");
    if (returns)
        reportReturn(run);
    if (!errors.empty()) {
        std::printf("ERROR crash played - where the picture put it, at %zu of %zu cuts: median %+.1f ms, worst %.1f ms "
                    "(target: median within +-3, every cut within +-8.3)\n",
                    errors.size(), crashCuts.size(), median(errors) * 1e3, worstError * 1e3);
        std::printf("OFFSET first new frame - crash: median %+.1f ms, worst %.1f ms (target: every cut within +-17)\n",
                    median(offsets) * 1e3, worst * 1e3);
    }
    if (steady)
        std::printf("LOCK median lock error: %+.1f ms\n", medianLockError(run.lock) * 1e3);
    int unexplained = 0;
    double longestUnexplained = 0;
    double inStalls = 0;
    for (const Silence& silence : run.silences) {
        if (silence.inStall) {
            inStalls += silence.end - silence.begin;
            continue;
        }
        ++unexplained;
        longestUnexplained = std::max(longestUnexplained, silence.end - silence.begin);
    }
    double stalled = 0;
    for (const Stall& stall : run.stalls)
        stalled += stall.end - stall.begin;
    std::printf("SILENCE not in the track and not from a stall: %d stretches, longest %.0f ms (target: none); "
                "%.0f ms during or right after %.0f ms of stalls\n",
                unexplained, longestUnexplained * 1e3, inStalls * 1e3, stalled * 1e3);
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
        bool returns = false; // the server ended and started again
    };
    // One row a line, numbered; a new row goes at the end, keeping the others' numbers.
    const Row rows[] = {
        {waylandPulse, false},             // 0
        {waylandPipeWire, false},          // 1
        {waylandPipeWire256, false},       // 2
        {waylandPipeWire1024, false},      // 3
        {waylandPipeWire2048, false},      // 4
        {waylandPulseHolding, false},      // 5
        {xwaylandPulse, false},            // 6
        {waylandPulse, true, true},        // 7
        {waylandPipeWire1024, true, true}, // 8
        {waylandNamedPulse, false},        // 9
        {waylandNamedPulseHolding, false}, // 10
        {waylandNamedAlsa, false},         // 11
        {waylandNamedPipeWire2048, false}, // 12
        {gnomeXwayland720, true},          // 13
        {gnomeXwayland768, true},          // 14
        {gnomeWayland720, true},           // 15
        {gnomeWayland768, true},           // 16
        {kdeXwayland720, true},            // 17
        {kdeXwayland768, true},            // 18
        {kdeWayland720, true},             // 19
        {kdeWayland768, true},             // 20
    };
    constexpr int count = static_cast<int>(std::size(rows));
    // An argument picks rows by their number here (from 0); none runs them all.
    for (int i = 0; i < count; ++i) {
        bool wanted = argc < 2;
        for (int a = 1; a < argc; ++a)
            wanted = wanted || std::atoi(argv[a]) == i;
        if (wanted)
            benchStack(rows[i].stack, rows[i].steady, rows[i].returns);
    }
    return 0;
}

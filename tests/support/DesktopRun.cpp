// One run of the demo on the testbeds, with stalls injected at moments chosen
// at random, so that nothing in the demo can expect them.
#include "DesktopRun.h"

#include "TestFiles.h"
#include "assets/FileBytes.h"
#include "display/PictureFit.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <sys/resource.h>
#include <thread>

namespace testsupport {

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

double cpuSecondsOfChildren()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

double monotonicSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Stretches of at least 5 ms of digital silence between the first and the last
// sound recorded: handed over by the demo, or the sink run dry.
std::vector<Silence> silencesIn(const MonitorRecorder& recording, const std::vector<Stall>& stalls)
{
    const auto& samples = recording.samples();
    auto silent = [&](std::size_t f) { return samples[2 * f] == 0 && samples[2 * f + 1] == 0; };
    std::size_t first = 0;
    std::size_t last = recording.frames();
    while (first < last && silent(first))
        ++first;
    while (last > first && silent(last - 1))
        --last;
    std::vector<Silence> found;
    for (std::size_t f = first; f < last;) {
        std::size_t end = f;
        while (end < last && silent(end))
            ++end;
        if (end - f >= MonitorRecorder::rate / 200) {
            Silence s{recording.playedAt(static_cast<double>(f)), recording.playedAt(static_cast<double>(end)), false};
            // What a stall leaves: the sink runs dry during it and while the
            // stream fills up again after it.
            for (const Stall& stall : stalls)
                s.inStall = s.inStall || (s.end > stall.begin && s.begin < stall.end + 0.5);
            found.push_back(s);
        }
        f = end + 1;
    }
    return found;
}

double lastLoggedTime(const ChildProcess& demo)
{
    const auto frames = parseFrameLog(demo.errorOutput());
    return frames.empty() ? -1.0 : frames.back().t;
}

} // namespace

DesktopRunResult runDemoOnDesktop(const DesktopRunOptions& options)
{
    DesktopRunResult result;
    const DesktopStack& stack = options.stack;
    // The sound server first: mutter casts its screen through its PipeWire.
    std::unique_ptr<SoundServer> sound;
    if (options.withSound) {
        sound = std::make_unique<SoundServer>(stack.server, stack.graphQuantum, stack.graphRate, stack.quantumForced);
        if (!sound->running()) {
            result.problem = sound->problem();
            return result;
        }
    }
    Compositor compositor(stack.compositor, stack.xwayland, stack.monitorWidth, stack.monitorHeight,
                          sound ? sound->runtimeDirectory() : "");
    if (!compositor.running()) {
        result.problem = compositor.problem();
        return result;
    }
    std::unique_ptr<MonitorRecorder> recorder;
    if (sound) {
        recorder = std::make_unique<MonitorRecorder>(
            sound->address(), SoundServer::monitorSource(),
            options.stack.server == SoundServerKind::pulseaudio ? PlayedTiming::serverLatency : PlayedTiming::arrival);

        // An idle null sink renders far ahead; a reader attached for a while
        // brings it down to the latency it keeps while playing.
        if (!recorder->waitUntilRecording(5000)) {
            result.problem = "the sink's monitor did not start recording in 5 s";
            return result;
        }
        if (!recorder->waitUntilSettled(2.0, 15000)) {
            result.problem = "the sink's monitor did not come down to the latency it keeps while playing in 15 s";
            return result;
        }
    }

    testfiles::TempDir work;
    const fs::path data = fs::path(work.directory()) / "data";
    if (options.withMusicFile) {
        fs::create_directory_symlink(fs::path(sourceDir()) / "data", data);
    } else {
        fs::create_directory(data);
        fs::create_directory_symlink(fs::path(sourceDir()) / "data/textures", data / "textures");
        fs::create_directory_symlink(fs::path(sourceDir()) / "data/models", data / "models");
    }
    ChildOptions demoOptions;
    demoOptions.args = {binaryDir() + "/app/brakvane"};
    demoOptions.workingDirectory = work.directory();
    demoOptions.env = compositor.clientEnvironment();
    demoOptions.env["LIBGL_ALWAYS_SOFTWARE"] = std::string("1");
    demoOptions.env["BRAKVANE_FRAME_LOG"] = std::string("1");
    if (sound) {
        demoOptions.env["PULSE_SERVER"] = sound->address();
        demoOptions.env["PIPEWIRE_RUNTIME_DIR"] = sound->runtimeDirectory();
        // The demo chooses its output as on a viewer's desktop.
        demoOptions.env["SDL_AUDIODRIVER"] = std::nullopt;
        demoOptions.env["BRAKVANE_AUDIO"] = std::nullopt;
        if (options.stack.pulseLatencyMs > 0)
            demoOptions.env["PULSE_LATENCY_MSEC"] = std::to_string(options.stack.pulseLatencyMs);
        if (options.stack.audioDriver != nullptr)
            demoOptions.env["SDL_AUDIODRIVER"] = std::string(options.stack.audioDriver);
        if (options.stack.audioDriver != nullptr && std::string(options.stack.audioDriver) == "alsa")
            demoOptions.env["ALSA_CONFIG_PATH"] = sound->alsaConfig();
    } else {
        demoOptions.env["SDL_AUDIODRIVER"] = std::string("dummy");
    }
    // An Xwayland row plays through X11 even where the demo, on a Wayland
    // desktop, would open natively by itself.
    const char* videoDriver = stack.videoDriver != nullptr ? stack.videoDriver : stack.xwayland ? "x11" : nullptr;
    if (videoDriver != nullptr)
        demoOptions.env["SDL_VIDEODRIVER"] = std::string(videoDriver);

    const double cpuBefore = cpuSecondsOfChildren();
    if (sound && options.firstSoundLate > 0)
        sound->holdFirstSound(true);
    const double startedAt = monotonicSeconds();
    ChildProcess demo(demoOptions);
    bool heldAtStart = sound && options.firstSoundLate > 0;
    bool soundStalled = false;
    double soundStallBegin = 0;
    bool serverGone = false;
    double serverGoneBegin = 0;
    std::unique_ptr<MonitorRecorder> recordedBefore; // the recording up to the server's end
    const PlayedTiming timing =
        options.stack.server == SoundServerKind::pulseaudio ? PlayedTiming::serverLatency : PlayedTiming::arrival;

    // Stalls: stop the whole process (its audio thread too) at moments drawn at
    // random within the span, each on its own frame log reading.
    std::mt19937 random(options.seed != 0 ? options.seed : std::random_device{}());
    std::vector<double> stallAt;
    const double until = options.stallsUntil > 0 ? options.stallsUntil : options.stallsFrom + 1;
    std::uniform_real_distribution<double> when(options.stallsFrom, until);
    std::uniform_int_distribution<int> length(options.stallShortest, options.stallLongest);
    for (int i = 0; i < options.stalls; ++i)
        stallAt.push_back(when(random));
    std::sort(stallAt.begin(), stallAt.end());

    // The compositor's rate while the demo runs, from a probe that the demo's
    // full-screen window does not cover: started once that window is up, and
    // once the compositor's screenshot of the opening picture is taken (the
    // probe's window may open over it).
    std::optional<RepaintProbe> probe;
    std::unique_ptr<ChildProcess> screenshot;
    const std::string shotPath = work.directory() + "/screenshot.png";

    std::size_t nextStall = 0;
    const auto deadline = std::chrono::steady_clock::now() + 140s;
    while (!demo.exited() && std::chrono::steady_clock::now() < deadline) {
        const double t = lastLoggedTime(demo);
        if (!screenshot && t >= 2.0)
            screenshot = compositor.startScreenshot(shotPath);
        if (!probe && t >= 0 && (stack.compositor == CompositorKind::weston || (screenshot && screenshot->exited())))
            probe.emplace(compositor);
        if (heldAtStart && monotonicSeconds() - startedAt > options.firstSoundLate) {
            sound->holdFirstSound(false);
            heldAtStart = false;
        }
        if (sound && options.soundStall > 0 && result.soundStallTime < 0 && t >= options.soundStallAt) {
            result.soundStallTime = t;
            soundStallBegin = monotonicSeconds();
            sound->hold(true);
            soundStalled = true;
        }
        if (soundStalled && monotonicSeconds() - soundStallBegin > options.soundStall) {
            sound->hold(false);
            soundStalled = false;
            result.stalls.push_back({soundStallBegin, monotonicSeconds()});
        }
        if (sound && options.serverGoneFor > 0 && result.serverGoneTime < 0 && t >= options.serverGoneAt) {
            result.serverGoneTime = t;
            recorder->stop();
            recordedBefore = std::move(recorder);
            sound->stopServer();
            serverGoneBegin = monotonicSeconds();
            serverGone = true;
        }
        if (serverGone && monotonicSeconds() - serverGoneBegin > options.serverGoneFor) {
            serverGone = false;
            sound->restart();
            result.serverBack = monotonicSeconds();
            recorder = std::make_unique<MonitorRecorder>(sound->address(), SoundServer::monitorSource(), timing);
            recorder->waitUntilRecording(5000);
        }
        if (options.stopAfter > 0 && t > options.stopAfter) {
            demo.signal(SIGINT);
            break;
        }
        if (nextStall < stallAt.size() && t >= stallAt[nextStall]) {
            result.stallTimes.push_back(t);
            const double begin = monotonicSeconds();
            demo.signal(SIGSTOP);
            std::this_thread::sleep_for(std::chrono::milliseconds(length(random)));
            demo.signal(SIGCONT);
            result.stalls.push_back({begin, monotonicSeconds()});
            ++nextStall;
        }
        std::this_thread::sleep_for(10ms);
    }
    if (sound) {
        sound->holdFirstSound(false);
        sound->hold(false);
    }
    result.exitStatus = demo.wait(30s);
    if (screenshot) {
        const std::optional<int> status = screenshot->wait(20s);
        FileBytes bytes;
        std::string why;
        if (status != 0 || !readFileBytes(shotPath, bytes, SIZE_MAX, &why) ||
            !decodePng(bytes.data.get(), bytes.size, result.screenshot, {.keepAlpha = false}, &why))
            result.screenshotProblem = "no screenshot (status " + (status ? std::to_string(*status) : "none") +
                                       "): " + why + screenshot->errorOutput().substr(0, 400);
        result.modeAfter = compositor.outputMode();
    }
    const double cpu = cpuSecondsOfChildren() - cpuBefore;
    // Its reports are of whole 5-s spans, all but the last moments while the demo ran.
    if (probe)
        result.repaintRate = probe->finish();
    result.console = demo.output();
    result.errors = demo.errorOutput();
    const std::string outputMark = "sound through ";
    // "brakvane: sound through ALSA (SDL_AUDIODRIVER=alsa, ...)": the output's name.
    if (const auto at = result.errors.find(outputMark); at != std::string::npos)
        result.output =
            result.errors.substr(at + outputMark.size(),
                                 result.errors.find_first_of(" \n", at + outputMark.size()) - at - outputMark.size());
    // "brakvane: nothing paces presents here; new frames at most every 16.6667 ms"
    const std::string capMark = "new frames at most every ";
    const auto capAt = result.errors.find(capMark);
    if (capAt != std::string::npos) {
        const double interval = std::atof(result.errors.c_str() + capAt + capMark.size()) / 1000;
        result.cappedRate = interval > 0 ? 1 / interval : 0;
    }
    result.frames = parseFrameLog(demo.errorOutput());

    // The drawn rate: new frames per second of presents, past the first
    // second (start-up and the first pictures' upload).
    // Stalls are not the demo's doing: the intervals they fall in are left out.
    double span = 0;
    int intervals = 0;
    for (std::size_t i = 1; i < result.frames.size(); ++i) {
        const auto& a = result.frames[i - 1];
        const auto& b = result.frames[i];
        if (a.t <= 1.0)
            continue;
        bool stalled = false;
        for (const auto& s : result.stalls)
            stalled = stalled || (s.end > a.present && s.begin < b.present);
        if (stalled)
            continue;
        span += b.present - a.present;
        ++intervals;
    }
    if (intervals > 10)
        result.drawnRate = intervals / span;
    if (!result.frames.empty())
        result.cpuSecondsPerFrame = cpu / static_cast<double>(result.frames.size());

    if (recorder) {
        recorder->stop();
        const auto track = decodeTrack(sourceDir() + "/data/music/skalmtone.mp3");
        std::vector<double> moments;
        for (double m = 0.5; !result.frames.empty() && m < result.frames.back().t; m += 0.5)
            moments.push_back(m);
        // Where the server was ended and started again, each recording has
        // the moments of its own span.
        const double split = recordedBefore ? result.serverGoneTime : -1;
        auto offsets = [&](const std::vector<double>& wanted) {
            std::vector<double> earlier;
            std::vector<double> later;
            for (double m : wanted)
                (m < split ? earlier : later).push_back(m);
            std::vector<CutOffset> found;
            if (!earlier.empty())
                found = cutOffsets(result.frames, track, *recordedBefore, earlier, result.stalls);
            const auto then = cutOffsets(result.frames, track, *recorder, later, result.stalls);
            found.insert(found.end(), then.begin(), then.end());
            return found;
        };
        result.cuts = offsets(crashCuts);
        result.lock = offsets(moments);
        if (recordedBefore) {
            const auto& samples = recorder->samples();
            std::size_t first = 0;
            while (2 * first + 1 < samples.size() && samples[2 * first] == 0 && samples[2 * first + 1] == 0)
                ++first;
            if (2 * first + 1 < samples.size())
                result.firstSoundBack = recorder->playedAt(static_cast<double>(first));
        }
        result.recorderSpread = recorder->timingSpread();
        result.silences = silencesIn(*recorder, result.stalls);
    }
    return result;
}

std::string pictureProblem(const DesktopRunResult& run, const DesktopStack& stack)
{
    if (stack.compositor == CompositorKind::weston)
        return {};
    if (!run.screenshotProblem.empty())
        return run.screenshotProblem;
    const int width = stack.monitorWidth;
    const int height = stack.monitorHeight;
    const std::string monitor = std::to_string(width) + "x" + std::to_string(height);
    const PngImage& shot = run.screenshot;
    if (shot.width != static_cast<unsigned>(width) || shot.height != static_cast<unsigned>(height))
        return "the screenshot is " + std::to_string(shot.width) + "x" + std::to_string(shot.height) +
               ", the monitor " + monitor;
    if (run.modeAfter != monitor)
        return "the output is at '" + run.modeAfter + "' after the demo, not its own " + monitor;
    // The opening picture covers the whole 4:3 area, in colours far from
    // black; the bars around it are black. Its area: what is not black.
    int left = width;
    int right = 0;
    int top = height;
    int bottom = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const unsigned char* p = shot.pixels.get() + (std::size_t(y) * shot.width + x) * shot.channels;
            if (std::max({p[0], p[1], p[2]}) > 48) {
                left = std::min(left, x);
                right = std::max(right, x + 1);
                top = std::min(top, y);
                bottom = std::max(bottom, y + 1);
            }
        }
    const PictureArea want = fitPicture(width, height, 800, 600);
    const int wantTop = height - want.bottom - want.height;
    auto area = [](int x, int y, int w, int h) {
        return std::to_string(w) + "x" + std::to_string(h) + " at (" + std::to_string(x) + ", " + std::to_string(y) +
               ")";
    };
    if (std::abs(left - want.x) > 2 || std::abs(right - want.x - want.width) > 2 || std::abs(top - wantTop) > 2 ||
        std::abs(bottom - wantTop - want.height) > 2)
        return "the picture is " + (right > left ? area(left, top, right - left, bottom - top) : "nowhere") + ", not " +
               area(want.x, wantTop, want.width, want.height) + " on the " + monitor + " monitor";
    return {};
}

} // namespace testsupport

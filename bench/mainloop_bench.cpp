// Passes per second of the real main loop with an empty frame, nothing pacing
// it, against a bare SDL loop doing the same clear and presenting each frame
// once through the same offscreen-frame presentation (the main loop's second
// present of a pass shows the frame already on screen, which costs nothing),
// measured in one run and reported as a ratio.
// Also reports what the flicker-free presentation costs against two plain
// swaps, with an empty frame and with three textured full-screen quads, and
// the CPU time per drawn frame of the real loop (whose second present of a
// pass shows the frame already on screen) against a bare loop that presents
// each frame once, and against one that presents it twice in full.
//
// Needs a display (scripts/bench.sh provides a private Xvfb).
#include "FullScreenQuads.h"
#include "app/MainLoop.h"
#include "demo/Demo.h"
#include "display/FramePresenter.h"
#include "display/FramebufferFunctions.h"
#include "display/GLWindow.h"
#include "display/QuitSignal.h"

#include <SDL.h>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr double runSeconds = 2.0;
constexpr int rounds = 7;

double cpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

struct LoopRun {
    double rate = 0;       // passes per second
    double cpuPerPass = 0; // CPU seconds per pass (one drawn frame)
};

// The best of two runs; a run that was cut short (no figures) counts for nothing.
LoopRun fastest(const LoopRun& a, const LoopRun& b)
{
    if (a.cpuPerPass <= 0 || b.cpuPerPass <= 0)
        return a.cpuPerPass > 0 ? a : b;
    return {std::max(a.rate, b.rate), std::min(a.cpuPerPass, b.cpuPerPass)};
}

// The middle of the ratios (the mean of the middle two of an even count); NaN
// when no round gave one.
double median(std::vector<double> values)
{
    if (values.empty())
        return std::nan("");
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// The real loop, ended the way a viewer's Ctrl+C ends it.
// vsync false: as `--no-vsync`, nothing paces or caps the loop.
LoopRun realLoop(bool vsync)
{
    WindowOptions options;
    options.vsync = vsync;
    GLWindow window(800, 600, 32, true, "Brakvane bench", options);
    // The previous run's Ctrl+C may have left a quit message behind.
    SDL_FlushEvent(SDL_QUIT);
    Demo demo(window.hWnd);
    demo.setUp();
    std::thread stopper([] {
        std::this_thread::sleep_for(std::chrono::duration<double>(runSeconds));
        std::raise(SIGINT);
    });
    const auto begin = Clock::now();
    const double cpuBegin = cpuSeconds();
    const long passes = runMainLoop(window, demo);
    const double cpu = cpuSeconds() - cpuBegin;
    const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    stopper.join();
    // A loop that ended before its Ctrl+C (a quit message left behind) leaves
    // that signal to end the next run at its first pass: both are dropped.
    quitSignal::take();
    if (seconds < runSeconds / 2)
        return {};
    return {static_cast<double>(passes) / seconds, cpu / static_cast<double>(passes)};
}

GLuint makeTexture()
{
    std::vector<unsigned char> pixels(512 * 512 * 4);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<unsigned char>(i * 7);
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 512, 512, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return name;
}

// A bare loop: poll, clear (and draw), present once or twice per pass; with
// pacedHz, each new frame's present waits for its slot at that rate, as the
// main loop's cap does where nothing paces presents.
LoopRun bareLoop(bool offscreen, int quads, int presents = 2, double pacedHz = 0)
{
    SDL_Window* window = SDL_CreateWindow("bare", 0, 0, 800, 600, SDL_WINDOW_OPENGL | SDL_WINDOW_FULLSCREEN);
    SDL_GLContext context = SDL_GL_CreateContext(window);
    SDL_GL_MakeCurrent(window, context);
    useGLProcLoader([](const char* name) { return SDL_GL_GetProcAddress(name); });
    LoopRun run;
    {
        std::unique_ptr<FramePresenter> presenter;
        if (offscreen)
            presenter = std::make_unique<FramePresenter>(800, 600);
        GLuint texture = makeTexture();
        auto present = [&] {
            glFlush();
            if (presenter)
                presenter->present(window);
            else
                SDL_GL_SwapWindow(window);
        };
        long passes = 0;
        const auto begin = Clock::now();
        const double cpuBegin = cpuSeconds();
        double seconds = 0;
        SDL_Event event;
        while (seconds < runSeconds) {
            SDL_PollEvent(&event);
            if (presents > 1)
                present();
            glClearColor(0, 0, 0, 1);
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
            glEnable(GL_TEXTURE_2D);
            submitFullScreenQuads(quads);
            SDL_PollEvent(&event);
            if (pacedHz > 0)
                std::this_thread::sleep_until(begin + std::chrono::duration<double>((passes + 1) / pacedHz));
            present();
            ++passes;
            seconds = std::chrono::duration<double>(Clock::now() - begin).count();
        }
        run = {static_cast<double>(passes) / seconds, (cpuSeconds() - cpuBegin) / static_cast<double>(passes)};
        glDeleteTextures(1, &texture);
    }
    SDL_GL_DeleteContext(context);
    SDL_DestroyWindow(window);
    return run;
}

} // namespace

int main()
{
    // An empty asset folder: the demo's frame is then a clear and nothing else.
    auto empty = std::filesystem::temp_directory_path() / "brakvane-bench-empty";
    std::filesystem::create_directories(empty);
    std::filesystem::current_path(empty);

    // Xvfb's software GL cannot pace presents, so the main loop caps itself at
    // the mode's refresh: the paced figures compare it with a bare loop held
    // to the same rate.
    SDL_InitSubSystem(SDL_INIT_VIDEO);
    SDL_DisplayMode mode{};
    const double refresh = SDL_GetCurrentDisplayMode(0, &mode) == 0 && mode.refresh_rate > 0 ? mode.refresh_rate : 60;
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    // Each main-loop figure is set against its baseline run right after it, and the
    // median of those ratios over the rounds is reported: on a shared machine the
    // load shifts between rounds more than between two runs in a row.
    LoopRun realRun, bareRun, oncePerFrame, realPaced, oncePaced;
    std::vector<double> rateRatios, cpuRatios, pacedCpuRatios;
    double plain0 = 0, plain3 = 0, fbo3 = 0;
    auto bare = [](bool offscreen, int quads, int presents = 2, double pacedHz = 0) {
        SDL_InitSubSystem(SDL_INIT_VIDEO);
        const LoopRun run = bareLoop(offscreen, quads, presents, pacedHz);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return run;
    };
    auto compare = [](const LoopRun& real, const LoopRun& baseline, double LoopRun::* figure, std::vector<double>& to) {
        if (real.cpuPerPass > 0 && baseline.cpuPerPass > 0)
            to.push_back(real.*figure / baseline.*figure);
    };
    for (int round = 0; round < rounds; ++round) {
        const LoopRun unpaced = realLoop(false), once = bare(true, 0, 1);
        compare(unpaced, once, &LoopRun::rate, rateRatios);
        compare(unpaced, once, &LoopRun::cpuPerPass, cpuRatios);
        const LoopRun paced = realLoop(true), oncePacedNow = bare(true, 0, 1, refresh);
        compare(paced, oncePacedNow, &LoopRun::cpuPerPass, pacedCpuRatios);
        realRun = fastest(realRun, unpaced);
        oncePerFrame = fastest(oncePerFrame, once);
        realPaced = fastest(realPaced, paced);
        oncePaced = fastest(oncePaced, oncePacedNow);
        bareRun = fastest(bareRun, bare(true, 0));
        plain0 = std::max(plain0, bare(false, 0).rate);
        fbo3 = std::max(fbo3, bare(true, 3).rate);
        plain3 = std::max(plain3, bare(false, 3).rate);
    }
    const double fbo0 = bareRun.rate;
    std::fprintf(stderr, "passes/s (fastest of the rounds): main loop %.1f, bare loop %.1f\n", realRun.rate,
                 oncePerFrame.rate);
    std::fprintf(stderr, "passes/s, empty frame: offscreen frame %.1f, plain swaps %.1f\n", fbo0, plain0);
    std::fprintf(stderr, "passes/s, three textured quads: offscreen frame %.1f, plain swaps %.1f\n", fbo3, plain3);
    std::printf("RATIO main loop vs bare SDL loop: %.3f (target >= 0.9)\n", median(rateRatios));
    std::printf("RATIO offscreen-frame presentation vs plain swaps, empty frame: %.3f\n", fbo0 / plain0);
    std::printf("RATIO offscreen-frame presentation vs plain swaps, three textured quads: %.3f\n", fbo3 / plain3);
    std::fprintf(
        stderr,
        "CPU ms per drawn frame (cheapest of the rounds): main loop %.3f, bare loop presenting once %.3f, twice %.3f\n",
        realRun.cpuPerPass * 1e3, oncePerFrame.cpuPerPass * 1e3, bareRun.cpuPerPass * 1e3);
    std::fprintf(stderr, "CPU ms per drawn frame at %.0f Hz: main loop %.3f (%.1f frames/s), bare loop %.3f\n", refresh,
                 realPaced.cpuPerPass * 1e3, realPaced.rate, oncePaced.cpuPerPass * 1e3);
    std::printf("RATIO CPU per drawn frame, main loop vs each frame presented once: %.3f (target <= 1.1)\n",
                median(cpuRatios));
    std::fprintf(stderr, "that ratio in each round:");
    for (double ratio : pacedCpuRatios)
        std::fprintf(stderr, " %.3f", ratio);
    std::fprintf(stderr, "\n");
    std::printf("RATIO CPU per drawn frame at the display's refresh, main loop vs each frame presented once: %.3f "
                "(target <= 1.1)\n",
                median(pacedCpuRatios));
    std::printf("RATIO CPU per drawn frame, each frame presented twice in full vs once: %.3f\n",
                bareRun.cpuPerPass / oncePerFrame.cpuPerPass);
    return 0;
}

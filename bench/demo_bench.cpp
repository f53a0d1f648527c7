// Two costs of the demo, each against a baseline measured in the same run:
//
// 1. Submitting one timeline frame (CPU time of the drawing thread, the
//    driver's rasterisation excluded) against a bare loop that submits the
//    same number of textured quads, each after a bind, over a sweep of
//    moments across the whole schedule.
// 2. Launch to first frame of the real program (until its first picture is
//    on screen) against the sum of the parts it cannot avoid: decoding the
//    pictures, opening the music and creating the window.
//
// Runs from the repository folder (data/) on a display: scripts/bench.sh.
#include "BenchTiming.h"
#include "FullScreenQuads.h"
#include "assets/FileBytes.h"
#include "assets/PngDecode.h"
#include "audio/Music.h"
#include "demo/Timeline.h"
#include "display/GLWindow.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using Clock = BenchClock;

double threadSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Quads the timeline submits at moment t, for the baseline to match.
int quadsAt(double t)
{
    if (t < 40.1)
        return t > 10.2 ? 4 : 1;
    if (t > 40.1 && t < 68.5)
        return 1 + (t > 54.8) + (t > 58.2) + (t > 62.2) + (t > 65.8);
    return t > 68.5 ? 1 : 0;
}

void frameCost()
{
    GLWindow window(800, 600, 32, false, "Brakvane bench");
    ResourceCache<Texture> textures;
    textures.loadDirectory("data/textures/");
    // The baseline binds a picture before each quad, as the timeline does:
    // a bind ends the driver's batch, so quads without one would be measured
    // as a single draw.
    std::vector<GLuint> names;
    for (const std::string& name : textures.names())
        names.push_back(textures.get(name)->textureName);
    if (names.empty())
        names.push_back(0);

    constexpr int frames = 2000;
    double timeline = 1e9;
    double bare = 1e9;
    for (int round = 0; round < 5; ++round) {
        double spent = 0;
        for (int i = 0; i < frames; ++i) {
            float t = static_cast<float>(99.0 * i / frames);
            double begin = threadSeconds();
            drawScene(t, 0.3f, textures);
            spent += threadSeconds() - begin;
            if (i % 50 == 0)
                glFinish(); // rasterise outside the measured span
        }
        glFinish();
        timeline = std::min(timeline, spent);

        spent = 0;
        glEnable(GL_TEXTURE_2D);
        for (int i = 0; i < frames; ++i) {
            int quads = quadsAt(99.0 * i / frames);
            double begin = threadSeconds();
            for (int q = 0; q < quads; ++q) {
                glBindTexture(GL_TEXTURE_2D, names[static_cast<size_t>(q) % names.size()]);
                submitFullScreenQuads(1);
            }
            spent += threadSeconds() - begin;
            if (i % 50 == 0)
                glFinish();
        }
        glFinish();
        bare = std::min(bare, spent);
    }
    std::fprintf(stderr, "CPU per frame: timeline %.2f us, bare quads %.2f us\n", timeline / frames * 1e6,
                 bare / frames * 1e6);
    std::printf("RATIO timeline frame submission vs bare quads: %.3f (target <= 1.2)\n", timeline / bare);
}

// The real program, from launch until its first picture shows on the screen.
double launchToFirstFrame(Display* dpy)
{
    Window root = DefaultRootWindow(dpy);
    auto centreLit = [&] {
        XImage* image = XGetImage(dpy, root, 400, 100, 1, 1, AllPlanes, ZPixmap);
        if (!image)
            return false;
        bool lit = (XGetPixel(image, 0, 0) & 0xFFFFFF) != 0;
        XDestroyImage(image);
        return lit;
    };
    pid_t pid = 0;
    char program[] = BRAKVANE_PROGRAM;
    char* argv[] = {program, nullptr};
    auto begin = Clock::now();
    if (posix_spawn(&pid, program, nullptr, nullptr, argv, environ) != 0)
        return -1;
    double first = -1;
    while (secondsSince(begin) < 30) {
        if (centreLit()) {
            first = secondsSince(begin);
            break;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    kill(pid, SIGINT);
    int status = 0;
    waitpid(pid, &status, 0);
    return first;
}

double unavoidableParts()
{
    auto begin = Clock::now();
    for (const auto& entry : std::filesystem::directory_iterator("data/textures")) {
        FileBytes bytes;
        if (!readFileBytes(entry.path().string(), bytes))
            continue;
        PngImage image;
        decodePng(bytes.data.get(), bytes.size, image);
    }
    double pictures = secondsSince(begin);

    begin = Clock::now();
    {
        Music music(nullptr, "data/music/skalmtone.mp3");
    }
    double music = secondsSince(begin);

    begin = Clock::now();
    {
        GLWindow window(800, 600, 32, true, "Brakvane");
    }
    double window = secondsSince(begin);
    std::fprintf(stderr, "parts: pictures %.3f s, music %.3f s, window %.3f s\n", pictures, music, window);
    return pictures + music + window;
}

void startUpCost()
{
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) {
        std::fprintf(stderr, "no display\n");
        return;
    }
    double launch = 1e9;
    double parts = 1e9;
    for (int round = 0; round < 3; ++round) {
        double l = launchToFirstFrame(dpy);
        if (l > 0)
            launch = std::min(launch, l);
        parts = std::min(parts, unavoidableParts());
    }
    XCloseDisplay(dpy);
    std::fprintf(stderr, "launch to first frame %.3f s, unavoidable parts %.3f s\n", launch, parts);
    std::printf("RATIO launch to first frame vs its unavoidable parts: %.3f (target <= 1.2)\n", launch / parts);
}

} // namespace

int main()
{
    frameCost();
    startUpCost();
    return 0;
}

// Passes per second of the real main loop with an empty frame, against a bare
// SDL loop doing the same clear and the same two presents through the same
// offscreen-frame presentation, measured in one run and reported as a ratio.
// Also reports what the flicker-free presentation costs against two plain
// swaps, with an empty frame and with three textured full-screen quads.
//
// Needs a display (scripts/bench.sh provides a private Xvfb).
#include "FullScreenQuads.h"
#include "app/MainLoop.h"
#include "demo/Demo.h"
#include "display/FramePresenter.h"
#include "display/FramebufferFunctions.h"
#include "display/GLWindow.h"

#include <SDL.h>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr double runSeconds = 2.0;
constexpr int rounds = 5;

// The real loop, ended the way a viewer's Ctrl+C ends it.
double realLoopRate()
{
    GLWindow window(800, 600, 32, true, "Brakvane bench");
    Demo demo(window.hWnd);
    demo.setUp();
    std::thread stopper([] {
        std::this_thread::sleep_for(std::chrono::duration<double>(runSeconds));
        std::raise(SIGINT);
    });
    auto begin = Clock::now();
    long passes = runMainLoop(window, demo);
    double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    stopper.join();
    return static_cast<double>(passes) / seconds;
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

// A bare loop: poll, clear (and draw), present twice per pass.
double bareLoopRate(bool offscreen, int quads)
{
    SDL_Window* window = SDL_CreateWindow("bare", 0, 0, 800, 600, SDL_WINDOW_OPENGL | SDL_WINDOW_FULLSCREEN);
    SDL_GLContext context = SDL_GL_CreateContext(window);
    SDL_GL_MakeCurrent(window, context);
    useGLProcLoader([](const char* name) { return SDL_GL_GetProcAddress(name); });
    double rate = 0;
    {
        std::unique_ptr<FramePresenter> presenter;
        if (offscreen)
            presenter = std::make_unique<FramePresenter>(800, 600);
        GLuint texture = makeTexture();
        auto present = [&] {
            glFlush();
            if (presenter)
                presenter->present(window, false);
            else
                SDL_GL_SwapWindow(window);
        };
        long passes = 0;
        auto begin = Clock::now();
        double seconds = 0;
        SDL_Event event;
        while (seconds < runSeconds) {
            SDL_PollEvent(&event);
            present();
            glClearColor(0, 0, 0, 1);
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
            glEnable(GL_TEXTURE_2D);
            submitFullScreenQuads(quads);
            SDL_PollEvent(&event);
            present();
            ++passes;
            seconds = std::chrono::duration<double>(Clock::now() - begin).count();
        }
        rate = static_cast<double>(passes) / seconds;
        glDeleteTextures(1, &texture);
    }
    SDL_GL_DeleteContext(context);
    SDL_DestroyWindow(window);
    return rate;
}

} // namespace

int main()
{
    // An empty asset folder: the demo's frame is then a clear and nothing else.
    auto empty = std::filesystem::temp_directory_path() / "brakvane-bench-empty";
    std::filesystem::create_directories(empty);
    std::filesystem::current_path(empty);

    double real = 0, bare = 0, plain0 = 0, fbo0 = 0, plain3 = 0, fbo3 = 0;
    for (int round = 0; round < rounds; ++round) {
        real = std::max(real, realLoopRate());
        SDL_InitSubSystem(SDL_INIT_VIDEO);
        bare = std::max(bare, bareLoopRate(true, 0));
        plain0 = std::max(plain0, bareLoopRate(false, 0));
        fbo3 = std::max(fbo3, bareLoopRate(true, 3));
        plain3 = std::max(plain3, bareLoopRate(false, 3));
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
    fbo0 = bare;
    std::fprintf(stderr, "passes/s: main loop %.1f, bare loop %.1f\n", real, bare);
    std::fprintf(stderr, "passes/s, empty frame: offscreen frame %.1f, plain swaps %.1f\n", fbo0, plain0);
    std::fprintf(stderr, "passes/s, three textured quads: offscreen frame %.1f, plain swaps %.1f\n", fbo3, plain3);
    std::printf("RATIO main loop vs bare SDL loop: %.3f (target >= 0.9)\n", real / bare);
    std::printf("RATIO offscreen-frame presentation vs plain swaps, empty frame: %.3f\n", fbo0 / plain0);
    std::printf("RATIO offscreen-frame presentation vs plain swaps, three textured quads: %.3f\n", fbo3 / plain3);
    return 0;
}

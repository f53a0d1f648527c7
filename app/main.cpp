// Entry point: options, banner, window, demo, set-up, main loop, tear-down in
// order. With no arguments every choice is the fixed default; a bad command
// line is refused with one line on standard error and status 2 before
// anything starts. Otherwise it returns 0 in every case but one: memory that
// runs out in our own code ends the run with one line and status 1, window
// and demo torn down as on any other end (the display mode restored).
#include "app/DemoOptions.h"
#include "app/MainLoop.h"
#include "demo/DataFolder.h"
#include "demo/Demo.h"
#include "display/Displays.h"
#include "display/GLWindow.h"
#include "display/StandardStreams.h"

#include <csignal>
#include <iostream>
#include <malloc.h>
#include <memory>
#include <new>

namespace {

constexpr const char* banner = "Kalvor Brakvane 0.1";
constexpr int windowWidth = DemoFrames::width;
constexpr int windowHeight = DemoFrames::height;
constexpr int bitsPerPixel = 32;
constexpr const char* title = "Brakvane";
constexpr int exitFailed = 1;
constexpr int exitUsage = 2;

int refuse(const std::string& reason)
{
    std::cerr << "brakvane: " << reason << std::endl;
    return exitUsage;
}

// Everything from the options to the tear-down; stage says what is going on,
// for the message should memory run out.
int runDemo(int argc, char** argv, const char*& stage)
{
    stage = "reading the options";
    // A fixed threshold for serving large blocks with their own mappings. By
    // default the C library raises the threshold to the size of each such block
    // freed (the software renderer frees 2 MB ones), after which the renderer's
    // blocks of 100 KB and more, made and freed all the time, come from the
    // heap: a small block that outlives one pins the heap's top, and over a
    // long looping run the heap grows in steps of about a megabyte. Mapped, each
    // large block goes back to the system when freed.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    DemoOptions options;
    std::string error;
    if (!parseDemoOptions(argc, argv, options, error))
        return refuse(error);
    if (options.help) {
        std::cout << demoUsage() << std::flush;
        return 0;
    }
    if (options.version) {
        std::cout << banner << std::endl;
        return 0;
    }
    if (options.displayGiven) {
        const int displays = countDisplays();
        if (displays >= 0 && options.display >= displays)
            return refuse("--display: there is no display " + std::to_string(options.display) +
                          " (displays: " + std::to_string(displays) + ", numbered from 0)");
    }

    std::cout << banner << std::endl;

    WindowOptions shown;
    shown.width = options.width;
    shown.height = options.height;
    shown.desktop = options.desktop;
    shown.resizable = options.windowed;
    shown.display = options.display;
    shown.vsync = options.vsync;
    stage = "opening the window";
    auto window = std::make_unique<GLWindow>(windowWidth, windowHeight, bitsPerPixel, !options.windowed, title, shown);

    // The data is opened from the folder that holds data/, wherever that is,
    // by the same relative paths (and console lines) as beside the program.
    std::unique_ptr<Demo> demo;
    {
        stage = "loading the data";
        DataFolderVisit visit(findDataFolder());
        demo = std::make_unique<Demo>(window->hWnd);
        demo->playFrom(options.start, options.loop);
        demo->setUp();
    }

    stage = "running the demo";
    runMainLoop(*window, *demo);

    // The window (and its context) goes first, then the demo.
    stage = "ending the demo";
    window.reset();
    demo.reset();
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    openClosedStandardStreams();
    // A closed pipe on standard output (`brakvane | head -1`) then fails the
    // console's writes, which stop quietly, instead of killing the demo with
    // the display left switched.
    std::signal(SIGPIPE, SIG_IGN);
    const char* stage = "starting";
    try {
        return runDemo(argc, argv, stage);
    } catch (const std::bad_alloc&) {
        // The window and the demo have been destroyed on the way here.
        std::cerr << "brakvane: out of memory while " << stage << std::endl;
        return exitFailed;
    }
}

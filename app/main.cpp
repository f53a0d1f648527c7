// Entry point: options, banner, window, demo, set-up, main loop, tear-down in
// order. With no arguments every choice is the fixed default; a bad command
// line is refused with one line on standard error and status 2 before
// anything starts. Otherwise it returns 0 in every case.
#include "app/DemoOptions.h"
#include "app/MainLoop.h"
#include "demo/DataFolder.h"
#include "demo/Demo.h"
#include "display/Displays.h"
#include "display/GLWindow.h"

#include <iostream>
#include <malloc.h>
#include <memory>

namespace {

constexpr const char* banner = "Kalvor Brakvane 0.1";
constexpr int windowWidth = DemoFrames::width;
constexpr int windowHeight = DemoFrames::height;
constexpr int bitsPerPixel = 32;
constexpr const char* title = "Brakvane";
constexpr int exitUsage = 2;

int refuse(const std::string& reason)
{
    std::cerr << "brakvane: " << reason << std::endl;
    return exitUsage;
}

} // namespace

int main(int argc, char** argv)
{
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
    auto window = std::make_unique<GLWindow>(windowWidth, windowHeight, bitsPerPixel, !options.windowed, title, shown);

    // The data is opened from the folder that holds data/, wherever that is,
    // by the same relative paths (and console lines) as beside the program.
    std::unique_ptr<Demo> demo;
    {
        DataFolderVisit visit(findDataFolder());
        demo = std::make_unique<Demo>(window->hWnd);
        demo->playFrom(options.start, options.loop);
        demo->setUp();
    }

    runMainLoop(*window, *demo);

    // The window (and its context) goes first, then the demo.
    window.reset();
    demo.reset();
    return 0;
}

// Entry point: banner, window, demo, set-up, main loop, tear-down in order.
// Takes no arguments and reads no configuration; returns 0 in every case.
#include "app/MainLoop.h"
#include "demo/Demo.h"
#include "display/GLWindow.h"

#include <iostream>
#include <memory>

namespace {

constexpr int windowWidth = DemoFrames::width;
constexpr int windowHeight = DemoFrames::height;
constexpr int bitsPerPixel = 32;
constexpr bool fullscreen = true;
constexpr const char* title = "Brakvane";

} // namespace

int main()
{
    std::cout << "Kalvor Brakvane 0.1" << std::endl;

    auto window = std::make_unique<GLWindow>(windowWidth, windowHeight, bitsPerPixel, fullscreen, title);
    auto demo = std::make_unique<Demo>(window->hWnd);
    demo->setUp();

    runMainLoop(*window, *demo);

    // The window (and its context) goes first, then the demo.
    window.reset();
    demo.reset();
    return 0;
}

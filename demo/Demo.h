// The root object of the presentation: owns the clock and drives the frames.
#pragma once

#include "app/Timer.h"
#include "display/WindowHandle.h"

class Demo {
public:
    explicit Demo(WindowHandle window);
    void setUp();
    void frame();

    bool finished = false;

private:
    Timer clock;
    WindowHandle hWnd;
};

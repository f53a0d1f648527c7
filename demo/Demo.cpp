// Demo set-up and frames.
#include "demo/Demo.h"

#include <GL/gl.h>

Demo::Demo(WindowHandle window) : hWnd(window) {}

void Demo::setUp()
{
    clock.start();
}

void Demo::frame()
{
    float t = clock.elapsed();
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    if (t > 98.9f)
        finished = true;
}

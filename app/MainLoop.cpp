// Each pass makes its tests in a fixed order and stops at the first that ends
// the loop: Escape, then the window's update (false: it took the quit
// message), then the finished flag. Then the frame, and a second update that
// presents it. There is no frame-rate limit and no wait: the timeline depends
// only on the time the frame reads, not on how many passes run.
#include "app/MainLoop.h"

#include "demo/Demo.h"
#include "display/GLWindow.h"
#include "display/Keyboard.h"

long runMainLoop(GLWindow& window, Demo& demo)
{
    long passes = 0;
    for (;;) {
        ++passes;
        if (getAsyncKeyState(vkEscape) != 0)
            break;
        if (!window.update())
            break;
        if (demo.finished)
            break;
        demo.frame();
        if (!window.update())
            break;
    }
    return passes;
}

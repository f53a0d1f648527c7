// Each pass makes its tests in a fixed order and stops at the first that ends
// the loop: Escape, then the window's update (false: it took the quit
// message), then the finished flag. Then the frame, and a second update that
// presents it. There is no frame-rate limit and no wait of the loop's own: the
// display may pace the present of each new frame, and the demo draws each frame
// for the moment the window expects to show it.
#include "app/MainLoop.h"

#include "app/FrameLog.h"
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
        demo.showNextFrame(window.nextPresentIn(), window.frameStep());
        demo.frame();
        window.frameDrawn();
        if (!window.update())
            break;
        if (frameLog::enabled())
            frameLog::write(demo.frameTime());
    }
    return passes;
}

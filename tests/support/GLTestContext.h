// An OpenGL context for tests that upload or draw without going through the
// demo's window: a private Xvfb, SDL video and a hidden 800 x 600 window with a
// legacy (compatibility) context current on the calling thread.
#pragma once

#include "XServer.h"

#include <SDL.h>

namespace testsupport {

class GLTestContext {
public:
    GLTestContext(int width = 800, int height = 600);
    ~GLTestContext();
    GLTestContext(const GLTestContext&) = delete;
    GLTestContext& operator=(const GLTestContext&) = delete;

    bool ok() const { return context != nullptr; }

private:
    XServer server;
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;
};

} // namespace testsupport

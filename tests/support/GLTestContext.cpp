// Hidden-window GL context under a private Xvfb with Mesa's software renderer.
#include "GLTestContext.h"

#include <cstdlib>

namespace testsupport {

GLTestContext::GLTestContext(int width, int height) : server(width, height)
{
    if (!server.ok())
        return;
    server.exportDisplay();
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        return;
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
    window = SDL_CreateWindow("test", 0, 0, width, height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!window)
        return;
    context = SDL_GL_CreateContext(window);
    if (context)
        SDL_GL_MakeCurrent(window, context);
}

GLTestContext::~GLTestContext()
{
    if (context) {
        SDL_GL_MakeCurrent(window, nullptr);
        SDL_GL_DeleteContext(context);
    }
    if (window)
        SDL_DestroyWindow(window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

} // namespace testsupport

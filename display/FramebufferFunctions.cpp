// Resolving the framebuffer-object entry points once per process: they are
// the same for every context of the driver.
#include "display/FramebufferFunctions.h"

#include <SDL.h>

namespace {

bool framebuffersSupported()
{
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    if (version && version[0] >= '3' && version[0] <= '9' && version[1] == '.')
        return true;
    return SDL_GL_ExtensionSupported("GL_ARB_framebuffer_object") == SDL_TRUE;
}

template <class F>
bool load(F& f, const char* name)
{
    f = reinterpret_cast<F>(SDL_GL_GetProcAddress(name));
    return f != nullptr;
}

} // namespace

const FramebufferFunctions* framebufferFunctions()
{
    if (!framebuffersSupported())
        return nullptr;
    static FramebufferFunctions f{};
    static const bool loaded =
        load(f.genFramebuffers, "glGenFramebuffers") && load(f.deleteFramebuffers, "glDeleteFramebuffers") &&
        load(f.bindFramebuffer, "glBindFramebuffer") && load(f.genRenderbuffers, "glGenRenderbuffers") &&
        load(f.deleteRenderbuffers, "glDeleteRenderbuffers") && load(f.bindRenderbuffer, "glBindRenderbuffer") &&
        load(f.renderbufferStorage, "glRenderbufferStorage") &&
        load(f.framebufferRenderbuffer, "glFramebufferRenderbuffer") &&
        load(f.checkFramebufferStatus, "glCheckFramebufferStatus") && load(f.blitFramebuffer, "glBlitFramebuffer") &&
        load(f.clearBufferfv, "glClearBufferfv");
    return loaded ? &f : nullptr;
}

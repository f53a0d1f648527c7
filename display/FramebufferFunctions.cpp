// Resolving the framebuffer-object entry points once per process: they are
// the same for every context of the driver.
#include "display/FramebufferFunctions.h"

#include <cstring>

namespace {

GLProcLoader procLoader = nullptr;

// The extension, as a whole name in the space-separated list.
bool hasExtension(const char* list, const char* name)
{
    const std::size_t length = std::strlen(name);
    for (const char* at = list; at && (at = std::strstr(at, name)) != nullptr; at += length)
        if ((at == list || at[-1] == ' ') && (at[length] == ' ' || at[length] == '\0'))
            return true;
    return false;
}

bool framebuffersSupported()
{
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    if (version && version[0] >= '3' && version[0] <= '9' && version[1] == '.')
        return true;
    return hasExtension(reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS)), "GL_ARB_framebuffer_object");
}

template <class F>
bool load(F& f, const char* name)
{
    f = reinterpret_cast<F>(procLoader(name));
    return f != nullptr;
}

} // namespace

void useGLProcLoader(GLProcLoader loader)
{
    procLoader = loader;
}

const FramebufferFunctions* framebufferFunctions()
{
    if (procLoader == nullptr || !framebuffersSupported())
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

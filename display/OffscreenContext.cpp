// OffscreenContext over EGL directly, on Mesa's surfaceless platform: no
// display server, no window system and nothing of SDL. The full frame is a
// framebuffer object with depth and stencil, exactly the frame the real window
// draws into; a small pbuffer surface behind it serves only where framebuffer
// objects are missing.
#include "display/OffscreenContext.h"

#include "display/Framebuffer.h"
#include "display/FramebufferFunctions.h"
#include "display/InitialState.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

std::string eglFailure(const char* what)
{
    char code[16];
    std::snprintf(code, sizeof code, "0x%04X", static_cast<unsigned>(eglGetError()));
    return std::string(what) + " (EGL error " + code + ")";
}

void* eglProc(const char* name)
{
    return reinterpret_cast<void*>(eglGetProcAddress(name));
}

// The surfaceless platform where EGL offers it, else EGL's default display.
EGLDisplay offscreenDisplay()
{
    const char* extensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    const auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (extensions && std::strstr(extensions, "EGL_MESA_platform_surfaceless") && getPlatformDisplay)
        return getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    return eglGetDisplay(EGL_DEFAULT_DISPLAY);
}

} // namespace

OffscreenContext::OffscreenContext(int width, int height) : frameWidth(width), frameHeight(height)
{
    display = offscreenDisplay();
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr)) {
        reason = eglFailure("no offscreen OpenGL display");
        display = nullptr;
        return;
    }
    // Desktop OpenGL (the legacy profile the demo draws with), and the
    // window's pixel format: 8 bits a channel, 16-bit depth, 8-bit stencil.
    const EGLint attributes[] = {EGL_SURFACE_TYPE,
                                 EGL_PBUFFER_BIT,
                                 EGL_RENDERABLE_TYPE,
                                 EGL_OPENGL_BIT,
                                 EGL_RED_SIZE,
                                 8,
                                 EGL_GREEN_SIZE,
                                 8,
                                 EGL_BLUE_SIZE,
                                 8,
                                 EGL_DEPTH_SIZE,
                                 16,
                                 EGL_STENCIL_SIZE,
                                 8,
                                 EGL_NONE};
    EGLConfig config = nullptr;
    EGLint configs = 0;
    if (!eglBindAPI(EGL_OPENGL_API) || !eglChooseConfig(display, attributes, &config, 1, &configs) || configs < 1) {
        reason = eglFailure("no offscreen OpenGL surface");
        return;
    }
    const EGLint size[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    surface = eglCreatePbufferSurface(display, config, size);
    if (surface == EGL_NO_SURFACE) {
        reason = eglFailure("no offscreen OpenGL surface");
        surface = nullptr;
        return;
    }
    EGLContext created = eglCreateContext(display, config, EGL_NO_CONTEXT, nullptr);
    if (created == EGL_NO_CONTEXT) {
        reason = eglFailure("no OpenGL context");
        return;
    }
    if (!eglMakeCurrent(display, surface, surface, created)) {
        reason = eglFailure("cannot make the OpenGL context current");
        eglDestroyContext(display, created);
        return;
    }
    context = created;
    useGLProcLoader(eglProc);
    rgba = std::make_unique_for_overwrite<unsigned char[]>(static_cast<std::size_t>(width) * height * 4);
    frame = std::make_unique<Framebuffer>(width, height, true);
    if (frame->ok()) {
        // Drawing starts in the full frame.
        fullFramebuffer = frame->name();
        colourFrame = std::make_unique<Framebuffer>(width, height, false);
        if (!colourFrame->ok())
            colourFrame.reset();
        framebufferFunctions()->bindFramebuffer(GL_FRAMEBUFFER, fullFramebuffer);
    }
    applyInitialGLState(width, height);
}

OffscreenContext::~OffscreenContext()
{
    if (context) {
        colourFrame.reset(); // both frames belong to the context
        frame.reset();
        eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        eglDestroyContext(display, context);
    }
    if (surface)
        eglDestroySurface(display, surface);
    if (display)
        eglTerminate(display);
    eglReleaseThread();
}

void OffscreenContext::beginFrame()
{
    if (!ok() || !colourFrame)
        return;
    const bool colourOnly = !fullFrameOnly && !glIsEnabled(GL_DEPTH_TEST) && !glIsEnabled(GL_STENCIL_TEST);
    if (colourOnly != drawingColourOnly) {
        framebufferFunctions()->bindFramebuffer(GL_FRAMEBUFFER, colourOnly ? colourFrame->name() : fullFramebuffer);
        drawingColourOnly = colourOnly;
    }
}

void OffscreenContext::flush()
{
    if (ok())
        glFlush();
}

const unsigned char* OffscreenContext::readFrameRgba(bool& exact)
{
    exact = true;
    if (!ok())
        return nullptr;
    // RGBA is the layout the driver hands over fastest.
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, frameWidth, frameHeight, GL_RGBA, GL_UNSIGNED_BYTE, rgba.get());
    exact = !(drawingColourOnly && (glIsEnabled(GL_DEPTH_TEST) || glIsEnabled(GL_STENCIL_TEST)));
    return rgba.get();
}

bool OffscreenContext::readFrame(unsigned char* rgb)
{
    bool exact = true;
    const unsigned char* pixels = readFrameRgba(exact);
    if (!pixels) {
        std::memset(rgb, 0, static_cast<std::size_t>(frameWidth) * frameHeight * 3);
        return true;
    }
    // The alpha channel carries nothing (the window is opaque) and is dropped
    // while the rows, which OpenGL gives bottom row first, are put top row first.
    const std::size_t rowPixels = static_cast<std::size_t>(frameWidth);
    for (int y = 0; y < frameHeight; ++y) {
        const unsigned char* from = pixels + static_cast<std::size_t>(frameHeight - 1 - y) * rowPixels * 4;
        unsigned char* to = rgb + static_cast<std::size_t>(y) * rowPixels * 3;
        for (std::size_t x = 0; x < rowPixels; ++x) {
            to[3 * x] = from[4 * x];
            to[3 * x + 1] = from[4 * x + 1];
            to[3 * x + 2] = from[4 * x + 2];
        }
    }
    return exact;
}

int OffscreenContext::largestSide() const
{
    if (!ok())
        return 0;
    GLint renderbuffer = 0;
    GLint viewport[2] = {0, 0};
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &renderbuffer);
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewport);
    return std::min({static_cast<int>(renderbuffer), static_cast<int>(viewport[0]), static_cast<int>(viewport[1])});
}

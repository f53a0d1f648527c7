// OffscreenContext over SDL's "offscreen" video driver. The driver renders
// into an EGL pbuffer behind a window nobody sees; the full frame is the
// framebuffer object of a FramePresenter on top of it, exactly the frame the
// real window draws into, and the pbuffer only serves when framebuffer objects
// are missing.
#include "display/OffscreenContext.h"

#include "display/FramePresenter.h"
#include "display/Framebuffer.h"
#include "display/FramebufferFunctions.h"
#include "display/InitialState.h"
#include "display/PixelFormat.h"

#include <SDL.h>
#include <algorithm>
#include <cstring>

OffscreenContext::OffscreenContext(int width, int height) : frameWidth(width), frameHeight(height)
{
    // The offscreen driver even when SDL_VIDEODRIVER names another, and no
    // signal handlers of SDL's: the caller decides what Ctrl+C does.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "offscreen", SDL_HINT_OVERRIDE);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        reason = std::string("no offscreen video: ") + SDL_GetError();
        return;
    }
    videoUp = true;

    // The window's request, at 32 bits per pixel.
    requestPixelFormat(32);
    window = SDL_CreateWindow("Brakvane capture", 0, 0, width, height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!window) {
        reason = std::string("no offscreen OpenGL surface: ") + SDL_GetError();
        return;
    }
    context = SDL_GL_CreateContext(window);
    if (!context) {
        reason = std::string("no OpenGL context: ") + SDL_GetError();
        return;
    }
    if (SDL_GL_MakeCurrent(window, context) != 0) {
        reason = std::string("cannot make the OpenGL context current: ") + SDL_GetError();
        SDL_GL_DeleteContext(context);
        context = nullptr;
        return;
    }
    frame = std::make_unique<FramePresenter>(width, height);
    rgba = std::make_unique_for_overwrite<unsigned char[]>(static_cast<std::size_t>(width) * height * 4);
    if (frame->ok()) {
        // Drawing starts in the full frame.
        fullFramebuffer = frame->framebuffer();
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
        SDL_GL_MakeCurrent(window, nullptr);
        SDL_GL_DeleteContext(context);
    }
    if (window)
        SDL_DestroyWindow(window);
    if (videoUp)
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
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

// Flicker-free presentation. The demo draws into an offscreen frame (a
// framebuffer object with colour, depth and stencil) instead of the window's
// back buffer; every present copies that frame to the back buffer and swaps.
//
// Why: the main loop presents twice per pass with nothing drawn in between.
// On drivers that flip buffers, the back buffer after a swap holds an older
// frame, so a plain second swap would flash a stale picture. Copying the
// offscreen frame on every present always shows the last frame drawn. The same
// copy scales the picture when the full-screen mode is emulated on a display
// without the requested mode. On a context without framebuffer objects the
// presenter is not ok() and the window falls back to plain swaps.
#pragma once

#include "display/Framebuffer.h"

struct SDL_Window;

class FramePresenter {
public:
    // Needs a current OpenGL context; leaves the offscreen frame bound for drawing.
    FramePresenter(int width, int height);
    ~FramePresenter() = default;
    FramePresenter(const FramePresenter&) = delete;
    FramePresenter& operator=(const FramePresenter&) = delete;

    bool ok() const { return frame.ok(); }
    // The framebuffer object the demo draws into (0 when there is none).
    unsigned framebuffer() const { return frame.name(); }
    // Copies the frame into the window's back buffer and swaps. scaleToFit:
    // scale to the window keeping the aspect ratio, centred on black borders;
    // otherwise copied 1:1 to the lower-left corner.
    void present(SDL_Window* window, bool scaleToFit);

private:
    int width;
    int height;
    Framebuffer frame;
};

// Flicker-free presentation. The demo draws into an offscreen frame (a
// framebuffer object with colour, depth and stencil) instead of the window's
// back buffer; every present copies that frame to the back buffer and swaps.
//
// Why: the main loop presents twice per pass with nothing drawn in between.
// On drivers that flip buffers, the back buffer after a swap holds an older
// frame, so a plain second swap would flash a stale picture. Copying the
// offscreen frame on every present always shows the last frame drawn. The same
// copy scales the picture to whatever size the window has. On a context without framebuffer objects the
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
    // Copies the frame into the window's back buffer and swaps. Wherever the
    // drawable's size (read at every present, so it follows whatever the
    // window system made of the window) differs from the frame's, the frame
    // is scaled to fit, aspect kept, centred on black borders.
    void present(SDL_Window* window)
    {
        copy(window);
        swap(window);
    }
    // The two halves of present(): the copy into the back buffer, and the swap.
    void copy(SDL_Window* window);
    void swap(SDL_Window* window);

private:
    int width;
    int height;
    Framebuffer frame;
};

// Offscreen frame and its copy to the window, over framebuffer objects.
#include "display/FramePresenter.h"

#include "display/FramebufferFunctions.h"
#include "display/PictureFit.h"

#include <SDL.h>
#include <iostream>

FramePresenter::FramePresenter(int frameWidth, int frameHeight)
    : width(frameWidth), height(frameHeight), frame(frameWidth, frameHeight, true)
{
    if (frame.functions() && !frame.ok())
        std::cerr << "brakvane: offscreen frame unavailable, presenting with plain swaps" << std::endl;
}

void FramePresenter::copy(SDL_Window* window)
{
    if (!ok())
        return;
    const FramebufferFunctions* gl = frame.functions();
    int windowWidth = 0;
    int windowHeight = 0;
    SDL_GL_GetDrawableSize(window, &windowWidth, &windowHeight);
    PictureArea area{0, 0, width, height};
    if (windowWidth > 0 && windowHeight > 0)
        area = fitPicture(windowWidth, windowHeight, width, height);
    const int x = area.x;
    const int y = area.bottom;
    const int w = area.width;
    const int h = area.height;
    gl->bindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    if (x > 0 || y > 0 || w < windowWidth || h < windowHeight) {
        // Borders: the back buffer's old contents are undefined after a swap.
        // glClearBuffer leaves the demo's clear colour untouched.
        const GLfloat black[4] = {0.0f, 0.0f, 0.0f, 1.0f};
        gl->clearBufferfv(GL_COLOR, 0, black);
    }
    GLenum filter = (w == width && h == height) ? GL_NEAREST : GL_LINEAR;
    gl->blitFramebuffer(0, 0, width, height, x, y, x + w, y + h, GL_COLOR_BUFFER_BIT, filter);
}

void FramePresenter::swap(SDL_Window* window)
{
    SDL_GL_SwapWindow(window);
    if (ok())
        frame.functions()->bindFramebuffer(GL_DRAW_FRAMEBUFFER, frame.name());
}

// Offscreen frame and its copy to the window, over framebuffer objects.
#include "display/FramePresenter.h"

#include "display/FramebufferFunctions.h"

#include <SDL.h>
#include <cstring>
#include <iostream>

FramePresenter::FramePresenter(int frameWidth, int frameHeight) : width(frameWidth), height(frameHeight)
{
    if (!(gl = framebufferFunctions()))
        return;
    gl->genRenderbuffers(1, &colour);
    gl->bindRenderbuffer(GL_RENDERBUFFER, colour);
    gl->renderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
    gl->genRenderbuffers(1, &depthStencil);
    gl->bindRenderbuffer(GL_RENDERBUFFER, depthStencil);
    gl->renderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, width, height);
    gl->bindRenderbuffer(GL_RENDERBUFFER, 0);

    gl->genFramebuffers(1, &framebuffer);
    gl->bindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    gl->framebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
    gl->framebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, depthStencil);
    if (gl->checkFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        std::cerr << "brakvane: offscreen frame unavailable, presenting with plain swaps" << std::endl;
        gl->bindFramebuffer(GL_FRAMEBUFFER, 0);
        gl->deleteFramebuffers(1, &framebuffer);
        gl->deleteRenderbuffers(1, &colour);
        gl->deleteRenderbuffers(1, &depthStencil);
        framebuffer = colour = depthStencil = 0;
        return;
    }
    glDrawBuffer(GL_COLOR_ATTACHMENT0);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
}

FramePresenter::~FramePresenter()
{
    if (!ok())
        return;
    gl->bindFramebuffer(GL_FRAMEBUFFER, 0);
    gl->deleteFramebuffers(1, &framebuffer);
    gl->deleteRenderbuffers(1, &colour);
    gl->deleteRenderbuffers(1, &depthStencil);
}

void FramePresenter::present(SDL_Window* window, bool scaleToFit)
{
    if (!ok()) {
        SDL_GL_SwapWindow(window);
        return;
    }
    int windowWidth = 0;
    int windowHeight = 0;
    SDL_GL_GetDrawableSize(window, &windowWidth, &windowHeight);
    int x = 0;
    int y = 0;
    int w = width;
    int h = height;
    if (scaleToFit && windowWidth > 0 && windowHeight > 0) {
        // Largest size of the frame's aspect ratio that fits, centred.
        if (static_cast<long>(windowWidth) * height <= static_cast<long>(windowHeight) * width) {
            w = windowWidth;
            h = static_cast<int>(static_cast<long>(windowWidth) * height / width);
        } else {
            h = windowHeight;
            w = static_cast<int>(static_cast<long>(windowHeight) * width / height);
        }
        x = (windowWidth - w) / 2;
        y = (windowHeight - h) / 2;
    }
    gl->bindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    if (x > 0 || y > 0 || w < windowWidth || h < windowHeight) {
        // Borders: the back buffer's old contents are undefined after a swap.
        // glClearBuffer leaves the demo's clear colour untouched.
        const GLfloat black[4] = {0.0f, 0.0f, 0.0f, 1.0f};
        gl->clearBufferfv(GL_COLOR, 0, black);
    }
    GLenum filter = (w == width && h == height) ? GL_NEAREST : GL_LINEAR;
    gl->blitFramebuffer(0, 0, width, height, x, y, x + w, y + h, GL_COLOR_BUFFER_BIT, filter);
    SDL_GL_SwapWindow(window);
    gl->bindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffer);
}

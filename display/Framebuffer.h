// One offscreen frame in the current OpenGL context: a framebuffer object with
// an RGBA8 colour buffer and, when asked for, a 24-bit depth and 8-bit stencil
// buffer. The window's presenter draws the demo into one; the offline renderer
// keeps a second, colour-only one for pictures drawn without depth and stencil.
#pragma once

struct FramebufferFunctions;

class Framebuffer {
public:
    // Needs a current context. Leaves the new frame bound for drawing and
    // reading on success, and the default framebuffer bound otherwise.
    Framebuffer(int width, int height, bool depthStencil);
    // Needs the context it was made in to be current.
    ~Framebuffer();
    Framebuffer(const Framebuffer&) = delete;
    Framebuffer& operator=(const Framebuffer&) = delete;

    bool ok() const { return framebuffer != 0; }
    unsigned name() const { return framebuffer; }
    // The entry points it was made with; null when the context has none.
    const FramebufferFunctions* functions() const { return gl; }

private:
    void release();

    const FramebufferFunctions* gl = nullptr;
    unsigned framebuffer = 0;
    unsigned colour = 0;
    unsigned depthStencilBuffer = 0;
};

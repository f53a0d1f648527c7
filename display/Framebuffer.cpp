// Framebuffer objects over the entry points resolved at run time.
#include "display/Framebuffer.h"

#include "display/FramebufferFunctions.h"

Framebuffer::Framebuffer(int width, int height, bool depthStencil) : gl(framebufferFunctions())
{
    if (!gl)
        return;
    gl->genRenderbuffers(1, &colour);
    gl->bindRenderbuffer(GL_RENDERBUFFER, colour);
    gl->renderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
    if (depthStencil) {
        gl->genRenderbuffers(1, &depthStencilBuffer);
        gl->bindRenderbuffer(GL_RENDERBUFFER, depthStencilBuffer);
        gl->renderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, width, height);
    }
    gl->bindRenderbuffer(GL_RENDERBUFFER, 0);

    gl->genFramebuffers(1, &framebuffer);
    gl->bindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    gl->framebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
    if (depthStencil)
        gl->framebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, depthStencilBuffer);
    if (gl->checkFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        gl->bindFramebuffer(GL_FRAMEBUFFER, 0);
        release();
        return;
    }
    glDrawBuffer(GL_COLOR_ATTACHMENT0);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
}

Framebuffer::~Framebuffer()
{
    release();
}

void Framebuffer::release()
{
    if (!gl)
        return;
    // Names of 0 are ignored by the delete calls.
    gl->deleteFramebuffers(1, &framebuffer);
    gl->deleteRenderbuffers(1, &colour);
    gl->deleteRenderbuffers(1, &depthStencilBuffer);
    framebuffer = colour = depthStencilBuffer = 0;
}

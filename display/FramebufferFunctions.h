// The framebuffer-object entry points (OpenGL 3.0 or ARB_framebuffer_object),
// resolved through SDL at run time so that the legacy GL headers and
// libraries suffice. Shared by the window's presenter and the offscreen
// renderer.
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>

struct FramebufferFunctions {
    PFNGLGENFRAMEBUFFERSPROC genFramebuffers;
    PFNGLDELETEFRAMEBUFFERSPROC deleteFramebuffers;
    PFNGLBINDFRAMEBUFFERPROC bindFramebuffer;
    PFNGLGENRENDERBUFFERSPROC genRenderbuffers;
    PFNGLDELETERENDERBUFFERSPROC deleteRenderbuffers;
    PFNGLBINDRENDERBUFFERPROC bindRenderbuffer;
    PFNGLRENDERBUFFERSTORAGEPROC renderbufferStorage;
    PFNGLFRAMEBUFFERRENDERBUFFERPROC framebufferRenderbuffer;
    PFNGLCHECKFRAMEBUFFERSTATUSPROC checkFramebufferStatus;
    PFNGLBLITFRAMEBUFFERPROC blitFramebuffer;
    PFNGLCLEARBUFFERFVPROC clearBufferfv;
};

// Null when the current context has no framebuffer objects. Needs a current context.
const FramebufferFunctions* framebufferFunctions();

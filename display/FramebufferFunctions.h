// The framebuffer-object entry points (OpenGL 3.0 or ARB_framebuffer_object),
// resolved at run time so that the legacy GL headers and libraries suffice.
// Shared by the window's presenter and the offscreen renderer; whichever
// made the context names the function that resolves them (SDL's for the
// window, EGL's offscreen).
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

// How GL entry points are looked up for the contexts of this process.
using GLProcLoader = void* (*)(const char* name);
void useGLProcLoader(GLProcLoader loader);

// Null when the current context has no framebuffer objects, or no loader was
// named. Needs a current context.
const FramebufferFunctions* framebufferFunctions();

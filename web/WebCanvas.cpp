// The canvas's context and initial state. The state is the desktop window's
// except for what WebGL's fixed-function emulation cannot take: it aborts on
// glTexGeni, and the texture coordinate generation those calls configure is
// never enabled by any scene, so leaving it out changes no pixel;
// GL_NORMALIZE only affects lighting, which nothing uses, and is ignored by
// the emulation anyway.
#include "web/WebCanvas.h"

#include <EGL/egl.h>
#include <GL/gl.h>
#include <emscripten.h>
#include <iostream>

WebCanvas::WebCanvas(int width, int height)
{
    if (!create(width, height))
        std::cerr << "WebCanvas: cannot create an OpenGL context on the canvas (EGL error 0x" << std::hex
                  << eglGetError() << std::dec << ")" << std::endl;
}

WebCanvas::~WebCanvas()
{
    if (display) {
        eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        if (context)
            eglDestroyContext(display, context);
        if (surface)
            eglDestroySurface(display, surface);
        eglTerminate(display);
    }
}

bool WebCanvas::create(int width, int height)
{
    // The drawing buffer keeps the demo's size; the page scales the canvas.
    EM_ASM(
        {
            Module['canvas'].width = $0;
            Module['canvas'].height = $1;
        },
        width, height);

    EGLDisplay eglDisplay = eglGetDisplay(EGL_DEFAULT_DISPLAY);
    if (eglDisplay == EGL_NO_DISPLAY || !eglInitialize(eglDisplay, nullptr, nullptr))
        return false;
    display = eglDisplay;
    // No alpha channel: the blended text must not make the canvas see-through.
    const EGLint configAttributes[] = {EGL_RED_SIZE,   8,  EGL_GREEN_SIZE,   8, EGL_BLUE_SIZE, 8, EGL_ALPHA_SIZE, 0,
                                       EGL_DEPTH_SIZE, 24, EGL_STENCIL_SIZE, 8, EGL_SAMPLES,   0, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint configs = 0;
    if (!eglChooseConfig(eglDisplay, configAttributes, &config, 1, &configs) || configs < 1)
        return false;
    surface = eglCreateWindowSurface(eglDisplay, config, 0, nullptr);
    if (surface == EGL_NO_SURFACE)
        return false;
    const EGLint contextAttributes[] = {EGL_CONTEXT_CLIENT_VERSION, 2, EGL_NONE};
    EGLContext eglContext = eglCreateContext(eglDisplay, config, EGL_NO_CONTEXT, contextAttributes);
    if (eglContext == EGL_NO_CONTEXT)
        return false;
    if (!eglMakeCurrent(eglDisplay, surface, surface, eglContext)) {
        eglDestroyContext(eglDisplay, eglContext);
        return false;
    }
    context = eglContext;

    glViewport(0, 0, width, height);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    return true;
}

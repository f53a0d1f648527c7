// An OpenGL context with no display server: EGL on its own (Mesa's software
// renderer where there is no GPU), drawing into an
// offscreen frame with colour, depth and stencil, set to the same initial
// state as the demo's window. The offline renderer draws the demo through it
// and reads every frame back.
//
// A second frame without depth and stencil buffers serves the pictures drawn
// while depth and stencil testing are both off: those buffers then take no
// part in drawing, so the picture is the same, and the software renderer
// draws several times faster without them. The demo turns depth testing off
// for good in its picture sequence, and never back on.
#pragma once

#include <memory>
#include <string>

class Framebuffer;

class OffscreenContext {
public:
    // Makes the context current on the calling thread. Construction always
    // completes; ok() says whether there is a context to draw with.
    OffscreenContext(int width, int height);
    ~OffscreenContext();
    OffscreenContext(const OffscreenContext&) = delete;
    OffscreenContext& operator=(const OffscreenContext&) = delete;

    bool ok() const { return context != nullptr; }
    // Why there is no context, when there is none.
    const std::string& error() const { return reason; }

    int width() const { return frameWidth; }
    int height() const { return frameHeight; }

    // Picks the frame the next picture is drawn into, from the current state:
    // the one without depth and stencil while both tests are off (unless
    // fullFrameOnly), the full one otherwise.
    void beginFrame();
    // Hands what has been drawn to the driver, which renders it on its own
    // threads while the caller goes on (until readFrame waits for it).
    void flush();
    // Waits for the drawing to finish and copies the picture into rgb: 8-bit
    // red, green, blue, width * height * 3 bytes, the top row first. False
    // when the picture was drawn without depth and stencil buffers but the
    // drawing turned depth or stencil testing on, so it may be wrong.
    bool readFrame(unsigned char* rgb);
    // The same picture as OpenGL hands it over, without the copy: width *
    // height pixels of 8-bit R, G, B, A, the bottom row first, valid until
    // the next call. Null when there is no context.
    const unsigned char* readFrameRgba(bool& exact);
    // The largest width and height this OpenGL draws and reads back.
    int largestSide() const;

    // Every picture into the full frame (for comparing the two).
    bool fullFrameOnly = false;

private:
    int frameWidth;
    int frameHeight;
    void* display = nullptr; // the EGL display, surface and context
    void* surface = nullptr;
    void* context = nullptr;
    std::unique_ptr<Framebuffer> frame;       // the full frame
    unsigned fullFramebuffer = 0;             // its framebuffer object (0: the window surface)
    std::unique_ptr<Framebuffer> colourFrame; // null when there is none
    bool drawingColourOnly = false;
    std::unique_ptr<unsigned char[]> rgba; // one frame as OpenGL hands it over
    std::string reason;
};

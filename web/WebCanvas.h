// The page's canvas as the demo's window: an OpenGL context on it through
// emscripten's EGL (which also starts the fixed-function emulation over
// WebGL), with depth and stencil buffers, and the initial OpenGL state.
#pragma once

class WebCanvas {
public:
    // Creates the context on the page's canvas at width x height pixels and
    // makes it current; failures are written to the console.
    WebCanvas(int width, int height);
    ~WebCanvas();
    WebCanvas(const WebCanvas&) = delete;
    WebCanvas& operator=(const WebCanvas&) = delete;

    bool ok() const { return context != nullptr; }

private:
    bool create(int width, int height);

    void* display = nullptr;
    void* surface = nullptr;
    void* context = nullptr;
};

// The window between the program and the screen: the video subsystem, the
// switch of the display to the requested full-screen mode, the native window,
// its OpenGL context with the initial state the demo relies on, event pumping
// and presentation.
//
// Construction always completes. A failing step writes its message (without a
// line break) and leaves the object in a valid partial state; update() and the
// destructor work in every such state. Only hWnd tells the caller anything:
// null when no window could be created.
#pragma once

#include "display/WindowHandle.h"

#include <memory>

class FramePresenter;
class FullScreenKeeper;
class PresentPacer;
struct DisplayModeRequest;

// Choices beyond the constructor's arguments. The defaults give the window the
// arguments alone describe; the picture drawn is always width x height of the
// constructor, scaled to fit (aspect kept) wherever the window differs.
struct WindowOptions {
    int width = 0; // the window's size, or the full-screen mode asked for; 0: the picture's size
    int height = 0;
    bool desktop = false;   // full screen at the desktop's own mode: no mode switch, picture scaled
    bool resizable = false; // windowed: the viewer may resize it, the picture follows scaled
    int display = 0;        // SDL's display index, for full screen and for placing the window
    bool vsync = true;      // false: presenting never waits for the display
};

class GLWindow {
public:
    GLWindow(int width, int height, int bitsPerPixel, bool fullscreen, const char* title);
    GLWindow(int width, int height, int bitsPerPixel, bool fullscreen, const char* title, const WindowOptions& options);
    ~GLWindow();
    GLWindow(const GLWindow&) = delete;
    GLWindow& operator=(const GLWindow&) = delete;

    // Takes at most one event. False exactly when it took the quit message;
    // otherwise it has presented the back buffer, then handled the event.
    bool update();

    // Tells the window that a new frame has been drawn: the next present shows it
    // and waits for the display as the driver decides (vsync, the compositor's
    // frame callbacks), or, where nothing paces presents, until the display's
    // mode has refreshed since the last new frame. Every other present would
    // show the frame already on screen again: it costs nothing (no copy, no
    // swap) unless the window needs its picture again (shown, exposed,
    // resized), and never waits, so where presents are paced each refresh
    // gets a new frame.
    void frameDrawn() { newFrame = true; }
    // Seconds from now to the present of the frame drawn next: one frame
    // step after the last one; 0 before frames have been presented. Where
    // nothing paces presents, asked as the frame is about to be drawn, this
    // is the moment the frame will be swapped at.
    double nextPresentIn();
    // How long that frame stays on screen: the step between new frames.
    double frameStep() const;

    // The native window; null when no window could be created.
    WindowHandle hWnd = nullptr;

private:
    void present();
    double seconds() const;
    void reportCap() const;

    void* hRC = nullptr;          // the SDL GL context
    bool classRegistered = false; // the video subsystem is up
    bool contextCurrent = false;
    bool waitForDisplay = true;                     // false: every present has a swap interval of 0
    const char* className;                          // the caller's title text; must outlive the window
    std::unique_ptr<DisplayModeRequest> dmSettings; // the mode asked for (full-screen)
    std::unique_ptr<FramePresenter> presenter;
    std::unique_ptr<PresentPacer> pacer;
    std::unique_ptr<FullScreenKeeper> keeper; // full screen: kept covering the display
    int pacedInterval = 0;                    // the driver's swap interval; 0: presents never wait
    bool newFrame = false;                    // a frame was drawn since the last present
    bool frameOnScreen = false;               // the last frame drawn is what the window shows
};

// How a full-screen window shows the 800 x 600 picture: by switching the
// display to that mode, or on the desktop's own mode with the picture scaled
// to fit, aspect kept. A switch is made only where it is real: the display
// offers the mode, and the window system switches the screen rather than
// scaling the window (Wayland has no switch; Xwayland only emulates one).
#pragma once

#include <string>

enum class FullScreenWay {
    switchMode,    // the display switches to the picture's mode
    desktopAsked,  // the desktop's own mode, as the viewer asked (or its size)
    noSuchMode,    // the display does not offer the mode
    noSwitch,      // the window system has no mode switch (Wayland)
    emulatedSwitch // the switch would only be emulated (Xwayland)
};

struct FullScreenFacts {
    bool desktopAsked = false; // the viewer asked for the desktop's own mode
    bool wayland = false;      // the window is a Wayland client
    bool xwayland = false;     // the X server is Xwayland
    bool modeOffered = false;  // the display lists the exact mode
    bool desktopSize = false;  // the mode asked for is the desktop's own size
};

FullScreenWay chooseFullScreen(const FullScreenFacts& facts);

// The standard-error line (no "brakvane: ", no line break) that says why the
// picture is scaled; empty where the viewer asked for it or nothing is scaled.
std::string scaledBecause(FullScreenWay way, int width, int height, int bitsPerPixel, int desktopWidth,
                          int desktopHeight);

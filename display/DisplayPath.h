// Which way the window reaches the screen on a desktop that offers both:
// natively on Wayland, or as an X11 client through Xwayland. SDL 2 picks
// X11 wherever DISPLAY is set, which on a Wayland desktop (GNOME, KDE) is
// Xwayland; the demo opens natively on Wayland there instead, measured
// better on both desktops: the compositor paces its presents (through
// Xwayland nothing does, and the demo must cap them itself) and no
// emulated mode switch is offered. A video driver the viewer names in
// SDL_VIDEODRIVER is always the one used.
#pragma once

#include <string>

struct DisplayPath {
    const char* driver = nullptr; // the SDL video driver to ask for; null: SDL's own choice
    std::string why;              // what the choice rests on, for the line that names the path
};

// From the environment's SDL_VIDEODRIVER, WAYLAND_DISPLAY and DISPLAY (null
// or empty: not set).
DisplayPath chooseDisplayPath(const char* videoDriver, const char* waylandDisplay, const char* display);

// Starts SDL's video subsystem on the path this process's environment
// chooses, falling back to SDL's own choice where that path does not open.
// Returns SDL's result (0: started); `path`, if given, gets the choice made.
int startVideo(DisplayPath* path = nullptr);

// The line (no "brakvane: ", no line break) that names the display path
// playing and why, once the video subsystem started on `driver`.
std::string displayPathLine(const char* driver, const DisplayPath& path);

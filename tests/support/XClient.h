// A small X client for end-to-end tests: finds the demo's window, asks it to
// close the way a window manager does, and reads back what the screen shows.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

struct _XDisplay;

namespace testsupport {

struct ScreenImage {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels; // 0x00RRGGBB, rows from the top
    uint32_t at(int x, int y) const
    {
        return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
    }
};

struct WindowGeometry {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

class XClient {
public:
    explicit XClient(const std::string& display);
    ~XClient();
    XClient(const XClient&) = delete;
    XClient& operator=(const XClient&) = delete;

    bool connected() const { return dpy != nullptr; }
    // The id of a viewable top-level window with this exact title, waiting up to timeout; 0 if none.
    unsigned long findWindow(const std::string& title, std::chrono::milliseconds timeout);
    // Sends WM_PROTOCOLS / WM_DELETE_WINDOW, as a window manager's close button does.
    bool sendDeleteWindow(unsigned long window);
    // Adds a mode of that size to the screen's RandR output, as a display
    // that offers it would. The mode lasts as long as this connection; false
    // when the server cannot offer it.
    bool offerMode(unsigned width, unsigned height);
    // The whole root window as it is on screen now.
    ScreenImage grabScreen();
    // Where a window's inside sits on the screen and how big it is; all 0 when unknown.
    WindowGeometry geometry(unsigned long window);
    // False when the window tells window managers it has one fixed size.
    bool resizable(unsigned long window);

private:
    ::_XDisplay* dpy = nullptr;
};

// Runs xdotool against a display (for example {"key", "Escape"}); returns its exit status.
int xdotool(const std::string& display, const std::vector<std::string>& args);

} // namespace testsupport

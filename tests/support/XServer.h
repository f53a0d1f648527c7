// A private virtual X server (Xvfb) for one test: started on a free display
// number, torn down with the object. Tests that draw or open windows use it so
// that every test process has a screen of its own size.
#pragma once

#include <string>
#include <sys/types.h>

namespace testsupport {

class XServer {
public:
    // Starts Xvfb with one screen of width x height at the given depth.
    XServer(int width, int height, int depth = 24);
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    bool ok() const { return pid > 0 && !display.empty(); }
    // The DISPLAY value, such as ":12".
    const std::string& name() const { return display; }
    // Points DISPLAY of this process at the server, and no Wayland display
    // (for in-process SDL use).
    void exportDisplay() const;

private:
    pid_t pid = -1;
    std::string display;
};

} // namespace testsupport

// Xwayland told apart from other X servers by what the server itself says:
// the XWAYLAND extension (Xwayland 23.1 and later register it for exactly
// this question), or, on older ones such as Debian 12's 22.1, its RandR
// outputs, which Xwayland names XWAYLAND0, XWAYLAND1, ... after the
// compositor's outputs. Xvfb's output is "screen" and real servers name
// connectors (HDMI-1, eDP-1), so neither is taken for Xwayland.
#include "display/Xwayland.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>
#include <cstring>

namespace {

bool namedLikeXwayland(const char* name)
{
    return name && std::strncmp(name, "XWAYLAND", 8) == 0;
}

bool hasXwaylandOutput(Display* display)
{
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    // XRRGetScreenResourcesCurrent is RandR 1.3; an older server would answer
    // it with an error, which Xlib's default handler turns into an exit.
    if (!XRRQueryExtension(display, &eventBase, &errorBase) || !XRRQueryVersion(display, &major, &minor) ||
        major * 100 + minor < 103)
        return false;
    XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, DefaultRootWindow(display));
    if (!resources)
        return false;
    bool found = false;
    for (int i = 0; i < resources->noutput && !found; ++i) {
        XRROutputInfo* output = XRRGetOutputInfo(display, resources, resources->outputs[i]);
        if (!output)
            continue;
        found = namedLikeXwayland(output->name);
        XRRFreeOutputInfo(output);
    }
    XRRFreeScreenResources(resources);
    return found;
}

} // namespace

bool xServerIsXwayland()
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    int opcode = 0;
    int eventBase = 0;
    int errorBase = 0;
    const bool found =
        XQueryExtension(display, "XWAYLAND", &opcode, &eventBase, &errorBase) || hasXwaylandOutput(display);
    XCloseDisplay(display);
    return found;
}

// Xlib-based helpers for end-to-end tests.
#include "XClient.h"

#include "ChildProcess.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>
#include <cstdio>
#include <thread>

namespace testsupport {

namespace {

// The program under test creates and destroys windows of its own (SDL probes
// the GL visuals with a short-lived one) while a search walks the tree; a
// window gone between listing and asking is no failure of the test, whereas
// Xlib's default handler would end the whole test process.
int ignoreVanishedWindows(Display*, XErrorEvent* error)
{
    if (error->error_code == BadWindow || error->error_code == BadDrawable)
        return 0;
    char text[128] = {};
    XGetErrorText(error->display, error->error_code, text, sizeof text);
    std::fprintf(stderr, "XClient: X error %s (request %d)\n", text, error->request_code);
    return 0;
}

} // namespace

XClient::XClient(const std::string& display) : dpy(XOpenDisplay(display.c_str()))
{
    XSetErrorHandler(ignoreVanishedWindows);
}

XClient::~XClient()
{
    if (dpy)
        XCloseDisplay(dpy);
}

namespace {

unsigned long searchTree(Display* dpy, Window w, const std::string& title)
{
    char* name = nullptr;
    if (XFetchName(dpy, w, &name) && name) {
        bool match = title == name;
        XFree(name);
        XWindowAttributes attrs;
        if (match && XGetWindowAttributes(dpy, w, &attrs) && attrs.map_state == IsViewable)
            return w;
    }
    Window root, parent, *children = nullptr;
    unsigned int count = 0;
    unsigned long found = 0;
    if (XQueryTree(dpy, w, &root, &parent, &children, &count)) {
        for (unsigned int i = 0; i < count && !found; ++i)
            found = searchTree(dpy, children[i], title);
        if (children)
            XFree(children);
    }
    return found;
}

} // namespace

unsigned long XClient::findWindow(const std::string& title, std::chrono::milliseconds timeout)
{
    if (!dpy)
        return 0;
    auto end = std::chrono::steady_clock::now() + timeout;
    do {
        if (unsigned long w = searchTree(dpy, DefaultRootWindow(dpy), title))
            return w;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } while (std::chrono::steady_clock::now() < end);
    return 0;
}

bool XClient::sendDeleteWindow(unsigned long window)
{
    if (!dpy || !window)
        return false;
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = window;
    e.xclient.message_type = XInternAtom(dpy, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(XInternAtom(dpy, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    Status s = XSendEvent(dpy, window, False, NoEventMask, &e);
    XSync(dpy, False);
    return s != 0;
}

bool XClient::offerMode(unsigned width, unsigned height)
{
    if (!dpy)
        return false;
    int event = 0;
    int error = 0;
    if (!XRRQueryExtension(dpy, &event, &error))
        return false;
    Window root = DefaultRootWindow(dpy);
    XRRScreenResources* resources = XRRGetScreenResources(dpy, root);
    if (!resources || resources->noutput < 1) {
        if (resources)
            XRRFreeScreenResources(resources);
        return false;
    }
    // Timings of a plain 60 Hz mode; a virtual screen only uses the size.
    const std::string name = std::to_string(width) + "x" + std::to_string(height);
    XRRModeInfo* mode = XRRAllocModeInfo(name.c_str(), static_cast<int>(name.size()));
    mode->width = width;
    mode->height = height;
    mode->dotClock = 40000000;
    mode->hSyncStart = width + 40;
    mode->hSyncEnd = width + 168;
    mode->hTotal = width + 256;
    mode->vSyncStart = height + 1;
    mode->vSyncEnd = height + 5;
    mode->vTotal = height + 28;
    const RRMode id = XRRCreateMode(dpy, root, mode);
    XRRAddOutputMode(dpy, resources->outputs[0], id);
    XSync(dpy, False);
    XRRFreeModeInfo(mode);

    XRRScreenResources* after = XRRGetScreenResources(dpy, root);
    XRROutputInfo* output = XRRGetOutputInfo(dpy, after, after->outputs[0]);
    bool offered = false;
    for (int i = 0; output && i < output->nmode; ++i)
        offered = offered || output->modes[i] == id;
    if (output)
        XRRFreeOutputInfo(output);
    XRRFreeScreenResources(after);
    XRRFreeScreenResources(resources);
    return offered;
}

ScreenImage XClient::grabScreen()
{
    ScreenImage image;
    if (!dpy)
        return image;
    Window root = DefaultRootWindow(dpy);
    XWindowAttributes attrs;
    XGetWindowAttributes(dpy, root, &attrs);
    XImage* x = XGetImage(dpy, root, 0, 0, static_cast<unsigned>(attrs.width), static_cast<unsigned>(attrs.height),
                          AllPlanes, ZPixmap);
    if (!x)
        return image;
    image.width = attrs.width;
    image.height = attrs.height;
    image.pixels.resize(static_cast<size_t>(image.width) * static_cast<size_t>(image.height));
    for (int y = 0; y < image.height; ++y)
        for (int xx = 0; xx < image.width; ++xx)
            image.pixels[static_cast<size_t>(y) * static_cast<size_t>(image.width) + static_cast<size_t>(xx)] =
                static_cast<uint32_t>(XGetPixel(x, xx, y) & 0xFFFFFF);
    XDestroyImage(x);
    return image;
}

WindowGeometry XClient::geometry(unsigned long window)
{
    WindowGeometry geometry;
    XWindowAttributes attrs;
    if (!dpy || !window || !XGetWindowAttributes(dpy, window, &attrs))
        return geometry;
    Window child = 0;
    XTranslateCoordinates(dpy, window, DefaultRootWindow(dpy), 0, 0, &geometry.x, &geometry.y, &child);
    geometry.width = attrs.width;
    geometry.height = attrs.height;
    return geometry;
}

bool XClient::resizable(unsigned long window)
{
    if (!dpy || !window)
        return false;
    XSizeHints hints{};
    long supplied = 0;
    if (!XGetWMNormalHints(dpy, window, &hints, &supplied))
        return true;
    const bool fixed = (hints.flags & PMinSize) && (hints.flags & PMaxSize) && hints.min_width == hints.max_width &&
                       hints.min_height == hints.max_height;
    return !fixed;
}

int xdotool(const std::string& display, const std::vector<std::string>& args)
{
    ChildOptions options;
    options.args = {"xdotool"};
    options.args.insert(options.args.end(), args.begin(), args.end());
    options.env["DISPLAY"] = display;
    ChildProcess p(options);
    auto status = p.wait(std::chrono::seconds(20));
    return status ? *status : -1;
}

} // namespace testsupport

// GLWindow over SDL2. The steps keep the order of a classic native window
// set-up, each mapped onto its nearest SDL counterpart:
//   register the window class  -> bring up SDL's video subsystem
//   query the display mode     -> the desktop display mode
//   switch the display         -> pick an exact full-screen mode, or emulate it
//                                 (checked again once shown, when SDL switches)
//   create the window          -> SDL_CreateWindow (hidden until shown)
//   choose the pixel format    -> SDL's match of the GL attributes while it
//                                 creates the OpenGL window
//   create / select the context-> SDL_GL_CreateContext / SDL_GL_MakeCurrent
#include "display/GLWindow.h"

#include "display/DisplayPath.h"
#include "display/Displays.h"
#include "display/FramePresenter.h"
#include "display/FramebufferFunctions.h"
#include "display/FullScreenKeeper.h"
#include "display/FullScreenWay.h"
#include "display/InitialState.h"
#include "display/Keyboard.h"
#include "display/PixelFormat.h"
#include "display/PresentPacer.h"
#include "display/QuitSignal.h"
#include "display/Xwayland.h"

#include <GL/gl.h>
#include <SDL.h>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <thread>

// The display mode record, kept out of the header so that SDL stays inside this layer.
struct DisplayModeRequest {
    SDL_DisplayMode mode{};
};

namespace {

// Drivers that put a picture on a screen. SDL falls back to an offscreen
// driver when no display server answers; a window nobody can see is no window.
bool showsPicture(const char* driver)
{
    if (!driver)
        return false;
    if (std::getenv("SDL_VIDEODRIVER"))
        return true; // named on purpose by the user
    return std::strcmp(driver, "x11") == 0 || std::strcmp(driver, "wayland") == 0 ||
           std::strcmp(driver, "KMSDRM") == 0 || std::strcmp(driver, "kmsdrm") == 0;
}

bool matchesDepth(Uint32 format, int bitsPerPixel)
{
    if (SDL_BITSPERPIXEL(format) == static_cast<Uint32>(bitsPerPixel))
        return true;
    // 32 bits per pixel is stored as four bytes, of which 24 carry colour.
    return bitsPerPixel == 32 && SDL_BYTESPERPIXEL(format) == 4;
}

// An exact mode of the display; false when the display does not offer it.
bool findExactMode(int display, SDL_DisplayMode& wanted, int bitsPerPixel)
{
    int count = SDL_GetNumDisplayModes(display);
    for (int i = 0; i < count; ++i) {
        SDL_DisplayMode mode;
        if (SDL_GetDisplayMode(display, i, &mode) == 0 && mode.w == wanted.w && mode.h == wanted.h &&
            matchesDepth(mode.format, bitsPerPixel)) {
            wanted = mode;
            return true;
        }
    }
    return false;
}

// Whether the exact mode asked for is what the display shows now. SDL only
// switches when a full-screen window is shown, and a display may refuse the
// switch then; SDL's current mode stays the old one in that case.
bool modeInEffect(SDL_Window* window, int width, int height)
{
    const int display = SDL_GetWindowDisplayIndex(window);
    SDL_DisplayMode current{};
    if (SDL_GetCurrentDisplayMode(display < 0 ? 0 : display, &current) != 0)
        return false;
    int windowWidth = 0;
    int windowHeight = 0;
    SDL_GetWindowSize(window, &windowWidth, &windowHeight);
    return current.w == width && current.h == height && windowWidth == width && windowHeight == height;
}

// Turns a shown window into a full-screen window of the desktop mode of the
// display whose top-left corner is origin. Without a window manager nobody
// else would resize it, so it is sized here.
void coverDesktop(SDL_Window* window, const SDL_DisplayMode& desktop, SDL_Point origin)
{
    SDL_SetWindowFullscreen(window, 0);
    SDL_SetWindowSize(window, desktop.w, desktop.h);
    SDL_SetWindowPosition(window, origin.x, origin.y);
    SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP);
}

bool driverIs(const char* name)
{
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver && std::strcmp(driver, name) == 0;
}

void fail(const char* message)
{
    // No line break and no flush: the next console output continues this line.
    std::cout << "GLWindow:cpp: " << message;
}

// The top-left corner of a display, where its windows are placed; (0, 0)
// when SDL does not know the display.
SDL_Point displayOrigin(int display)
{
    SDL_Rect bounds{};
    if (SDL_GetDisplayBounds(display, &bounds) != 0)
        return {0, 0};
    return {bounds.x, bounds.y};
}

void* glProc(const char* name)
{
    return SDL_GL_GetProcAddress(name);
}

void postQuitMessage()
{
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
}

// Handles one event the way a window procedure does; the default handling of
// a close request "destroys" the window.
void windowProcedure(SDL_Window* window, const SDL_Event& event)
{
    if (event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_ESCAPE) {
        postQuitMessage();
        return; // nothing more for the default handling to do with a key
    }
    if (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE && window &&
        event.window.windowID == SDL_GetWindowID(window)) {
        // Default handling of a close request: the window goes away, and its
        // destruction posts the quit message. The window is hidden rather than
        // freed so the context stays valid until the owner releases both in order.
        SDL_HideWindow(window);
        postQuitMessage();
    }
}

} // namespace

GLWindow::GLWindow(int width, int height, int bitsPerPixel, bool fullscreen, const char* title)
    : GLWindow(width, height, bitsPerPixel, fullscreen, title, WindowOptions{})
{}

GLWindow::GLWindow(int width, int height, int bitsPerPixel, bool fullscreen, const char* title,
                   const WindowOptions& options)
    : dmSettings(std::make_unique<DisplayModeRequest>())
{
    std::cout << "Creating window...(" << width << "x" << height << "@" << bitsPerPixel << ")" << std::endl;
    className = title;
    quitSignal::install();

    // Register the class: the video subsystem. SDL's own signal handlers stay
    // out; ours turn Ctrl+C into the quit message even without video.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    DisplayPath path;
    if (startVideo(&path) != 0) {
        explainNoDisplay(nullptr);
        fail("Unable to register window class");
        return;
    }
    if (!showsPicture(SDL_GetCurrentVideoDriver())) {
        const std::string driver = SDL_GetCurrentVideoDriver() ? SDL_GetCurrentVideoDriver() : "unknown";
        explainNoDisplay(driver.c_str());
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        fail("Unable to register window class");
        return;
    }
    classRegistered = true;
    std::cerr << "brakvane: " << displayPathLine(SDL_GetCurrentVideoDriver(), path) << std::endl;

    // A high-DPI drawable where the platform scales windows: the picture is
    // then presented at the drawable's real pixel size.
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_ALLOW_HIGHDPI;
    SDL_DisplayMode desktop{};
    bool exactMode = false;
    const int display = options.display;
    int windowWidth = options.width > 0 ? options.width : width;
    int windowHeight = options.height > 0 ? options.height : height;
    waitForDisplay = options.vsync;
    if (options.resizable && !fullscreen)
        flags |= SDL_WINDOW_RESIZABLE;
    if (fullscreen) {
        if (SDL_GetDesktopDisplayMode(display, &dmSettings->mode) != 0) {
            fail("Unable to get display settings");
            return;
        }
        desktop = dmSettings->mode;
        dmSettings->mode.w = windowWidth;
        dmSettings->mode.h = windowHeight;
        dmSettings->mode.refresh_rate = 0; // not part of the request
        FullScreenFacts facts;
        facts.desktopAsked = options.desktop;
        facts.wayland = driverIs("wayland");
        facts.modeOffered =
            !options.desktop && !facts.wayland && findExactMode(display, dmSettings->mode, bitsPerPixel);
        facts.xwayland = facts.modeOffered && driverIs("x11") && xServerIsXwayland();
        facts.desktopSize = windowWidth == desktop.w && windowHeight == desktop.h;
        const FullScreenWay way = chooseFullScreen(facts);
        exactMode = way == FullScreenWay::switchMode;
        if (exactMode) {
            flags |= SDL_WINDOW_FULLSCREEN;
        } else if (desktop.w > 0 && desktop.h > 0) {
            // The picture scaled to fit on a full-screen window of the
            // desktop mode, created at the desktop size itself: without a
            // window manager nobody would resize it, and a compositor that
            // restores a full-screen window's own size restores this one.
            flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
            windowWidth = desktop.w;
            windowHeight = desktop.h;
            const std::string why =
                scaledBecause(way, dmSettings->mode.w, dmSettings->mode.h, bitsPerPixel, desktop.w, desktop.h);
            if (!why.empty())
                std::cerr << "brakvane: " << why << std::endl;
        } else {
            fail("Unable to switch to fullscreen");
            return;
        }
        SDL_ShowCursor(SDL_DISABLE);
    }

    // The pixel format request: double-buffered, 16-bit depth, 8-bit stencil,
    // at least the requested colour depth. SDL only stores these; they are
    // matched against the display when the OpenGL window is created.
    const bool requestStored = requestPixelFormat(bitsPerPixel);

    // The window's client area is exactly the size asked for (width x height
    // unless the options say otherwise) at the display's top-left corner, or
    // the whole display when the mode is emulated or the desktop's own.
    const SDL_Point origin = displayOrigin(display);
    hWnd = requestStored ? SDL_CreateWindow(className, origin.x, origin.y, windowWidth, windowHeight, flags) : nullptr;
    // SDL chooses the pixel format (GLX visual, EGL config) while it creates
    // an OpenGL window, and fails the creation when the display has none that
    // meets the request. Whether the window itself could exist tells that
    // apart from a failed window creation: if a plain one can, the failure was
    // the pixel format's, and it is reported at that step.
    const bool formatFound = hWnd != nullptr;
    if (!hWnd)
        hWnd = SDL_CreateWindow(className, origin.x, origin.y, windowWidth, windowHeight, flags & ~SDL_WINDOW_OPENGL);
    if (!hWnd)
        return;
    if (exactMode)
        SDL_SetWindowDisplayMode(hWnd, &dmSettings->mode);

    if (!formatFound) {
        fail("Unable to find a suitable pixelformat");
        return;
    }
    hRC = SDL_GL_CreateContext(hWnd);
    if (!hRC) {
        fail("Unable to create HRC");
        return;
    }
    if (SDL_GL_MakeCurrent(hWnd, hRC) != 0) {
        fail("Unable to select HRC");
        return;
    }
    contextCurrent = true;
    useGLProcLoader(glProc);
    if (!waitForDisplay)
        SDL_GL_SetSwapInterval(0);

    // Show and activate: to the front, and the keyboard focus, so that
    // Escape reaches the window even where no window manager hands it focus.
    SDL_ShowWindow(hWnd);
    SDL_RaiseWindow(hWnd);
    SDL_SetWindowInputFocus(hWnd);

    // The switch itself happened just now, on showing. A display that
    // refused it gets the same emulated full screen as one that never
    // offered the mode, rather than an unscaled picture in a corner.
    if (exactMode && !modeInEffect(hWnd, windowWidth, windowHeight)) {
        std::cerr << "brakvane: the display refused the switch to " << windowWidth << "x" << windowHeight
                  << "; showing the picture scaled to " << desktop.w << "x" << desktop.h << std::endl;
        coverDesktop(hWnd, desktop, origin);
    }

    if (fullscreen)
        keeper = std::make_unique<FullScreenKeeper>();
    presenter = std::make_unique<FramePresenter>(width, height);
    // The driver's own choice stays for the presents of new frames. On Wayland
    // SDL reports the interval it last set itself, 0 before any, while EGL
    // starts every surface at its default of 1: each present waits for the
    // compositor's frame callback.
    pacedInterval = SDL_GL_GetSwapInterval();
    if (pacedInterval == 0 && driverIs("wayland"))
        pacedInterval = 1;
    // Elsewhere a driver left at 0 is asked to wait for the display; one that
    // refuses (software GL on X11 has no swap control) leaves nothing pacing
    // the presents, and the pacer caps them at the mode's refresh instead.
    if (pacedInterval == 0 && waitForDisplay && SDL_GL_SetSwapInterval(1) == 0 && SDL_GL_GetSwapInterval() != 0)
        pacedInterval = SDL_GL_GetSwapInterval();
    // Told not to wait for the display: no present is paced either.
    if (!waitForDisplay)
        pacedInterval = 0;
    SDL_DisplayMode shownMode{};
    const int shownOn = SDL_GetWindowDisplayIndex(hWnd);
    const double refreshRate =
        shownOn >= 0 && SDL_GetCurrentDisplayMode(shownOn, &shownMode) == 0 ? shownMode.refresh_rate : 0;
    pacer = std::make_unique<PresentPacer>(refreshRate, pacedInterval != 0, waitForDisplay);
    if (pacer->capping())
        reportCap();

    // Initial OpenGL state, shared with the offscreen renderer; no swap
    // interval is requested unless told not to wait for the display.
    applyInitialGLState(width, height);
}

GLWindow::~GLWindow()
{
    presenter.reset();
    if (classRegistered) {
        SDL_GL_MakeCurrent(hWnd, nullptr);
        if (hRC)
            SDL_GL_DeleteContext(hRC);
        if (hWnd)
            SDL_DestroyWindow(hWnd); // leaves the full-screen mode, restoring the display
        releaseKeyboard();
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
    quitSignal::restore();
}

bool GLWindow::update()
{
    // A quit signal counts as the quit message at the head of the queue.
    if (quitSignal::take())
        return false;
    SDL_Event event;
    bool taken = classRegistered && SDL_PollEvent(&event) == 1;
    if (taken && event.type == SDL_QUIT)
        return false;
    present();
    if (taken && event.type == SDL_WINDOWEVENT) {
        // The window system may have dropped what the window showed.
        const Uint8 what = event.window.event;
        if (what == SDL_WINDOWEVENT_SHOWN || what == SDL_WINDOWEVENT_EXPOSED || what == SDL_WINDOWEVENT_SIZE_CHANGED ||
            what == SDL_WINDOWEVENT_RESTORED)
            frameOnScreen = false;
        if (what == SDL_WINDOWEVENT_SIZE_CHANGED && keeper)
            keeper->sizeChanged(hWnd);
    }
    if (taken)
        windowProcedure(hWnd, event);
    return true;
}

double GLWindow::seconds() const
{
    return static_cast<double>(SDL_GetPerformanceCounter()) / static_cast<double>(SDL_GetPerformanceFrequency());
}

void GLWindow::present()
{
    const bool showsNewFrame = newFrame;
    newFrame = false;
    if (!contextCurrent)
        return;
    // The frame on screen already is the frame: showing it again would copy
    // and swap for a picture nobody can tell from the one shown.
    if (!showsNewFrame && frameOnScreen)
        return;
    glFlush();
    if (presenter)
        presenter->copy(hWnd);
    if (showsNewFrame && pacer && pacer->capping()) {
        // Nothing paces presents: the frame is finished now, so that the swap
        // itself is quick, and swapped at its planned moment, the one it was
        // drawn for, rather than whenever it happens to be ready.
        glFinish();
        const double wait = pacer->dueIn(seconds());
        if (wait > 0)
            std::this_thread::sleep_for(std::chrono::duration<double>(wait));
    }
    // A present of the same frame again must not wait for the display: where
    // both presents of a pass wait, only every other refresh gets a new frame.
    // Told not to wait at all, no present waits, whatever else set an interval.
    const bool unpaced = !showsNewFrame && pacedInterval != 0;
    if (unpaced || (!waitForDisplay && SDL_GL_GetSwapInterval() != 0))
        SDL_GL_SetSwapInterval(0);
    if (presenter)
        presenter->swap(hWnd);
    if (unpaced)
        SDL_GL_SetSwapInterval(pacedInterval);
    frameOnScreen = true;
    if (showsNewFrame && pacer) {
        const bool capped = pacer->capping();
        pacer->presented(seconds());
        if (!capped && pacer->capping())
            reportCap();
    }
}

void GLWindow::reportCap() const
{
    std::cerr << "brakvane: nothing paces presents here; new frames at most every " << pacer->refreshInterval() * 1000
              << " ms (the display's refresh)" << std::endl;
}

double GLWindow::nextPresentIn()
{
    return pacer ? pacer->nextPresentIn(seconds()) : 0;
}

double GLWindow::frameStep() const
{
    return pacer ? pacer->frameStep() : 0;
}

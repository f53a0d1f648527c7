// The display path chosen from the environment, and SDL started on it.
#include "display/DisplayPath.h"

#include "base/ShownName.h"

#include <SDL.h>
#include <cstdlib>
#include <cstring>

namespace {

bool set(const char* value)
{
    return value && *value;
}

} // namespace

DisplayPath chooseDisplayPath(const char* videoDriver, const char* waylandDisplay, const char* display)
{
    if (set(videoDriver))
        return {nullptr, "SDL_VIDEODRIVER=" + shownName(videoDriver)};
    if (set(waylandDisplay) && set(display))
        return {"wayland", "WAYLAND_DISPLAY=" + shownName(waylandDisplay) +
                               "; chosen over X11 through Xwayland at DISPLAY=" + shownName(display) +
                               ": natively the compositor paces presents"};
    if (set(waylandDisplay))
        return {"wayland", "WAYLAND_DISPLAY=" + shownName(waylandDisplay)};
    if (set(display))
        return {nullptr, "DISPLAY=" + shownName(display)};
    return {};
}

int startVideo(DisplayPath* chosen)
{
    DisplayPath path =
        chooseDisplayPath(std::getenv("SDL_VIDEODRIVER"), std::getenv("WAYLAND_DISPLAY"), std::getenv("DISPLAY"));
    if (path.driver)
        SDL_SetHint(SDL_HINT_VIDEODRIVER, path.driver);
    int started = SDL_InitSubSystem(SDL_INIT_VIDEO);
    if (started != 0 && path.driver) {
        path.why = "Wayland did not open: " + shownName(SDL_GetError());
        path.driver = nullptr;
        SDL_ResetHint(SDL_HINT_VIDEODRIVER);
        started = SDL_InitSubSystem(SDL_INIT_VIDEO);
    }
    if (chosen)
        *chosen = path;
    return started;
}

std::string displayPathLine(const char* driver, const DisplayPath& path)
{
    const char* shown = !driver                               ? "no display"
                        : std::strcmp(driver, "wayland") == 0 ? "Wayland"
                        : std::strcmp(driver, "x11") == 0     ? "X11"
                                                              : driver;
    return std::string("picture through ") + shown + (path.why.empty() ? "" : " (" + path.why + ")");
}

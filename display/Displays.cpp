// Display count over SDL: the video subsystem is brought up for the question
// and shut down again, with SDL's own signal handlers kept out as the window does.
// And the line that says why no display could be opened, from SDL's own words.
#include "display/Displays.h"

#include "base/ShownName.h"
#include "display/DisplayPath.h"

#include <SDL.h>
#include <cerrno>
#include <cstdlib>
#include <iostream>
#include <string>

namespace {

// A variable as the user set it: NAME=value, or that it is not set.
std::string variable(const char* name)
{
    const char* value = std::getenv(name);
    return value ? std::string(name) + "=" + shownName(value) : std::string(name) + " not set";
}

// The drivers SDL tries by itself that put a picture on a screen.
std::string driversTried()
{
    std::string tried;
    for (int i = 0; i < SDL_GetNumVideoDrivers(); ++i) {
        const char* driver = SDL_GetVideoDriver(i);
        if (!driver || SDL_strcasecmp(driver, "offscreen") == 0 || SDL_strcasecmp(driver, "dummy") == 0 ||
            SDL_strcasecmp(driver, "evdev") == 0)
            continue;
        tried += (tried.empty() ? "" : ", ") + std::string(driver);
    }
    return tried.empty() ? "none" : tried;
}

} // namespace

int countDisplays()
{
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (startVideo() != 0)
        return -1;
    const int count = SDL_GetNumVideoDisplays();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return count < 0 ? -1 : count;
}

void explainNoDisplay(const char* fellBackTo)
{
    const std::string driver =
        std::getenv("SDL_VIDEODRIVER") ? variable("SDL_VIDEODRIVER") : "SDL video drivers tried: " + driversTried();
    const std::string reason = fellBackTo
                                   ? std::string("only the ") + fellBackTo + " driver answered, which shows nothing"
                                   : shownName(SDL_GetError());
    std::cerr << program_invocation_short_name << ": cannot open a display (" << variable("DISPLAY") << ", "
              << variable("WAYLAND_DISPLAY") << ", " << driver << "): " << reason << "; the demo runs without a picture"
              << std::endl;
}

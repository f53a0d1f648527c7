// Display count over SDL: the video subsystem is brought up for the question
// and shut down again, with SDL's own signal handlers kept out as the window does.
#include "display/Displays.h"

#include <SDL.h>

int countDisplays()
{
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        return -1;
    const int count = SDL_GetNumVideoDisplays();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return count < 0 ? -1 : count;
}

// Key state over SDL: the live keyboard state after a pump of the window
// system's events, plus a watch on key-down events that remembers a press
// shorter than the time between two queries.
#include "display/Keyboard.h"

#include <SDL.h>

namespace {

bool escapePressed = false;
bool watching = false;

int SDLCALL watchKeys(void*, SDL_Event* event)
{
    if (event->type == SDL_KEYDOWN && event->key.keysym.sym == SDLK_ESCAPE)
        escapePressed = true;
    return 1;
}

} // namespace

int getAsyncKeyState(int virtualKey)
{
    if (virtualKey != vkEscape || SDL_WasInit(SDL_INIT_VIDEO) == 0) {
        watching = false;
        return 0;
    }
    if (!watching) {
        SDL_AddEventWatch(watchKeys, nullptr);
        watching = true;
    }
    // Pumping moves pending window-system events into the queue (where update()
    // takes them later) and refreshes the keyboard state; it takes no event.
    SDL_PumpEvents();
    int state = 0;
    if (SDL_GetKeyboardState(nullptr)[SDL_SCANCODE_ESCAPE])
        state |= 0x8000;
    if (escapePressed)
        state |= 0x0001;
    escapePressed = false;
    return state;
}

void releaseKeyboard()
{
    if (watching)
        SDL_DelEventWatch(watchKeys, nullptr);
    watching = false;
    escapePressed = false;
}

// Key state over SDL: the keyboard state as of the latest pump of the window
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
    // No pump here: the window's update() pumps the window system's events
    // twice per pass, so the state is at most half a pass old, and a pump per
    // query would cost the loop a tenth of its passes.
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

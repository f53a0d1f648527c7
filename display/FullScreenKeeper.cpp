// Full screen asked for again when the window system shrinks the window.
#include "display/FullScreenKeeper.h"

#include <SDL.h>

void FullScreenKeeper::sizeChanged(SDL_Window* window)
{
    if (!window || asked >= tries)
        return;
    // Only the desktop-mode full screen: a window of a switched mode is as
    // large as the mode, not the display's desktop bounds.
    if ((SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN_DESKTOP) != SDL_WINDOW_FULLSCREEN_DESKTOP)
        return;
    const int display = SDL_GetWindowDisplayIndex(window);
    SDL_Rect bounds{};
    if (display < 0 || SDL_GetDisplayBounds(display, &bounds) != 0)
        return;
    int width = 0;
    int height = 0;
    SDL_GetWindowSize(window, &width, &height);
    if (width >= bounds.w && height >= bounds.h)
        return;
    // SDL takes a request for the state it believes the window is in as
    // done; leaving full screen first makes it ask the window system again.
    ++asked;
    SDL_SetWindowFullscreen(window, 0);
    SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP);
}

// Keeps a full-screen window of the desktop's mode covering its display.
// A compositor may configure such a window smaller after it has granted full
// screen: KWin 5.27, on activating a window made at 800 x 600, sends it that
// size again, and SDL's Wayland driver shrinks the window to it, leaving the
// picture in the top-left corner. Asking for full screen again gets the
// display's size back.
#pragma once

struct SDL_Window;

class FullScreenKeeper {
public:
    // After a size change of the window: asks for full screen again when a
    // window that should cover its display is smaller than the display.
    // Does nothing for other windows, and gives up after a few tries, so a
    // window system that insists on its size is not fought frame after frame.
    void sizeChanged(SDL_Window* window);

private:
    static constexpr int tries = 3;
    int asked = 0;
};

// The native window handle handed from the window to the demo and the music, opaque to both.
#pragma once

struct SDL_Window;
using WindowHandle = SDL_Window*;

// The pixel-format request, as SDL's GL attributes.
#include "display/PixelFormat.h"

#include <SDL.h>

bool requestPixelFormat(int bitsPerPixel)
{
    SDL_GL_ResetAttributes();
    const int colourBits = bitsPerPixel >= 24 ? 8 : 5;
    return SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1) == 0 && SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16) == 0 &&
           SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8) == 0 && SDL_GL_SetAttribute(SDL_GL_RED_SIZE, colourBits) == 0 &&
           SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, colourBits) == 0 &&
           SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, colourBits) == 0;
}

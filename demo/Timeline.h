// The demo's fixed schedule of scenes, drawn for one moment t (seconds since
// the music started) and the first value of the music's spectrum. It needs
// nothing but OpenGL and the texture cache, so the live demo, the tests and
// an offline renderer all draw through it.
//
//   t < 40.1          opening: "danish.png"; from 10.2 s two growing bars and
//                     the pulsing "text.png" over it
//   40.1 < t < 68.5   picture sequence: "finnish.png" .. "finnish5.png", scaled
//                     by the spectrum value
//   t > 68.5          end scroller: "endscroller.png" rising from below
//   t > 98.9          over: the frame is still drawn, then the demo ends
#pragma once

#include "assets/ResourceCache.h"
#include "assets/Texture.h"

// Clears colour, depth and stencil to black.
void clearFrame();
// Draws the scene of moment t. Pictures missing from the cache are left out.
void drawScene(float t, float spectrum0, const ResourceCache<Texture>& textures);

// The OpenGL state every frame of the demo starts from, set once on a fresh
// context: the window's and the offscreen renderer's alike, so both draw the
// same pictures.
#pragma once

// Needs a current OpenGL context. Viewport over width x height; depth test,
// normalisation of normals and back-face culling on; sphere-map texture
// coordinate generation configured for s and t but not enabled. Matrices,
// clear colour, depth function and blending keep their defaults.
void applyInitialGLState(int width, int height);

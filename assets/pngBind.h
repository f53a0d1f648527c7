// Turns a PNG file into an OpenGL texture in one call: decode, fit to what the
// driver accepts, upload as level 0 with the given wrap and filter modes.
#pragma once

#include <GL/gl.h>

// The image size as stored in the file (before any resampling for upload).
struct pngInfo {
    unsigned int Width = 0;
    unsigned int Height = 0;
};

// Mipmap modes.
inline constexpr int pngNoMipmap = 0;
// Transparency modes: keep the file's alpha where it has some (an alpha
// channel or a tRNS chunk), or drop it and upload an opaque image.
inline constexpr int pngAlpha = -2;
inline constexpr int pngSolid = -1;

// Needs a current OpenGL context. Creates a new GL_TEXTURE_2D name, uploads
// the decoded image to it and leaves it bound; fills info with the image size.
// Returns 0, creating no texture name and leaving info untouched, when the
// file cannot be read as a PNG or a mode other than the ones above is asked
// for. The image's top row lands at t = 0.
GLuint pngBind(const char* filename, int mipmap, int trans, pngInfo* info, int wrapst, int minfilter,
               int magfilter);

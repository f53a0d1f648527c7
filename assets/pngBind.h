// Turns a PNG file into an OpenGL texture in one call: decode, fit to what the
// driver accepts, upload as level 0 with the given wrap and filter modes.
#pragma once

#include <GL/gl.h>

#include <cstddef>

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

// Files larger than this are refused unread. It is well above any picture
// the decoder takes (at most 2^26 pixels, 256 MiB decoded), stored at 8 bits per
// sample with no compression at all, and bounds the memory a hostile file can claim.
inline constexpr std::size_t pngMaxFileBytes = std::size_t{320} << 20;

// Creates a new GL_TEXTURE_2D name, uploads the decoded image to it and leaves
// it bound; fills info with the image size. The image's top row lands at t = 0.
// Returns 0, creating no texture name, in two cases that info tells apart:
//  - the file cannot be read as a PNG, memory for it cannot be had, or a mode
//    other than the ones above is asked for: info is left untouched;
//  - the file is a good PNG but cannot be uploaded (no current OpenGL
//    context, or the driver refuses the image): info is filled all the same,
//    and a line on standard error says why (once for a missing context).
GLuint pngBind(const char* filename, int mipmap, int trans, pngInfo* info, int wrapst, int minfilter, int magfilter);

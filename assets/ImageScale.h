// Choosing the size at which an image is uploaded as a texture, and
// resampling the pixels to it when that differs from the image's own size.
#pragma once

struct TextureSize {
    unsigned width;
    unsigned height;
};

// The image's own size where the driver takes non-power-of-two textures,
// otherwise the next power of two up; either way no side exceeds maxSize
// (with powers of two, the largest power of two not above it).
TextureSize fitTextureSize(unsigned width, unsigned height, bool nonPowerOfTwo, unsigned maxSize);

// Resamples an image of interleaved 8-bit channels, rows tightly packed, each
// axis on its own: area averaging where it shrinks, linear interpolation
// between pixel centres where it grows. Both sizes must be at least 1 x 1.
// Works row by row: besides the two images it needs only memory in proportion
// to the sides, never to the pixel count. False, with target unfinished, when
// even that cannot be allocated.
bool scaleImage(const unsigned char* source, unsigned sourceWidth, unsigned sourceHeight, unsigned channels,
                unsigned char* target, unsigned targetWidth, unsigned targetHeight);

// Encodes 8-bit RGB or RGBA pixels as a PNG file, for pictures the program
// writes itself (frames rendered offline). The output carries no time stamp
// or text, so the same pixels always give the same bytes.
#pragma once

#include "assets/PngDecode.h"

#include <vector>

// zlib's level from 0 (store) to 9 (smallest); 6 is zlib's own default.
inline constexpr int pngDefaultCompression = 6;

// Encodes image (channels 3 or 4, rows from the top) into out, replacing what
// it held. False, with out empty, for an empty or malformed image or when
// libpng fails.
bool encodePng(const PngImage& image, std::vector<unsigned char>& out, int compressionLevel = pngDefaultCompression);

// The same for pixels the caller holds: width * height * channels bytes, rows
// from the top, tightly packed.
bool encodePng(const unsigned char* pixels, unsigned width, unsigned height, unsigned channels,
               std::vector<unsigned char>& out, int compressionLevel = pngDefaultCompression);

// Writes the generator's pictures as 8-bit RGB or RGBA PNG files, through the
// program's own PNG encoder at its highest compression.
#pragma once

#include <string>
#include <vector>

namespace makedata {

// rows: height rows of width pixels, top row first, 3 or 4 bytes a pixel.
bool writePng(const std::string& path, int width, int height, const std::vector<unsigned char>& rows, bool withAlpha);

} // namespace makedata

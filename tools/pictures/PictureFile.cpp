// PNG files of the generator's pictures.
#include "pictures/PictureFile.h"

#include "ByteFile.h"
#include "assets/PngEncode.h"

#include <iostream>

namespace makedata {

bool writePng(const std::string& path, int width, int height, const std::vector<unsigned char>& rows, bool withAlpha)
{
    const unsigned channels = withAlpha ? 4 : 3;
    const size_t need = static_cast<size_t>(width) * height * channels;
    if (width <= 0 || height <= 0 || rows.size() != need) {
        std::cerr << "makedata: bad image size for " << path << std::endl;
        return false;
    }
    std::vector<unsigned char> png;
    if (!encodePng(rows.data(), static_cast<unsigned>(width), static_cast<unsigned>(height), channels, png, 9)) {
        std::cerr << "makedata: encoding " << path << " failed" << std::endl;
        return false;
    }
    return writeBytes(path, png);
}

} // namespace makedata

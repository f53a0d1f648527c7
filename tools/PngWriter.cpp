// libpng writer. Only the image chunks are written (no time stamp), so the same
// pixels always give the same file.
#include "PngWriter.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <iostream>

namespace makedata {

namespace {

// The libpng part lives in a function without C++ objects of its own, because
// libpng reports errors by longjmp.
bool encode(std::FILE* file, int width, int height, const unsigned char* data, bool withAlpha)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png == nullptr) {
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_compression_level(png, 9);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 withAlpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const size_t stride = static_cast<size_t>(width) * (withAlpha ? 4 : 3);
    for (int y = 0; y < height; ++y) {
        png_write_row(png, data + stride * static_cast<size_t>(y));
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

bool writePng(const std::string& path, int width, int height, const std::vector<unsigned char>& rows,
              bool withAlpha)
{
    const size_t need = static_cast<size_t>(width) * height * (withAlpha ? 4 : 3);
    if (width <= 0 || height <= 0 || rows.size() != need) {
        std::cerr << "makedata: bad image size for " << path << std::endl;
        return false;
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        std::cerr << "makedata: cannot write " << path << std::endl;
        return false;
    }
    const bool encoded = encode(file, width, height, rows.data(), withAlpha);
    const bool closed = std::fclose(file) == 0;
    if (!encoded || !closed) {
        std::cerr << "makedata: writing " << path << " failed" << std::endl;
        return false;
    }
    return true;
}

}  // namespace makedata

// PNG encoding over libpng's write side into memory. libpng reports errors by
// longjmp, so the function that calls into it holds no object with a
// destructor; the row pointers and the output live with the caller.
#include "assets/PngEncode.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>

namespace {

void appendToVector(png_structp png, png_bytep data, std::size_t size)
{
    auto* out = static_cast<std::vector<unsigned char>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + size);
}

void noFlush(png_structp) {}

void onError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {}

// Owns the libpng write structures.
struct PngWriter {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~PngWriter() { png_destroy_write_struct(&png, info ? &info : nullptr); }
};

bool writeImage(png_structp png, png_infop info, png_uint_32 width, png_uint_32 height, int colorType,
                int compressionLevel, png_bytepp rows)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_compression_level(png, compressionLevel);
    png_set_IHDR(png, info, width, height, 8, colorType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    return true;
}

} // namespace

bool encodePng(const unsigned char* pixels, unsigned width, unsigned height, unsigned channels,
               std::vector<unsigned char>& out, int compressionLevel)
{
    out.clear();
    if (!pixels || width == 0 || height == 0 || (channels != 3 && channels != 4) || width > PNG_USER_WIDTH_MAX ||
        height > PNG_USER_HEIGHT_MAX)
        return false;
    PngWriter writer;
    writer.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, onError, onWarning);
    if (!writer.png)
        return false;
    writer.info = png_create_info_struct(writer.png);
    if (!writer.info)
        return false;
    png_set_write_fn(writer.png, &out, appendToVector, noFlush);

    const std::size_t rowBytes = std::size_t{width} * channels;
    std::vector<png_bytep> rows(height);
    for (unsigned y = 0; y < height; ++y)
        rows[y] = const_cast<png_bytep>(pixels + y * rowBytes); // libpng only reads them
    const int colorType = channels == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB;
    if (!writeImage(writer.png, writer.info, width, height, colorType, std::clamp(compressionLevel, 0, 9),
                    rows.data())) {
        out.clear();
        return false;
    }
    return true;
}

bool encodePng(const PngImage& image, std::vector<unsigned char>& out, int compressionLevel)
{
    return encodePng(image.pixels.get(), image.width, image.height, image.channels, out, compressionLevel);
}

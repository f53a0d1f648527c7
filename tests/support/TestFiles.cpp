// PNG encoding for the tests through libpng's write side, and scratch dirs.
#include "TestFiles.h"

#include <png.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace testfiles {

namespace {

void appendBytes(png_structp png, png_bytep data, std::size_t size)
{
    auto* out = static_cast<std::vector<unsigned char>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + size);
}

void noFlush(png_structp) {}

} // namespace

std::vector<unsigned char> encodePng(const PngRecipe& recipe)
{
    std::vector<unsigned char> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, appendBytes, noFlush);
    png_set_IHDR(png, info, recipe.width, recipe.height, recipe.bitDepth, recipe.colorType,
                 recipe.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!recipe.palette.empty()) {
        std::vector<png_color> colors;
        for (std::size_t i = 0; i + 2 < recipe.palette.size(); i += 3)
            colors.push_back({recipe.palette[i], recipe.palette[i + 1], recipe.palette[i + 2]});
        png_set_PLTE(png, info, colors.data(), static_cast<int>(colors.size()));
    }
    if (!recipe.paletteAlpha.empty())
        png_set_tRNS(png, info, recipe.paletteAlpha.data(), static_cast<int>(recipe.paletteAlpha.size()), nullptr);
    if (recipe.gamma)
        png_set_gAMA(png, info, *recipe.gamma);
    png_write_info(png, info);
    if (recipe.bitDepth < 8)
        png_set_packing(png); // one sample per byte in, packed bits out

    const unsigned channels = png_get_channels(png, info);
    const unsigned sampleBytes = recipe.bitDepth == 16 ? 2 : 1;
    const std::size_t rowSamples = std::size_t{recipe.width} * channels;
    std::vector<unsigned char> rows(rowSamples * sampleBytes * recipe.height);
    for (std::size_t i = 0; i < rowSamples * recipe.height; ++i) {
        if (sampleBytes == 2) {
            rows[2 * i] = static_cast<unsigned char>(recipe.samples[i] >> 8);
            rows[2 * i + 1] = static_cast<unsigned char>(recipe.samples[i]);
        } else {
            rows[i] = static_cast<unsigned char>(recipe.samples[i]);
        }
    }
    std::vector<png_bytep> pointers;
    for (unsigned y = 0; y < recipe.height; ++y)
        pointers.push_back(rows.data() + y * rowSamples * sampleBytes);
    png_write_image(png, pointers.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

void writeFile(const std::string& path, const std::vector<unsigned char>& bytes)
{
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

TempDir::TempDir()
{
    char pattern[] = "/tmp/brakvane-test-XXXXXX";
    if (mkdtemp(pattern))
        path = std::string(pattern) + "/";
}

TempDir::~TempDir()
{
    if (!path.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
}

} // namespace testfiles

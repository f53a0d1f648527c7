// Loading textures through Texture::load (read, decode, upload to the GL
// texture) against bare libpng decoding of the same files, in one run,
// reported as a ratio. Uses the demo's pictures in data/textures/ when there
// are any, otherwise a few generated 1024 x 512 RGBA pictures in /tmp.
//
// Starts its own Xvfb for the GL context (Mesa's software renderer).
#include "BenchTiming.h"
#include "GLTestContext.h"
#include "assets/Texture.h"

#include <png.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Clock = BenchClock;
namespace fs = std::filesystem;

std::vector<std::string> demoPictures()
{
    std::vector<std::string> paths;
    const fs::path folder = fs::path(BRAKVANE_SOURCE_DIR) / "data" / "textures";
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error))
        if (entry.is_regular_file() && entry.path().extension() == ".png")
            paths.push_back(entry.path().string());
    std::sort(paths.begin(), paths.end());
    return paths;
}

// Smooth colour fields with some grain, compressed like a usual picture.
bool writePicture(const std::string& path, unsigned seed)
{
    const unsigned width = 1024, height = 512;
    std::vector<unsigned char> pixels(std::size_t{width} * height * 4);
    unsigned noise = seed * 2654435761u + 1;
    for (unsigned y = 0; y < height; ++y)
        for (unsigned x = 0; x < width; ++x) {
            noise = noise * 1664525u + 1013904223u;
            const int grain = static_cast<int>(noise >> 28) - 8;
            unsigned char* p = &pixels[(std::size_t{y} * width + x) * 4];
            p[0] = static_cast<unsigned char>(std::clamp(int(128 + 100 * std::sin(x * 0.01 + seed)) + grain, 0, 255));
            p[1] = static_cast<unsigned char>(std::clamp(int(y / 2) + grain, 0, 255));
            p[2] = static_cast<unsigned char>(std::clamp(int((x ^ y) & 0xFF) / 2 + 64, 0, 255));
            p[3] = static_cast<unsigned char>(x < 64 ? x * 4 : 255);
        }
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (unsigned y = 0; y < height; ++y)
        png_write_row(png, &pixels[std::size_t{y} * width * 4]);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}

// The baseline: the plain libpng read of a file into 8-bit RGB(A) rows. The
// buffers belong to the caller, so a libpng error (a longjmp back here) leaves
// no local object half-changed.
bool decodeWithLibpng(const char* path, std::vector<unsigned char>& pixels, std::vector<png_bytep>& rows)
{
    FILE* file = std::fopen(path, "rb");
    if (!file)
        return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_read_info(png, info);
    png_set_expand(png);
    png_set_scale_16(png);
    png_set_gray_to_rgb(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const std::size_t rowBytes = png_get_rowbytes(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    pixels.resize(rowBytes * height);
    rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y)
        rows[y] = pixels.data() + y * rowBytes;
    png_read_image(png, rows.data());
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    return true;
}

} // namespace

int main()
{
    std::vector<std::string> files = demoPictures();
    std::vector<std::string> generated;
    if (files.empty()) {
        for (unsigned i = 0; i < 4; ++i) {
            generated.push_back("/tmp/brakvane-bench-" + std::to_string(getpid()) + "-" + std::to_string(i) + ".png");
            if (!writePicture(generated.back(), i)) {
                std::cerr << "cannot write " << generated.back() << std::endl;
                return 1;
            }
        }
        files = generated;
        std::cout << "pictures: 4 generated 1024x512 RGBA" << std::endl;
    } else {
        std::cout << "pictures: " << files.size() << " from data/textures" << std::endl;
    }

    testsupport::GLTestContext gl(64, 64);
    if (!gl.ok()) {
        std::cerr << "no GL context" << std::endl;
        return 1;
    }

    std::ostringstream quiet;
    std::streambuf* console = std::cout.rdbuf();
    std::vector<double> decodeTimes, loadTimes;
    std::vector<unsigned char> pixels;
    std::vector<png_bytep> rows;
    bool ok = true;
    for (int round = 0; round < 15; ++round) {
        auto begin = Clock::now();
        for (const std::string& file : files)
            ok = decodeWithLibpng(file.c_str(), pixels, rows) && ok;
        decodeTimes.push_back(secondsSince(begin));

        std::vector<std::unique_ptr<Texture>> textures;
        for (std::size_t i = 0; i < files.size(); ++i)
            textures.push_back(std::make_unique<Texture>());
        std::cout.rdbuf(quiet.rdbuf());
        begin = Clock::now();
        for (std::size_t i = 0; i < files.size(); ++i)
            ok = textures[i]->load(files[i]) && ok;
        glFinish(); // the upload has really happened
        loadTimes.push_back(secondsSince(begin));
        std::cout.rdbuf(console);
        quiet.str("");
    }
    for (const std::string& file : generated)
        std::remove(file.c_str());
    if (!ok) {
        std::cerr << "a picture failed to load" << std::endl;
        return 1;
    }
    const double decode = median(decodeTimes), load = median(loadTimes);
    std::cout << "libpng " << decode * 1e3 << " ms, Texture::load " << load * 1e3 << " ms (medians of 15)" << std::endl;
    std::cout << "RATIO texture load vs bare libpng decoding: " << decode / load << " (target >= 0.85)" << std::endl;
    return 0;
}

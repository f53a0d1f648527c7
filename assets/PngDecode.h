// Decodes PNG data into 8-bit RGB or RGBA pixels, without touching OpenGL, so
// that the texture upload, the tests and offline tools share one decoder.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

struct PngImage {
    unsigned width = 0;
    unsigned height = 0;
    unsigned channels = 0; // 3 (RGB) or 4 (RGBA), one byte each
    // Rows from the top of the picture down, tightly packed.
    std::unique_ptr<unsigned char[]> pixels;

    std::size_t rowBytes() const { return std::size_t{width} * channels; }
    std::size_t byteCount() const { return rowBytes() * height; }
};

struct PngDecodeOptions {
    // Keep the file's alpha (an alpha channel or a tRNS chunk) as a fourth
    // channel; when false every image comes out as RGB.
    bool keepAlpha = true;
    // Give images without alpha an opaque fourth channel: RGBA is the layout
    // drivers store, and taking RGB would cost them a conversion pass.
    bool fourChannels = false;
    // Exponent of the display; a file with gAMA is corrected towards it, a
    // file without one is left as stored.
    double screenGamma = 2.2;
    // Images with more pixels than this are refused before any pixel memory
    // is taken, so a small file cannot claim gigabytes.
    std::size_t maxPixels = std::size_t{1} << 26;
    // Off only for fuzzing: damaged checksums would otherwise stop almost
    // every mutated input before it reaches the image data.
    bool verifyChecksums = true;
};

// Decodes one whole PNG file held in memory. Palette, grey, grey with alpha,
// 16-bit and interlaced images all come out as 8-bit RGB or RGBA. On failure
// returns false, leaves out empty and, when error is given, puts libpng's
// reason into it.
bool decodePng(const unsigned char* data, std::size_t size, PngImage& out, const PngDecodeOptions& options = {},
               std::string* error = nullptr);

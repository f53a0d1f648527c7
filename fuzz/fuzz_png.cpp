// libFuzzer target: PNG decoding as textures use it, then the resampling that
// an upload to a driver without non-power-of-two textures would do.
#include "assets/ImageScale.h"
#include "assets/PngDecode.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    PngDecodeOptions options;
    options.keepAlpha = size % 2 == 0; // both transparency modes, chosen by the input
    // The demo's own limit, so that a small input can ask for the largest
    // image the decoder takes (2^26 pixels) and its resampling.
    options.verifyChecksums = false;
    PngImage image;
    if (!decodePng(data, size, image, options))
        return 0;
    // Both ways a driver fits an image: powers of two, or its own size up to
    // a largest side.
    const bool nonPowerOfTwo = size % 3 == 0;
    const TextureSize fit = fitTextureSize(image.width, image.height, nonPowerOfTwo, 64);
    std::unique_ptr<unsigned char[]> scaled(
        new (std::nothrow) unsigned char[std::size_t{fit.width} * fit.height * image.channels]);
    if (scaled)
        scaleImage(image.pixels.get(), image.width, image.height, image.channels, scaled.get(), fit.width, fit.height);
    return 0;
}

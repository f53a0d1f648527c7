// libFuzzer target: PNG decoding as textures use it, then the resampling that
// an upload to a driver without non-power-of-two textures would do.
#include "assets/ImageScale.h"
#include "assets/PngDecode.h"

#include <cstddef>
#include <cstdint>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    PngDecodeOptions options;
    options.keepAlpha = size % 2 == 0; // both transparency modes, chosen by the input
    options.maxPixels = std::size_t{1} << 20; // keeps each run fast; larger sizes take the same path
    options.verifyChecksums = false;
    PngImage image;
    if (!decodePng(data, size, image, options))
        return 0;
    const TextureSize fit = fitTextureSize(image.width, image.height, false, 64);
    auto scaled = std::make_unique<unsigned char[]>(std::size_t{fit.width} * fit.height * image.channels);
    scaleImage(image.pixels.get(), image.width, image.height, image.channels, scaled.get(), fit.width,
                       fit.height);
    return 0;
}

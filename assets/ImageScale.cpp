// Separable resampling: a weight table per axis, then the target rows one by
// one, each summed from the horizontally resampled source rows it covers.
//
// Memory is O(target width + source width + source height + target height):
// no intermediate image is ever held, so shrinking a very tall picture costs
// no more than a few rows. Horizontally resampled rows are kept in a cache of
// two, which is all that consecutive target rows share in either direction
// (a boundary row when shrinking, the two neighbours when growing).
#include "assets/ImageScale.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <memory>
#include <new>

namespace {

unsigned fitSide(unsigned side, bool nonPowerOfTwo, unsigned maxSize)
{
    maxSize = std::max(maxSize, 1u);
    if (nonPowerOfTwo)
        return std::clamp(side, 1u, maxSize);
    unsigned largest = 1;
    while (largest <= maxSize / 2)
        largest *= 2;
    unsigned power = 1;
    while (power < side && power < largest)
        power *= 2;
    return power;
}

template <class T>
std::unique_ptr<T[]> allocate(std::size_t count)
{
    return std::unique_ptr<T[]>(new (std::nothrow) T[count > 0 ? count : 1]);
}

// For each target index, the source indices [first, first + count) and their
// weights, which add up to 1.
struct AxisWeights {
    std::unique_ptr<unsigned[]> first;
    std::unique_ptr<unsigned[]> count;
    std::unique_ptr<std::size_t[]> offset; // into weights
    std::unique_ptr<float[]> weights;
};

// False when the tables cannot be allocated.
bool makeWeights(unsigned sourceSize, unsigned targetSize, AxisWeights& axis)
{
    // Growing takes at most 2 weights per target index; shrinking covers each
    // source index once plus at most two partial ones per target index.
    const std::size_t capacity = std::size_t{sourceSize} + 2 * std::size_t{targetSize};
    axis.first = allocate<unsigned>(targetSize);
    axis.count = allocate<unsigned>(targetSize);
    axis.offset = allocate<std::size_t>(targetSize);
    axis.weights = allocate<float>(capacity);
    if (!axis.first || !axis.count || !axis.offset || !axis.weights)
        return false;

    std::size_t used = 0;
    const double scale = static_cast<double>(sourceSize) / targetSize;
    for (unsigned i = 0; i < targetSize; ++i) {
        axis.offset[i] = used;
        if (scale <= 1.0) {
            // Growing: interpolate between the two nearest pixel centres.
            double centre = std::clamp((i + 0.5) * scale - 0.5, 0.0, sourceSize - 1.0);
            auto left = static_cast<unsigned>(centre);
            unsigned right = std::min(left + 1, sourceSize - 1);
            auto fraction = static_cast<float>(centre - left);
            axis.first[i] = left;
            axis.count[i] = right - left + 1;
            if (right != left) {
                axis.weights[used++] = 1.0f - fraction;
                axis.weights[used++] = fraction;
            } else {
                axis.weights[used++] = 1.0f;
            }
        } else {
            // Shrinking: average the source pixels the target pixel covers.
            double begin = i * scale;
            double end = (i + 1) * scale;
            auto first = static_cast<unsigned>(begin);
            auto last = std::min(static_cast<unsigned>(std::ceil(end)), sourceSize); // one past
            if (last - first > capacity - used)
                return false; // cannot happen with the bound above; never write past it
            axis.first[i] = first;
            axis.count[i] = last - first;
            for (unsigned j = first; j < last; ++j) {
                double overlap = std::min(end, j + 1.0) - std::max(begin, static_cast<double>(j));
                axis.weights[used++] = static_cast<float>(std::max(overlap, 0.0) / scale);
            }
        }
    }
    return true;
}

void resampleRow(const unsigned char* in, const AxisWeights& across, unsigned targetWidth, unsigned channels,
                 float* out)
{
    for (unsigned x = 0; x < targetWidth; ++x) {
        const float* w = across.weights.get() + across.offset[x];
        for (unsigned c = 0; c < channels; ++c) {
            float sum = 0.0f;
            for (unsigned k = 0; k < across.count[x]; ++k)
                sum += w[k] * in[(std::size_t{across.first[x]} + k) * channels + c];
            out[std::size_t{x} * channels + c] = sum;
        }
    }
}

} // namespace

TextureSize fitTextureSize(unsigned width, unsigned height, bool nonPowerOfTwo, unsigned maxSize)
{
    return {fitSide(width, nonPowerOfTwo, maxSize), fitSide(height, nonPowerOfTwo, maxSize)};
}

bool scaleImage(const unsigned char* source, unsigned sourceWidth, unsigned sourceHeight, unsigned channels,
                unsigned char* target, unsigned targetWidth, unsigned targetHeight)
{
    AxisWeights across;
    AxisWeights down;
    if (!makeWeights(sourceWidth, targetWidth, across) || !makeWeights(sourceHeight, targetHeight, down))
        return false;
    const std::size_t rowValues = std::size_t{targetWidth} * channels;
    const std::size_t sourceRowBytes = std::size_t{sourceWidth} * channels;
    auto sums = allocate<float>(rowValues);
    auto cache = allocate<float>(2 * rowValues);
    if (!sums || !cache)
        return false;
    // Which source row each cache slot holds; sourceHeight stands for none.
    // Rows are needed in ascending order, so a miss replaces the lower row
    // (or an empty slot, whose marker is above every row).
    unsigned cached[2] = {sourceHeight, sourceHeight};

    for (unsigned y = 0; y < targetHeight; ++y) {
        const float* w = down.weights.get() + down.offset[y];
        std::fill(sums.get(), sums.get() + rowValues, 0.0f);
        for (unsigned k = 0; k < down.count[y]; ++k) {
            const unsigned row = down.first[y] + k;
            unsigned slot = cached[0] == row ? 0 : cached[1] == row ? 1 : 2;
            if (slot == 2) {
                slot = cached[0] == sourceHeight || (cached[1] != sourceHeight && cached[0] < cached[1]) ? 0 : 1;
                cached[slot] = row;
                resampleRow(source + std::size_t{row} * sourceRowBytes, across, targetWidth, channels,
                            cache.get() + slot * rowValues);
            }
            const float* in = cache.get() + slot * rowValues;
            for (std::size_t i = 0; i < rowValues; ++i)
                sums[i] += w[k] * in[i];
        }
        unsigned char* out = target + std::size_t{y} * rowValues;
        for (std::size_t i = 0; i < rowValues; ++i)
            out[i] = static_cast<unsigned char>(std::clamp(std::lround(sums[i]), 0L, 255L));
    }
    return true;
}

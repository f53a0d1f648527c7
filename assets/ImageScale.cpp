// Separable resampling: a weight table per axis, a horizontal pass into a
// float buffer, then a vertical pass with rounding back to bytes.
#include "assets/ImageScale.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

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

// For each target index, the source indices [first, first + count) and their
// weights, which add up to 1.
struct AxisWeights {
    std::vector<unsigned> first;
    std::vector<unsigned> count;
    std::vector<std::size_t> offset; // into weights
    std::vector<float> weights;
};

AxisWeights makeWeights(unsigned sourceSize, unsigned targetSize)
{
    AxisWeights axis;
    const double scale = static_cast<double>(sourceSize) / targetSize;
    for (unsigned i = 0; i < targetSize; ++i) {
        axis.offset.push_back(axis.weights.size());
        if (scale <= 1.0) {
            // Growing: interpolate between the two nearest pixel centres.
            double centre = std::clamp((i + 0.5) * scale - 0.5, 0.0, sourceSize - 1.0);
            auto left = static_cast<unsigned>(centre);
            unsigned right = std::min(left + 1, sourceSize - 1);
            auto fraction = static_cast<float>(centre - left);
            axis.first.push_back(left);
            axis.count.push_back(right - left + 1);
            axis.weights.push_back(1.0f - fraction);
            if (right != left)
                axis.weights.push_back(fraction);
            else
                axis.weights.back() = 1.0f;
        } else {
            // Shrinking: average the source pixels the target pixel covers.
            double begin = i * scale;
            double end = (i + 1) * scale;
            auto first = static_cast<unsigned>(begin);
            auto last = std::min(static_cast<unsigned>(std::ceil(end)), sourceSize); // one past
            axis.first.push_back(first);
            axis.count.push_back(last - first);
            for (unsigned j = first; j < last; ++j) {
                double overlap = std::min(end, j + 1.0) - std::max(begin, static_cast<double>(j));
                axis.weights.push_back(static_cast<float>(std::max(overlap, 0.0) / scale));
            }
        }
    }
    return axis;
}

} // namespace

TextureSize fitTextureSize(unsigned width, unsigned height, bool nonPowerOfTwo, unsigned maxSize)
{
    return {fitSide(width, nonPowerOfTwo, maxSize), fitSide(height, nonPowerOfTwo, maxSize)};
}

void scaleImage(const unsigned char* source, unsigned sourceWidth, unsigned sourceHeight, unsigned channels,
                unsigned char* target, unsigned targetWidth, unsigned targetHeight)
{
    const AxisWeights across = makeWeights(sourceWidth, targetWidth);
    const AxisWeights down = makeWeights(sourceHeight, targetHeight);
    const std::size_t middleRow = std::size_t{targetWidth} * channels;
    std::vector<float> middle(middleRow * sourceHeight);

    for (unsigned y = 0; y < sourceHeight; ++y) {
        const unsigned char* in = source + std::size_t{y} * sourceWidth * channels;
        float* out = middle.data() + y * middleRow;
        for (unsigned x = 0; x < targetWidth; ++x) {
            const float* w = across.weights.data() + across.offset[x];
            for (unsigned c = 0; c < channels; ++c) {
                float sum = 0.0f;
                for (unsigned k = 0; k < across.count[x]; ++k)
                    sum += w[k] * in[(std::size_t{across.first[x]} + k) * channels + c];
                out[std::size_t{x} * channels + c] = sum;
            }
        }
    }

    for (unsigned y = 0; y < targetHeight; ++y) {
        const float* w = down.weights.data() + down.offset[y];
        unsigned char* out = target + y * middleRow;
        for (std::size_t i = 0; i < middleRow; ++i) {
            float sum = 0.0f;
            for (unsigned k = 0; k < down.count[y]; ++k)
                sum += w[k] * middle[(std::size_t{down.first[y]} + k) * middleRow + i];
            out[i] = static_cast<unsigned char>(std::clamp(std::lround(sum), 0L, 255L));
        }
    }
}


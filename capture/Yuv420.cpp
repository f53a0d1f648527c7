// BT.709 in 16.16 fixed point: Y = 16 + 219/255 (0.2126 R + 0.7152 G + 0.0722 B),
// U and V = 128 + 224/255 of the scaled colour differences. The inner loops
// are plain integer arithmetic on one row pair, which the compiler vectorises.
#include "capture/Yuv420.h"

#include <cstdint>

namespace {

// Coefficients times 65536, rounded; each row of U and V sums to 0.
constexpr std::int32_t yr = 11966, yg = 40254, yb = 4064;
constexpr std::int32_t ur = -6596, ug = -22189, ub = 28785;
constexpr std::int32_t vr = 28785, vg = -26145, vb = -2640;
constexpr std::int32_t yOffset = (16 << 16) + (1 << 15);
constexpr std::int32_t cOffset = (128 << 18) + (1 << 17); // on sums of four pixels

void lumaRow(const unsigned char* rgba, int width, unsigned char* y)
{
    for (int x = 0; x < width; ++x) {
        const std::int32_t r = rgba[4 * x], g = rgba[4 * x + 1], b = rgba[4 * x + 2];
        y[x] = static_cast<unsigned char>((yr * r + yg * g + yb * b + yOffset) >> 16);
    }
}

void chromaRow(const unsigned char* upper, const unsigned char* lower, int width, unsigned char* u, unsigned char* v)
{
    for (int x = 0; x < width / 2; ++x) {
        const unsigned char* a = upper + 8 * x;
        const unsigned char* b = lower + 8 * x;
        const std::int32_t r = a[0] + a[4] + b[0] + b[4];
        const std::int32_t g = a[1] + a[5] + b[1] + b[5];
        const std::int32_t bl = a[2] + a[6] + b[2] + b[6];
        u[x] = static_cast<unsigned char>((ur * r + ug * g + ub * bl + cOffset) >> 18);
        v[x] = static_cast<unsigned char>((vr * r + vg * g + vb * bl + cOffset) >> 18);
    }
}

} // namespace

void rgbaToYuv420(const unsigned char* rgba, int width, int height, unsigned char* yuv)
{
    const std::size_t stride = static_cast<std::size_t>(width) * 4;
    const std::size_t lumaBytes = static_cast<std::size_t>(width) * height;
    unsigned char* u = yuv + lumaBytes;
    unsigned char* v = u + lumaBytes / 4;
    for (int row = 0; row < height; row += 2) {
        // Rows from the top: the read-back's last rows first.
        const unsigned char* upper = rgba + static_cast<std::size_t>(height - 1 - row) * stride;
        const unsigned char* lower = upper - stride;
        lumaRow(upper, width, yuv + static_cast<std::size_t>(row) * width);
        lumaRow(lower, width, yuv + static_cast<std::size_t>(row + 1) * width);
        const std::size_t chromaAt = static_cast<std::size_t>(row / 2) * (width / 2);
        chromaRow(upper, lower, width, u + chromaAt, v + chromaAt);
    }
}

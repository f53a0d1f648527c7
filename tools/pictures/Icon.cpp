// The program's icon, cut from the opening picture: a square of the screen
// around the cross where the bars meet, each icon pixel the average of the
// picture's texels under it (sampled on a fine grid), so small sizes stay
// smooth instead of aliased.
#include "pictures/Pictures.h"

#include <algorithm>

namespace makedata {

namespace {

// The square in view units (the picture as shown on the 800x600 screen):
// the cross and the red fields around it, clear of the lettering.
constexpr float iconSide = 240.0f;
constexpr int samplesPerPixel = 8; // per axis, for the smallest sizes

} // namespace

Canvas drawIcon(const Canvas& opening, int size)
{
    Canvas icon(size, size, static_cast<float>(size), static_cast<float>(size));
    const float left = std::clamp(crossCentreX - iconSide / 2, 0.0f, opening.viewWidth() - iconSide);
    const float top = std::clamp(crossCentreY - iconSide / 2, 0.0f, opening.viewHeight() - iconSide);
    const float step = iconSide / static_cast<float>(size);
    const int n = std::max(2, samplesPerPixel * 64 / std::max(size, 64));
    for (int j = 0; j < size; ++j) {
        for (int i = 0; i < size; ++i) {
            Color sum{0, 0, 0, 0};
            for (int sy = 0; sy < n; ++sy) {
                for (int sx = 0; sx < n; ++sx) {
                    const float x = left + (static_cast<float>(i) + (static_cast<float>(sx) + 0.5f) / n) * step;
                    const float y = top + (static_cast<float>(j) + (static_cast<float>(sy) + 0.5f) / n) * step;
                    const int tx = std::clamp(static_cast<int>(x * opening.texelsPerViewX()), 0, opening.width() - 1);
                    const int ty = std::clamp(static_cast<int>(y * opening.texelsPerViewY()), 0, opening.height() - 1);
                    const Color& c = opening.at(tx, ty);
                    sum.r += c.r;
                    sum.g += c.g;
                    sum.b += c.b;
                }
            }
            const float count = static_cast<float>(n * n);
            icon.at(i, j) = Color{sum.r / count, sum.g / count, sum.b / count, 1.0f};
        }
    }
    return icon;
}

} // namespace makedata

// Helpers shared by the pictures: fonts, the cross, cloth, grain, titles.
#include <algorithm>
#include <cmath>

#include "Noise.h"
#include "pictures/Pictures.h"

namespace makedata {

Fonts::Fonts(const std::string& dir)
    : sans(dir + "/DejaVuSans.ttf"),
      sansBold(dir + "/DejaVuSans-Bold.ttf"),
      serif(dir + "/DejaVuSerif.ttf"),
      serifBold(dir + "/DejaVuSerif-Bold.ttf"),
      mono(dir + "/DejaVuSansMono.ttf")
{}

bool Fonts::ok() const
{
    return sans.ok() && sansBold.ok() && serif.ok() && serifBold.ok() && mono.ok();
}

Mask nordicCross(const Canvas& c, float cx, float cy, float halfWidth)
{
    const float w = c.viewWidth();
    const float h = c.viewHeight();
    return c.shape([=](float x, float y) {
        const float horizontal = sdf::box(x, y, w * 0.5f, cy, w, halfWidth);
        const float vertical = sdf::box(x, y, cx, h * 0.5f, halfWidth, h);
        return std::min(horizontal, vertical);
    });
}

void clothShading(Canvas& c, std::uint32_t seed, float strength)
{
    c.modulate([=](float x, float y) {
        // Diagonal folds that wander a little, plus broad light variation.
        const float warp = fbm(x / 260.0f, y / 260.0f, 3, seed) * 3.0f;
        const float folds = std::sin((x * 0.9f + y * 0.45f) / 70.0f + warp);
        const float broad = fbm(x / 400.0f + 7.0f, y / 400.0f, 2, seed + 17u) - 0.5f;
        return 1.0f + strength * (0.8f * folds + 1.2f * broad);
    });
}

void vignette(Canvas& c, float strength)
{
    const float cx = c.viewWidth() * 0.5f;
    const float cy = c.viewHeight() * 0.5f;
    const float r = std::hypot(cx, cy);
    c.modulate([=](float x, float y) {
        const float d = std::hypot(x - cx, y - cy) / r;
        return 1.0f - strength * d * d;
    });
}

void grain(Canvas& c, std::uint32_t seed, float amount)
{
    Rng rng(seed);
    for (int j = 0; j < c.height(); ++j) {
        for (int i = 0; i < c.width(); ++i) {
            // Coarse steps keep the grain from costing too many bytes in the PNG.
            const float n = std::round(rng.bipolar() * 1.5f) / 1.5f * amount;
            Color& p = c.at(i, j);
            p.r += n;
            p.g += n;
            p.b += n;
        }
    }
}

void seriesSubtitle(Canvas& c, const Fonts& fonts, const std::string& text, float baseline, const Color& colour)
{
    Mask m = c.newMask();
    fonts.sans.drawCentred(m, c, text, rightFieldCentre, baseline, 16.0f, 3.0f);
    c.fill(m, colour);
}

void shadowedText(Canvas& c, const Font& font, const std::string& text, float centreX, float baseline, float size,
                  float tracking, const Color& fill, const Color& shadow, float blur, float offset)
{
    Mask m = c.newMask();
    font.drawCentred(m, c, text, centreX, baseline, size, tracking);
    Mask s = m;
    s.shift(static_cast<int>(std::lround(offset * c.texelsPerViewX())),
            static_cast<int>(std::lround(offset * c.texelsPerViewY())));
    c.blurView(s, blur);
    c.fill(s, shadow);
    c.fill(m, fill);
}

void glowingText(Canvas& c, const Font& font, const std::string& text, float centreX, float baseline, float size,
                 float tracking, const Color& fill, const Color& glow, float radius, float glowStrength)
{
    Mask m = c.newMask();
    font.drawCentred(m, c, text, centreX, baseline, size, tracking);
    Mask g = m;
    c.blurView(g, radius);
    g.scale(glowStrength);
    c.fill(g, glow);
    c.fill(m, fill);
}

} // namespace makedata

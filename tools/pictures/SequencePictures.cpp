// The picture sequence: five flag-like pictures on one Nordic cross, cut in one
// after the other while the picture pulses with the bass. Each has its own
// theme and colours (snow, night, northern lights, lakes, midnight sun) and a
// title, so every cut is a visible change.
#include <algorithm>
#include <cmath>

#include "Noise.h"
#include "pictures/Pictures.h"

namespace makedata {

namespace {

constexpr float crossHalf = crossHalfWidth;
constexpr float rightField = rightFieldCentre;

Mask cross(const Canvas& c)
{
    return nordicCross(c, crossCentreX, crossCentreY, crossHalf);
}

// Six-armed crystal with side branches.
void snowCrystal(Canvas& c, float cx, float cy, float r, const Color& colour)
{
    Mask m = c.shape(
        [=](float x, float y) {
            float d = 1e9f;
            for (int k = 0; k < 6; ++k) {
                const float a = static_cast<float>(k) * 3.14159265f / 3.0f;
                const float ax = std::cos(a), ay = std::sin(a);
                d = std::min(d, sdf::segment(x, y, cx, cy, cx + ax * r, cy + ay * r, r * 0.045f));
                for (float t : {0.45f, 0.7f}) {
                    const float bx = cx + ax * r * t, by = cy + ay * r * t;
                    const float len = r * (0.9f - t) * 0.8f;
                    for (float s : {-1.0f, 1.0f}) {
                        const float ba = a + s * 0.9f;
                        d = std::min(d, sdf::segment(x, y, bx, by, bx + std::cos(ba) * len, by + std::sin(ba) * len,
                                                     r * 0.035f));
                    }
                }
            }
            return d;
        },
        cx - r * 1.1f - 2, cy - r * 1.1f - 2, cx + r * 1.1f + 2, cy + r * 1.1f + 2);
    c.fill(m, colour);
}

Canvas snow(const Fonts& fonts)
{
    Canvas c(pictureWidth, pictureHeight, windowWidth, windowHeight);
    c.fill(linear(0, 0, 0, windowHeight, {{0.0f, rgb(0xf3f7fc)}, {1.0f, rgb(0xcfdceb)}}));
    c.modulate([](float x, float y) { return 1.0f - 0.07f * fbm(x / 180.0f, y / 90.0f, 4, 31u); });
    snowCrystal(c, 140.0f, 130.0f, 70.0f, rgb(0x8fb0d6, 0.7f));
    snowCrystal(c, 610.0f, 470.0f, 58.0f, rgb(0x8fb0d6, 0.6f));
    snowCrystal(c, 120.0f, 480.0f, 38.0f, rgb(0x8fb0d6, 0.5f));

    Mask x = cross(c);
    Mask xs = x;
    xs.shift(0, 4);
    c.blurView(xs, 7.0f);
    c.fill(xs, Color{0.1f, 0.2f, 0.4f, 0.35f});
    c.fill(x, linear(0, 0, windowWidth, windowHeight, {{0.0f, rgb(0x0b4596)}, {1.0f, rgb(0x002a66)}}));

    shadowedText(c, fonts.sansBold, "LUMI", rightField, 165.0f, 104.0f, 14.0f, rgb(0x003580),
                 Color{0.2f, 0.3f, 0.5f, 0.35f}, 5.0f, 4.0f);
    seriesSubtitle(c, fonts, "SNOW  \xC2\xB7  1 / 5", 205.0f, rgb(0x3a5f92));

    // Falling flakes: a soft grey-blue halo keeps them visible on white.
    Rng rng(33u);
    Mask halo = c.newMask();
    Mask core = c.newMask();
    for (int k = 0; k < 160; ++k) {
        const float fx = rng.range(0, windowWidth), fy = rng.range(0, windowHeight), r = rng.range(1.5f, 4.5f);
        const float e = r + 3.0f;
        core.unite(c.shape([=](float px, float py) { return sdf::circle(px, py, fx, fy, r); }, fx - e, fy - e, fx + e,
                           fy + e));
        halo.unite(c.shape([=](float px, float py) { return sdf::circle(px, py, fx, fy, r + 1.5f); }, fx - e, fy - e,
                           fx + e, fy + e));
    }
    c.blurView(halo, 2.0f);
    c.fill(halo, rgb(0x7d98ba, 0.55f));
    c.fill(core, rgb(0xffffff));
    vignette(c, 0.18f);
    return c;
}

Canvas night(const Fonts& fonts)
{
    Canvas c(pictureWidth, pictureHeight, windowWidth, windowHeight);
    c.fill(linear(0, 0, 0, windowHeight, {{0.0f, rgb(0x040818)}, {0.6f, rgb(0x0f1b44)}, {1.0f, rgb(0x213a78)}}));
    Rng rng(41u);
    Mask stars = c.newMask();
    Mask glow = c.newMask();
    for (int k = 0; k < 260; ++k) {
        const float sx = rng.range(0, windowWidth), sy = rng.range(0, windowHeight * 0.95f);
        const float r = rng.range(0.6f, 1.9f);
        const float bright = rng.range(0.4f, 1.0f);
        Mask s =
            c.shape([=](float x, float y) { return sdf::circle(x, y, sx, sy, r); }, sx - 3, sy - 3, sx + 3, sy + 3);
        s.scale(bright);
        stars.unite(s);
        if (r > 1.5f)
            glow.unite(s);
    }
    c.blurView(glow, 6.0f);
    glow.scale(2.5f);
    c.fill(glow, rgb(0x9fb8ff, 0.6f));
    c.fill(stars, rgb(0xf4f6ff));

    // Crescent moon in the upper-left field.
    Mask moon = c.shape([](float x, float y) {
        return std::max(sdf::circle(x, y, 128.0f, 128.0f, 58.0f), -sdf::circle(x, y, 152.0f, 110.0f, 52.0f));
    });
    Mask moonGlow = moon;
    c.blurView(moonGlow, 22.0f);
    c.fill(moonGlow, rgb(0xf7e9b0, 0.55f));
    c.fill(moon, linear(80, 80, 170, 180, {{0.0f, rgb(0xfff6d6)}, {1.0f, rgb(0xe8cf8a)}}));

    Mask x = cross(c);
    Mask xg = x;
    c.blurView(xg, 14.0f);
    c.fill(xg, rgb(0x6f95ff, 0.45f));
    c.fill(x, linear(0, 0, 0, windowHeight, {{0.0f, rgb(0xf4f6fb)}, {1.0f, rgb(0xc9d4ea)}}));

    glowingText(c, fonts.serifBold, "Y\xC3\x96", rightField, 178.0f, 120.0f, 8.0f, rgb(0xfdfcf5), rgb(0x8fb0ff), 14.0f,
                0.8f);
    seriesSubtitle(c, fonts, "NIGHT  \xC2\xB7  2 / 5", 212.0f, rgb(0xb9c8f0));
    vignette(c, 0.3f);
    return c;
}

Canvas aurora(const Fonts& fonts)
{
    Canvas c(pictureWidth, pictureHeight, windowWidth, windowHeight);
    c.fill(linear(0, 0, 0, windowHeight, {{0.0f, rgb(0x02050c)}, {0.7f, rgb(0x061c2a)}, {1.0f, rgb(0x0a2a33)}}));
    const Color green = rgb(0x3cf59c);
    const Color violet = rgb(0xb24cff);
    c.apply([&](Color& p, float x, float y) {
        // Two curtains: a bright lower edge with rays fading upwards.
        float light = 0;
        Color tint{};
        for (int band = 0; band < 2; ++band) {
            const float fb = static_cast<float>(band);
            const float edge = 210.0f + fb * 190.0f + 60.0f * std::sin(x / (150.0f + fb * 40.0f) + 1.0f + fb * 2.0f) +
                               60.0f * (fbm(x / 220.0f, fb * 3.0f, 3, 51u + static_cast<std::uint32_t>(band)) - 0.5f);
            const float above = edge - y;
            float a = above >= 0 ? std::exp(-above / (100.0f + fb * 70.0f)) : std::exp(-(above * above) / 150.0f);
            const float rays = 0.45f + 0.75f * fbm(x / 7.0f + fb * 9.0f, y / 260.0f, 3, 57u);
            a *= rays * (band == 0 ? 1.0f : 0.8f);
            const float up = std::clamp(above / 220.0f, 0.0f, 1.0f);
            const Color col = mix(green, violet, up * up);
            tint = mix(tint, col, a / std::max(light + a, 1e-6f));
            light += a;
        }
        const float k = std::min(light, 1.4f);
        p.r += tint.r * k * 0.85f;
        p.g += tint.g * k * 0.85f;
        p.b += tint.b * k * 0.85f;
    });
    // Dark hills along the bottom.
    Mask hills = c.shape([](float x, float y) {
        const float top = 540.0f + 22.0f * std::sin(x / 90.0f) + 14.0f * std::sin(x / 37.0f + 2.0f);
        return (top - y) * 0.7f;
    });
    c.fill(hills, rgb(0x010306));

    // The cross as a glowing outline over a tinted pane.
    Mask x = cross(c);
    c.fill(x, rgb(0x063a44, 0.55f));
    Mask outline = c.shape([](float px, float py) {
        const float horizontal = sdf::box(px, py, 400.0f, crossCentreY, 800.0f, crossHalf);
        const float vertical = sdf::box(px, py, crossCentreX, 300.0f, crossHalf, 600.0f);
        return std::fabs(std::min(horizontal, vertical)) - 2.2f;
    });
    Mask og = outline;
    c.blurView(og, 9.0f);
    og.scale(2.0f);
    c.fill(og, rgb(0x4ff2ff, 0.7f));
    c.fill(outline, rgb(0xd8ffff));

    glowingText(c, fonts.sansBold, "REVONTULET", rightField, 462.0f, 40.0f, 3.0f, rgb(0xf2fff8), green, 12.0f, 0.9f);
    seriesSubtitle(c, fonts, "NORTHERN LIGHTS  \xC2\xB7  3 / 5", 496.0f, rgb(0xa8f5d4));
    return c;
}

} // namespace

Canvas drawFinnish(int index, const Fonts& fonts)
{
    switch (index) {
    case 1:
        return snow(fonts);
    case 2:
        return night(fonts);
    case 3:
        return aurora(fonts);
    case 4:
        return drawLakes(fonts);
    default:
        return drawMidnightSun(fonts);
    }
}

} // namespace makedata

// The last two pictures of the sequence, landscapes behind the cross: a lake
// below a pine forest, and the midnight sun over the sea.
#include <algorithm>
#include <cmath>
#include <vector>

#include "Noise.h"
#include "pictures/Pictures.h"

namespace makedata {

namespace {

float smoothstep(float a, float b, float x)
{
    const float t = std::clamp((x - a) / (b - a), 0.0f, 1.0f);
    return t * t * (3.0f - 2.0f * t);
}

// A skyline given as its top y for every x, sampled every quarter view unit.
class Skyline {
public:
    explicit Skyline(std::vector<float> samples) : tops(std::move(samples)) {}
    float top(float x) const
    {
        const float f = std::clamp(x * 4.0f, 0.0f, static_cast<float>(tops.size() - 1));
        const auto i = static_cast<size_t>(f);
        const size_t k = std::min(i + 1, tops.size() - 1);
        return tops[i] + (tops[k] - tops[i]) * (f - static_cast<float>(i));
    }

private:
    std::vector<float> tops;
};

// Top of a row of tiered pines standing on baseY.
Skyline pineRow(std::uint64_t seed, float baseY, float minH, float maxH, float spacing)
{
    std::vector<float> tops(static_cast<size_t>(windowWidth * 4.0f) + 1, baseY);
    Rng rng(seed);
    for (float bx = -20.0f; bx < windowWidth + 20.0f; bx += spacing * rng.range(0.6f, 1.4f)) {
        const float h = rng.range(minH, maxH);
        const float halfW = h * rng.range(0.2f, 0.27f);
        constexpr int tiers = 5;
        for (size_t s = 0; s < tops.size(); ++s) {
            const float dx = std::fabs(static_cast<float>(s) * 0.25f - bx);
            if (dx > halfW)
                continue;
            for (int k = 0; k < tiers; ++k) {
                const float kt = static_cast<float>(k);
                const float tierTop = baseY - h + kt * h / tiers * 0.8f;
                const float tierBottom = tierTop + h / tiers * 1.6f;
                const float tierHalf = halfW * (kt + 1.5f) / (tiers + 0.5f);
                if (dx < tierHalf)
                    tops[s] = std::min(tops[s], tierTop + dx / tierHalf * (tierBottom - tierTop));
            }
        }
    }
    return Skyline(std::move(tops));
}

Mask below(const Canvas& c, const Skyline& sky)
{
    return c.shape([&](float x, float y) { return sky.top(x) - y; });
}

} // namespace

Canvas drawLakes(const Fonts& fonts)
{
    constexpr float shore = 436.0f;
    Canvas c(pictureWidth, pictureHeight, windowWidth, windowHeight);
    c.fill(linear(0, 0, 0, shore, {{0.0f, rgb(0x6aa9e0)}, {0.55f, rgb(0xbcdcf2)}, {1.0f, rgb(0xf9ecc6)}}));
    // Soft clouds in the upper sky.
    c.apply([](Color& p, float x, float y) {
        const float n = fbm(x / 170.0f, y / 55.0f, 4, 61u);
        const float a = smoothstep(0.52f, 0.72f, n) * (1.0f - smoothstep(120.0f, 330.0f, y)) * 0.85f;
        p = mix(p, Color{1, 1, 1, 1}, a);
    });
    std::vector<float> hillTops(static_cast<size_t>(windowWidth * 4.0f) + 1);
    for (size_t s = 0; s < hillTops.size(); ++s) {
        const float x = static_cast<float>(s) * 0.25f;
        hillTops[s] = 400.0f - 28.0f * fbm(x / 140.0f, 0.5f, 3, 62u) - 10.0f * std::sin(x / 70.0f);
    }
    const Skyline hills(std::move(hillTops));
    c.fill(below(c, hills), rgb(0x7d9bb5));
    const Skyline back = pineRow(63u, shore - 4.0f, 28.0f, 60.0f, 11.0f);
    const Skyline front = pineRow(64u, shore + 2.0f, 40.0f, 110.0f, 19.0f);
    c.fill(below(c, back), rgb(0x2f5a49));
    c.fill(below(c, front), rgb(0x163022));

    // The lake: below the shore, with the forest mirrored and broken by ripples.
    Mask water = c.shape([](float, float y) { return shore - y; });
    c.fill(water, linear(0, shore, 0, windowHeight, {{0.0f, rgb(0x9cc6e4)}, {1.0f, rgb(0x24557f)}}));
    Mask reflection = c.shape([&](float x, float y) {
        const float ripple = 2.5f * std::sin(y * 0.9f) * smoothstep(shore, windowHeight, y) * 2.0f;
        return std::max(y - (2.0f * shore - front.top(x + ripple)), shore - y);
    });
    c.fill(reflection, rgb(0x1c3b3a, 0.75f));
    Rng rng(65u);
    Mask glints = c.newMask();
    for (int k = 0; k < 70; ++k) {
        const float gx = rng.range(0, windowWidth), gy = rng.range(shore + 6.0f, windowHeight);
        const float len = rng.range(8.0f, 40.0f) * (gy - shore) / (windowHeight - shore);
        glints.unite(c.shape([=](float x, float y) { return sdf::segment(x, y, gx - len, gy, gx + len, gy, 0.7f); },
                             gx - len - 2, gy - 3, gx + len + 2, gy + 3));
    }
    c.fill(glints, rgb(0xe6f4ff, 0.6f));

    Mask rim = nordicCross(c, crossCentreX, crossCentreY, crossHalfWidth + 4.0f);
    c.fill(rim, rgb(0xf6f8fb));
    c.fill(nordicCross(c, crossCentreX, crossCentreY, crossHalfWidth),
           linear(0, 0, 0, windowHeight, {{0.0f, rgb(0x0a428f)}, {1.0f, rgb(0x00295f)}}));

    shadowedText(c, fonts.sansBold, "TUHAT", rightFieldCentre, 112.0f, 50.0f, 6.0f, rgb(0x0d2f66), Color{1, 1, 1, 0.5f},
                 4.0f, 2.0f);
    shadowedText(c, fonts.sansBold, "J\xC3\x84RVE\xC3\x84", rightFieldCentre, 168.0f, 50.0f, 6.0f, rgb(0x0d2f66),
                 Color{1, 1, 1, 0.5f}, 4.0f, 2.0f);
    seriesSubtitle(c, fonts, "A THOUSAND LAKES  \xC2\xB7  4 / 5", 202.0f, rgb(0x27507f));
    vignette(c, 0.22f);
    return c;
}

Canvas drawMidnightSun(const Fonts& fonts)
{
    constexpr float horizon = 430.0f;
    constexpr float sunX = 128.0f;
    constexpr float sunY = 140.0f;
    constexpr float sunR = 92.0f;
    Canvas c(pictureWidth, pictureHeight, windowWidth, windowHeight);
    c.fill(linear(0, 0, 0, horizon,
                  {{0.0f, rgb(0x1b0a38)},
                   {0.4f, rgb(0x58206a)},
                   {0.72f, rgb(0xc2406a)},
                   {0.9f, rgb(0xf7864c)},
                   {1.0f, rgb(0xffc978)}}));
    Mask glow = c.shape([](float x, float y) { return sdf::circle(x, y, sunX, sunY, sunR); });
    c.blurView(glow, 45.0f);
    glow.scale(1.3f);
    c.fill(glow, rgb(0xffb36b, 0.6f));
    // The sun, cut by bands that widen towards the horizon.
    Mask sun = c.shape([](float x, float y) {
        float d = std::max(sdf::circle(x, y, sunX, sunY, sunR), y - horizon);
        if (y > sunY + 5.0f) {
            const float u = (y - (sunY + 5.0f)) / 16.0f;
            const float band = (u - std::floor(u)) * 16.0f;
            const float gap = 1.5f + 1.3f * std::floor(u);
            d = std::max(d, gap - band);
        }
        return d;
    });
    c.fill(sun, linear(0, sunY - sunR, 0, sunY + sunR, {{0.0f, rgb(0xfff4a6)}, {1.0f, rgb(0xff5a3a)}}));

    // Sea with the sun's path on it, and low islands on the horizon.
    Mask sea = c.shape([](float, float y) { return horizon - y; });
    c.fill(sea, linear(0, horizon, 0, windowHeight, {{0.0f, rgb(0x5a2358)}, {1.0f, rgb(0x140a26)}}));
    Rng rng(71u);
    Mask path = c.newMask();
    for (float y = horizon + 5.0f; y < windowHeight; y += rng.range(6.0f, 11.0f)) {
        const float depth = (y - horizon) / (windowHeight - horizon);
        const float half = sunR * (0.5f + depth * 0.6f) * rng.range(0.4f, 1.0f);
        const float cx = sunX + rng.range(-12.0f, 12.0f);
        const float thick = 0.8f + depth * 2.0f;
        path.unite(c.shape([=](float x, float py) { return sdf::segment(x, py, cx - half, y, cx + half, y, thick); },
                           cx - half - 2, y - thick - 2, cx + half + 2, y + thick + 2));
    }
    c.fill(path, rgb(0xffa061, 0.75f));
    std::vector<float> islandTops(static_cast<size_t>(windowWidth * 4.0f) + 1);
    for (size_t s = 0; s < islandTops.size(); ++s) {
        const float x = static_cast<float>(s) * 0.25f;
        const float bump = std::max(0.0f, 1.0f - std::fabs(x - 560.0f) / 120.0f) * 20.0f +
                           std::max(0.0f, 1.0f - std::fabs(x - 770.0f) / 70.0f) * 12.0f;
        islandTops[s] = horizon + 1.0f - bump * (0.8f + 0.2f * fbm(x / 20.0f, 0.0f, 2, 72u));
    }
    const Skyline islands(std::move(islandTops));
    c.fill(c.shape([&](float x, float y) { return std::max(islands.top(x) - y, y - horizon - 1.0f); }), rgb(0x2a0f33));

    Mask rim = nordicCross(c, crossCentreX, crossCentreY, crossHalfWidth + 3.0f);
    c.fill(rim, rgb(0xff9a5c));
    c.fill(nordicCross(c, crossCentreX, crossCentreY, crossHalfWidth),
           linear(0, 0, 0, windowHeight, {{0.0f, rgb(0x151447)}, {1.0f, rgb(0x0a0a24)}}));

    glowingText(c, fonts.sansBold, "KESKIY\xC3\x96N", rightFieldCentre, 112.0f, 46.0f, 5.0f, rgb(0xfff2d6),
                rgb(0xff8a4c), 12.0f, 0.9f);
    glowingText(c, fonts.sansBold, "AURINKO", rightFieldCentre, 168.0f, 46.0f, 5.0f, rgb(0xfff2d6), rgb(0xff8a4c),
                12.0f, 0.9f);
    seriesSubtitle(c, fonts, "MIDNIGHT SUN  \xC2\xB7  5 / 5", 202.0f, rgb(0xffd2b0));
    return c;
}

} // namespace makedata

// The opening scene's pictures: "danish.png", a red flag-like field with a
// white cross whose arms are wide enough to frame the dark-blue bars that grow
// over it from 10.2 s, and "text.png", white lettering that pulses over it all.
#include <cmath>

#include "Noise.h"
#include "pictures/Pictures.h"

namespace makedata {

namespace {

const Color white{1, 1, 1, 1};

// Eight-pointed compass star with a ring, in the free lower-left field.
void compassRose(Canvas& c, const Fonts& fonts, float cx, float cy, float r, const Color& colour)
{
    std::vector<float> star;
    for (int k = 0; k < 16; ++k) {
        const float angle = static_cast<float>(k) * 3.14159265f / 8.0f;
        const float len = (k % 4 == 0) ? r : (k % 2 == 0 ? r * 0.55f : r * 0.18f);
        star.push_back(cx + std::sin(angle) * len);
        star.push_back(cy - std::cos(angle) * len);
    }
    Mask m = c.shape([&](float x, float y) { return sdf::polygon(x, y, star); });
    Mask ring = c.shape([=](float x, float y) { return std::fabs(sdf::circle(x, y, cx, cy, r * 0.72f)) - 1.6f; });
    m.unite(ring);
    Mask hub = c.shape([=](float x, float y) { return sdf::circle(x, y, cx, cy, r * 0.07f); });
    Mask shadow = m;
    shadow.shift(2, 2);
    c.blurView(shadow, 3.0f);
    c.fill(shadow, Color{0.2f, 0.0f, 0.03f, 0.5f});
    c.fill(m, colour);
    c.fill(hub, rgb(0xb01030));
    Mask north = c.newMask();
    fonts.sansBold.drawCentred(north, c, "N", cx, cy - r - 8.0f, 18.0f);
    c.fill(north, colour);
}

} // namespace

Canvas drawDanish(const Fonts& fonts)
{
    Canvas c(pictureWidth, pictureHeight, windowWidth, windowHeight);
    c.fill(linear(0, 0, windowWidth, windowHeight, {{0.0f, rgb(0xd81e3c)}, {1.0f, rgb(0xa3092a)}}));

    // The white cross leaves an even border around the blue bars that come later
    // (bars 48 by 56 window pixels wide, cross arms 88 and 92).
    Mask cross = c.shape([](float x, float y) {
        const float horizontal = sdf::box(x, y, 400.0f, crossCentreY, 800.0f, 44.0f);
        const float vertical = sdf::box(x, y, crossCentreX, 300.0f, 46.0f, 600.0f);
        return std::min(horizontal, vertical);
    });
    Mask crossShadow = cross;
    crossShadow.shift(0, 3);
    c.blurView(crossShadow, 6.0f);
    c.fill(crossShadow, Color{0.25f, 0.0f, 0.05f, 0.35f});
    c.fill(cross, linear(0, 0, 0, windowHeight, {{0.0f, rgb(0xfdfbf6)}, {1.0f, rgb(0xe9e4da)}}));

    // Title in the upper-right field.
    const float fieldCentre = (crossCentreX + 46.0f + windowWidth) * 0.5f;
    shadowedText(c, fonts.sansBold, "BRAKVANE", fieldCentre, 152.0f, 60.0f, 5.0f, white,
                 Color{0.25f, 0.0f, 0.04f, 0.7f}, 5.0f, 4.0f);
    Mask rule = c.shape([=](float x, float y) { return sdf::box(x, y, fieldCentre, 172.0f, 150.0f, 1.2f); });
    c.fill(rule, Color{1, 1, 1, 0.8f});
    Mask sub = c.newMask();
    fonts.sans.drawCentred(sub, c, "KALVOR  \xC2\xB7  DEMO 0.1", fieldCentre, 200.0f, 17.0f, 4.0f);
    c.fill(sub, Color{1, 1, 1, 0.9f});

    compassRose(c, fonts, 126.0f, 475.0f, 62.0f, Color{1, 1, 1, 0.85f});

    clothShading(c, 11u, 0.07f);
    vignette(c, 0.35f);
    grain(c, 12u, 0.012f);
    return c;
}

Canvas drawTextOverlay(const Fonts& fonts)
{
    Canvas c(pictureWidth, pictureHeight, windowWidth, windowHeight);
    // Transparent white, so that the blended edges of the letters stay white.
    c.fill(solid(Color{1, 1, 1, 0}));
    const float fieldCentre = (crossCentreX + 46.0f + windowWidth) * 0.5f;

    glowingText(c, fonts.sans, "a production by", fieldCentre, 418.0f, 20.0f, 2.0f, white, Color{1, 1, 1, 1}, 6.0f,
                0.35f);
    glowingText(c, fonts.sansBold, "KALVOR", fieldCentre, 492.0f, 70.0f, 12.0f, white, Color{1, 1, 1, 1}, 10.0f, 0.45f);
    Mask rule = c.shape([=](float x, float y) { return sdf::box(x, y, fieldCentre, 516.0f, 130.0f, 1.0f); });
    c.fill(rule, Color{1, 1, 1, 0.85f});
    glowingText(c, fonts.sans, "code  \xC2\xB7  pixels  \xC2\xB7  sound", fieldCentre, 544.0f, 16.0f, 3.0f, white,
                Color{1, 1, 1, 1}, 5.0f, 0.3f);

    // A short line in the upper-left field.
    glowingText(c, fonts.serif, "from the north,", 126.0f, 112.0f, 19.0f, 1.0f, white, Color{1, 1, 1, 1}, 5.0f, 0.3f);
    glowingText(c, fonts.serif, "in real time", 126.0f, 140.0f, 19.0f, 1.0f, white, Color{1, 1, 1, 1}, 5.0f, 0.3f);
    return c;
}

} // namespace makedata

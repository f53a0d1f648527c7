// "endscroller.png": the credits that rise from below the window at the end.
// It is 512x1024 texels shown at 800 by 900 window pixels and scrolls at 24
// pixels a second; when the demo ends only its bottom 41 pixels are still in
// view at the top of the window, so the closing line sits right there.
#include <algorithm>
#include <cmath>

#include "Noise.h"
#include "pictures/Pictures.h"

namespace makedata {

namespace {

constexpr float viewW = 800.0f;
constexpr float viewH = 900.0f;
constexpr float centre = viewW * 0.5f;

const Color accent = rgb(0x7fb8ff);
const Color bright = rgb(0xffffff);
const Color soft = rgb(0xc8d2e6);

void line(Canvas& c, const Font& font, const std::string& text, float baseline, float size, float tracking,
          const Color& colour)
{
    Mask m = c.newMask();
    font.drawCentred(m, c, text, centre, baseline, size, tracking);
    c.fill(m, colour);
}

void heading(Canvas& c, const Fonts& fonts, const std::string& text, float baseline)
{
    glowingText(c, fonts.sansBold, text, centre, baseline, 18.0f, 7.0f, accent, accent, 6.0f, 0.5f);
}

void rule(Canvas& c, float y, float halfLength)
{
    Mask m = c.shape([=](float x, float py) { return sdf::box(x, py, centre, y, halfLength, 1.0f); });
    c.fill(m, linear(centre - halfLength, 0, centre + halfLength, 0,
                     {{0.0f, Color{0.5f, 0.7f, 1.0f, 0.0f}},
                      {0.5f, Color{0.6f, 0.8f, 1.0f, 0.9f}},
                      {1.0f, Color{0.5f, 0.7f, 1.0f, 0.0f}}}));
}

void background(Canvas& c)
{
    c.fill(linear(0, 0, 0, viewH,
                  {{0.0f, rgb(0x000000)},
                   {0.08f, rgb(0x070c24)},
                   {0.45f, rgb(0x0b1638)},
                   {0.85f, rgb(0x070b1e)},
                   {1.0f, rgb(0x000000)}}));
    // A faint green veil of northern light near the top.
    c.apply([](Color& p, float x, float y) {
        const float edge =
            150.0f + 40.0f * std::sin(x / 120.0f + 0.5f) + 30.0f * (fbm(x / 160.0f, 0.3f, 3, 81u) - 0.5f);
        const float above = edge - y;
        float a = above >= 0 ? std::exp(-above / 70.0f) : std::exp(-(above * above) / 200.0f);
        a *= 0.5f + 0.6f * fbm(x / 8.0f, y / 200.0f, 2, 82u);
        a *= 0.28f;
        p.r += 0.15f * a;
        p.g += 0.95f * a;
        p.b += 0.6f * a;
    });
    Rng rng(83u);
    Mask stars = c.newMask();
    for (int k = 0; k < 120; ++k) {
        const float sx = rng.range(0, viewW), sy = rng.range(20.0f, viewH - 80.0f);
        const float r = rng.range(0.8f, 1.8f);
        Mask s =
            c.shape([=](float x, float y) { return sdf::circle(x, y, sx, sy, r); }, sx - 3, sy - 3, sx + 3, sy + 3);
        s.scale(rng.range(0.25f, 0.7f));
        stars.unite(s);
    }
    c.fill(stars, rgb(0xdfe8ff));
}

} // namespace

Canvas drawEndScroller(const Fonts& fonts)
{
    Canvas c(512, 1024, viewW, viewH);
    background(c);

    glowingText(c, fonts.sansBold, "BRAKVANE", centre, 116.0f, 68.0f, 8.0f, bright, rgb(0x6fa8ff), 14.0f, 0.9f);
    line(c, fonts.serif, "a demo by Kalvor", 156.0f, 22.0f, 1.0f, soft);
    rule(c, 182.0f, 190.0f);

    heading(c, fonts, "CODE", 236.0f);
    line(c, fonts.sansBold, "Kalvor", 270.0f, 28.0f, 1.0f, bright);

    heading(c, fonts, "PIXELS", 330.0f);
    line(c, fonts.sansBold, "drawn by code, line by line", 364.0f, 24.0f, 0.5f, bright);

    heading(c, fonts, "MUSIC", 424.0f);
    line(c, fonts.sansBold, "\xE2\x80\x9CSkalmtone\xE2\x80\x9D", 458.0f, 28.0f, 1.0f, bright);
    line(c, fonts.sans, "synthesised from scratch", 486.0f, 19.0f, 1.0f, soft);

    heading(c, fonts, "TOOLS", 546.0f);
    line(c, fonts.sans, "C++20  \xC2\xB7  OpenGL  \xC2\xB7  SDL2", 578.0f, 20.0f, 1.0f, soft);
    line(c, fonts.sans, "FreeType  \xC2\xB7  libpng  \xC2\xB7  LAME", 604.0f, 20.0f, 1.0f, soft);

    heading(c, fonts, "GREETINGS", 664.0f);
    line(c, fonts.serif, "to everyone who still makes", 696.0f, 21.0f, 0.5f, soft);
    line(c, fonts.serif, "things run in real time,", 722.0f, 21.0f, 0.5f, soft);
    line(c, fonts.serif, "and to the long winter nights", 748.0f, 21.0f, 0.5f, soft);

    rule(c, 786.0f, 120.0f);
    line(c, fonts.serif, "thanks for watching", 824.0f, 24.0f, 1.0f, bright);

    // The closing line: the last thing in view when the demo ends.
    glowingText(c, fonts.sansBold, "THE END", centre, 886.0f, 30.0f, 10.0f, bright, rgb(0x6fa8ff), 8.0f, 0.9f);
    return c;
}

} // namespace makedata

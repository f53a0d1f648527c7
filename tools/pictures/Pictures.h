// The demo's pictures, each drawn from scratch, and the helpers they share.
#pragma once

#include <cstdint>
#include <string>

#include "pictures/Canvas.h"
#include "pictures/Font.h"

namespace makedata {

struct Fonts {
    explicit Fonts(const std::string& dir);
    bool ok() const;
    Font sans;
    Font sansBold;
    Font serif;
    Font serifBold;
    Font mono;
};

// Window pictures are 1024x512 texels shown at 800x600; the end scroller is
// 512x1024 shown at 800 by 900 (one and a half window heights).
constexpr int pictureWidth = 1024;
constexpr int pictureHeight = 512;
constexpr float windowWidth = 800.0f;
constexpr float windowHeight = 600.0f;

// Where the bars of the opening scene land on the 800x600 window: the centre
// of the horizontal bar and of the vertical bar (x -0.325..-0.185 in device units).
constexpr float crossCentreX = 298.0f;
constexpr float crossCentreY = 300.0f;

Canvas drawDanish(const Fonts& fonts);
Canvas drawTextOverlay(const Fonts& fonts);
// index 1..5: "finnish.png", "finnish2.png" ... "finnish5.png".
Canvas drawFinnish(int index, const Fonts& fonts);
Canvas drawEndScroller(const Fonts& fonts);
// The fourth and fifth pictures of the sequence (LandscapePictures.cpp).
Canvas drawLakes(const Fonts& fonts);
Canvas drawMidnightSun(const Fonts& fonts);

// The program's icon, size x size: the square of the opening picture around
// its cross, as the viewer sees it on screen, averaged down (Icon.cpp).
Canvas drawIcon(const Canvas& opening, int size);

// Shared helpers (PictureKit.cpp).
constexpr float crossHalfWidth = 40.0f; // arms of the sequence's cross
constexpr float rightFieldCentre = (crossCentreX + crossHalfWidth + windowWidth) * 0.5f;
Mask nordicCross(const Canvas& c, float cx, float cy, float halfWidth);
// Soft folds and light variation, as of cloth; strength about 0.1.
void clothShading(Canvas& c, std::uint32_t seed, float strength);
// Darkens towards the corners.
void vignette(Canvas& c, float strength);
// Fine grain, amplitude in colour units (0.02 is subtle).
void grain(Canvas& c, std::uint32_t seed, float amount);
// Small spaced capitals under a title in the right-hand fields.
void seriesSubtitle(Canvas& c, const Fonts& fonts, const std::string& text, float baseline, const Color& colour);
// Text with a soft drop shadow below it.
void shadowedText(Canvas& c, const Font& font, const std::string& text, float centreX, float baseline, float size,
                  float tracking, const Color& fill, const Color& shadow, float blur = 4.0f, float offset = 3.0f);
// Text with a glow of the given colour around it.
void glowingText(Canvas& c, const Font& font, const std::string& text, float centreX, float baseline, float size,
                 float tracking, const Color& fill, const Color& glow, float radius, float glowStrength);

} // namespace makedata

// Test pictures of the timeline and the pixels expected from them.
#include "TimelinePictures.h"

#include "TestFiles.h"

#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>

namespace timelinepictures {

Rgb mix(const Rgb& under, const Rgb& over, double a)
{
    Rgb out{};
    for (std::size_t i = 0; i < 3; ++i)
        out[i] = static_cast<int>(std::lround(under[i] * (1 - a) + over[i] * a));
    return out;
}

double pulse(float t)
{
    return 0.5 * std::sin(static_cast<double>(5.0f * t)) + 0.5;
}

void writeBands(const std::string& path, const std::vector<Rgb>& bands, unsigned width, unsigned bandHeight)
{
    testfiles::PngRecipe recipe{
        .width = width, .height = bandHeight * static_cast<unsigned>(bands.size()), .colorType = 2};
    for (const Rgb& band : bands)
        for (unsigned i = 0; i < width * bandHeight; ++i)
            for (int c : band)
                recipe.samples.push_back(static_cast<std::uint16_t>(c));
    testfiles::writeFile(path, testfiles::encodePng(recipe));
}

void writeStripes(const std::string& path, const Rgb& a, const Rgb& b)
{
    testfiles::PngRecipe recipe{.width = 160, .height = 2, .colorType = 2};
    for (unsigned y = 0; y < 2; ++y)
        for (unsigned x = 0; x < 160; ++x)
            for (int c : (x / 16) % 2 ? b : a)
                recipe.samples.push_back(static_cast<std::uint16_t>(c));
    testfiles::writeFile(path, testfiles::encodePng(recipe));
}

void writeWhite(const std::string& path)
{
    testfiles::PngRecipe recipe{.width = 8, .height = 8, .colorType = 6};
    recipe.samples.assign(8 * 8 * 4, 255);
    testfiles::writeFile(path, testfiles::encodePng(recipe));
}

void writePictures(const std::string& folder)
{
    writeBands(folder + "danish.png", {red, yellow});
    writeWhite(folder + "text.png");
    writeStripes(folder + "finnish.png", green, black);
    writeBands(folder + "finnish2.png", {cyan});
    writeBands(folder + "finnish3.png", {magenta});
    writeBands(folder + "finnish4.png", {grey});
    writeBands(folder + "finnish5.png", {blue});
    writeBands(folder + "endscroller.png", {red, green, blue}, 64, 64);
}

std::vector<Golden> goldenMoments()
{
    const float bars = std::nextafter(10.2f, 100.0f);
    const float lastOpening = std::nextafter(40.1f, 0.0f); // 40.09999847, still the opening
    const float end = std::nextafter(98.9f, 100.0f);
    const double b = pulse(bars);
    const double a = pulse(lastOpening);
    return {
        // Top half red, bottom half yellow: the picture's first row is at the
        // top. (Within half a texel of an edge, filtering with repeat wrapping
        // blends in the opposite edge, so the samples keep off the edges.)
        {5.0f, {{8, 8, red}, {400, 290, red}, {400, 310, yellow}, {791, 591, yellow}}},
        // The bars have no visible size yet; the text covers by the pulse.
        {bars, {{400, 290, mix(red, white, b)}, {400, 310, mix(yellow, white, b)}, {150, 250, mix(red, white, b)}}},
        // Horizontal bar: right edge at x = 0.9734 (pixel 789); vertical bar:
        // bottom edge at y = -0.9734 (pixel 589 from the top), x from -0.325 to -0.185.
        {lastOpening,
         {{700, 300, mix(barBlue, white, a)},
          {787, 315, mix(barBlue, white, a)},
          {792, 315, mix(yellow, white, a)},
          {300, 590, mix(barBlue, white, a)},
          {300, 593, mix(yellow, white, a)},
          {262, 450, mix(yellow, white, a)},
          {280, 450, mix(barBlue, white, a)},
          {332, 450, mix(yellow, white, a)},
          {400, 200, mix(red, white, a)}}},
        // 40.10000229: the sequence, window-sized stripes 80 pixels wide.
        {std::nextafter(40.1f, 100.0f), {{8, 300, green}, {88, 300, black}, {395, 300, green}, {405, 300, black}}},
        {60.0f, {{0, 0, magenta}, {799, 0, magenta}, {0, 599, magenta}, {799, 599, magenta}, {400, 300, magenta}}},
        {68.5f, {{0, 0, black}, {400, 300, black}, {799, 599, black}}},
        // The scroller lies below the window just after 68.5: its top edge is at
        // y = -0.984, four pixel rows above the bottom.
        {68.6f, {{400, 300, black}, {400, 594, black}, {400, 598, red}}},
        // At 81 its top edge reaches the top: red (its top third) over the upper
        // half of the window, green over the lower half.
        {81.0f, {{400, 2, red}, {400, 295, red}, {400, 305, green}, {400, 597, green}}},
        // At the very end its bottom edge is at y = 0.864: blue above, black below.
        {end, {{400, 2, blue}, {400, 37, blue}, {400, 45, black}}},
    };
}

const Golden& goldenAt(float t)
{
    static const std::vector<Golden> moments = goldenMoments();
    for (const Golden& moment : moments)
        if (moment.t == t)
            return moment;
    ADD_FAILURE() << "no golden pixels for t = " << t;
    return moments.front();
}

} // namespace timelinepictures

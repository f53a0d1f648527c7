// The timeline's test pictures and what they look like on screen: pictures in
// colours that tell the schedule's layers apart, the blending the text overlay
// does, and the pixels expected at the moments where the schedule turns. The
// timeline's own tests and the capture's tests check the same pixels.
#pragma once

#include <array>
#include <string>
#include <tuple>
#include <vector>

namespace timelinepictures {

using Rgb = std::array<int, 3>;
inline constexpr Rgb red{255, 0, 0};
inline constexpr Rgb yellow{255, 255, 0};
inline constexpr Rgb green{0, 255, 0};
inline constexpr Rgb blue{0, 0, 255};
inline constexpr Rgb cyan{0, 255, 255};
inline constexpr Rgb magenta{255, 0, 255};
inline constexpr Rgb grey{128, 128, 128};
inline constexpr Rgb black{0, 0, 0};
inline constexpr Rgb white{255, 255, 255};
inline constexpr Rgb barBlue{0, 0, 179}; // 0.7 of full blue

// under covered by over with opacity a, rounded as 8-bit blending rounds.
Rgb mix(const Rgb& under, const Rgb& over, double a);
// The text overlay's opacity at t.
double pulse(float t);

// A picture whose rows, from the top, are bands of the given colours.
void writeBands(const std::string& path, const std::vector<Rgb>& bands, unsigned width = 64, unsigned bandHeight = 32);
// 160 x 2 texels in ten vertical stripes of 16, alternating two colours, so
// that stripe edges show where the picture's columns land on screen.
void writeStripes(const std::string& path, const Rgb& a, const Rgb& b);
// White everywhere, fully opaque: drawn blended, it covers by the pulse alone.
void writeWhite(const std::string& path);

// The pictures of the demo's schedule into folder (ending in "/"): danish red
// over yellow, text opaque white, finnish vertical green and black stripes 80
// pixels wide on screen, finnish2..5 cyan, magenta, grey, blue, endscroller
// red, green, blue bands from the top.
void writePictures(const std::string& folder);

// Pixels of the 800 x 600 frame at a moment where the schedule turns, with a
// spectrum of 0; (x, y) with y counted from the top.
struct Golden {
    float t;
    std::vector<std::tuple<int, int, Rgb>> pixels;
};
std::vector<Golden> goldenMoments();
// The entry for moment t; fails the calling test when there is none.
const Golden& goldenAt(float t);

} // namespace timelinepictures

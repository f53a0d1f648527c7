// Pixel checks of the PNG decoder and of the resampling used for uploads,
// without OpenGL.
#include "assets/PngDecode.h"
#include "TestFiles.h"
#include "assets/ImageScale.h"

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <array>
#include <cmath>

using testfiles::PngRecipe;

namespace {

std::vector<unsigned char> decoded(const PngRecipe& recipe, const PngDecodeOptions& options = {})
{
    const std::vector<unsigned char> file = testfiles::encodePng(recipe);
    PngImage image;
    std::string error;
    EXPECT_TRUE(decodePng(file.data(), file.size(), image, options, &error)) << error;
    EXPECT_EQ(image.width, recipe.width);
    EXPECT_EQ(image.height, recipe.height);
    return {image.pixels.get(), image.pixels.get() + image.byteCount()};
}

using Bytes = std::vector<unsigned char>;

} // namespace

TEST(PngDecode, KeepsRowOrderAndAlphaOfTrueColour)
{
    PngRecipe rgb{.width = 3, .height = 2, .colorType = PNG_COLOR_TYPE_RGB, .samples = {}};
    for (unsigned i = 0; i < 18; ++i)
        rgb.samples.push_back(static_cast<std::uint16_t>(10 * i));
    Bytes expected(rgb.samples.begin(), rgb.samples.end());
    EXPECT_EQ(decoded(rgb), expected); // first row of the file first

    PngRecipe rgba{
        .width = 1, .height = 2, .colorType = PNG_COLOR_TYPE_RGB_ALPHA, .samples = {1, 2, 3, 0, 4, 5, 6, 200}};
    EXPECT_EQ(decoded(rgba), (Bytes{1, 2, 3, 0, 4, 5, 6, 200}));
    EXPECT_EQ(decoded(rgba, {.keepAlpha = false}), (Bytes{1, 2, 3, 4, 5, 6}));

    // Four channels on request: opaque padding where the file has no alpha,
    // the file's own alpha where it has some.
    Bytes padded;
    for (unsigned i = 0; i < 18; i += 3)
        padded.insert(padded.end(), {expected[i], expected[i + 1], expected[i + 2], 255});
    EXPECT_EQ(decoded(rgb, {.fourChannels = true}), padded);
    EXPECT_EQ(decoded(rgba, {.fourChannels = true}), (Bytes{1, 2, 3, 0, 4, 5, 6, 200}));
}

TEST(PngDecode, ExpandsPaletteGreyAndSixteenBitImages)
{
    // tRNS gives alpha to the first two entries; the third stays opaque.
    PngRecipe palette{.width = 3,
                      .height = 1,
                      .colorType = PNG_COLOR_TYPE_PALETTE,
                      .bitDepth = 4,
                      .samples = {2, 0, 1},
                      .palette = {255, 0, 0, 0, 255, 0, 0, 0, 255},
                      .paletteAlpha = {0, 128}};
    EXPECT_EQ(decoded(palette), (Bytes{0, 0, 255, 255, 255, 0, 0, 0, 0, 255, 0, 128}));
    EXPECT_EQ(decoded(palette, {.keepAlpha = false}), (Bytes{0, 0, 255, 255, 0, 0, 0, 255, 0}));

    for (int depth : {1, 2, 4, 8}) {
        const auto top = static_cast<std::uint16_t>((1 << depth) - 1);
        const auto grey = static_cast<unsigned char>(255 / top);
        PngRecipe recipe{
            .width = 2, .height = 1, .colorType = PNG_COLOR_TYPE_GRAY, .bitDepth = depth, .samples = {top, 1}};
        EXPECT_EQ(decoded(recipe), (Bytes{255, 255, 255, grey, grey, grey})) << depth << "-bit grey";
    }
    PngRecipe greyAlpha{.colorType = PNG_COLOR_TYPE_GRAY_ALPHA, .samples = {40, 90}};
    EXPECT_EQ(decoded(greyAlpha), (Bytes{40, 40, 40, 90}));

    PngRecipe deep{.colorType = PNG_COLOR_TYPE_RGB_ALPHA, .bitDepth = 16, .samples = {0xFFFF, 0x0000, 0xABAB, 0x1212}};
    EXPECT_EQ(decoded(deep), (Bytes{0xFF, 0x00, 0xAB, 0x12}));
    PngRecipe deepGrey{.colorType = PNG_COLOR_TYPE_GRAY, .bitDepth = 16, .samples = {0x8080}};
    EXPECT_EQ(decoded(deepGrey), (Bytes{0x80, 0x80, 0x80}));
}

TEST(PngDecode, InterlacedOddSizedImageMatchesPlainOne)
{
    PngRecipe recipe{.width = 7, .height = 5, .colorType = PNG_COLOR_TYPE_RGB_ALPHA};
    for (unsigned i = 0; i < 7 * 5 * 4; ++i)
        recipe.samples.push_back(static_cast<std::uint16_t>((i * 37) % 256));
    const Bytes plain = decoded(recipe);
    EXPECT_EQ(plain, Bytes(recipe.samples.begin(), recipe.samples.end()));
    recipe.interlaced = true;
    EXPECT_EQ(decoded(recipe), plain);
}

TEST(PngDecode, HonoursFileGammaAgainstScreenGamma)
{
    PngRecipe recipe{.width = 2, .colorType = PNG_COLOR_TYPE_GRAY, .samples = {128, 255}};
    EXPECT_EQ(decoded(recipe)[0], 128); // no gAMA: as stored
    recipe.gamma = 1 / 2.2;
    EXPECT_NEAR(decoded(recipe)[0], 128, 1); // already encoded for the screen
    recipe.gamma = 1.0;                      // linear file
    const Bytes linear = decoded(recipe);
    EXPECT_NEAR(linear[0], std::lround(255 * std::pow(128 / 255.0, 1 / 2.2)), 1);
    EXPECT_EQ(linear[3], 255);
}

TEST(PngDecode, RefusesDamagedAndOversizedFilesCleanly)
{
    PngRecipe recipe{.width = 4, .height = 4, .colorType = PNG_COLOR_TYPE_RGB};
    recipe.samples.assign(48, 7);
    const std::vector<unsigned char> file = testfiles::encodePng(recipe);
    PngImage image;
    for (std::size_t length = 0; length < file.size() - 12; ++length) { // short of the IEND chunk
        EXPECT_FALSE(decodePng(file.data(), length, image)) << "cut at " << length;
        EXPECT_FALSE(image.pixels);
        EXPECT_EQ(image.width, 0u);
    }
    const std::string text = "GIF89a, not a PNG at all";
    EXPECT_FALSE(decodePng(reinterpret_cast<const unsigned char*>(text.data()), text.size(), image));

    std::vector<unsigned char> flipped = file;
    flipped[flipped.size() - 20] ^= 0x40; // inside the image data, so its checksum fails
    std::string error;
    EXPECT_FALSE(decodePng(flipped.data(), flipped.size(), image, {}, &error));
    EXPECT_FALSE(error.empty());

    EXPECT_FALSE(decodePng(file.data(), file.size(), image, {.maxPixels = 15}));
    EXPECT_TRUE(decodePng(file.data(), file.size(), image, {.maxPixels = 16}));
}

TEST(ImageScale, FitsSizesToDriverLimits)
{
    struct Case {
        unsigned width, height;
        bool nonPowerOfTwo;
        unsigned maxSize, fitWidth, fitHeight;
    };
    const Case cases[] = {
        {800, 600, true, 2048, 800, 600}, {800, 600, false, 2048, 1024, 1024}, {1024, 1, false, 2048, 1024, 1},
        {5000, 3, true, 4096, 4096, 3},   {5000, 3, false, 4096, 4096, 4},     {3000, 3000, false, 3000, 2048, 2048},
    };
    for (const Case& c : cases) {
        const TextureSize size = fitTextureSize(c.width, c.height, c.nonPowerOfTwo, c.maxSize);
        EXPECT_EQ(size.width, c.fitWidth) << c.width << "x" << c.height;
        EXPECT_EQ(size.height, c.fitHeight) << c.width << "x" << c.height;
    }
}

TEST(ImageScale, AveragesWhenShrinkingAndInterpolatesWhenGrowing)
{
    const unsigned char row[] = {0, 100, 200, 50};
    unsigned char half[2];
    scaleImage(row, 4, 1, 1, half, 2, 1);
    EXPECT_EQ(Bytes(half, half + 2), (Bytes{50, 125}));

    const unsigned char edge[] = {0, 255};
    unsigned char wide[4];
    scaleImage(edge, 1, 2, 1, wide, 1, 4); // vertical axis
    EXPECT_EQ(Bytes(wide, wide + 4), (Bytes{0, 64, 191, 255}));

    // A flat image stays flat through an uneven resize of both axes.
    const std::vector<unsigned char> flat(5 * 3 * 4, 77);
    std::vector<unsigned char> out(8 * 2 * 4);
    scaleImage(flat.data(), 5, 3, 4, out.data(), 8, 2);
    EXPECT_EQ(out, std::vector<unsigned char>(out.size(), 77));
}

TEST(ImageScale, ShrinksVeryTallImagesExactly)
{
    // 3 x 40000 rows, each row one grey value (y % 125) in all channels,
    // shrunk to 3 x 16: every target row averages 2500 whole source rows,
    // twenty full cycles of 0..124, whose mean is 62.
    const unsigned width = 3, height = 40000, channels = 4;
    std::vector<unsigned char> tall(std::size_t{width} * height * channels);
    for (unsigned y = 0; y < height; ++y)
        std::fill_n(tall.begin() + std::ptrdiff_t{y} * width * channels, width * channels,
                    static_cast<unsigned char>(y % 125));
    std::vector<unsigned char> out(std::size_t{width} * 16 * channels);
    ASSERT_TRUE(scaleImage(tall.data(), width, height, channels, out.data(), width, 16));
    EXPECT_EQ(out, std::vector<unsigned char>(out.size(), 62));

    // Growing a short column keeps the ends and interpolates in between, on
    // every row of a wide image alike.
    const unsigned wide = 5000;
    std::vector<unsigned char> twoRows(std::size_t{wide} * 2);
    std::fill_n(twoRows.begin(), wide, 0);
    std::fill_n(twoRows.begin() + wide, wide, 200);
    std::vector<unsigned char> grown(std::size_t{wide} * 4);
    ASSERT_TRUE(scaleImage(twoRows.data(), wide, 2, 1, grown.data(), wide, 4));
    for (unsigned y = 0; y < 4; ++y)
        EXPECT_EQ(std::count(grown.begin() + std::ptrdiff_t{y} * wide, grown.begin() + std::ptrdiff_t{y + 1} * wide,
                             std::array<unsigned char, 4>{0, 50, 150, 200}[y]),
                  wide)
            << "row " << y;
}

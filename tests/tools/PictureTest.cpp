// Tests of the generator's drawing: shapes and text keep their proportions
// through the stretch to the window, and the pictures meet what the timeline
// needs of them (sizes, a transparent overlay, a distinct sequence, a closing
// line where the end scroller stops).
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "pictures/Pictures.h"

using namespace makedata;

namespace {

const std::string fontDir = "/usr/share/fonts/truetype/dejavu";

bool fontsThere()
{
    return std::filesystem::exists(fontDir + "/DejaVuSans-Bold.ttf");
}

bool powerOfTwo(int v)
{
    return v > 0 && (v & (v - 1)) == 0;
}

float brightness(const Color& c)
{
    return (c.r + c.g + c.b) / 3.0f;
}

} // namespace

TEST(MakeDataCanvas, CircleKeepsItsAreaAndRoundnessThroughTheStretch)
{
    // 1024x512 texels shown at 800x600: a circle of radius 50 on screen is an
    // ellipse in the texture, 128 texels wide and about 85 high.
    const Canvas c(1024, 512, 800, 600);
    const Mask m = c.shape([](float x, float y) { return sdf::circle(x, y, 400, 300, 50); });
    double area = 0;
    int left = c.width(), right = -1, top = c.height(), bottom = -1;
    for (int j = 0; j < m.height(); ++j) {
        for (int i = 0; i < m.width(); ++i) {
            area += m.at(i, j);
            if (m.at(i, j) > 0.5f) {
                left = std::min(left, i);
                right = std::max(right, i);
                top = std::min(top, j);
                bottom = std::max(bottom, j);
            }
        }
    }
    const double expected = 3.14159265 * 50 * 50 * (1024.0 / 800.0) * (512.0 / 600.0);
    EXPECT_NEAR(area, expected, expected * 0.01);
    EXPECT_NEAR(right - left + 1, 128, 2);
    EXPECT_NEAR(bottom - top + 1, 85, 2);
}

TEST(MakeDataCanvas, BlendingOverTransparentKeepsTheSourceColour)
{
    Canvas c(4, 4, 4, 4);
    c.fill(solid(Color{1, 1, 1, 0}));
    Mask half(4, 4);
    half.at(1, 1) = 0.5f;
    c.fill(half, Color{1, 1, 1, 1});
    EXPECT_FLOAT_EQ(c.at(1, 1).a, 0.5f);
    EXPECT_FLOAT_EQ(c.at(1, 1).r, 1.0f);
    EXPECT_FLOAT_EQ(c.at(0, 0).a, 0.0f);
}

TEST(MakeDataText, CentredTextIsCentredAndAsWideAsMeasured)
{
    if (!fontsThere())
        GTEST_SKIP() << "fonts-dejavu-core is not installed";
    const Fonts fonts(fontDir);
    ASSERT_TRUE(fonts.ok());
    const Canvas c(1024, 512, 800, 600);
    Mask m = c.newMask();
    fonts.sansBold.drawCentred(m, c, "BRAKVANE", 400.0f, 300.0f, 60.0f);
    double mass = 0, sumX = 0;
    int left = c.width(), right = -1;
    for (int j = 0; j < m.height(); ++j) {
        for (int i = 0; i < m.width(); ++i) {
            mass += m.at(i, j);
            sumX += m.at(i, j) * i;
            if (m.at(i, j) > 0.5f) {
                left = std::min(left, i);
                right = std::max(right, i);
            }
        }
    }
    ASSERT_GT(mass, 0);
    EXPECT_NEAR(sumX / mass, 512.0, 12.0);
    const float measured = fonts.sansBold.measure(c, "BRAKVANE", 60.0f) * c.texelsPerViewX();
    EXPECT_NEAR(right - left + 1, measured, measured * 0.08f);
}

TEST(MakeDataPictures, OverlayIsWhiteLetteringOnTransparency)
{
    if (!fontsThere())
        GTEST_SKIP() << "fonts-dejavu-core is not installed";
    Canvas c = drawTextOverlay(Fonts(fontDir));
    EXPECT_TRUE(powerOfTwo(c.width()) && powerOfTwo(c.height()));
    size_t covered = 0;
    for (int j = 0; j < c.height(); ++j) {
        for (int i = 0; i < c.width(); ++i) {
            const Color& p = c.at(i, j);
            if (p.a > 0.01f) {
                ++covered;
                EXPECT_GT(brightness(p), 0.99f) << "at " << i << "," << j;
            }
        }
    }
    EXPECT_EQ(c.at(0, 0).a, 0.0f);
    const double share = static_cast<double>(covered) / (c.width() * c.height());
    EXPECT_GT(share, 0.01);
    EXPECT_LT(share, 0.4);
}

TEST(MakeDataPictures, SequencePicturesDifferClearlyFromOneAnother)
{
    if (!fontsThere())
        GTEST_SKIP() << "fonts-dejavu-core is not installed";
    const Fonts fonts(fontDir);
    std::vector<Canvas> seq;
    for (int i = 1; i <= 5; ++i) {
        seq.push_back(drawFinnish(i, fonts));
        EXPECT_TRUE(powerOfTwo(seq.back().width()) && powerOfTwo(seq.back().height()));
    }
    for (size_t a = 0; a + 1 < seq.size(); ++a) {
        double diff = 0;
        for (int j = 0; j < seq[a].height(); j += 2)
            for (int i = 0; i < seq[a].width(); i += 2)
                diff += std::fabs(brightness(seq[a].at(i, j)) - brightness(seq[a + 1].at(i, j)));
        diff /= (seq[a].width() / 2) * (seq[a].height() / 2);
        EXPECT_GT(diff, 0.08) << "pictures " << a + 1 << " and " << a + 2;
    }
}

TEST(MakeDataPictures, EndScrollerClosesInItsLastRowsAndEntersFromBlack)
{
    if (!fontsThere())
        GTEST_SKIP() << "fonts-dejavu-core is not installed";
    Canvas c = drawEndScroller(Fonts(fontDir));
    EXPECT_TRUE(powerOfTwo(c.width()) && powerOfTwo(c.height()));
    EXPECT_EQ(c.height(), 2 * c.width());
    auto brightest = [&](int from, int to) {
        float best = 0;
        for (int j = from; j < to; ++j)
            for (int i = 0; i < c.width(); ++i)
                best = std::max(best, brightness(c.at(i, j)));
        return best;
    };
    // When the demo ends only the bottom 4.5% is still in view: the closing line is there.
    const int lastRows = static_cast<int>(c.height() * 0.045);
    EXPECT_GT(brightest(c.height() - lastRows, c.height()), 0.8f);
    EXPECT_LT(brightest(0, 4), 0.05f);
    EXPECT_LT(brightest(c.height() - 2, c.height()), 0.05f);
}

TEST(MakeDataPictures, IconIsTheOpeningsCrossAtEverySize)
{
    if (!fontsThere())
        GTEST_SKIP() << "fonts-dejavu-core is not installed";
    const Fonts fonts(fontDir);
    const Canvas opening = drawDanish(fonts);
    for (int size : {16, 48, 256}) {
        const Canvas icon = drawIcon(opening, size);
        ASSERT_EQ(icon.width(), size);
        ASSERT_EQ(icon.height(), size);
        // The light cross through the middle, red fields in the corners.
        const Color& centre = icon.at(size / 2, size / 2);
        EXPECT_GT(brightness(centre), 0.8f) << size;
        for (const auto& [x, y] :
             {std::pair{1, 1}, std::pair{size - 2, 1}, std::pair{1, size - 2}, std::pair{size - 2, size - 2}}) {
            const Color& corner = icon.at(x, y);
            EXPECT_GT(corner.r, 0.5f) << size;
            EXPECT_LT(corner.g, 0.3f) << size;
            EXPECT_LT(corner.b, 0.35f) << size;
            EXPECT_EQ(corner.a, 1.0f);
        }
    }
}

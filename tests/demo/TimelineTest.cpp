// The timeline at the moments where its schedule turns, drawn through the
// demo's own window (and its offscreen frame) with pictures of known colours,
// checked pixel by pixel.
#include "XServer.h"
#include "TestFiles.h"
#include "demo/Timeline.h"
#include "display/GLWindow.h"

#include <array>
#include <cmath>
#include <gtest/gtest.h>

using namespace testsupport;

namespace {

using Rgb = std::array<int, 3>;
constexpr Rgb red{255, 0, 0};
constexpr Rgb yellow{255, 255, 0};
constexpr Rgb green{0, 255, 0};
constexpr Rgb blue{0, 0, 255};
constexpr Rgb cyan{0, 255, 255};
constexpr Rgb magenta{255, 0, 255};
constexpr Rgb grey{128, 128, 128};
constexpr Rgb black{0, 0, 0};
constexpr Rgb barBlue{0, 0, 179};  // 0.7 of full blue

// A picture whose rows, from the top, are bands of the given colours.
void writeBands(const std::string& path, const std::vector<Rgb>& bands, unsigned width = 64, unsigned bandHeight = 32)
{
    testfiles::PngRecipe spec{.width = width, .height = bandHeight * static_cast<unsigned>(bands.size()), .colorType = 2};
    for (const Rgb& band : bands)
        for (unsigned i = 0; i < width * bandHeight; ++i)
            for (int c : band)
                spec.samples.push_back(static_cast<uint16_t>(c));
    testfiles::writeFile(path, testfiles::encodePng(spec));
}

// 160 x 2 texels in ten vertical stripes of 16, alternating two colours, so
// that stripe edges show where the picture's columns land on screen.
void writeStripes(const std::string& path, const Rgb& a, const Rgb& b)
{
    testfiles::PngRecipe spec{.width = 160, .height = 2, .colorType = 2};
    for (unsigned y = 0; y < 2; ++y)
        for (unsigned x = 0; x < 160; ++x)
            for (int c : (x / 16) % 2 ? b : a)
                spec.samples.push_back(static_cast<uint16_t>(c));
    testfiles::writeFile(path, testfiles::encodePng(spec));
}

// White everywhere, fully opaque: drawn blended, it covers by the pulse alone.
void writeWhite(const std::string& path)
{
    testfiles::PngRecipe spec{.width = 8, .height = 8, .colorType = 6};
    spec.samples.assign(8 * 8 * 4, 255);
    testfiles::writeFile(path, testfiles::encodePng(spec));
}

Rgb mix(const Rgb& under, const Rgb& over, double a)
{
    Rgb out{};
    for (int i = 0; i < 3; ++i)
        out[static_cast<size_t>(i)] = static_cast<int>(std::lround(under[static_cast<size_t>(i)] * (1 - a) + over[static_cast<size_t>(i)] * a));
    return out;
}

double pulse(float t)
{
    return 0.5 * std::sin(static_cast<double>(5.0f * t)) + 0.5;
}

class Timeline : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        server = std::make_unique<XServer>(800, 600);
        server->exportDisplay();
        window = std::make_unique<GLWindow>(800, 600, 32, false, "timeline test");
    }
    static void TearDownTestSuite()
    {
        window.reset();
        server.reset();
    }

    void SetUp() override
    {
        ASSERT_NE(window->hWnd, nullptr);
        writeBands(dir.prefix() + "danish.png", {red, yellow});
        writeWhite(dir.prefix() + "text.png");
        writeStripes(dir.prefix() + "finnish.png", green, black);
        writeBands(dir.prefix() + "finnish2.png", {cyan});
        writeBands(dir.prefix() + "finnish3.png", {magenta});
        writeBands(dir.prefix() + "finnish4.png", {grey});
        writeBands(dir.prefix() + "finnish5.png", {blue});
        writeBands(dir.prefix() + "endscroller.png", {red, green, blue}, 64, 64);
    }

    // Loads the pictures written so far and draws moment t as a frame does.
    void draw(float t, float spectrum0 = 0)
    {
        if (!textures) {
            textures = std::make_unique<ResourceCache<Texture>>();
            textures->loadDirectory(dir.prefix());
        }
        clearFrame();
        drawScene(t, spectrum0, *textures);
        glFinish();
    }

    // The pixel at (x, y), y counted from the top of the window.
    static Rgb at(int x, int y)
    {
        unsigned char p[4] = {};
        glReadPixels(x, 599 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
        return {p[0], p[1], p[2]};
    }

    static void expectNear(const Rgb& actual, const Rgb& expected, int x, int y)
    {
        for (size_t i = 0; i < 3; ++i)
            EXPECT_NEAR(actual[i], expected[i], 3) << "at (" << x << ", " << y << ") channel " << i;
    }
    static void expectAt(int x, int y, const Rgb& expected) { expectNear(at(x, y), expected, x, y); }

    testfiles::TempDir dir;
    std::unique_ptr<ResourceCache<Texture>> textures;
    static std::unique_ptr<XServer> server;
    static std::unique_ptr<GLWindow> window;
};

std::unique_ptr<XServer> Timeline::server;
std::unique_ptr<GLWindow> Timeline::window;

} // namespace

TEST_F(Timeline, UpTo10Point2OnlyTheFirstPictureIsSeenInItsOwnColours)
{
    for (float t : {-3.0f, 0.0f, 5.0f, 10.2f}) {
        SCOPED_TRACE(t);
        draw(t);
        // Top half red, bottom half yellow: the picture's first row is at the
        // top. (Within half a texel of an edge, filtering with repeat wrapping
        // blends in the opposite edge, so the samples keep off the edges.)
        for (int x : {8, 400, 791}) {
            expectAt(x, 8, red);
            expectAt(x, 290, red);
            expectAt(x, 310, yellow);
            expectAt(x, 591, yellow);
        }
    }
}

TEST_F(Timeline, JustAfter10Point2TheBarsStartAndTheTextPulses)
{
    float t = std::nextafter(10.2f, 100.0f);
    draw(t);
    double a = pulse(t);
    // The bars have no visible size yet; the text covers by the pulse.
    expectAt(400, 290, mix(red, {255, 255, 255}, a));
    expectAt(400, 310, mix(yellow, {255, 255, 255}, a));
    expectAt(150, 250, mix(red, {255, 255, 255}, a));
}

TEST_F(Timeline, TheBarsGrowUntilTheLastOpeningFrame)
{
    float last = std::nextafter(40.1f, 0.0f);  // 40.09999847, still the opening
    ASSERT_LT(static_cast<double>(last), 40.1);
    draw(last);
    double a = pulse(last);
    const Rgb white{255, 255, 255};
    // Horizontal bar: right edge at x = 0.9734 (pixel 789); vertical bar:
    // bottom edge at y = -0.9734 (pixel 589 from the top), x from -0.325 to -0.185.
    expectAt(700, 300, mix(barBlue, white, a));
    expectAt(787, 315, mix(barBlue, white, a));
    expectAt(792, 315, mix(yellow, white, a));
    expectAt(300, 590, mix(barBlue, white, a));
    expectAt(300, 593, mix(yellow, white, a));
    expectAt(262, 450, mix(yellow, white, a));  // just left of the vertical bar
    expectAt(280, 450, mix(barBlue, white, a));
    expectAt(332, 450, mix(yellow, white, a));  // just right of it
    expectAt(400, 200, mix(red, white, a));

    float next = std::nextafter(40.1f, 100.0f);  // 40.10000229, the sequence
    ASSERT_GT(static_cast<double>(next), 40.1);
    draw(next);
    expectAt(8, 300, green);
    expectAt(88, 300, black);
}

TEST_F(Timeline, At60TheThirdPictureIsSeenAtWindowSize)
{
    draw(60.0f, 0.0f);
    for (auto [x, y] : std::array<std::pair<int, int>, 5>{{{0, 0}, {799, 0}, {0, 599}, {799, 599}, {400, 300}}})
        expectAt(x, y, magenta);
}

TEST_F(Timeline, EachCutOfTheSequenceShowsItsPicture)
{
    struct Moment {
        float t;
        Rgb seen;
    };
    for (Moment m : {Moment{54.7f, green}, Moment{54.9f, cyan}, Moment{58.3f, magenta}, Moment{62.3f, grey},
                     Moment{65.9f, blue}, Moment{68.4f, blue}}) {
        SCOPED_TRACE(m.t);
        draw(m.t);
        expectAt(8, 300, m.seen);
    }
}

TEST_F(Timeline, TheSpectrumScalesTheSequenceAboutTheCentre)
{
    // Window-sized: stripes are 80 pixels wide, the sixth starts at x = 400.
    draw(45.0f, 0.0f);
    expectAt(395, 300, green);
    expectAt(405, 300, black);
    expectAt(476, 300, black);
    expectAt(484, 300, green);
    // Scaled by 1.1: the centre stays, the edge at x = 480 moves out to 488.
    draw(45.0f, 0.5f);
    expectAt(395, 300, green);
    expectAt(405, 300, black);
    expectAt(484, 300, black);
    expectAt(492, 300, green);
    // The leftmost stripe now spans x = -1.1 to -0.88: it ends at pixel 48, not 80.
    expectAt(44, 300, green);
    expectAt(52, 300, black);
}

TEST_F(Timeline, At68Point5ExactlyTheFrameIsBlack)
{
    draw(68.5f);
    for (auto [x, y] : std::array<std::pair<int, int>, 3>{{{0, 0}, {400, 300}, {799, 599}}})
        expectAt(x, y, black);
}

TEST_F(Timeline, TheScrollerRisesFromBelowTheWindow)
{
    // Just after 68.5 it lies below the window: at 68.6 its top edge is at
    // y = -0.984, four pixel rows above the bottom.
    draw(68.6f);
    expectAt(400, 300, black);
    expectAt(400, 594, black);
    expectAt(400, 598, red);
    // At 81 its top edge reaches the top: red (its top third) over the upper
    // half of the window, green over the lower half.
    draw(81.0f);
    expectAt(400, 2, red);
    expectAt(400, 295, red);
    expectAt(400, 305, green);
    expectAt(400, 597, green);
    // At the very end its bottom edge is at y = 0.864: blue above, black below.
    float end = std::nextafter(98.9f, 100.0f);
    draw(end);
    expectAt(400, 2, blue);
    expectAt(400, 37, blue);
    expectAt(400, 45, black);
}

TEST_F(Timeline, TheScheduleEndsJustAfterTheSinglePrecision98Point9)
{
    EXPECT_FALSE(timelineOver(98.9f));
    EXPECT_TRUE(timelineOver(std::nextafter(98.9f, 100.0f)));
    EXPECT_FALSE(timelineOver(68.5f));
}

TEST_F(Timeline, StateLeftForLaterFrames)
{
    glEnable(GL_DEPTH_TEST);
    draw(20.0f);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    draw(50.0f, 0.7f);
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST)) << "the sequence turns depth testing off";
    GLfloat matrix[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, matrix);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(matrix[i], (i % 5 == 0) ? 1.0f : 0.0f) << "model-view matrix back to identity";
    draw(20.0f);
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST)) << "nothing turns it on again";
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_EQ(colour[0], 1.0f);
    EXPECT_EQ(colour[1], 1.0f);
    EXPECT_EQ(colour[2], 1.0f);
}

TEST_F(Timeline, MissingPicturesAreLeftOutAndTheRestIsDrawn)
{
    std::remove((dir.prefix() + "finnish3.png").c_str());
    std::remove((dir.prefix() + "danish.png").c_str());
    draw(60.0f);
    expectAt(400, 300, cyan);  // the picture before it stays in view
    draw(20.0f);
    // No picture under the bars and the text: black, the bars, and the text's pulse.
    double a = pulse(20.0f);
    expectAt(600, 150, mix(black, {255, 255, 255}, a));
    expectAt(100, 300, mix(barBlue, {255, 255, 255}, a));
}

// The timeline at the moments where its schedule turns, drawn through the
// demo's own window (and its offscreen frame) with pictures of known colours,
// checked pixel by pixel.
#include "demo/Timeline.h"
#include "TestFiles.h"
#include "TimelinePictures.h"
#include "XServer.h"
#include "demo/DemoFrames.h"
#include "display/GLWindow.h"

#include <array>
#include <cmath>
#include <gtest/gtest.h>

using namespace testsupport;
using namespace timelinepictures;

namespace {

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
        writePictures(dir.prefix());
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
    // Draws moment t and checks every pixel the schedule's table gives for it.
    void expectGolden(float t)
    {
        SCOPED_TRACE(t);
        draw(t);
        for (const auto& [x, y, colour] : goldenAt(t).pixels)
            expectAt(x, y, colour);
    }

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
    expectGolden(std::nextafter(10.2f, 100.0f));
}

TEST_F(Timeline, TheBarsGrowUntilTheLastOpeningFrame)
{
    const float last = std::nextafter(40.1f, 0.0f); // 40.09999847, still the opening
    ASSERT_LT(static_cast<double>(last), 40.1);
    expectGolden(last);

    const float next = std::nextafter(40.1f, 100.0f); // 40.10000229, the sequence
    ASSERT_GT(static_cast<double>(next), 40.1);
    expectGolden(next);
}

TEST_F(Timeline, At60TheThirdPictureIsSeenAtWindowSize)
{
    expectGolden(60.0f);
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
    expectGolden(68.5f);
}

TEST_F(Timeline, TheScrollerRisesFromBelowTheWindow)
{
    expectGolden(68.6f);
    expectGolden(81.0f);
    expectGolden(std::nextafter(98.9f, 100.0f));
}

TEST_F(Timeline, TheScheduleEndsJustAfterTheSinglePrecision98Point9)
{
    EXPECT_FALSE(DemoFrames::over(98.9f));
    EXPECT_TRUE(DemoFrames::over(std::nextafter(98.9f, 100.0f)));
    EXPECT_FALSE(DemoFrames::over(68.5f));
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
    expectAt(400, 300, cyan); // the picture before it stays in view
    draw(20.0f);
    // No picture under the bars and the text: black, the bars, and the text's pulse.
    double a = pulse(20.0f);
    expectAt(600, 150, mix(black, {255, 255, 255}, a));
    expectAt(100, 300, mix(barBlue, {255, 255, 255}, a));
}

TEST_F(Timeline, PicturesHeldWithoutATextureAreLeftOutLikeMissingOnes)
{
    // A good file that could not be uploaded stays in the cache with texture
    // name 0; it must not be drawn as an untextured white quad.
    draw(60.0f);
    for (const char* name : {"finnish3.png", "danish.png"}) {
        Texture* texture = textures->get(name);
        ASSERT_NE(texture, nullptr) << name;
        glDeleteTextures(1, &texture->textureName);
        texture->textureName = 0;
    }
    draw(60.0f);
    expectAt(400, 300, cyan); // the picture before it stays in view
    draw(20.0f);
    double a = pulse(20.0f);
    expectAt(600, 150, mix(black, {255, 255, 255}, a));
    expectAt(100, 300, mix(barBlue, {255, 255, 255}, a));
}

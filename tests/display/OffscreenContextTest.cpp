// The offscreen context of the offline renderer, with no display server: the
// state it starts in, its frames with and without depth and stencil, and the
// report of a frame drawn with a test its buffers cannot honour.
#include "display/OffscreenContext.h"
#include "GLStateChecks.h"
#include "TestFiles.h"
#include "TimelinePictures.h"
#include "demo/Timeline.h"

#include <cmath>
#include <gtest/gtest.h>
#include <vector>

using namespace timelinepictures;

namespace {

std::vector<unsigned char> drawAndRead(OffscreenContext& gl, const ResourceCache<Texture>& textures, float t,
                                       float spectrum0)
{
    std::vector<unsigned char> rgb(800 * 600 * 3);
    gl.beginFrame();
    clearFrame();
    drawScene(t, spectrum0, textures);
    EXPECT_TRUE(gl.readFrame(rgb.data()));
    return rgb;
}

Rgb at(const std::vector<unsigned char>& rgb, int x, int y)
{
    const std::size_t i = (static_cast<std::size_t>(y) * 800 + static_cast<std::size_t>(x)) * 3;
    return {rgb[i], rgb[i + 1], rgb[i + 2]};
}

} // namespace

TEST(OffscreenContext, StartsInTheWindowsStateWithDepthAndStencil)
{
    OffscreenContext gl(800, 600);
    ASSERT_TRUE(gl.ok()) << gl.error();
    testsupport::expectInitialGLState(800, 600);

    gl.beginFrame();
    testsupport::expectDepthAndStencil();

    // The depth buffer works: a nearer quad drawn first hides a farther one.
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    for (const float z : {-0.5f, 0.5f}) {
        glColor3f(z < 0 ? 1 : 0, z < 0 ? 0 : 1, 0);
        glBegin(GL_QUADS);
        glVertex3f(-1, -1, z);
        glVertex3f(1, -1, z);
        glVertex3f(1, 1, z);
        glVertex3f(-1, 1, z);
        glEnd();
    }
    std::vector<unsigned char> rgb(800 * 600 * 3);
    ASSERT_TRUE(gl.readFrame(rgb.data()));
    EXPECT_EQ(at(rgb, 400, 300), red);
}

TEST(OffscreenContext, FramesWithoutDepthAndStencilAreTheSamePictures)
{
    // Two contexts in turn, one always on the full frame, over a run of the
    // whole schedule; the fast frame must give the very same bytes.
    testfiles::TempDir dir;
    writePictures(dir.prefix());
    const float moments[] = {5, 10.3f, 25.5f, 40.2f, 47.3f, 55, 59.9f, 63, 67, 68.5f, 70, 81, 90.25f, 99};
    std::vector<std::vector<unsigned char>> frames[2];
    for (int pass = 0; pass < 2; ++pass) {
        OffscreenContext gl(800, 600);
        ASSERT_TRUE(gl.ok()) << gl.error();
        gl.fullFrameOnly = pass == 0;
        ResourceCache<Texture> textures;
        textures.loadDirectory(dir.prefix());
        for (float t : moments)
            frames[pass].push_back(drawAndRead(gl, textures, t, 0.37f * std::sin(t)));
    }
    for (std::size_t i = 0; i < std::size(moments); ++i)
        EXPECT_TRUE(frames[0][i] == frames[1][i]) << "differs at t = " << moments[i];
    // And the pictures are those of the schedule, the top row first.
    EXPECT_EQ(at(frames[1][0], 400, 100), red);
    EXPECT_EQ(at(frames[1][0], 400, 500), yellow);
    EXPECT_EQ(at(frames[1][11], 400, 100), red);
    EXPECT_EQ(at(frames[1][11], 400, 500), green);
}

TEST(OffscreenContext, AFrameWithoutDepthThatTurnsDepthTestingOnIsReported)
{
    OffscreenContext gl(800, 600);
    ASSERT_TRUE(gl.ok()) << gl.error();
    glDisable(GL_DEPTH_TEST);
    gl.beginFrame();
    glEnable(GL_DEPTH_TEST);
    std::vector<unsigned char> rgb(800 * 600 * 3);
    EXPECT_FALSE(gl.readFrame(rgb.data()));
    // Begun with depth testing on, the frame has its depth buffer.
    gl.beginFrame();
    EXPECT_TRUE(gl.readFrame(rgb.data()));
}

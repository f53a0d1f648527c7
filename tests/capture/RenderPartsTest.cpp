// The capture's own pieces of rendering, in-process: the offscreen context's
// state and frames, the whole-track spectrum, and PNG encoding.
#include "CaptureFixture.h"
#include "GLStateChecks.h"
#include "TestTracks.h"
#include "assets/PngEncode.h"
#include "audio/TrackSpectrum.h"
#include "demo/Timeline.h"
#include "display/OffscreenContext.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>

using namespace capturetest;

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
    GLint depthBits = 0;
    GLint stencilBits = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    glGetIntegerv(GL_STENCIL_BITS, &stencilBits);
    EXPECT_GE(depthBits, 16);
    EXPECT_EQ(stencilBits, 8);

    // The depth buffer works: a nearer quad drawn first hides a farther one.
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glColor3f(1, 0, 0);
    glBegin(GL_QUADS);
    glVertex3f(-1, -1, -0.5f);
    glVertex3f(1, -1, -0.5f);
    glVertex3f(1, 1, -0.5f);
    glVertex3f(-1, 1, -0.5f);
    glEnd();
    glColor3f(0, 1, 0);
    glBegin(GL_QUADS);
    glVertex3f(-1, -1, 0.5f);
    glVertex3f(1, -1, 0.5f);
    glVertex3f(1, 1, 0.5f);
    glVertex3f(-1, 1, 0.5f);
    glEnd();
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

TEST(TrackSpectrum, TheSpectrumAtTIsThatOfThe512FramesEndingAtT)
{
    // Silence, then from exactly 1 s a tone centred on bin 20 at 0.6 of full scale.
    testtracks::TrackDirectory tracks;
    const std::string path = tracks.makeMp3("onset", 44100, 2, 2.0, [](int frame, int channel, int rate) {
        return frame >= rate ? testtracks::tone(20, 0.6)(frame, channel, rate) : 0.0;
    });
    ASSERT_FALSE(path.empty());
    TrackSpectrum track;
    ASSERT_TRUE(track.load(path));
    EXPECT_NEAR(static_cast<double>(track.frameCount()), 2.0 * 44100, 1.0);

    float bins[FrequencyAnalyser::binCount];
    track.spectrumAt(0.99, bins);
    EXPECT_LT(bins[20], 0.01f) << "all 512 frames before the onset";
    track.spectrumAt(1.0 + 512.0 / 44100 + 0.001, bins);
    EXPECT_NEAR(bins[20], 0.3, 0.02) << "all 512 frames after it: half the amplitude";
    track.spectrumAt(1.0 + 256.0 / 44100, bins);
    EXPECT_GT(bins[20], 0.05f) << "half the frames after it";
    EXPECT_LT(bins[20], 0.25f);

    // Outside the track: silence, never a crash.
    for (double t : {-5.0, 0.0, 2.5, 1e300, -1e300, std::nan("")}) {
        track.spectrumAt(t, bins);
        EXPECT_EQ(bins[20], 0.0f) << t;
    }
}

TEST(TrackSpectrum, OtherRatesAndMonoAreConvertedLikePlayback)
{
    testtracks::TrackDirectory tracks;
    const std::string path = tracks.makeMp3("mono", 22050, 1, 1.5, testtracks::tone(12, 0.6));
    ASSERT_FALSE(path.empty());
    TrackSpectrum track;
    ASSERT_TRUE(track.load(path));
    EXPECT_NEAR(static_cast<double>(track.frameCount()), 1.5 * 44100, 64.0);
    float bins[FrequencyAnalyser::binCount];
    track.spectrumAt(0.75, bins);
    EXPECT_NEAR(bins[12], 0.3, 0.03);

    // Decoding stops where it is no longer needed.
    TrackSpectrum part;
    ASSERT_TRUE(part.load(path, 0.5));
    EXPECT_NEAR(static_cast<double>(part.frameCount()), 0.5 * 44100, 2.0);
}

TEST(TrackSpectrum, UnreadableFilesLoadNothing)
{
    testtracks::TrackDirectory tracks;
    TrackSpectrum track;
    EXPECT_FALSE(track.load(tracks.file("missing.mp3")));
    EXPECT_FALSE(track.load(tracks.writeFile("text.mp3", std::string(5000, 'x'))));
    EXPECT_EQ(track.frameCount(), 0);
    std::int16_t frames[8];
    track.copyFrames(-2, 4, frames);
    for (std::int16_t sample : frames)
        EXPECT_EQ(sample, 0);
}

TEST(PngEncode, RoundTripsThroughTheDecoderAndIsRepeatable)
{
    for (unsigned channels : {3u, 4u}) {
        PngImage image;
        image.width = 37;
        image.height = 11;
        image.channels = channels;
        image.pixels = std::make_unique<unsigned char[]>(image.byteCount());
        for (std::size_t i = 0; i < image.byteCount(); ++i)
            image.pixels[i] = static_cast<unsigned char>(i * 7 + i / 13);
        std::vector<unsigned char> png;
        ASSERT_TRUE(encodePng(image, png));
        PngImage back;
        ASSERT_TRUE(decodePng(png.data(), png.size(), back));
        EXPECT_EQ(back.width, 37u);
        EXPECT_EQ(back.height, 11u);
        ASSERT_EQ(back.channels, channels);
        EXPECT_EQ(0, std::memcmp(back.pixels.get(), image.pixels.get(), image.byteCount()));

        std::vector<unsigned char> again;
        ASSERT_TRUE(encodePng(image, again, pngDefaultCompression));
        EXPECT_EQ(png, again);
    }
    std::vector<unsigned char> out{1, 2};
    const unsigned char pixel[4] = {};
    EXPECT_FALSE(encodePng(pixel, 0, 1, 3, out));
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(encodePng(pixel, 1, 1, 2, out));
    EXPECT_FALSE(encodePng(nullptr, 1, 1, 3, out));
}

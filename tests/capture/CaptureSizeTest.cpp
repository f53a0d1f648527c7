// Frames of other sizes than the demo's 800 x 600: the 4:3 picture centred on
// black bars, drawn at its own size rather than scaled, compared pixel by
// pixel with the demo's timeline drawn in-process at that size and with the
// 800 x 600 frame where the two should agree.
#include "CaptureFixture.h"
#include "demo/Timeline.h"
#include "display/OffscreenContext.h"

#include <cstdio>
#include <gtest/gtest.h>

using namespace capturetest;

namespace {

struct Area {
    int width, height;   // the frame
    int left, top, w, h; // the picture in it
};

// The demo's timeline drawn in a fresh context of width x height, as the
// first frame of a capture is; RGB, the top row first.
std::vector<unsigned char> drawnInProcess(const std::string& textureFolder, int width, int height, float t)
{
    std::vector<unsigned char> rgb(static_cast<std::size_t>(width) * height * 3);
    OffscreenContext gl(width, height);
    EXPECT_TRUE(gl.ok()) << gl.error();
    ResourceCache<Texture> textures;
    textures.loadDirectory(textureFolder);
    gl.beginFrame();
    clearFrame();
    drawScene(t, 0, textures);
    EXPECT_TRUE(gl.readFrame(rgb.data()));
    return rgb;
}

Rgb at(const std::vector<unsigned char>& rgb, int width, int x, int y)
{
    const std::size_t i = (static_cast<std::size_t>(y) * width + static_cast<std::size_t>(x)) * 3;
    return {rgb[i], rgb[i + 1], rgb[i + 2]};
}

// The 800 x 600 frame is flat around (x, y): the nine pixels there are alike.
bool flatAround(const PngImage& frame, int x, int y)
{
    const Rgb centre = pixel(frame, x, y);
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (pixel(frame, std::clamp(x + dx, 0, 799), std::clamp(y + dy, 0, 599)) != centre)
                return false;
    return true;
}

} // namespace

TEST(CaptureSize, OtherSizesCentreThePictureDrawnAtItsOwnSizeOnBlackBars)
{
    Workspace work;
    const std::string textures = work.file("data/textures/");
    const Area areas[] = {
        {1920, 1080, 240, 0, 1440, 1080}, // pillar-box
        {1024, 1024, 0, 128, 1024, 768},  // letter-box
        {1000, 600, 100, 0, 800, 600},    // the demo's own size, bars beside it
    };
    // The opening, with its bars and text; the stripes of the sequence; the
    // end scroller's bands.
    for (const char* moment : {"5", "25.3", "40.2", "81"}) {
        SCOPED_TRACE(std::string("t = ") + moment);
        const float t = std::strtof(moment, nullptr);
        CaptureRun run = capture(work.path(), {"--at", moment, "reference.png"});
        ASSERT_EQ(run.status, 0) << run.err;
        const PngImage reference = readPng(work.file("reference.png"));
        ASSERT_EQ(reference.width, 800u);

        for (const Area& a : areas) {
            const std::string size = std::to_string(a.width) + "x" + std::to_string(a.height);
            SCOPED_TRACE(size);
            run = capture(work.path(), {"--size", size, "--at", moment, "sized.png"});
            ASSERT_EQ(run.status, 0) << run.err;
            const PngImage frame = readPng(work.file("sized.png"));
            ASSERT_EQ(frame.width, static_cast<unsigned>(a.width));
            ASSERT_EQ(frame.height, static_cast<unsigned>(a.height));
            const std::vector<unsigned char> own = drawnInProcess(textures, a.w, a.h, t);

            int barsNotBlack = 0;
            int unlikeOwn = 0;
            int unlikeReference = 0;
            int compared = 0;
            for (int y = 0; y < a.height; ++y)
                for (int x = 0; x < a.width; ++x) {
                    const Rgb p = pixel(frame, x, y);
                    const int px = x - a.left;
                    const int py = y - a.top;
                    if (px < 0 || py < 0 || px >= a.w || py >= a.h) {
                        barsNotBlack += p != black;
                        continue;
                    }
                    unlikeOwn += p != at(own, a.w, px, py);
                    // The 800 x 600 pixel whose area holds this pixel's centre.
                    const int rx = static_cast<int>((px + 0.5) * 800 / a.w);
                    const int ry = static_cast<int>((py + 0.5) * 600 / a.h);
                    if (flatAround(reference, rx, ry)) {
                        ++compared;
                        unlikeReference += p != pixel(reference, rx, ry);
                    }
                }
            EXPECT_EQ(barsNotBlack, 0);
            EXPECT_EQ(unlikeOwn, 0) << "pixels unlike the timeline drawn at " << a.w << "x" << a.h;
            EXPECT_EQ(unlikeReference, 0) << "of " << compared << " where the 800 x 600 frame is flat";
            EXPECT_GT(compared, a.w * a.h * 3 / 4);
        }
    }
}

TEST(CaptureSize, BadOrUndrawableSizesAreBadUsage)
{
    Workspace work;
    OffscreenContext probe(16, 16);
    ASSERT_TRUE(probe.ok()) << probe.error();
    const std::string tooWide = std::to_string(probe.largestSide() + 2) + "x600";
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--size", "800", "x"},
             {"--size", "0x600", "x"},
             {"--size", "801x600", "x.mp4"},
             {"--size", tooWide, "--at", "3", "x.png"},
             {"--size", tooWide, "x.mkv"},
             {"--crf", "52", "x.mp4"},
             {"--crf", "20", "x"},
         }) {
        SCOPED_TRACE(args[1]);
        CaptureRun run = capture(work.path(), args);
        EXPECT_EQ(run.status, 2) << run.err;
        EXPECT_EQ(run.out, "") << "nothing loaded";
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    }
    EXPECT_EQ(folderNames(work.path()), std::vector<std::string>{"data"});
}

// brakvane-capture run as a user runs it, with no display: single pictures
// against the live timeline, spans of frames, repeatability, the console and
// what an interruption leaves behind.
#include "CaptureFixture.h"
#include "XServer.h"
#include "demo/Timeline.h"
#include "display/GLWindow.h"

#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

using namespace capturetest;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

// Exactly the float t, written so that it parses back to the same float.
std::string seconds(float t)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(t));
    return text;
}

void expectNear(const Rgb& actual, const Rgb& expected, int x, int y)
{
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_NEAR(actual[i], expected[i], 3) << "at (" << x << ", " << y << ") channel " << i;
}

} // namespace

TEST(CapturePicture, MatchesTheLiveTimelinePixelForPixel)
{
    Workspace work;
    // The live reference: the demo's own window on a private X server,
    // drawing the same pictures through the same timeline.
    testsupport::XServer server(800, 600);
    ASSERT_TRUE(server.ok());
    server.exportDisplay();
    GLWindow window(800, 600, 32, false, "capture reference");
    ASSERT_NE(window.hWnd, nullptr);
    ResourceCache<Texture> textures;
    textures.loadDirectory(work.path() + "/data/textures/");

    for (const Golden& moment : goldenMoments()) {
        SCOPED_TRACE("t = " + seconds(moment.t));
        const std::string out = work.file("at.png");
        CaptureRun run = capture(work.path(), {"--at", seconds(moment.t), out});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, loadingLines(false));
        PngImage picture = readPng(out);
        ASSERT_EQ(picture.width, 800u);
        ASSERT_EQ(picture.height, 600u);
        for (const auto& [x, y, colour] : moment.pixels)
            expectNear(pixel(picture, x, y), colour, x, y);

        // A picture is a first frame: the live window starts from its initial state too.
        glEnable(GL_DEPTH_TEST);
        clearFrame();
        drawScene(moment.t, 0, textures);
        glFinish();
        std::vector<unsigned char> live(800 * 600 * 4);
        glReadPixels(0, 0, 800, 600, GL_RGBA, GL_UNSIGNED_BYTE, live.data());
        int differing = 0;
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x) {
                const unsigned char* l =
                    &live[(static_cast<std::size_t>(599 - y) * 800 + static_cast<std::size_t>(x)) * 4];
                const Rgb captured = pixel(picture, x, y);
                differing += captured != Rgb{l[0], l[1], l[2]};
            }
        EXPECT_EQ(differing, 0) << "pixels unlike the live window's";
    }
}

TEST(CapturePicture, TheMusicsSpectrumScalesTheSequence)
{
    ASSERT_FALSE(steadyTrack().empty());
    Workspace work(steadyTrack());
    // Before 50 s the track is silent: window-sized, the stripe edge at x = 480.
    CaptureRun run = capture(work.path(), {"--at", "45", work.file("still.png")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, loadingLines(true));
    PngImage still = readPng(work.file("still.png"));
    EXPECT_EQ(pixel(still, 395, 300), green);
    EXPECT_EQ(pixel(still, 476, 300), black);
    EXPECT_EQ(pixel(still, 484, 300), green);
    EXPECT_EQ(pixel(still, 44, 300), green);
    EXPECT_EQ(pixel(still, 52, 300), green);

    // From 50 s it holds 0.5, which scales the pictures by 1.1 about the
    // centre: that edge moves out to 488, the first stripe ends at 48.
    run = capture(work.path(), {"--at", "52", work.file("pulse.png")});
    ASSERT_EQ(run.status, 0) << run.err;
    PngImage pulsed = readPng(work.file("pulse.png"));
    EXPECT_EQ(pixel(pulsed, 395, 300), green);
    EXPECT_EQ(pixel(pulsed, 484, 300), black);
    EXPECT_EQ(pixel(pulsed, 492, 300), green);
    EXPECT_EQ(pixel(pulsed, 44, 300), green);
    EXPECT_EQ(pixel(pulsed, 52, 300), black);

    // The spectrum is that of the 512 frames ending at t: 5 ms after the
    // onset only part of them carries the music, and the picture has grown less.
    run = capture(work.path(), {"--at", "50.005", work.file("onset.png")});
    ASSERT_EQ(run.status, 0) << run.err;
    // (The edge is 5 pixels of filtering wide: at 45 s pixel 479 is partly
    // green, at 52 s pixel 487 is half green.)
    PngImage onset = readPng(work.file("onset.png"));
    EXPECT_EQ(pixel(onset, 479, 300), black);
    EXPECT_EQ(pixel(onset, 487, 300), green);
    // 5 ms before it, nothing of it.
    run = capture(work.path(), {"--at", "49.995", work.file("before.png")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(fileBytes(work.file("before.png")) == fileBytes(work.file("still.png")));
}

TEST(CaptureSpan, EachFrameShowsItsOwnMoment)
{
    Workspace work;
    const std::string out = work.file("frames");
    CaptureRun run = capture(work.path(), {"--fps", "10", "--from", "20", "--to", "21", out});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "") << "no progress bar off a terminal";
    EXPECT_EQ(run.out, loadingLines(false));
    std::vector<std::string> expected;
    for (int i = 0; i < 10; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "%06d.png", i);
        expected.push_back(name);
    }
    ASSERT_EQ(folderNames(out), expected);
    // The text pulses with a period of 1.26 s: every frame has its own opacity.
    for (int i = 0; i < 10; ++i) {
        SCOPED_TRACE(i);
        const float t = static_cast<float>(20.0 + i / 10.0);
        PngImage frame = readPng(out + "/" + expected[static_cast<std::size_t>(i)]);
        expectNear(pixel(frame, 400, 200), mix(red, white, pulse(t)), 400, 200);
        expectNear(pixel(frame, 600, 450), mix(yellow, white, pulse(t)), 600, 450);
    }
    EXPECT_EQ(folderNames(work.path()), (std::vector<std::string>{"data", "frames"})) << "no partial folder left";
}

TEST(CaptureSpan, TheDefaultEndIsTheFrameThatEndsTheDemo)
{
    Workspace work;
    const std::string out = work.file("end");
    // 98.8 + i / 60: frame 6 is at the single-precision 98.9 itself, which
    // does not end the demo; frame 7 does and is the last one drawn.
    CaptureRun run = capture(work.path(), {"--from", "98.8", out});
    ASSERT_EQ(run.status, 0) << run.err;
    std::vector<std::string> names = folderNames(out);
    ASSERT_EQ(names.size(), 8u);
    EXPECT_EQ(names.back(), "000007.png");
    // The scroller near its end: blue at the top, black below its bottom edge.
    PngImage last = readPng(out + "/" + names.back());
    EXPECT_EQ(pixel(last, 400, 2), blue);
    EXPECT_EQ(pixel(last, 400, 300), black);
}

TEST(CaptureSpan, TheSameCommandGivesTheSameBytes)
{
    ASSERT_FALSE(steadyTrack().empty());
    Workspace work(steadyTrack());
    // Across the music's onset at 50 s, so the pictures pulse.
    for (const char* out : {"one", "two"}) {
        CaptureRun run = capture(work.path(), {"--fps", "24", "--from", "49.9", "--to", "50.15", work.file(out)});
        ASSERT_EQ(run.status, 0) << run.err;
    }
    const std::vector<std::string> names = folderNames(work.file("one"));
    ASSERT_EQ(names.size(), 6u);
    ASSERT_EQ(folderNames(work.file("two")), names);
    for (const std::string& name : names)
        EXPECT_TRUE(fileBytes(work.file("one/" + name)) == fileBytes(work.file("two/" + name))) << name;
    // Frames do differ from one another: the music moves the pictures.
    EXPECT_FALSE(fileBytes(work.file("one/" + names[0])) == fileBytes(work.file("one/" + names[5])));

    for (const char* out : {"a.png", "b.png"})
        ASSERT_EQ(capture(work.path(), {"--at", "50.5", work.file(out)}).status, 0);
    EXPECT_TRUE(fileBytes(work.file("a.png")) == fileBytes(work.file("b.png")));
}

TEST(CaptureProgram, BadUsageGetsOneLineAndStatus2)
{
    Workspace work;
    const std::vector<std::vector<std::string>> commands = {
        {},
        {"--fps", "0", "x"},
        {"--at", "soon", "x.png"},
        {"--at", "3", "--to", "4", "x.png"},
        {"--from", "9", "--to", "3", "x"},
        {"--what", "x"},
        {"a", "b"},
        {"--at", "3", "x.mp4"},
    };
    for (const auto& args : commands) {
        std::string shown;
        for (const std::string& arg : args)
            shown += "[" + arg + "] ";
        SCOPED_TRACE(shown);
        CaptureRun run = capture(work.path(), args);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "") << "nothing loaded";
        EXPECT_EQ(run.err.rfind("brakvane-capture: ", 0), 0u) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    }
    EXPECT_EQ(folderNames(work.path()), std::vector<std::string>{"data"});

    CaptureRun help = capture(work.path(), {"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Usage: brakvane-capture [--size WxH] --at SECONDS OUT.png"), std::string::npos);
    EXPECT_EQ(help.err, "");
}

TEST(CaptureProgram, MissingPicturesAndMusicAreReportedAndTheRestIsDrawn)
{
    Workspace work;
    fs::remove(work.file("data/textures/finnish3.png"));
    CaptureRun run = capture(work.path(), {"--at", "60", work.file("cut.png")});
    ASSERT_EQ(run.status, 0) << run.err;
    std::string expected = loadingLines(false);
    expected.erase(expected.find("Loading texture: data/textures/finnish3.png\n"), 44);
    EXPECT_EQ(run.out, expected);
    EXPECT_EQ(pixel(readPng(work.file("cut.png")), 400, 300), cyan);

    // Somewhere that cannot be written: status 1 and a reason, nothing left.
    run = capture(work.path(), {"--at", "60", work.file("no/such/folder.png")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("no/such/folder.png"), std::string::npos) << run.err;
}

TEST(CaptureProgram, AnInterruptedCaptureLeavesNothingBehind)
{
    ASSERT_FALSE(steadyTrack().empty());
    Workspace work(steadyTrack());
    testfiles::TempDir temporary;
    // Ctrl+C, a closed terminal or dropped connection, Ctrl+\ alike; ffmpeg
    // is in a process group of its own, so only the capture gets the signal.
    for (int sig : {SIGINT, SIGHUP, SIGQUIT}) {
        for (const char* out : {"all", "all.mp4"}) {
            SCOPED_TRACE(std::string(out) + " signal " + std::to_string(sig));
            auto child = startCapture(work.path(), {"--fps", "60", out}, {.env = {{"TMPDIR", temporary.directory()}}});
            // Wait until frames are being written, then send the signal.
            ASSERT_TRUE(child->waitForOutput("Loading texture: data/textures/text.png", 30s)) << child->errorOutput();
            std::this_thread::sleep_for(700ms);
            ASSERT_FALSE(child->exited()) << child->errorOutput();
            EXPECT_EQ(processesWorkingIn(work.path()), std::string(out) == "all.mp4" ? 2 : 1)
                << "the capture and, for a video, its ffmpeg";
            child->signal(sig);
            auto status = child->wait(20s);
            ASSERT_TRUE(status.has_value());
            EXPECT_EQ(*status, 130);
            EXPECT_NE(child->errorOutput().find("interrupted"), std::string::npos) << child->errorOutput();
            EXPECT_EQ(folderNames(work.path()), std::vector<std::string>{"data"});
            EXPECT_EQ(folderNames(temporary.directory()), std::vector<std::string>{}) << "no sound file left";
            EXPECT_EQ(processesWorkingIn(work.path()), 0) << "ffmpeg stopped too";
        }
    }
}

// The demo's command line, end to end: refusals and their exit status, and
// every option's effect as it shows on a private X server (window size,
// position and scaling, the desktop's own mode, the start moment with the
// music under it, looping), with data found from another folder.
#include "DemoRun.h"
#include "TestTracks.h"
#include "TimelinePictures.h"
#include "XClient.h"
#include "XServer.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <thread>

using namespace testsupport;
using namespace std::chrono_literals;
namespace fs = std::filesystem;
using timelinepictures::Rgb;

namespace {

constexpr const char* startLines = "Kalvor Brakvane 0.1\nCreating window...(800x600@32)\n";

uint32_t packed(const Rgb& c)
{
    return static_cast<uint32_t>((c[0] << 16) | (c[1] << 8) | c[2]);
}

// Within a few steps per channel: scaled pictures are filtered.
bool near(uint32_t pixel, const Rgb& c)
{
    for (int shift : {16, 8, 0}) {
        const int value = static_cast<int>((pixel >> shift) & 0xff);
        if (std::abs(value - c[2 - shift / 8]) > 6)
            return false;
    }
    return true;
}

// A folder holding data/ with the timeline's test pictures (the opening:
// top half red, bottom half yellow), no models, and the demo's own music when
// asked for.
void makeData(const std::string& folder, bool withMusic)
{
    fs::create_directories(folder + "/data/textures");
    fs::create_directories(folder + "/data/models");
    timelinepictures::writePictures(folder + "/data/textures/");
    if (withMusic) {
        fs::create_directories(folder + "/data/music");
        fs::create_symlink(sourceDir() + "/data/music/skalmtone.mp3", folder + "/data/music/skalmtone.mp3");
    }
}

struct Probe {
    int x;
    int y;
    Rgb colour;
};

// Grabs the screen until every probe shows its colour; false after timeout,
// with what the last grab showed in detail.
bool waitForPicture(XClient& client, const std::vector<Probe>& probes, std::chrono::seconds timeout,
                    std::string& detail)
{
    const auto end = std::chrono::steady_clock::now() + timeout;
    do {
        const ScreenImage image = client.grabScreen();
        detail.clear();
        for (const Probe& p : probes) {
            if (p.x >= image.width || p.y >= image.height || !near(image.at(p.x, p.y), p.colour)) {
                char text[96];
                std::snprintf(text, sizeof text, "(%d, %d) is %06x, not %06x; ", p.x, p.y,
                              p.x < image.width && p.y < image.height ? image.at(p.x, p.y) : 0u, packed(p.colour));
                detail += text;
            }
        }
        if (detail.empty())
            return true;
        std::this_thread::sleep_for(100ms);
    } while (std::chrono::steady_clock::now() < end);
    return false;
}

// The opening picture scaled into the rectangle (x, y, w, h) of the screen,
// black around it as far as the area (0, 0, areaWidth, areaHeight) goes.
std::vector<Probe> openingIn(int x, int y, int w, int h, int areaWidth, int areaHeight)
{
    using namespace timelinepictures;
    // Probes keep an eighth of the picture off its edges, where filtering blends
    // in the opposite edge of the picture.
    std::vector<Probe> probes = {{x + w / 8, y + h / 8, red},
                                 {x + w / 2, y + h / 4, red},
                                 {x + w / 2, y + 3 * h / 4, yellow},
                                 {x + 7 * w / 8, y + 7 * h / 8, yellow}};
    if (x > 0)
        probes.push_back({x / 2, y + h / 2, black}),
            probes.push_back({x + w + (areaWidth - x - w) / 2, y + h / 2, black});
    if (y > 0)
        probes.push_back({x + w / 2, y / 2, black}),
            probes.push_back({x + w / 2, y + h + (areaHeight - y - h) / 2, black});
    return probes;
}

std::vector<int16_t> readSamples(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

std::size_t firstSound(const std::vector<int16_t>& samples, std::size_t from = 0)
{
    std::size_t i = from;
    while (i < samples.size() && samples[i] == 0)
        ++i;
    return i & ~static_cast<std::size_t>(1); // the start of that stereo frame
}

// Where `block` occurs in `samples` at a stereo frame boundary; npos if nowhere.
std::size_t findBlock(const std::vector<int16_t>& samples, const std::vector<int16_t>& block)
{
    if (block.empty() || samples.size() < block.size())
        return std::string::npos;
    for (std::size_t i = 0; i + block.size() <= samples.size(); i += 2)
        if (samples[i] == block[0] && std::equal(block.begin(), block.end(), samples.begin() + static_cast<long>(i)))
            return i;
    return std::string::npos;
}

const testtracks::Decoded& demoMusic()
{
    static const testtracks::Decoded decoded = testtracks::decodeWithMpg123(sourceDir() + "/data/music/skalmtone.mp3");
    return decoded;
}

struct Started {
    XServer server;
    testfiles::TempDir data;
    testfiles::TempDir work; // the working directory: no data in it
    XClient client;
    std::unique_ptr<ChildProcess> demo;
    unsigned long window = 0;

    // offerFrameMode: the display also offers 800 x 600, which the demo would switch to.
    Started(int width, int height, const std::vector<std::string>& args, bool withMusic = false,
            bool offerFrameMode = false)
        : server(width, height), client(server.name())
    {
        const bool offered = !offerFrameMode || client.offerMode(800, 600);
        EXPECT_TRUE(offered);
        makeData(data.directory(), withMusic);
        DemoLaunch launch;
        launch.display = server.name();
        launch.workingDirectory = work.directory();
        launch.args = args;
        launch.env["BRAKVANE_DATA"] = data.directory();
        demo = startDemo(launch);
        window = client.findWindow("Brakvane", 30s);
    }
    std::string said() const { return demo->output() + demo->errorOutput(); }
};

} // namespace

TEST(Options, HelpVersionAndEveryRefusal)
{
    testfiles::TempDir work;
    auto run = [&](const std::vector<std::string>& args) {
        DemoLaunch launch;
        launch.workingDirectory = work.directory();
        launch.args = args;
        auto demo = startDemo(launch);
        auto status = demo->wait(30s);
        return std::make_tuple(status.value_or(-1), demo->output(), demo->errorOutput());
    };

    for (const char* help : {"--help", "-h"}) {
        const auto [status, out, err] = run({help});
        EXPECT_EQ(status, 0);
        EXPECT_EQ(out.rfind("Usage: brakvane [OPTION]...\n", 0), 0u) << out;
        for (const char* option : {"--window", "--size", "--desktop", "--display", "--start", "--loop", "--no-vsync"})
            EXPECT_NE(out.find(option), std::string::npos) << option;
        EXPECT_EQ(err, "");
    }
    {
        const auto [status, out, err] = run({"--version"});
        EXPECT_EQ(status, 0);
        EXPECT_EQ(out, "Kalvor Brakvane 0.1\n");
        EXPECT_EQ(err, "");
    }

    const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
        {{"--fullscreen"}, "unknown option '--fullscreen' (see --help)"},
        {{"-x"}, "unknown option '-x' (see --help)"},
        {{"--window=yes"}, "option '--window' takes no value"},
        {{"--s", "10"}, "option '--s' is ambiguous: it may be --size, --start (see --help)"},
        {{"--size"}, "option '--size' needs a value"},
        {{"--size", "800"}, "--size: '800' is not WIDTHxHEIGHT with each from 1 to 16384"},
        {{"--size=0x600"}, "--size: '0x600' is not WIDTHxHEIGHT with each from 1 to 16384"},
        {{"--size", "640x-480"}, "--size: '640x-480' is not WIDTHxHEIGHT with each from 1 to 16384"},
        {{"--size", "99999x600"}, "--size: '99999x600' is not WIDTHxHEIGHT with each from 1 to 16384"},
        {{"--start", "-1"}, "--start: '-1' is not a number of seconds from 0 to 98.9"},
        {{"--start", "99"}, "--start: '99' is not a number of seconds from 0 to 98.9"},
        {{"--start", "1e400"}, "--start: '1e400' is not a number of seconds from 0 to 98.9"},
        {{"--start", "ten"}, "--start: 'ten' is not a number of seconds from 0 to 98.9"},
        {{"--display", "-1"}, "--display: '-1' is not a display number from 0 to 255"},
        {{"--display", "1.5"}, "--display: '1.5' is not a display number from 0 to 255"},
        {{"--window", "--desktop"}, "--desktop is full screen and goes with no --window"},
        {{"--desktop", "--size", "640x480"}, "--desktop uses the desktop's own size and goes with no --size"},
        {{"data"}, "unexpected argument 'data' (see --help)"},
    };
    for (const auto& [args, message] : refused) {
        const auto [status, out, err] = run(args);
        EXPECT_EQ(status, 2) << args[0];
        EXPECT_EQ(out, "") << args[0] << ": the demo started";
        EXPECT_EQ(err, "brakvane: " + message + "\n");
    }

    // A monitor that does not exist is refused before anything starts.
    XServer server(640, 480);
    ASSERT_TRUE(server.ok());
    DemoLaunch launch;
    launch.display = server.name();
    launch.workingDirectory = work.directory();
    launch.args = {"--display", "3", "--window"};
    auto demo = startDemo(launch);
    EXPECT_EQ(demo->wait(30s), 2);
    EXPECT_EQ(demo->output(), "");
    EXPECT_EQ(demo->errorOutput(), "brakvane: --display: there is no display 3 (displays: 1, numbered from 0)\n");
}

TEST(Options, WindowOfAChosenSizeScalesThePictureAndFollowsAResize)
{
    Started run(1280, 720, {"--window", "--size", "640x400", "--display", "0", "--no-vsync"});
    ASSERT_TRUE(run.server.ok());
    ASSERT_NE(run.window, 0u) << run.said();
    EXPECT_EQ(run.demo->output().rfind(startLines, 0), 0u) << run.demo->output();

    const WindowGeometry at = run.client.geometry(run.window);
    EXPECT_EQ(at.x, 0);
    EXPECT_EQ(at.y, 0);
    EXPECT_EQ(at.width, 640);
    EXPECT_EQ(at.height, 400);
    EXPECT_TRUE(run.client.resizable(run.window));

    // 800 x 600 into 640 x 400: 533 x 400, centred, black at the sides.
    std::string detail;
    EXPECT_TRUE(waitForPicture(run.client, openingIn(53, 0, 533, 400, 640, 400), 30s, detail)) << detail;

    // Taller than wide: 400 x 300, black above and below.
    EXPECT_EQ(xdotool(run.server.name(), {"windowsize", std::to_string(run.window), "400", "600"}), 0);
    EXPECT_TRUE(waitForPicture(run.client, openingIn(0, 150, 400, 300, 400, 600), 30s, detail)) << detail;

    EXPECT_EQ(xdotool(run.server.name(), {"key", "Escape"}), 0);
    EXPECT_EQ(run.demo->wait(30s), 0) << run.said();
}

TEST(Options, FullScreenAtTheDesktopModeOrAChosenModeIsScaledWithItsAspect)
{
    // On a 1280 x 720 display that also offers 800 x 600, both the desktop's
    // own mode and the mode asked for by size show the picture at 960 x 720
    // between black borders, and the screen keeps its size all along.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--desktop"}, std::vector<std::string>{"--size", "1280x720"}}) {
        Started run(1280, 720, args, false, true);
        ASSERT_NE(run.window, 0u) << run.said();
        EXPECT_EQ(run.demo->output().rfind(startLines, 0), 0u) << run.demo->output();
        const WindowGeometry at = run.client.geometry(run.window);
        EXPECT_EQ(at.width, 1280) << args[0];
        EXPECT_EQ(at.height, 720) << args[0];
        std::string detail;
        EXPECT_TRUE(waitForPicture(run.client, openingIn(160, 0, 960, 720, 1280, 720), 30s, detail))
            << args[0] << ": " << detail;
        for (int i = 0; i < 10; ++i) {
            const ScreenImage screen = run.client.grabScreen();
            EXPECT_EQ(screen.width, 1280);
            EXPECT_EQ(screen.height, 720);
            std::this_thread::sleep_for(50ms);
        }
        EXPECT_EQ(xdotool(run.server.name(), {"key", "Escape"}), 0);
        EXPECT_EQ(run.demo->wait(30s), 0) << run.said();
        EXPECT_EQ(run.demo->errorOutput().find("brakvane: the display"), std::string::npos) << run.said();
    }
}

TEST(Options, StartShowsThatMomentWithTheMusicFromThere)
{
    // 55 s is the second picture of the sequence (cyan); the opening is red and yellow.
    Started run(800, 600, {"--start", "55"}, true);
    ASSERT_NE(run.window, 0u) << run.said();
    std::set<uint32_t> seen;
    bool cyan = false;
    const auto end = std::chrono::steady_clock::now() + 30s;
    while (!cyan && std::chrono::steady_clock::now() < end) {
        const uint32_t centre = run.client.grabScreen().at(400, 300);
        seen.insert(centre);
        cyan = near(centre, timelinepictures::cyan);
        std::this_thread::sleep_for(50ms);
    }
    EXPECT_TRUE(cyan);
    for (uint32_t colour : seen) {
        EXPECT_FALSE(near(colour, timelinepictures::red)) << "the opening was shown";
        EXPECT_FALSE(near(colour, timelinepictures::yellow)) << "the opening was shown";
    }
    std::this_thread::sleep_for(1500ms);
    EXPECT_EQ(xdotool(run.server.name(), {"key", "Escape"}), 0);
    EXPECT_EQ(run.demo->wait(30s), 0) << run.said();

    // What was played begins with the track's sample frame 55 * 44100.
    const std::vector<int16_t> played = readSamples(run.work.directory() + "/played.raw");
    const std::vector<int16_t>& track = demoMusic().samples;
    const std::size_t from = 2 * 55 * 44100;
    ASSERT_GT(track.size(), from + 2 * 44100);
    const std::size_t trackSound = firstSound(track, from);
    const std::size_t playedSound = firstSound(played);
    ASSERT_GE(playedSound, trackSound - from) << "sound before the music started";
    const std::size_t at = playedSound - (trackSound - from);
    ASSERT_GE(played.size(), at + 2 * 44100) << "less than a second was played";
    EXPECT_TRUE(std::equal(track.begin() + static_cast<long>(from), track.begin() + static_cast<long>(from + 2 * 44100),
                           played.begin() + static_cast<long>(at)))
        << "the first second played is not the track from 55 s";
}

TEST(Options, NearTheEndItFinishesByItselfOrLoopsWhenAsked)
{
    {
        Started run(800, 600, {"--start", "98"});
        ASSERT_NE(run.window, 0u) << run.said();
        EXPECT_EQ(run.demo->wait(60s), 0) << run.said();
        EXPECT_EQ(run.demo->output().rfind(startLines, 0), 0u) << run.demo->output();
    }

    Started run(800, 600, {"--start", "98", "--loop"}, true);
    ASSERT_NE(run.window, 0u) << run.said();
    // Past 98.9 s the opening comes back, and the program keeps going.
    std::string detail;
    EXPECT_TRUE(waitForPicture(run.client, openingIn(0, 0, 800, 600, 800, 600), 60s, detail)) << detail;
    std::this_thread::sleep_for(2s);
    EXPECT_FALSE(run.demo->exited());
    EXPECT_EQ(xdotool(run.server.name(), {"key", "Escape"}), 0);
    EXPECT_EQ(run.demo->wait(30s), 0) << run.said();

    // The music started over too: after the end of the track's last second,
    // the opening of the track was played.
    const std::vector<int16_t> played = readSamples(run.work.directory() + "/played.raw");
    const std::vector<int16_t>& track = demoMusic().samples;
    const std::size_t opening = firstSound(track);
    ASSERT_LT(opening + 2 * 4410, track.size());
    const std::vector<int16_t> block(track.begin() + static_cast<long>(opening),
                                     track.begin() + static_cast<long>(opening + 2 * 4410));
    EXPECT_NE(findBlock(played, block), std::string::npos) << "the track's opening was not played again";
}

TEST(Options, DataIsFoundThroughTheEnvironmentWithTheSamePaths)
{
    Started run(800, 600, {"--window"});
    ASSERT_NE(run.window, 0u) << run.said();
    std::string detail;
    EXPECT_TRUE(waitForPicture(run.client, openingIn(0, 0, 800, 600, 800, 600), 30s, detail)) << detail;
    EXPECT_EQ(xdotool(run.server.name(), {"key", "Escape"}), 0);
    EXPECT_EQ(run.demo->wait(30s), 0) << run.said();
    const std::string out = run.demo->output();
    EXPECT_NE(out.find("\nLoading texture: data/textures/danish.png\n"), std::string::npos) << out;
    EXPECT_NE(out.find("\nLoading texture: data/textures/text.png\n"), std::string::npos) << out;
    EXPECT_EQ(out.find(run.data.directory()), std::string::npos) << out;
    EXPECT_EQ(out.find("Unable to load"), std::string::npos) << out;
    // Nothing was written beside the data.
    EXPECT_FALSE(fs::exists(run.data.directory() + "/played.raw"));
}

TEST(Options, DataInTheWorkingDirectoryComesFirst)
{
    XServer server(800, 600);
    ASSERT_TRUE(server.ok());
    testfiles::TempDir work;
    testfiles::TempDir other;
    makeData(work.directory(), false);
    // Elsewhere, an opening picture all cyan.
    fs::create_directories(other.directory() + "/data/textures");
    timelinepictures::writeBands(other.directory() + "/data/textures/danish.png", {timelinepictures::cyan});
    DemoLaunch launch;
    launch.display = server.name();
    launch.workingDirectory = work.directory();
    launch.args = {"--window"};
    launch.env["BRAKVANE_DATA"] = other.directory();
    auto demo = startDemo(launch);
    XClient client(server.name());
    ASSERT_NE(client.findWindow("Brakvane", 30s), 0u) << demo->output() << demo->errorOutput();
    std::string detail;
    EXPECT_TRUE(waitForPicture(client, openingIn(0, 0, 800, 600, 800, 600), 30s, detail)) << detail;
    EXPECT_EQ(xdotool(server.name(), {"key", "Escape"}), 0);
    EXPECT_EQ(demo->wait(30s), 0) << demo->errorOutput();
}

// The real program, end to end: its console lines, and every way a viewer
// ends it (Escape, a window manager's close, Ctrl+C, SIGTERM), with and
// without a display, always with tear-down done and exit status 0.
#include "DemoRun.h"
#include "XClient.h"
#include "XServer.h"

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>
#include <thread>

using namespace testsupport;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

constexpr const char* startLines = "Kalvor Brakvane 0.1\nCreating window...(800x600@32)\n";

struct Running {
    XServer server;
    testfiles::TempDir dir;
    std::unique_ptr<ChildProcess> demo;
    XClient client;
    unsigned long window = 0;

    Running(int width, int height) : server(width, height), client(server.name())
    {
        demo = startDemo(server.name(), dir.directory());
        window = client.findWindow("Brakvane", 20s);
    }
};

int countLines(const std::string& text, const std::string& start)
{
    int count = 0;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        count += line.rfind(start, 0) == 0 ? 1 : 0;
    return count;
}

// Runs the demo with no display in work (which holds a data/ folder) until it
// has loaded its models, then interrupts it; returns standard output.
std::string consoleWithoutDisplay(const testfiles::TempDir& work, std::string* errors)
{
    auto demo = startDemo(std::nullopt, work.directory());
    EXPECT_TRUE(demo->waitForOutput("Loading model: data/models/", 30s)) << demo->output();
    std::this_thread::sleep_for(300ms); // whatever else loading would write
    demo->signal(SIGINT);
    EXPECT_EQ(demo->wait(20s), 0) << demo->errorOutput();
    *errors = demo->errorOutput();
    return demo->output();
}

} // namespace

TEST(Program, WithoutADisplayGoodPicturesAreKeptAndOnlyUndecodableOnesBlamed)
{
    const fs::path data = fs::path(sourceDir()) / "data";
    std::ostringstream startAndMusic;
    startAndMusic << startLines << "GLWindow:cpp: Unable to register window class"
                  << "Loading Music: data/music/skalmtone.mp3\n\n";
    std::ostringstream models;
    models << "\n";
    for (const auto& name : sortedNames((data / "models").string()))
        models << "Loading model: data/models/" << name << "\n";

    // The demo's own data: every picture decodes, none can be uploaded, and
    // only the loading lines appear.
    {
        testfiles::TempDir work;
        fs::create_directory_symlink(data, fs::path(work.directory()) / "data");
        std::string errors;
        std::ostringstream expected;
        expected << startAndMusic.str();
        for (const auto& name : sortedNames((data / "textures").string()))
            expected << "Loading texture: data/textures/" << name << "\n";
        expected << models.str();
        EXPECT_EQ(consoleWithoutDisplay(work, &errors), expected.str());
        EXPECT_LE(countLines(errors, "pngBind:"), 1) << errors;
    }
    // Beside a good picture, a cut one and one that is no PNG at all: only
    // those two are blamed and left out.
    {
        testfiles::TempDir work;
        const fs::path textures = fs::path(work.directory()) / "data/textures";
        fs::create_directories(textures);
        fs::create_directory_symlink(data / "music", fs::path(work.directory()) / "data/music");
        fs::create_directory_symlink(data / "models", fs::path(work.directory()) / "data/models");
        fs::copy_file(data / "textures/danish.png", textures / "good.png");
        fs::copy_file(data / "textures/danish.png", textures / "cut.png");
        fs::resize_file(textures / "cut.png", fs::file_size(textures / "cut.png") / 2);
        testfiles::writeFile((textures / "text.png").string(), {'h', 'e', 'l', 'l', 'o'});
        std::string errors;
        auto blamed = [](const std::string& path) {
            return "Loading texture: " + path + "\nUnable to read PNG file: " + path +
                   "\nUnable to load resource: " + path + "\n";
        };
        const std::string expected = startAndMusic.str() + blamed("data/textures/cut.png") +
                                     "Loading texture: data/textures/good.png\n" + blamed("data/textures/text.png") +
                                     models.str();
        EXPECT_EQ(consoleWithoutDisplay(work, &errors), expected);
    }
}

TEST(Program, OnADisplayWithoutAMatchingPixelFormatItSaysSoAtThatStepAndGoesOn)
{
    // An 8-bit screen has no visual for 8 bits per colour channel.
    XServer server(800, 600, 8);
    ASSERT_TRUE(server.ok());
    testfiles::TempDir dir;
    auto demo = startDemo(server.name(), dir.directory());
    const std::string message = "GLWindow:cpp: Unable to find a suitable pixelformat";
    ASSERT_TRUE(demo->waitForOutput("Loading Music:", 20s)) << demo->output() << demo->errorOutput();
    // The message has no line break of its own: the next line continues it.
    EXPECT_EQ(demo->output().rfind(std::string(startLines) + message + "Loading Music:", 0), 0u) << demo->output();
    std::this_thread::sleep_for(1s);
    EXPECT_FALSE(demo->exited());
    demo->signal(SIGINT);
    EXPECT_EQ(demo->wait(20s), 0) << demo->errorOutput();
}

TEST(Program, EscapeInTheWindowEndsItAfterTheStartLines)
{
    Running run(800, 600);
    ASSERT_TRUE(run.server.ok());
    ASSERT_NE(run.window, 0u) << run.demo->output() << run.demo->errorOutput();
    EXPECT_EQ(run.demo->output().rfind(startLines, 0), 0u) << run.demo->output();
    EXPECT_FALSE(run.demo->exited());
    EXPECT_EQ(xdotool(run.server.name(), {"key", "Escape"}), 0);
    EXPECT_EQ(run.demo->wait(20s), 0) << run.demo->errorOutput();
}

TEST(Program, WindowManagerCloseEndsIt)
{
    Running run(800, 600);
    ASSERT_NE(run.window, 0u) << run.demo->output() << run.demo->errorOutput();
    ASSERT_TRUE(run.client.sendDeleteWindow(run.window));
    EXPECT_EQ(run.demo->wait(20s), 0) << run.demo->errorOutput();
}

TEST(Program, InterruptAndTerminateEndItCleanly)
{
    for (int sig : {SIGINT, SIGTERM}) {
        Running run(800, 600);
        ASSERT_NE(run.window, 0u) << run.demo->output() << run.demo->errorOutput();
        run.demo->signal(sig);
        EXPECT_EQ(run.demo->wait(20s), 0) << "signal " << sig << ": " << run.demo->errorOutput();
    }
}

TEST(Program, WithoutADisplayItReportsAndKeepsRunningUntilInterrupted)
{
    testfiles::TempDir dir;
    auto demo = startDemo(std::nullopt, dir.directory());
    ASSERT_TRUE(demo->waitForOutput("GLWindow:cpp: Unable to register window class", 20s)) << demo->output();
    std::string out = demo->output();
    EXPECT_EQ(out.rfind(std::string(startLines) + "GLWindow:cpp: Unable to register window class", 0), 0u) << out;
    // The failure message has no line break of its own.
    size_t end = out.find("window class") + std::string("window class").size();
    EXPECT_TRUE(end == out.size() || out[end] != '\n') << out;
    std::this_thread::sleep_for(1s);
    EXPECT_FALSE(demo->exited());
    demo->signal(SIGINT);
    EXPECT_EQ(demo->wait(20s), 0);
}

TEST(Program, WhereTheDisplayOffersTheModeItIsReallySwitchedAndRestored)
{
    XServer server(1024, 768);
    XClient client(server.name());
    ASSERT_TRUE(client.offerMode(800, 600));
    testfiles::TempDir dir;
    auto demo = startDemo(server.name(), dir.directory());
    ASSERT_NE(client.findWindow("Brakvane", 20s), 0u) << demo->output() << demo->errorOutput();
    ScreenImage screen = client.grabScreen();
    for (int i = 0; i < 100 && screen.width != 800; ++i) {
        std::this_thread::sleep_for(50ms);
        screen = client.grabScreen();
    }
    EXPECT_EQ(screen.width, 800);
    EXPECT_EQ(screen.height, 600);
    EXPECT_EQ(xdotool(server.name(), {"key", "Escape"}), 0);
    EXPECT_EQ(demo->wait(20s), 0);
    EXPECT_EQ(countLines(demo->errorOutput(), "brakvane: the display"), 0) << demo->errorOutput();
    EXPECT_EQ(client.grabScreen().width, 1024) << "the display's own mode comes back with the window";
}

TEST(Program, OnADisplayWithoutTheModeEscapeStillEndsIt)
{
    Running run(1280, 720);
    ASSERT_NE(run.window, 0u) << run.demo->output() << run.demo->errorOutput();
    EXPECT_EQ(run.demo->output().rfind(startLines, 0), 0u) << run.demo->output();
    EXPECT_EQ(run.demo->output().find("GLWindow:cpp:"), std::string::npos) << run.demo->output();
    EXPECT_EQ(xdotool(run.server.name(), {"key", "Escape"}), 0);
    EXPECT_EQ(run.demo->wait(20s), 0);
    // Emulating the mode is said once, on standard error.
    EXPECT_EQ(countLines(run.demo->errorOutput(), "brakvane: the display"), 1) << run.demo->errorOutput();
}

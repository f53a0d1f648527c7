// The real program, end to end: its console lines, and every way a viewer
// ends it (Escape, a window manager's close, Ctrl+C, SIGTERM), with and
// without a display, always with tear-down done and exit status 0.
#include "DemoRun.h"
#include "XClient.h"
#include "XServer.h"

#include <csignal>
#include <gtest/gtest.h>
#include <thread>

using namespace testsupport;
using namespace std::chrono_literals;

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

} // namespace

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

TEST(Program, OnADisplayWithoutTheModeEscapeStillEndsIt)
{
    Running run(1280, 720);
    ASSERT_NE(run.window, 0u) << run.demo->output() << run.demo->errorOutput();
    EXPECT_EQ(run.demo->output().rfind(startLines, 0), 0u) << run.demo->output();
    EXPECT_EQ(run.demo->output().find("GLWindow:cpp:"), std::string::npos) << run.demo->output();
    EXPECT_EQ(xdotool(run.server.name(), {"key", "Escape"}), 0);
    EXPECT_EQ(run.demo->wait(20s), 0);
}

// The real program on the demo's own data, run to its end with nobody at the
// keyboard: the console lines of a normal start in order, the sound it plays,
// and a clean exit within about 100 seconds.
#include "DemoRun.h"
#include "XServer.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>

using namespace testsupport;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

TEST(DemoRun, PlaysToTheEndOnItsOwnData)
{
    XServer server(800, 600);
    ASSERT_TRUE(server.ok());
    testfiles::TempDir work;
    fs::create_directory_symlink(fs::path(sourceDir()) / "data", fs::path(work.directory()) / "data");

    auto begin = std::chrono::steady_clock::now();
    auto demo = startDemo(server.name(), work.directory());
    auto status = demo->wait(130s);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    ASSERT_TRUE(status.has_value()) << "still running after 130 s";
    EXPECT_EQ(*status, 0) << demo->errorOutput();
    EXPECT_GT(seconds, 98.9);
    EXPECT_LT(seconds, 115.0);

    std::ostringstream expected;
    expected << "Kalvor Brakvane 0.1\n"
             << "Creating window...(800x600@32)\n"
             << ownDataLoadingLines();
    EXPECT_EQ(demo->output(), expected.str());

    // The music was played: at 44.1 kHz, 16-bit stereo, most of 99 seconds of it.
    std::error_code ec;
    auto played = fs::file_size(fs::path(work.directory()) / "played.raw", ec);
    EXPECT_FALSE(ec);
    EXPECT_GT(played, 90u * 176400u);
}

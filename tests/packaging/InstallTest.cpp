// The install and the Debian package, as a user gets them: `cmake --install`
// into a temporary prefix that is then moved, and the .deb's contents
// unpacked with dpkg-deb; both programs started from a folder that holds no
// data find the installed data and name it data/... on the console. The
// desktop entry, metainfo and package pass their validators.
#include "DemoRun.h"
#include "XClient.h"
#include "XServer.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

using namespace testsupport;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

constexpr const char* appId = "org.kalvor.Brakvane";

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

Outcome runTool(const std::vector<std::string>& args, std::chrono::seconds timeout = 300s)
{
    ChildOptions options;
    options.args = args;
    ChildProcess child(options);
    Outcome outcome;
    outcome.status = child.wait(timeout).value_or(-1);
    outcome.out = child.output();
    outcome.err = child.errorOutput();
    return outcome;
}

// Both programs of an installed tree, each from an empty working directory:
// the demo in a window until Escape, the capture writing one picture there.
void runInstalled(const std::string& bin)
{
    testfiles::TempDir work;
    XServer server(800, 600);
    ASSERT_TRUE(server.ok());
    DemoLaunch launch;
    launch.display = server.name();
    launch.workingDirectory = work.directory();
    launch.program = bin + "/brakvane";
    launch.args = {"--window"};
    auto demo = startDemo(launch);
    XClient client(server.name());
    ASSERT_NE(client.findWindow("Brakvane", 60s), 0u) << demo->output() << demo->errorOutput();
    EXPECT_TRUE(demo->waitForOutput("Loading model:", 60s)) << demo->output();
    EXPECT_EQ(xdotool(server.name(), {"key", "Escape"}), 0);
    EXPECT_EQ(demo->wait(30s), 0) << demo->errorOutput();
    EXPECT_EQ(demo->output(), "Kalvor Brakvane 0.1\nCreating window...(800x600@32)\n" + ownDataLoadingLines());

    fs::create_directory(work.directory() + "/shots");
    launch.display = std::nullopt;
    launch.program = bin + "/brakvane-capture";
    launch.args = {"--at", "5", "shots/opening.png"};
    auto capture = startDemo(launch);
    EXPECT_EQ(capture->wait(120s), 0) << capture->errorOutput();
    EXPECT_NE(capture->output().find("Loading texture: data/textures/danish.png\n"), std::string::npos)
        << capture->output();
    EXPECT_EQ(capture->output().find("Unable"), std::string::npos) << capture->output();
    EXPECT_GT(fs::file_size(work.directory() + "/shots/opening.png"), 1000u);
}

} // namespace

TEST(Install, AMovedInstallRunsFromAnyFolder)
{
    testfiles::TempDir root;
    const std::string first = root.directory() + "/prefix";
    const Outcome install = runTool({"cmake", "--install", binaryDir(), "--prefix", first});
    ASSERT_EQ(install.status, 0) << install.out << install.err;

    // Moved as a whole after installing, as an unpacked archive would be.
    const std::string prefix = root.directory() + "/elsewhere";
    fs::rename(first, prefix);
    for (const std::string file : {"bin/brakvane", "bin/brakvane-capture", "share/brakvane/data/music/skalmtone.mp3",
                                   "share/man/man6/brakvane.6.gz", "share/man/man6/brakvane-capture.6.gz"})
        EXPECT_TRUE(fs::is_regular_file(prefix + "/" + file)) << file;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        const std::string side = std::to_string(size);
        EXPECT_TRUE(
            fs::is_regular_file(prefix + "/share/icons/hicolor/" + side + "x" + side + "/apps/" + appId + ".png"))
            << size;
    }
    const Outcome desktop = runTool({"desktop-file-validate", prefix + "/share/applications/" + appId + ".desktop"});
    EXPECT_EQ(desktop.status, 0) << desktop.out << desktop.err;
    const Outcome metainfo =
        runTool({"appstreamcli", "validate", "--no-net", prefix + "/share/metainfo/" + appId + ".metainfo.xml"});
    EXPECT_EQ(metainfo.status, 0) << metainfo.out << metainfo.err;

    runInstalled(prefix + "/bin");
}

TEST(Install, TheDebianPackageDependsOnWhatIsLinkedAndRunsUnpacked)
{
    testfiles::TempDir root;
    const Outcome made = runTool(
        {"cpack", "-G", "DEB", "--config", binaryDir() + "/CPackConfig.cmake", "-B", root.directory() + "/out"});
    ASSERT_EQ(made.status, 0) << made.out << made.err;
    std::string deb;
    for (const auto& entry : fs::directory_iterator(root.directory() + "/out"))
        if (entry.path().extension() == ".deb")
            deb = entry.path().string();
    ASSERT_FALSE(deb.empty()) << made.out;

    const Outcome depends = runTool({"dpkg-deb", "-f", deb, "Depends"});
    ASSERT_EQ(depends.status, 0) << depends.err;
    for (const char* package : {"libsdl2-2.0-0", "libmpg123-0", "libpng16-16", "libgl1", "libkissfft-float"})
        EXPECT_NE(depends.out.find(package), std::string::npos) << package << " missing from " << depends.out;
    EXPECT_EQ(depends.out.find("-dev"), std::string::npos) << depends.out;

    const Outcome lintian = runTool({"lintian", "--fail-on", "error", deb});
    EXPECT_EQ(lintian.status, 0) << lintian.out << lintian.err;

    const std::string unpacked = root.directory() + "/unpacked";
    const Outcome extract = runTool({"dpkg-deb", "-x", deb, unpacked});
    ASSERT_EQ(extract.status, 0) << extract.err;
    EXPECT_TRUE(fs::is_regular_file(unpacked + "/usr/share/brakvane/data/textures/danish.png"));
    EXPECT_TRUE(fs::is_regular_file(unpacked + "/usr/share/doc/brakvane/copyright"));
    runInstalled(unpacked + "/usr/bin");
}

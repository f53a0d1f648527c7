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
#include <fstream>
#include <gtest/gtest.h>
#include <set>

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
// With loadLog, the dynamic loader notes in files loadLog.PID every library
// the programs load.
void runInstalled(const std::string& bin, const std::string& loadLog = "")
{
    testfiles::TempDir work;
    XServer server(800, 600);
    ASSERT_TRUE(server.ok());
    DemoLaunch launch;
    launch.display = server.name();
    launch.workingDirectory = work.directory();
    launch.program = bin + "/brakvane";
    launch.args = {"--window"};
    if (!loadLog.empty())
        launch.env = {{"LD_DEBUG", "files"}, {"LD_DEBUG_OUTPUT", loadLog}};
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

// The libraries loaded at run time (dlopen) by the programs or any library
// they use, by the name asked for, from the loader's notes.
std::set<std::string> loadedAtRunTime(const std::string& loadLog)
{
    std::set<std::string> names;
    const fs::path folder = fs::path(loadLog).parent_path();
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (!entry.path().filename().string().starts_with(fs::path(loadLog).filename().string()))
            continue;
        std::ifstream in(entry.path());
        for (std::string line; std::getline(in, line);) {
            // "  123:\tfile=libEGL.so.1 [0];  dynamically loaded by /usr/bin/x [0]"
            const std::size_t file = line.find("file=");
            const std::size_t by = line.find("dynamically loaded by ");
            if (file == std::string::npos || by == std::string::npos)
                continue;
            names.insert(line.substr(file + 5, line.find(' ', file) - file - 5));
        }
    }
    return names;
}

// The package that ships a library the loader finds by that name, or "".
std::string packageOf(const std::string& soname)
{
    const Outcome where = runTool({"sh", "-c", "ldconfig -p | awk '$1 == \"" + soname + "\" {print $NF; exit}'"});
    std::string path = where.out.substr(0, where.out.find('\n'));
    if (path.empty())
        return "";
    for (const std::string& candidate : {path, "/usr" + path, fs::weakly_canonical(path).string()}) {
        const Outcome owner = runTool({"dpkg", "-S", candidate});
        if (owner.status == 0)
            return owner.out.substr(0, owner.out.find(':'));
    }
    return "";
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
    const std::string loadLog = root.directory() + "/loaded";
    runInstalled(unpacked + "/usr/bin", loadLog);

    // What is loaded at run time comes with what the package
    // depends on, directly or through those packages' own dependencies: an
    // install with apt-get then has it too.
    std::vector<std::string> direct;
    for (std::size_t at = 0; at < depends.out.size();) {
        const std::size_t end = std::min(depends.out.find_first_of(",\n", at), depends.out.size());
        std::string name = depends.out.substr(at, end - at);
        name = name.substr(name.find_first_not_of(' '));
        direct.push_back(name.substr(0, name.find_first_of(" (")));
        at = end + 1;
    }
    std::vector<std::string> closure = {"apt-cache",       "depends",       "--recurse",
                                        "--no-recommends", "--no-suggests", "--no-conflicts",
                                        "--no-breaks",     "--no-replaces", "--no-enhances"};
    closure.insert(closure.end(), direct.begin(), direct.end());
    const Outcome all = runTool(closure);
    ASSERT_EQ(all.status, 0) << all.err;
    std::set<std::string> installed;
    for (std::size_t at = 0; at < all.out.size();) {
        const std::size_t end = std::min(all.out.find('\n', at), all.out.size());
        const std::string line = all.out.substr(at, end - at);
        if (!line.empty() && line[0] != ' ')
            installed.insert(line.substr(0, line.find(':')));
        at = end + 1;
    }
    const std::set<std::string> loaded = loadedAtRunTime(loadLog);
    EXPECT_FALSE(loaded.empty()) << "the loader's notes were read";
    for (const std::string& library : loaded) {
        const std::string package = packageOf(library);
        EXPECT_TRUE(package.empty() || installed.contains(package))
            << library << " (" << package
            << ") is loaded at run time, and the package depends on nothing that brings it";
    }
}

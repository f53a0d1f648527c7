// The real program on machines that work against it: a named pipe where the
// music should be, a BRAKVANE_DATA that cannot serve, no sound device, a
// track of another rate started in the middle. Each
// run must get through loading (no hang), keep the console lines the run
// always has, say on standard error what it passed over, and end cleanly.
#include "DemoRun.h"
#include "TestTracks.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <thread>

using namespace testsupport;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

TEST(HostileEnvironment, NothingHangsAndWhatIsPassedOverIsNamed)
{
    using Env = std::map<std::string, std::optional<std::string>>;
    struct Case {
        const char* what;
        // Prepares the working folder (empty, no data) and returns the
        // environment to add.
        std::function<Env(const std::string&)> prepare;
        std::string errorSays; // "" when standard error must be empty
        std::string errorNever = "ALSA lib";
    };
    // BRAKVANE_DATA naming what `make` leaves at WORK/name, and why it cannot serve.
    auto dataAt = [](const char* name, std::function<void(const std::string&)> make, const std::string& why) {
        return Case{name,
                    [name, make](const std::string& work) {
                        make(work + "/" + name);
                        return Env{{"BRAKVANE_DATA", work + "/" + name}};
                    },
                    std::string("brakvane: BRAKVANE_DATA (WORK/") + name + ") is passed over: " + why + "\n"};
    };
    const Case cases[] = {
        {"a named pipe for the music",
         [](const std::string& work) {
             fs::create_directories(work + "/data/music");
             EXPECT_EQ(::mkfifo((work + "/data/music/skalmtone.mp3").c_str(), 0644), 0);
             return Env{};
         },
         ""},
        dataAt(
            "file", [](const std::string& at) { std::ofstream(at) << "x"; }, "not a folder"),
        dataAt(
            "pipe", [](const std::string& at) { EXPECT_EQ(::mkfifo(at.c_str(), 0644), 0); }, "not a folder"),
        dataAt(
            "missing", [](const std::string&) {}, "no such folder"),
        dataAt(
            "loop", [](const std::string& at) { fs::create_symlink(at, at); }, "a loop of symbolic links"),
        dataAt(
            "empty", [](const std::string& at) { fs::create_directory(at); }, "it holds no data folder"),
        {"no sound device",
         [](const std::string&) {
             return Env{{"SDL_AUDIODRIVER", "alsa"}, {"AUDIODEV", "hw:97"}};
         },
         "brakvane: no sound device ("},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testfiles::TempDir work;
        DemoLaunch launch;
        launch.workingDirectory = work.directory();
        launch.env = c.prepare(work.directory());
        auto demo = startDemo(launch);
        // No display: the window is reported, loading goes on, and the demo
        // runs until interrupted.
        EXPECT_TRUE(demo->waitForOutput("Musioc file not found\n", 30s)) << demo->output();
        std::this_thread::sleep_for(300ms);
        demo->signal(SIGINT);
        EXPECT_EQ(demo->wait(30s), 0);
        EXPECT_NE(demo->output().find("Loading Music: data/music/skalmtone.mp3\n"), std::string::npos)
            << demo->output();
        std::string errors = demo->errorOutput();
        for (std::size_t at; (at = errors.find(work.directory())) != std::string::npos;)
            errors.replace(at, work.directory().size(), "WORK");
        // Which sound output plays is said on every run.
        if (const auto at = errors.find("brakvane: sound through "); at != std::string::npos)
            errors.erase(at, errors.find('\n', at) + 1 - at);
        if (c.errorSays.empty())
            EXPECT_EQ(errors.find("brakvane: "), std::string::npos) << errors;
        else
            EXPECT_NE(errors.find(c.errorSays), std::string::npos) << errors;
        EXPECT_EQ(errors.find(c.errorNever), std::string::npos) << errors;
    }
}

TEST(HostileEnvironment, ATrackOfAnotherRateOrMonoStartsWherePictureAndMusicAgree)
{
    // The frame log gives the moment each frame shows; the clock follows the
    // music heard, so a start position counted in the wrong frames shows at once.
    testtracks::TrackDirectory tracks;
    for (const auto& [rate, channels] : {std::pair{22050, 1}, {48000, 2}}) {
        SCOPED_TRACE(std::to_string(rate) + " Hz, " + std::to_string(channels) + " channel(s)");
        const std::string track =
            tracks.makeMp3("track" + std::to_string(rate), rate, channels, 26, testtracks::busySignal);
        ASSERT_FALSE(track.empty());
        testfiles::TempDir work;
        fs::create_directories(work.prefix() + "data/music");
        fs::create_symlink(track, work.prefix() + "data/music/skalmtone.mp3");
        DemoLaunch launch;
        launch.workingDirectory = work.directory();
        launch.args = {"--start", "20"};
        launch.env = {{"BRAKVANE_FRAME_LOG", "1"}};
        auto demo = startDemo(launch);
        ASSERT_TRUE(demo->waitForOutput("Loading Music: data/music/skalmtone.mp3\n", 30s)) << demo->output();
        std::this_thread::sleep_for(2500ms);
        demo->signal(SIGINT);
        EXPECT_EQ(demo->wait(30s), 0);
        std::istringstream lines(demo->errorOutput());
        int frames = 0;
        for (std::string line; std::getline(lines, line);) {
            float t = 0;
            if (std::sscanf(line.c_str(), "frame %f", &t) != 1)
                continue;
            ++frames;
            EXPECT_GE(t, 20.0f) << line;
            EXPECT_LT(t, 24.0f) << line;
        }
        EXPECT_GT(frames, 0) << demo->errorOutput();
    }
}

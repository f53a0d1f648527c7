// The real program on machines that work against it: a named pipe where the
// music should be, a BRAKVANE_DATA that cannot serve, no sound device, a
// track of another rate started in the middle, music that is not MP3,
// folders that cannot be read, no display. Each
// run must get through loading (no hang), keep the console lines the run
// always has, say on standard error what it passed over, and end cleanly.
// And the process itself started in a hostile state: standard streams
// closed, a pipe nobody reads, a hang-up or a quit key.
#include "DemoRun.h"
#include "TestTracks.h"
#include "XClient.h"
#include "XServer.h"

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
        // Which display the demo was refused, and why, when not the usual
        // (no display at all).
        std::string displaySays = "(DISPLAY not set, WAYLAND_DISPLAY not set, SDL video drivers tried: ";
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
        {"no sound device", [](const std::string&) { return Env{{"SDL_AUDIODRIVER", "alsa"}, {"AUDIODEV", "hw:97"}}; },
         "brakvane: no sound device ("},
        {"a WAV file named as the music",
         [](const std::string& work) {
             testtracks::TrackDirectory tracks;
             EXPECT_FALSE(tracks.makeMp3("wave", 44100, 2, 1, testtracks::busySignal).empty());
             fs::create_directories(work + "/data/music");
             fs::copy_file(tracks.file("wave.wav"), work + "/data/music/skalmtone.mp3");
             return Env{};
         },
         "brakvane: data/music/skalmtone.mp3 is not an MP3 stream; the demo plays silent\n"},
        {"a music folder that cannot be read",
         [](const std::string& work) {
             fs::create_directories(work + "/data");
             fs::create_symlink("music", work + "/data/music"); // a loop, unreadable even for root
             return Env{};
         },
         "brakvane: data/music/skalmtone.mp3 cannot be read (Too many levels of symbolic links); the demo plays "
         "silent\n"},
        {"a picture folder that cannot be read",
         [](const std::string& work) {
             fs::create_directories(work + "/data");
             std::ofstream(work + "/data/textures") << "not a folder";
             return Env{};
         },
         "brakvane: cannot read the folder data/textures/: Not a directory\n"},
        {"a display driver that does not exist, and a display name that would split the line",
         [](const std::string&) {
             return Env{{"SDL_VIDEODRIVER", "bogus"}, {"DISPLAY", ":97\nbrakvane: all is well"}};
         },
         "", "ALSA lib", "(DISPLAY=:97\\nbrakvane: all is well, WAYLAND_DISPLAY not set, SDL_VIDEODRIVER=bogus): "},
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
        // The display that could not be opened is named, on a line of its own.
        const std::string noDisplay = "brakvane: cannot open a display " + c.displaySays;
        const std::size_t display = errors.find(noDisplay);
        ASSERT_NE(display, std::string::npos) << errors;
        errors.erase(display, errors.find('\n', display) + 1 - display);
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

TEST(HostileEnvironment, ClosedStreamsAPipeNobodyReadsAHangUpOrAQuitEndItAsItsEndDoes)
{
    struct Case {
        const char* what;
        std::vector<int> closed;
        bool closedPipe = false;
        int signal = 0;        // 0: the demo runs to its own end
        bool onDisplay = true; // one that offers 800 x 600, which must be left as it was
        std::map<std::string, std::optional<std::string>> env;
        int status = 0;
        std::string errorSays;
    };
    std::vector<Case> cases = {
        // Without a display there is something to say on standard error,
        // after the sound file has been opened.
        {.what = "standard error closed", .closed = {2}, .onDisplay = false},
        {.what = "standard input, output and error closed", .closed = {0, 1, 2}},
        {.what = "standard output a pipe nobody reads", .closedPipe = true},
        {.what = "a closed terminal (SIGHUP)", .signal = SIGHUP},
        {.what = "the quit key (SIGQUIT)", .signal = SIGQUIT},
    };
    if (auto env = failingNewAbove(100000); !env.empty())
        cases.push_back({.what = "memory that runs out", .env = env, .status = 1, .errorSays = "out of memory while "});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::optional<XServer> server;
        std::optional<XClient> client;
        if (c.onDisplay) {
            server.emplace(1024, 768);
            ASSERT_TRUE(server->ok());
            client.emplace(server->name());
            ASSERT_TRUE(client->offerMode(800, 600));
        }
        testfiles::TempDir work;
        fs::create_directory_symlink(sourceDir() + "/data", work.prefix() + "data");
        DemoLaunch launch;
        if (server)
            launch.display = server->name();
        launch.workingDirectory = work.directory();
        // Near the end, so that a run left alone ends by itself soon.
        launch.args = {"--start", c.signal ? "0" : "97.5"};
        launch.closedDescriptors = c.closed;
        launch.outputToClosedPipe = c.closedPipe;
        launch.env = c.env;
        auto demo = startDemo(launch);
        if (c.signal) {
            ASSERT_NE(client->findWindow("Brakvane", 20s), 0u) << demo->errorOutput();
            for (int i = 0; i < 200 && client->grabScreen().width != 800; ++i)
                std::this_thread::sleep_for(50ms);
            demo->signal(c.signal);
        }
        EXPECT_EQ(demo->wait(60s), c.status) << demo->errorOutput();
        EXPECT_NE(demo->errorOutput().find(c.errorSays), std::string::npos) << demo->errorOutput();
        // Lines written into a file the demo opened in place of a closed
        // stream would land in the sound it writes.
        std::ifstream played(work.prefix() + "played.raw", std::ios::binary);
        const std::string sound{std::istreambuf_iterator<char>(played), {}};
        for (const char* line : {"Loading", "brakvane: ", "pngBind: "})
            EXPECT_EQ(sound.find(line), std::string::npos) << line;
        if (!client)
            continue;
        EXPECT_EQ(client->grabScreen().width, 1024) << "the display's own mode is back";
    }
}

// How fast brakvane-capture turns the demo into a video: 10-second spans of
// each scene at 60 frames per second into an .mp4, at the demo's own
// 800 x 600 and at 1920 x 1080, timed from launch to exit (loading included),
// as a multiple of real time, the 10 seconds the span lasts. A second run of
// each span hands the frames to a stand-in for ffmpeg that only reads them,
// to show how the time splits between drawing and encoding. Best of a few
// rounds, as the machine is shared.
//
// Runs from the repository folder (data/): scripts/bench.sh. Needs ffmpeg.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr int rounds = 2;
constexpr double spanSeconds = 10;

// Runs the capture; its wall time in seconds, or -1 when it failed.
double timedCapture(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv)
{
    std::vector<std::string> arguments = {BRAKVANE_CAPTURE};
    arguments.insert(arguments.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : arguments)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::vector<std::string> environment = extraEnv;
    for (char** e = environ; *e; ++e)
        environment.emplace_back(*e); // later entries lose to the earlier ones
    std::vector<char*> envp;
    for (std::string& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
    const auto begin = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&files);
    if (spawned != 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seconds : -1;
}

} // namespace

int main()
{
    if (!fs::exists("data/music/skalmtone.mp3") || !fs::is_directory("data/textures")) {
        std::fprintf(stderr, "bench_capture: run it from the folder that holds the demo's data/\n");
        return 1;
    }
    char pattern[] = "/tmp/brakvane-bench-capture-XXXXXX";
    if (!mkdtemp(pattern))
        return 1;
    const std::string scratch = pattern;
    // The stand-in for ffmpeg: reads every frame, throws it away and leaves
    // the smallest whole .mp4 (three empty boxes) where the video would be:
    // the last argument, after "file:".
    const std::string fakeBin = scratch + "/bin";
    fs::create_directories(fakeBin);
    std::ofstream(fakeBin + "/ffmpeg")
        << "#!/bin/sh\nfor last; do :; done\ncat >/dev/null\n"
           "printf '\\000\\000\\000\\020ftypisom\\000\\000\\002\\000\\000\\000\\000\\010moov"
           "\\000\\000\\000\\010mdat' >\"${last#file:}\"\n";
    fs::permissions(fakeBin + "/ffmpeg", fs::perms::owner_all);
    const char* path = std::getenv("PATH");
    const std::string drawOnlyPath = "PATH=" + fakeBin + ":" + (path ? path : "/usr/bin:/bin");

    struct Span {
        const char* scene;
        double from;
    };
    int failures = 0;
    for (const char* size : {"800x600", "1920x1080"}) {
        for (const Span span : {Span{"opening", 15}, Span{"picture sequence", 55}, Span{"end scroller", 80}}) {
            const std::vector<std::string> args = {"--size",
                                                   size,
                                                   "--fps",
                                                   "60",
                                                   "--from",
                                                   std::to_string(span.from),
                                                   "--to",
                                                   std::to_string(span.from + spanSeconds),
                                                   scratch + "/span.mp4"};
            double video = 1e9;
            double drawn = 1e9;
            for (int round = 0; round < rounds; ++round) {
                const double v = timedCapture(args, {});
                const double d = timedCapture(args, {drawOnlyPath});
                if (v < 0 || d < 0) {
                    ++failures;
                    break;
                }
                video = std::min(video, v);
                drawn = std::min(drawn, d);
            }
            if (video >= 1e9) {
                std::fprintf(stderr, "%s at %s: the capture failed\n", span.scene, size);
                continue;
            }
            std::fprintf(stderr, "%s at %s, %g s to %g s: video %.2f s, frames drawn and read back only %.2f s\n",
                         span.scene, size, span.from, span.from + spanSeconds, video, drawn);
            std::printf("RATIO capture of 10 s of the %s at %s to .mp4 at 60 fps vs real time: %.2f (target >= 1.5)\n",
                        span.scene, size, spanSeconds / video);
        }
    }
    std::error_code ignored;
    fs::remove_all(scratch, ignored);
    return failures == 0 ? 0 : 1;
}

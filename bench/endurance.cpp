// The demo left looping for a long time, as on a party screen overnight: its
// resident size at the end of every loop as a ratio against the end of the
// first loop, which is the baseline (everything is loaded, every scene drawn
// once). The goal is a ratio that stays at about 1: nothing grows per loop.
//
//   bench_endurance [SECONDS] [START]
//
// runs `brakvane --window --size 320x240 --loop` for SECONDS (default 330: three
// loops from START, default 0) and reads its frame log to see where each loop
// ends. Runs from the repository folder (data/) on a display: scripts/bench.sh
// endurance.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

// A field of /proc/PID/status in kB ("VmRSS", "RssAnon"), -1 when unknown.
long statusKb(pid_t pid, const std::string& field)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind(field + ":", 0) == 0)
            return std::strtol(line.c_str() + field.size() + 1, nullptr, 10);
    return -1;
}

// The resident size of the process's [heap] mapping in kB.
long heapKb(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/smaps");
    bool inHeap = false;
    for (std::string line; std::getline(in, line);)
        if (line.find(" [heap]") != std::string::npos)
            inHeap = true;
        else if (inHeap && line.rfind("Rss:", 0) == 0)
            return std::strtol(line.c_str() + 4, nullptr, 10);
    return -1;
}

} // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 330;
    const std::string start = argc > 2 ? argv[2] : "0";

    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0)
        return 1;
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_adddup2(&files, pipeEnds[1], STDERR_FILENO);
    posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclose(&files, pipeEnds[0]);
    std::vector<std::string> environment = {"BRAKVANE_FRAME_LOG=1"};
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "BRAKVANE_FRAME_LOG=", 19) != 0)
            environment.push_back(*e);
    std::vector<char*> envp;
    for (std::string& e : environment)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> arguments = {BRAKVANE_PROGRAM, "--window", "--size", "320x240",
                                          "--loop",         "--start",  start};
    std::vector<char*> args;
    for (std::string& a : arguments)
        args.push_back(a.data());
    args.push_back(nullptr);
    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, BRAKVANE_PROGRAM, &files, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&files);
    ::close(pipeEnds[1]);
    if (spawned != 0) {
        std::fprintf(stderr, "endurance: cannot start %s: %s\n", BRAKVANE_PROGRAM, std::strerror(spawned));
        return 1;
    }

    FILE* log = ::fdopen(pipeEnds[0], "r");
    const auto begin = std::chrono::steady_clock::now();
    char line[512];
    double last = -1;
    int loop = 0;
    long baseline = -1;
    long baselineHeap = -1;
    double worst = 0;
    double latest = 0;
    while (std::fgets(line, sizeof line, log)) {
        double t = 0;
        if (std::sscanf(line, "frame %lf", &t) != 1) {
            std::fputs(line, stderr); // the demo's own diagnostics
            continue;
        }
        if (t + 1 < last) {
            // The timeline went back to 0: a loop has ended.
            ++loop;
            const long rss = statusKb(pid, "VmRSS");
            const long heap = heapKb(pid);
            if (loop == 1) {
                baseline = rss;
                baselineHeap = heap;
            }
            const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
            const double ratio = baseline > 0 ? static_cast<double>(rss) / static_cast<double>(baseline) : 0;
            worst = std::max(worst, ratio);
            latest = ratio;
            std::printf("loop %d at %.0f s: resident %ld kB (heap %ld kB), RATIO %.4f against loop 1 (heap %+ld kB)\n",
                        loop, elapsed, rss, heap, ratio, heap - baselineHeap);
            std::fflush(stdout);
        }
        last = t;
        if (std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count() > seconds)
            break;
    }
    ::kill(pid, SIGTERM);
    while (std::fgets(line, sizeof line, log)) {
    }
    std::fclose(log);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (loop < 2) {
        std::printf("endurance: only %d loop(s) in %.0f s; run longer\n", loop, seconds);
        return 1;
    }
    std::printf("RATIO endurance: resident size after %d loops / after the first: %.4f (largest %.4f)\n", loop, latest,
                worst);
    return 0;
}

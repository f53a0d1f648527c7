// Starting and stopping the compositor and the sound server.
#include "Testbeds.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace testsupport {

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

std::string privateDirectory(const char* tag)
{
    std::string pattern = std::string("/tmp/brakvane-") + tag + "-XXXXXX";
    if (!mkdtemp(pattern.data()))
        return {};
    return pattern;
}

// Runs a testbed script with its output in the log file; the script execs the
// server, so the child's id is the server's.
pid_t startScript(const std::string& script, const std::vector<std::string>& args, const std::string& log)
{
    pid_t child = fork();
    if (child != 0)
        return child;
    int in = open("/dev/null", O_RDONLY);
    int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(in, 0);
    dup2(out, 1);
    dup2(out, 2);
    // A new process group: the test's own signals (and the terminal's) stay away.
    setpgid(0, 0);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(script.c_str()));
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(script.c_str(), argv.data());
    _exit(127);
}

bool alive(pid_t pid)
{
    int status = 0;
    return pid > 0 && waitpid(pid, &status, WNOHANG) == 0;
}

void stop(pid_t pid)
{
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    for (int i = 0; i < 300; ++i) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) != 0)
            return;
        std::this_thread::sleep_for(10ms);
    }
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
}

// Runs a short client to its end and returns its standard output.
std::string runClient(const std::vector<std::string>& args,
                      const std::map<std::string, std::optional<std::string>>& env)
{
    ChildOptions options;
    options.args = args;
    options.env = env;
    ChildProcess client(options);
    client.wait(10s);
    return client.output();
}

std::string testbedScript(const char* name)
{
    return sourceDir() + "/tests/testbeds/" + name;
}

} // namespace

WestonServer::WestonServer() : runtime(privateDirectory("weston"))
{
    if (runtime.empty()) {
        failure = "no private runtime directory";
        return;
    }
    pid = startScript(testbedScript("weston.sh"), {runtime, BRAKVANE_WESTON_SEAT_MODULE}, runtime + "/script.log");
    const fs::path socket = fs::path(runtime) / "wayland-brakvane";
    for (int i = 0; i < 300 && alive(pid) && !fs::exists(socket); ++i)
        std::this_thread::sleep_for(20ms);
    if (!fs::exists(socket)) {
        failure = "weston did not start; see " + runtime + "/weston.log";
        return;
    }
    // A client must see the output and the seat before SDL may try.
    for (int i = 0; i < 50 && !ready; ++i) {
        std::string info = runClient({"weston-info"}, clientEnvironment());
        ready = info.find("wl_output") != std::string::npos && info.find("wl_seat") != std::string::npos;
        if (!ready)
            std::this_thread::sleep_for(100ms);
    }
    if (!ready)
        failure = "weston-info sees no output or no seat";
}

WestonServer::~WestonServer()
{
    stop(pid);
    std::error_code ec;
    if (!runtime.empty())
        fs::remove_all(runtime, ec);
}

std::map<std::string, std::optional<std::string>> WestonServer::clientEnvironment() const
{
    return {{"XDG_RUNTIME_DIR", runtime},
            {"WAYLAND_DISPLAY", std::string("wayland-brakvane")},
            {"DISPLAY", std::nullopt},
            {"SDL_VIDEODRIVER", std::nullopt}};
}

RepaintProbe::RepaintProbe(const WestonServer& compositor)
{
    ChildOptions options;
    options.args = {"stdbuf", "-oL", "weston-simple-egl"};
    options.env = compositor.clientEnvironment();
    client = std::make_unique<ChildProcess>(options);
}

double RepaintProbe::finish()
{
    // Interrupted, the client leaves its loop and flushes its reports.
    client->signal(SIGINT);
    client->wait(5s);
    // "272 frames in 5 seconds: 54.400002 fps"
    std::istringstream lines(client->output());
    std::string line;
    double frames = 0;
    double seconds = 0;
    while (std::getline(lines, line)) {
        int count = 0;
        int span = 0;
        if (std::sscanf(line.c_str(), "%d frames in %d seconds", &count, &span) == 2) {
            frames += count;
            seconds += span;
        }
    }
    return seconds > 0 ? frames / seconds : 0.0;
}

PulseServer::PulseServer() : directory(privateDirectory("pulse"))
{
    if (directory.empty()) {
        failure = "no private directory";
        return;
    }
    pid = startScript(testbedScript("pulse.sh"), {directory}, directory + "/script.log");
    std::map<std::string, std::optional<std::string>> env{{"PULSE_SERVER", address()}};
    for (int i = 0; i < 100 && alive(pid) && !ready; ++i) {
        if (fs::exists(directory + "/native"))
            ready = runClient({"pactl", "info"}, env).find("Default Sink: brakvane") != std::string::npos;
        if (!ready)
            std::this_thread::sleep_for(50ms);
    }
    if (!ready)
        failure = "pulseaudio did not start; see " + directory + "/pulse.log";
}

PulseServer::~PulseServer()
{
    stop(pid);
    std::error_code ec;
    if (!directory.empty())
        fs::remove_all(directory, ec);
}

} // namespace testsupport

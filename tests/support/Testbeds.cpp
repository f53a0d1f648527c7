// Starting and stopping the compositors and the sound servers.
#include "Testbeds.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
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

// The last lines of every log a testbed wrote in its directory, for the
// message of a testbed that did not start: the directory goes with the object.
std::string logTails(const std::string& directory)
{
    std::string tails;
    std::error_code ec;
    std::vector<fs::path> logs;
    for (const auto& entry : fs::directory_iterator(directory, ec))
        if (entry.path().extension() == ".log")
            logs.push_back(entry.path());
    std::sort(logs.begin(), logs.end());
    for (const auto& log : logs) {
        std::ifstream in(log);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            if (!line.empty())
                lines.push_back(line);
        const std::size_t from = lines.size() > 4 ? lines.size() - 4 : 0;
        for (std::size_t i = from; i < lines.size(); ++i)
            tails += "\n  " + log.filename().string() + ": " + lines[i];
    }
    return tails.empty() ? " (no log lines)" : tails;
}

struct ClientRun {
    std::string output;
    std::string errors;
    std::optional<int> status;
};

// Runs a short client to its end.
ClientRun runClient(const std::vector<std::string>& args, const std::map<std::string, std::optional<std::string>>& env)
{
    ChildOptions options;
    options.args = args;
    options.env = env;
    ChildProcess client(options);
    ClientRun run;
    run.status = client.wait(10s);
    run.output = client.output();
    run.errors = client.errorOutput();
    return run;
}

std::string testbedScript(const char* name)
{
    return sourceDir() + "/tests/testbeds/" + name;
}

} // namespace

Compositor::Compositor(CompositorKind which, bool xwayland, int width, int height, const std::string& pipewireDirectory)
    : kind(which), runtime(privateDirectory("desktop")), pipewire(pipewireDirectory)
{
    const char* name = kind == CompositorKind::weston ? "weston" : kind == CompositorKind::mutter ? "mutter" : "kwin";
    if (runtime.empty()) {
        failure = "no private runtime directory";
        return;
    }
    std::vector<std::string> args{runtime, BRAKVANE_WESTON_SEAT_MODULE};
    if (xwayland)
        args.push_back("xwayland");
    if (kind != CompositorKind::weston)
        args = {runtime, std::to_string(width) + "x" + std::to_string(height), xwayland ? "x11" : "wayland", pipewire};
    pid = startScript(testbedScript((std::string(name) + ".sh").c_str()), args, runtime + "/script.log");
    const fs::path socket = fs::path(runtime) / "wayland-brakvane";
    for (int i = 0; i < 500 && alive(pid) && !fs::exists(socket); ++i)
        std::this_thread::sleep_for(20ms);
    if (!fs::exists(socket)) {
        failure = std::string(name) + " did not start (" + (alive(pid) ? "no socket in 10 s" : "it ended") + ")" +
                  logTails(runtime);
        return;
    }
    // A client must see the output and the seat before SDL may try.
    ClientRun info;
    for (int i = 0; i < 50 && !ready; ++i) {
        info = runClient({"wayland-info"}, clientEnvironment());
        ready = info.output.find("wl_output") != std::string::npos && info.output.find("wl_seat") != std::string::npos;
        if (!ready)
            std::this_thread::sleep_for(100ms);
    }
    if (!ready) {
        failure = "wayland-info (exit status " + (info.status ? std::to_string(*info.status) : "none") + ") sees " +
                  (info.output.find("wl_output") == std::string::npos ? "no output" : "an output") + " and " +
                  (info.output.find("wl_seat") == std::string::npos ? "no seat" : "a seat") +
                  "; it said: " + info.errors.substr(0, 300) + logTails(runtime);
        return;
    }
    if (!xwayland)
        return;
    // Weston names the X display it listens on in its log; the other scripts
    // write it, with Xwayland's authority file, once Xwayland runs.
    ready = false;
    for (int i = 0; i < 200 && !ready; ++i) {
        std::ifstream log(runtime + (kind == CompositorKind::weston ? "/weston.log" : "/xwayland"));
        const std::string mark = "xserver listening on display ";
        for (std::string line; std::getline(log, line);) {
            if (kind != CompositorKind::weston) {
                std::istringstream(line) >> xDisplay >> xAuthority;
                xAuthority = xAuthority == "-" ? "" : xAuthority;
            } else if (const auto at = line.find(mark); at != std::string::npos) {
                xDisplay = line.substr(at + mark.size());
            }
        }
        ready = !xDisplay.empty();
        if (!ready)
            std::this_thread::sleep_for(50ms);
    }
    if (!ready)
        failure = std::string(name) + " did not start Xwayland" + logTails(runtime);
}

bool Compositor::installed(CompositorKind kind)
{
    const char* program = kind == CompositorKind::mutter ? "/mutter" : "/kwin_wayland";
    std::istringstream path(std::getenv("PATH") != nullptr ? std::getenv("PATH") : "");
    bool found = kind == CompositorKind::weston;
    for (std::string directory; std::getline(path, directory, ':') && !found;)
        found = access((directory + program).c_str(), F_OK) == 0;
    return found;
}

Compositor::~Compositor()
{
    stop(pid);
    std::error_code ec;
    if (!runtime.empty())
        fs::remove_all(runtime, ec);
}

std::map<std::string, std::optional<std::string>> Compositor::clientEnvironment() const
{
    auto unlessEmpty = [](const std::string& value) {
        return value.empty() ? std::nullopt : std::optional<std::string>(value);
    };
    return {{"XDG_RUNTIME_DIR", runtime},
            {"WAYLAND_DISPLAY", std::string("wayland-brakvane")},
            {"DISPLAY", unlessEmpty(xDisplay)},
            {"XAUTHORITY", unlessEmpty(xAuthority)},
            {"SDL_VIDEODRIVER", std::nullopt}};
}

std::unique_ptr<ChildProcess> Compositor::startScreenshot(const std::string& path) const
{
    if (kind == CompositorKind::weston)
        return nullptr;
    ChildOptions options;
    options.args = {testbedScript("screenshot.py"), kind == CompositorKind::mutter ? "mutter" : "kwin", path};
    options.env = {{"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + runtime + "/bus"},
                   {"PIPEWIRE_RUNTIME_DIR", pipewire},
                   {"XDG_RUNTIME_DIR", runtime}};
    return std::make_unique<ChildProcess>(options);
}

std::string Compositor::outputMode() const
{
    // wl_output's "mode: width: 1280 px, height: 720 px, refresh: 60.000 Hz"
    // (the outputs here have one mode each).
    const std::string info = runClient({"wayland-info"}, clientEnvironment()).output;
    int width = 0;
    int height = 0;
    for (auto at = info.find("width: "); at != std::string::npos; at = info.find("width: ", at + 1))
        if (std::sscanf(info.c_str() + at, "width: %d px, height: %d px, refresh", &width, &height) == 2)
            return std::to_string(width) + "x" + std::to_string(height);
    return {};
}

RepaintProbe::RepaintProbe(const Compositor& compositor)
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

SoundServer::SoundServer(SoundServerKind kind, int graphQuantum, int graphRate, bool forced)
    : directory(privateDirectory(kind == SoundServerKind::pipewire ? "pipewire" : "pulse")),
      socket(kind == SoundServerKind::pipewire ? "/pulse/native" : "/native")
{
    if (directory.empty()) {
        failure = "no private directory";
        return;
    }
    std::ofstream(alsaConfig()) << "pcm.!default { type pulse server \"" << address() << "\" }\n"
                                << "ctl.!default { type pulse server \"" << address() << "\" }\n";
    script = kind == SoundServerKind::pipewire ? "pipewire.sh" : "pulse.sh";
    args = {directory};
    if (kind == SoundServerKind::pipewire) {
        args.push_back(std::to_string(graphQuantum > 0 ? graphQuantum : 1024));
        args.push_back(std::to_string(graphRate > 0 ? graphRate : 44100));
        if (forced)
            args.push_back("forced");
    }
    launch();
}

void SoundServer::launch()
{
    ready = false;
    pid = startScript(testbedScript(script), args, directory + "/script.log");
    // pactl's lines are translated ("Default Sink:"): it is read in C.
    std::map<std::string, std::optional<std::string>> env{{"PULSE_SERVER", address()}, {"LC_ALL", "C"}};
    for (int i = 0; i < 200 && alive(pid) && !ready; ++i) {
        if (fs::exists(directory + socket))
            ready = runClient({"pactl", "info"}, env).output.find("Default Sink: brakvane") != std::string::npos;
        if (!ready)
            std::this_thread::sleep_for(50ms);
    }
    if (!ready)
        failure = std::string(script) + " did not start its server (" +
                  (alive(pid) ? "not ready in time" : "it ended") + ")" + logTails(directory);
}

void SoundServer::stopServer()
{
    hold(false);
    stop(pid);
    pid = -1;
    ready = false;
}

bool SoundServer::restart()
{
    if (pid > 0)
        stopServer();
    launch();
    return ready;
}

void SoundServer::hold(bool stopped)
{
    // The script put the server (and all it started) in a process group of its own.
    if (pid > 0)
        kill(-pid, stopped ? SIGSTOP : SIGCONT);
}

void SoundServer::holdFirstSound(bool held)
{
    std::ifstream pids(directory + "/frontend.pids");
    pid_t frontend = 0;
    bool any = false;
    while (pids >> frontend) {
        if (frontend > 0)
            kill(frontend, held ? SIGSTOP : SIGCONT);
        any = true;
    }
    if (!any)
        hold(held);
}

SoundServer::~SoundServer()
{
    hold(false);
    stop(pid);
    std::error_code ec;
    if (!directory.empty())
        fs::remove_all(directory, ec);
}

} // namespace testsupport

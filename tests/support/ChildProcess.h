// Runs a program as a child process with its own environment and working
// directory, capturing standard output and standard error into files, so a test
// can watch the console lines appear, send signals and wait for the exit status.
#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace testsupport {

struct ChildOptions {
    std::vector<std::string> args;                         // args[0] is the program path
    std::string workingDirectory;                          // empty: the test's own
    std::map<std::string, std::optional<std::string>> env; // nullopt removes the variable
    // RLIMIT_FSIZE in bytes, as `prlimit --fsize` or `ulimit -f` sets it, in
    // the program and in whatever it starts: SIGXFSZ keeps its default action,
    // which ends a program that does not handle it.
    std::optional<long long> fileSizeLimit;
    // Standard descriptors (0 to 2) the program starts with closed, as
    // `prog <&- >&- 2>&-` leaves them; output() and errorOutput() then hold
    // nothing from them.
    std::vector<int> closedDescriptors;
    // Standard output a pipe whose reading end is closed, as after
    // `prog | head -1` once head has gone: every write fails with EPIPE.
    bool outputToClosedPipe = false;
};

class ChildProcess {
public:
    explicit ChildProcess(const ChildOptions& options);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return pid > 0; }
    std::string output() const;      // standard output so far
    std::string errorOutput() const; // standard error so far
    // Waits until standard output contains text; false on timeout or exit.
    bool waitForOutput(const std::string& text, std::chrono::milliseconds timeout);
    void signal(int sig);
    // Exit status, or nullopt when the process did not end in time (it is then killed).
    // A process ended by a signal reports 128 + signal number.
    std::optional<int> wait(std::chrono::milliseconds timeout);
    bool exited();

private:
    pid_t pid = -1;
    std::optional<int> status;
    std::string outPath;
    std::string errPath;
};

// The directory of the test data and the built programs, set by the build.
std::string sourceDir();
std::string binaryDir();

// The environment that makes every operator new of more than `bytes` in the
// program fail with std::bad_alloc (a library preloaded for it), or nothing
// in sanitized builds, whose runtime must be the first library loaded.
std::map<std::string, std::optional<std::string>> failingNewAbove(std::size_t bytes);

} // namespace testsupport

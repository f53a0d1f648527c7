// Starts the real demo program as a user would, on a given X display, from a
// working directory of the test's choosing, with sound going to a file.
#pragma once

#include "ChildProcess.h"
#include "TestFiles.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

// One start of a program with options: what startDemo does, plus arguments
// and environment variables of the test's choosing.
struct DemoLaunch {
    std::optional<std::string> display; // nullopt: no display server at all
    std::string workingDirectory;
    std::string program = "app/brakvane"; // relative to the build folder, or absolute
    std::vector<std::string> args;
    std::map<std::string, std::optional<std::string>> env; // nullopt removes the variable
    std::vector<int> closedDescriptors;                    // see ChildOptions
    bool outputToClosedPipe = false;
};
std::unique_ptr<ChildProcess> startDemo(const DemoLaunch& launch);

// display: a DISPLAY value, or nullopt to run with no display server at all.
std::unique_ptr<ChildProcess> startDemo(const std::optional<std::string>& display, const std::string& workingDirectory,
                                        const std::string& program = "app/brakvane");

// The names in a folder, sorted as the caches list them.
std::vector<std::string> sortedNames(const std::string& directory);

// The lines the demo writes while loading its own data (the committed data/):
// the music line, an empty line, a line per picture, an empty line, a line per model.
std::string ownDataLoadingLines();

} // namespace testsupport

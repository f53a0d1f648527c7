// Starts the real demo program as a user would, on a given X display, from a
// working directory of the test's choosing, with sound going to a file.
#pragma once

#include "ChildProcess.h"
#include "TestFiles.h"

#include <memory>
#include <optional>
#include <string>

namespace testsupport {

// display: a DISPLAY value, or nullopt to run with no display server at all.
std::unique_ptr<ChildProcess> startDemo(const std::optional<std::string>& display, const std::string& workingDirectory,
                                        const std::string& program = "app/brakvane");

} // namespace testsupport

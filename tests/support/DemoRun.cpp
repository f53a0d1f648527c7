// Launching the demo for end-to-end tests.
#include "DemoRun.h"

namespace testsupport {

std::unique_ptr<ChildProcess> startDemo(const std::optional<std::string>& display, const std::string& workingDirectory,
                                        const std::string& program)
{
    ChildOptions options;
    options.args = {binaryDir() + "/" + program};
    options.workingDirectory = workingDirectory;
    options.env["DISPLAY"] = display;
    options.env["WAYLAND_DISPLAY"] = std::nullopt;
    options.env["SDL_VIDEODRIVER"] = std::nullopt;
    options.env["LIBGL_ALWAYS_SOFTWARE"] = std::string("1");
    // Sound is captured into a file of the working directory, never a real device.
    options.env["SDL_AUDIODRIVER"] = std::string("disk");
    options.env["SDL_DISKAUDIOFILE"] = workingDirectory + "/played.raw";
    return std::make_unique<ChildProcess>(options);
}

} // namespace testsupport

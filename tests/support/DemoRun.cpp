// Launching the demo for end-to-end tests.
#include "DemoRun.h"

#include <algorithm>
#include <filesystem>

namespace testsupport {

std::unique_ptr<ChildProcess> startDemo(const std::optional<std::string>& display, const std::string& workingDirectory,
                                        const std::string& program)
{
    DemoLaunch launch;
    launch.display = display;
    launch.workingDirectory = workingDirectory;
    launch.program = program;
    return startDemo(launch);
}

std::unique_ptr<ChildProcess> startDemo(const DemoLaunch& launch)
{
    ChildOptions options;
    options.args = {launch.program.rfind('/', 0) == 0 ? launch.program : binaryDir() + "/" + launch.program};
    options.args.insert(options.args.end(), launch.args.begin(), launch.args.end());
    const std::string& workingDirectory = launch.workingDirectory;
    options.workingDirectory = workingDirectory;
    options.env["DISPLAY"] = launch.display;
    options.env["WAYLAND_DISPLAY"] = std::nullopt;
    options.env["SDL_VIDEODRIVER"] = std::nullopt;
    options.env["LIBGL_ALWAYS_SOFTWARE"] = std::string("1");
    // Sound is captured into a file of the working directory, never a real device.
    options.env["SDL_AUDIODRIVER"] = std::string("disk");
    options.env["SDL_DISKAUDIOFILE"] = workingDirectory + "/played.raw";
    // Data is looked for only where the test says.
    options.env["BRAKVANE_DATA"] = std::nullopt;
    for (const auto& [name, value] : launch.env)
        options.env[name] = value;
    options.closedDescriptors = launch.closedDescriptors;
    options.outputToClosedPipe = launch.outputToClosedPipe;
    return std::make_unique<ChildProcess>(options);
}

std::vector<std::string> sortedNames(const std::string& directory)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string ownDataLoadingLines()
{
    const std::string data = sourceDir() + "/data";
    std::string lines = "Loading Music: data/music/skalmtone.mp3\n\n";
    for (const auto& name : sortedNames(data + "/textures"))
        lines += "Loading texture: data/textures/" + name + "\n";
    lines += "\n";
    for (const auto& name : sortedNames(data + "/models"))
        lines += "Loading model: data/models/" + name + "\n";
    return lines;
}

} // namespace testsupport

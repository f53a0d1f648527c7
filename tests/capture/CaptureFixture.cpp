// The capture tests' data set and program runs.
#include "CaptureFixture.h"

#include "TestTracks.h"
#include "assets/FileBytes.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/mount.h>

namespace capturetest {

namespace fs = std::filesystem;

namespace {

std::string program()
{
    return testsupport::binaryDir() + "/capture/brakvane-capture";
}

} // namespace

Workspace::Workspace(const std::string& music) : folder(dir.directory())
{
    fs::create_directories(folder + "/data/textures");
    fs::create_directories(folder + "/data/models");
    writePictures(folder + "/data/textures/");
    if (!music.empty()) {
        fs::create_directories(folder + "/data/music");
        fs::copy_file(music, folder + "/data/music/skalmtone.mp3");
    }
}

const std::string& steadyTrack()
{
    static testtracks::TrackDirectory tracks;
    static const std::string path = tracks.makeMp3("steady", 44100, 2, 56.0, [](int frame, int, int rate) {
        if (frame < 50 * rate)
            return 0.0;
        return 0.5 + 0.2 * std::sin(2 * 3.141592653589793 * 1000.0 * frame / rate);
    });
    return path;
}

std::unique_ptr<testsupport::ChildProcess> startCapture(const std::string& workingDirectory,
                                                        const std::vector<std::string>& args, const RunOptions& options)
{
    testsupport::ChildOptions child;
    child.args = {program()};
    child.args.insert(child.args.end(), args.begin(), args.end());
    child.workingDirectory = workingDirectory;
    // No display server and no sound device: the capture needs neither.
    child.env["DISPLAY"] = std::nullopt;
    child.env["WAYLAND_DISPLAY"] = std::nullopt;
    child.env["SDL_AUDIODRIVER"] = std::nullopt;
    for (const auto& [key, value] : options.env)
        child.env[key] = value;
    child.fileSizeLimit = options.fileSizeLimit;
    child.closedDescriptors = options.closedDescriptors;
    return std::make_unique<testsupport::ChildProcess>(child);
}

CaptureRun capture(const std::string& workingDirectory, const std::vector<std::string>& args, const RunOptions& options)
{
    auto child = startCapture(workingDirectory, args, options);
    CaptureRun run;
    run.status = child->wait(options.timeout).value_or(-1);
    run.out = child->output();
    run.err = child->errorOutput();
    return run;
}

SmallDisk::SmallDisk(const std::string& folder, long long bytes, bool readOnly) : path(folder)
{
    std::error_code ignored;
    fs::create_directories(folder, ignored);
    const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
    isMounted = ::mount("tmpfs", folder.c_str(), "tmpfs", readOnly ? MS_RDONLY : 0, options.c_str()) == 0;
}

SmallDisk::~SmallDisk()
{
    if (isMounted)
        ::umount2(path.c_str(), MNT_DETACH);
}

int processesWorkingIn(const std::string& folder)
{
    int count = 0;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/proc", ec)) {
        std::error_code linkError;
        const fs::path cwd = fs::read_symlink(entry.path() / "cwd", linkError);
        if (!linkError && cwd.string().rfind(folder, 0) == 0)
            ++count;
    }
    return count;
}

std::string loadingLines(bool musicFound)
{
    std::string lines = "Loading Music: data/music/skalmtone.mp3\n";
    if (!musicFound)
        lines += "Musioc file not found\n";
    lines += "\n";
    for (const char* name : {"danish.png", "endscroller.png", "finnish.png", "finnish2.png", "finnish3.png",
                             "finnish4.png", "finnish5.png", "text.png"})
        lines += std::string("Loading texture: data/textures/") + name + "\n";
    lines += "\n";
    return lines;
}

PngImage readPng(const std::string& path)
{
    PngImage image;
    FileBytes bytes;
    if (readFileBytes(path, bytes))
        decodePng(bytes.data.get(), bytes.size, image, {.keepAlpha = false});
    return image;
}

Rgb pixel(const PngImage& image, int x, int y)
{
    if (!image.pixels || x < 0 || y < 0 || x >= static_cast<int>(image.width) || y >= static_cast<int>(image.height))
        return {-1, -1, -1};
    const unsigned char* p = image.pixels.get() + static_cast<std::size_t>(y) * image.rowBytes() +
                             static_cast<std::size_t>(x) * image.channels;
    return {p[0], p[1], p[2]};
}

std::vector<unsigned char> fileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> folderNames(const std::string& folder)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace capturetest

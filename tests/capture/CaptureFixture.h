// What the capture tests share: a working folder holding a small data set
// (pictures of known colours, a short MP3 made by lame), the capture program
// run in it as a user runs it, and PNG files read back.
#pragma once

#include "ChildProcess.h"
#include "TestFiles.h"
#include "TimelinePictures.h"
#include "assets/PngDecode.h"

#include <array>
#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace capturetest {

// The timeline's test pictures, their colours and the pixels expected of them.
using namespace timelinepictures;

// A scratch working folder with data/textures/ (the timeline's test pictures),
// data/models/ (empty) and, when given, data/music/skalmtone.mp3.
class Workspace {
public:
    explicit Workspace(const std::string& music = "");
    const std::string& path() const { return folder; }
    std::string file(const std::string& name) const { return folder + "/" + name; }

private:
    testfiles::TempDir dir;
    std::string folder;
};

// A track of 56 s at 44.1 kHz stereo, made once per test program and shared:
// silence up to 50 s, then a constant 0.5 under a quiet 1 kHz tone (its
// spectrum's first value about 0.5), so the picture sequence grows to a known
// size from 50 s on.
const std::string& steadyTrack();

struct CaptureRun {
    int status = -1; // -1: did not end in time
    std::string out;
    std::string err;
};

struct RunOptions {
    std::map<std::string, std::optional<std::string>> env;
    std::chrono::milliseconds timeout{60000};
    std::optional<long long> fileSizeLimit; // see testsupport::ChildOptions
    std::vector<int> closedDescriptors;     // the same
};

// A tmpfs of the given size mounted on folder (created if missing) for the
// object's life, as a small or read-only disk. Mounting needs root:
// mounted() says whether it worked.
class SmallDisk {
public:
    SmallDisk(const std::string& folder, long long bytes, bool readOnly = false);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    bool mounted() const { return isMounted; }

private:
    std::string path;
    bool isMounted = false;
};

// Processes whose working folder lies in folder (the capture's ffmpeg runs
// in the capture's own).
int processesWorkingIn(const std::string& folder);

// Runs brakvane-capture with args in the working folder, with no display.
CaptureRun capture(const std::string& workingDirectory, const std::vector<std::string>& args,
                   const RunOptions& options = {});
// Starts it without waiting.
std::unique_ptr<testsupport::ChildProcess>
startCapture(const std::string& workingDirectory, const std::vector<std::string>& args, const RunOptions& options = {});

// The loading lines for the workspace's data: music, textures, no models.
std::string loadingLines(bool musicFound);

// A PNG file decoded to RGB; empty when it cannot be read.
PngImage readPng(const std::string& path);
Rgb pixel(const PngImage& image, int x, int y);
std::vector<unsigned char> fileBytes(const std::string& path);
std::vector<std::string> folderNames(const std::string& folder);

} // namespace capturetest

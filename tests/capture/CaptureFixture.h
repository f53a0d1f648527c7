// What the capture tests share: a working folder holding a small data set
// (pictures of known colours, a short MP3 made by lame), the capture program
// run in it as a user runs it, and PNG files read back.
#pragma once

#include "ChildProcess.h"
#include "TestFiles.h"
#include "assets/PngDecode.h"

#include <array>
#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace capturetest {

using Rgb = std::array<int, 3>;
inline constexpr Rgb red{255, 0, 0};
inline constexpr Rgb yellow{255, 255, 0};
inline constexpr Rgb green{0, 255, 0};
inline constexpr Rgb blue{0, 0, 255};
inline constexpr Rgb cyan{0, 255, 255};
inline constexpr Rgb magenta{255, 0, 255};
inline constexpr Rgb grey{128, 128, 128};
inline constexpr Rgb black{0, 0, 0};
inline constexpr Rgb white{255, 255, 255};
inline constexpr Rgb barBlue{0, 0, 179};  // 0.7 of full blue

// under covered by over with opacity a, rounded as 8-bit blending rounds.
Rgb mix(const Rgb& under, const Rgb& over, double a);
// The text overlay's opacity at t.
double pulse(float t);

// The pictures of the demo's schedule, in colours that tell them apart:
// danish red over yellow, text opaque white, finnish vertical green and black
// stripes 80 pixels wide on screen, finnish2..5 cyan, magenta, grey, blue,
// endscroller red, green, blue bands from the top.
void writePictures(const std::string& textureFolder);

// A scratch working folder with data/textures/ (the pictures above),
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
    int status = -1;  // -1: did not end in time
    std::string out;
    std::string err;
};

struct RunOptions {
    std::map<std::string, std::optional<std::string>> env;
    std::chrono::milliseconds timeout{60000};
};

// Runs brakvane-capture with args in the working folder, with no display.
CaptureRun capture(const std::string& workingDirectory, const std::vector<std::string>& args, const RunOptions& options = {});
// Starts it without waiting.
std::unique_ptr<testsupport::ChildProcess> startCapture(const std::string& workingDirectory,
                                                        const std::vector<std::string>& args,
                                                        const RunOptions& options = {});

// The loading lines for the workspace's data: music, textures, no models.
std::string loadingLines(bool musicFound);

// A PNG file decoded to RGB; empty when it cannot be read.
PngImage readPng(const std::string& path);
Rgb pixel(const PngImage& image, int x, int y);
std::vector<unsigned char> fileBytes(const std::string& path);
std::vector<std::string> folderNames(const std::string& folder);

} // namespace capturetest

// The capture program's command line: one picture at a moment (--at), or
// every frame of a span at a frame rate into a folder of numbered pictures or
// a video file. Parsing checks everything that can be checked before any
// work starts, so a bad command fails at once with one line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

struct CaptureOptions {
    enum class Output {
        Picture, // --at: one PNG file
        Folder,  // numbered PNG files in a folder
        Video,   // a video file written by ffmpeg
    };

    bool help = false;
    Output output = Output::Folder;
    double at = 0; // Picture
    int fps = 60;  // Folder and Video
    double from = 0;
    std::optional<double> to; // none: up to the frame that ends the demo
    std::int64_t frames = 1;  // how many frames the span has (1 for a picture)
    int width = 800;          // --size: the frame, the demo's 4:3 picture centred in it
    int height = 600;
    std::optional<int> crf; // --crf: the video's quality; none: the codec's default
    std::string out;
    std::string videoFormat; // ffmpeg's name of the container: mp4, matroska, webm
};

inline constexpr int maxFps = 1000;
// No frame side is larger than this; the OpenGL implementation may allow less.
inline constexpr int maxFrameSide = 65536;

// Fills options from the arguments (argv[0] is the program). False for bad
// usage, with a one-line reason (no program name, no line break) in error.
bool parseCaptureOptions(int argc, char** argv, CaptureOptions& options, std::string& error);

// The text --help prints.
std::string captureUsage();

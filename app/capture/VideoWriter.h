// A video file written by the ffmpeg program: raw frames go down a pipe into
// it, the music comes from a temporary WAV file, and ffmpeg encodes and muxes
// both into "NAME.partial", which becomes NAME only once ffmpeg has finished
// without error. ffmpeg runs in a process group of its own, so Ctrl+C in the
// terminal reaches only the capture, which then stops ffmpeg itself.
#pragma once

#include <cstdint>
#include <string>
#include <sys/types.h>

class AudioSpanFile;

struct VideoJob {
    std::string out;         // the file asked for
    std::string format;      // ffmpeg's container name: mp4, matroska or webm
    int width = 800;
    int height = 600;
    int fps = 60;
    const AudioSpanFile* audio = nullptr;  // null or empty: a video without sound
    std::int64_t audioFrames = 0;          // sample frames the span lasts at 44.1 kHz
};

// The full path of an executable program found along PATH, or "".
std::string findOnPath(const std::string& program);

class VideoWriter {
public:
    VideoWriter() = default;
    ~VideoWriter();  // abort() when still running
    VideoWriter(const VideoWriter&) = delete;
    VideoWriter& operator=(const VideoWriter&) = delete;

    // Starts ffmpeg (the full path of the program). False with a reason.
    bool start(const std::string& ffmpeg, const VideoJob& job, std::string& error);
    // Hands over one frame: width * height * 3 bytes of RGB, the top row
    // first. False when ffmpeg has failed (with its reason) or when the
    // capture was interrupted (error left empty).
    bool writeFrame(const unsigned char* rgb, std::string& error);
    // Ends the input, waits for ffmpeg and puts the file under its name.
    bool finish(std::string& error);
    // Stops ffmpeg at once and removes the partial file.
    void abort();

private:
    std::string failure(const std::string& what);  // ffmpeg's own last words, after it has ended
    int waitForExit(bool interruptible);

    pid_t pid = -1;
    int input = -1;      // our end of the pipe
    int messages = -1;   // ffmpeg's standard error, an unlinked temporary file
    std::size_t frameBytes = 0;
    std::string out;
    std::string partial;
};

// A video file written by the ffmpeg program: raw frames go down a pipe into
// it, the music comes from a temporary WAV file, and ffmpeg encodes and muxes
// both into a temporary file beside NAME, which becomes NAME only once ffmpeg
// has finished without error, said nothing at error level, and left a whole
// file. ffmpeg runs in a process group of its own, so Ctrl+C or a hang-up of
// the terminal reaches only the capture, which then stops ffmpeg itself.
#pragma once

#include "capture/OutputFiles.h"

#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>

class AudioSpanFile;

struct VideoJob {
    std::string format; // ffmpeg's container name: mp4, matroska or webm
    int width = 800;
    int height = 600;
    int fps = 60;
    std::optional<int> crf;               // none: 18 for H.264, 24 for VP9
    const AudioSpanFile* audio = nullptr; // null or empty: a video without sound
    std::int64_t audioFrames = 0;         // sample frames the span lasts at 44.1 kHz
};

// How a child process ended, from its wait status: "exit status 1",
// "killed by SIGXFSZ: File size limit exceeded".
std::string describeEnding(int status);

// The full path of an executable program found along PATH, or "".
std::string findOnPath(const std::string& program);

class VideoWriter {
public:
    VideoWriter() = default;
    ~VideoWriter(); // abort() when still running
    VideoWriter(const VideoWriter&) = delete;
    VideoWriter& operator=(const VideoWriter&) = delete;

    // Checks that the video can be written under out and creates its
    // temporary file, before anything is drawn. False with a reason.
    bool open(const std::string& out, std::string& error);
    // Starts ffmpeg (the full path of the program). False with a reason.
    bool start(const std::string& ffmpeg, const VideoJob& job, std::string& error);
    // Hands over one frame: yuv420Bytes(width, height) of planar 4:2:0 YUV.
    // False when ffmpeg has failed (with its reason) or when the capture was
    // interrupted (error left empty).
    bool writeFrame(const unsigned char* yuv, std::string& error);
    // Ends the input, waits for ffmpeg, checks the file and puts it under its
    // name. False with a reason, or with none when interrupted.
    bool finish(std::string& error);
    // Stops ffmpeg at once; the temporary file goes with the writer.
    void abort();

private:
    // what, how ffmpeg ended when asked and it did not end well, and its own
    // last words.
    std::string failure(const std::string& what, bool sayHowItEnded = false);
    std::string lastWords() const; // the last lines ffmpeg wrote, on one line
    int waitForExit(bool interruptible);

    pid_t pid = -1;
    int input = -1;    // our end of the pipe
    int messages = -1; // ffmpeg's standard error, an unlinked temporary file
    std::size_t frameBytes = 0;
    std::string format;
    std::string ending; // how ffmpeg ended, once it has
    PendingFile file;
};

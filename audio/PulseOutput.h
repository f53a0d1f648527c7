// Sound straight to a PulseAudio server: a playback stream of our own on a
// threaded main loop of libpulse's, written only as far as the server asks. The
// server keeps timing information for the stream (where it reads, what its sink
// still holds), so what is written goes with the moment it will be heard: after
// everything written before it and not yet played, however much the server has
// been told to hold (PULSE_LATENCY_MSEC) and however long the process stood still.
#pragma once

#include <memory>
#include <string>

class Playback;

class PulseOutput {
public:
    // Connects to the server (the default, or PULSE_SERVER) and opens a stereo
    // 16-bit stream at `rate` that renders through `playback`.
    PulseOutput(int rate, Playback& playback);
    ~PulseOutput();
    PulseOutput(const PulseOutput&) = delete;
    PulseOutput& operator=(const PulseOutput&) = delete;

    bool ok() const { return connection != nullptr; }
    // The stream failed or the server went away since it was opened.
    bool lost() const;
    int rate() const { return frameRate; }
    static constexpr int periodFrames() { return 1024; }
    const std::string& problem() const { return failure; }
    void close();

    // The server connection, the stream and their thread.
    struct Connection;

private:
    std::unique_ptr<Connection> connection;
    int frameRate = 0;
    std::string failure;
};

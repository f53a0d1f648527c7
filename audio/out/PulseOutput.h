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

    // False when no server answers or it refused the stream.
    bool ok() const { return connection != nullptr; }
    // Why it could not be used.
    const std::string& problem() const { return failure; }
    // The stream failed or the server went away since it was opened.
    bool lost() const;
    // The frames per second of the stream (the server resamples it to its sink's).
    int rate() const { return frameRate; }
    // Ends the stream and disconnects; nothing of ours runs once it returns.
    void close();

    // The server is PipeWire's PulseAudio server (pipewire-pulse): its timing
    // reports run tens of milliseconds off, and the same sink is played to
    // straight through PipeWire's graph.
    bool servedByPipeWire() const { return pipeWireServer; }

private:
    // The server connection, the stream and their thread.
    struct Connection;
    std::unique_ptr<Connection> connection;
    int frameRate = 0;
    bool pipeWireServer = false;
    std::string failure;
};

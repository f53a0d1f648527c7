// Sound straight to a PipeWire graph: a stream of our own, on a real-time thread of
// PipeWire's, handing over exactly the frames each graph cycle asks for. PipeWire
// tells for every cycle how far the stream's next frame is from the device (the
// graph's own wait, every filter on the way, and any device that reports its
// latency), so each period goes with the moment it will be heard, on the graph's
// clock, whatever cycle length other clients have put the graph at.
#pragma once

#include <memory>
#include <string>

class Playback;

class PipeWireOutput {
public:
    // Connects to the PipeWire daemon and, if it offers a sound sink, opens a
    // stereo 16-bit stream at `rate` that renders through `playback`.
    PipeWireOutput(int rate, Playback& playback);
    ~PipeWireOutput();
    PipeWireOutput(const PipeWireOutput&) = delete;
    PipeWireOutput& operator=(const PipeWireOutput&) = delete;

    // False when no daemon answers, it has no sound sink, or the stream failed.
    bool ok() const { return connection != nullptr; }
    // Why it could not be used.
    const std::string& problem() const { return failure; }
    // The stream failed or the daemon went away since it was opened.
    bool lost() const;
    // The frames per second of the stream (the graph resamples it to its own).
    int rate() const { return frameRate; }
    // Stops the stream and disconnects; no cycle of ours runs once it returns.
    void close();

private:
    // The stream, the daemon connection and their threads.
    struct Connection;
    std::unique_ptr<Connection> connection;
    int frameRate = 0;
    std::string failure;
};

// What the audio device is handed, period by period: the stream's frames at the chosen
// volume once it has been started, silence otherwise. It also keeps the frames handed
// over most recently, so the main thread can look at what is being heard right now.
//
// render() runs on the audio callback; every other operation except setVolume must be
// called with the audio device locked, which is what keeps the two sides apart.
#pragma once

#include "audio/StreamDecoder.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

class Playback {
public:
    static constexpr int channelsPerFrame = StreamDecoder::channelsPerFrame;
    static constexpr int windowFrames = 512; // the frames snapshot() copies

    void attach(StreamDecoder* stream) { decoder = stream; }
    void start() { started = true; }
    // After a new position the stream is no longer at its end; the next frame
    // it hands over is stream frame `frame`.
    void rewind(std::int64_t frame = 0)
    {
        ended = false;
        nextStreamFrame = frame;
    }
    // A new device takes over from one that went away: nothing has been handed
    // to it yet, the stream's next frame will be its first sound again, and
    // the stream waits for start() to be placed and played.
    void newDevice()
    {
        started = false;
        periods = {};
        periodCount = 0;
        streamSeen = false;
        handedAtTicks = 0;
    }
    // Linear gain in percent, 0 silent to 100 unchanged; read by the callback as it goes.
    void setVolume(int percent) { volume.store(percent, std::memory_order_relaxed); }

    // Audio callback: fills `frames` interleaved stereo frames.
    void render(std::int16_t* out, int frames);

    struct Clock {
        std::uint64_t now = 0; // SDL performance counter
        std::uint64_t ticksPerSecond = 1;
        int rate = 0;         // device frames per second
        int bufferFrames = 0; // frames the device takes per period
        double latency = -1;  // seconds from handing a period over to hearing
                              // its last frame; negative: one period
        double ahead = 0;     // seconds from now of the moment asked about
    };
    // Copies the windowFrames frames starting where the device is playing at
    // clock.now + clock.ahead, as far as they have been handed over, before the volume
    // was applied. False when nothing is
    // playing: not started, or the stream has ended and its last frame has been heard.
    bool snapshot(std::int16_t* window, const Clock& clock) const;

    // The stream frame being heard at clock.now + ahead seconds: the device plays
    // what it was handed in order, the last frame of each period `latency`
    // seconds after the period was handed over. Before the stream's first frame
    // is heard the result lies before the stream's next frame (frames still to
    // wait), also before the device has asked for anything. When the callback
    // is overdue (the device or the whole process stalled), the position holds at
    // the end of what was handed. False when nothing is playing (not started, or
    // the stream has ended and its last frame has been heard).
    bool heardFrame(const Clock& clock, double ahead, double latency, double& frame) const;

private:
    static constexpr std::uint64_t historyFrames = 8192; // more than a period plus a window
    static constexpr std::size_t bytesPerFrame = channelsPerFrame * sizeof(std::int16_t);

    // Keeps the frames of the period being handed over, which begins at device frame `handed`.
    void remember(const std::int16_t* frames, std::size_t count);
    // Copies count frames from device frame `at` on (at most historyFrames back).
    void recall(std::int16_t* frames, std::uint64_t at, std::size_t count) const;

    // One period as handed over: which device frames, which stream frames (the
    // first `streamFrames` of it; silence after them), and when.
    struct Period {
        std::uint64_t deviceStart = 0;
        std::uint64_t frames = 0;
        std::int64_t streamStart = 0;
        std::uint64_t streamFrames = 0;
        bool beforeStream = true; // no stream frame had been handed over before it
    };
    static constexpr std::size_t periodsKept = 32; // some 0.7 s of 1024-frame periods
    // The stream frame at device frame `at` (which may lie beyond the last period).
    double streamFrameAt(double at) const;

    StreamDecoder* decoder = nullptr;
    std::int64_t nextStreamFrame = 0; // the stream frame the next pull yields
    bool streamSeen = false;          // a period with stream frames has been handed over
    std::array<Period, periodsKept> periods{};
    std::size_t periodCount = 0; // periods handed over, all told
    bool started = false;
    bool ended = false;
    std::uint64_t endedAt = 0;       // device position of the first frame after the stream
    std::uint64_t handed = 0;        // frames handed to the device since it opened
    std::uint64_t handedAtTicks = 0; // when the last period was handed over
    std::atomic<int> volume{100};
    std::array<std::int16_t, historyFrames * channelsPerFrame> history{};
};

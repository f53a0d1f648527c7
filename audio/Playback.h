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
    // After a new position the stream is no longer at its end.
    void rewind() { ended = false; }
    // Linear gain in percent, 0 silent to 100 unchanged; read by the callback as it goes.
    void setVolume(int percent) { volume.store(percent, std::memory_order_relaxed); }

    // Audio callback: fills `frames` interleaved stereo frames.
    void render(std::int16_t* out, int frames);

    struct Clock {
        std::uint64_t now = 0;            // SDL performance counter
        std::uint64_t ticksPerSecond = 1;
        int rate = 0;                     // device frames per second
        int bufferFrames = 0;             // frames the device takes per period
    };
    // Copies the windowFrames frames starting where the device is playing now, as far as
    // they have been handed over, before the volume was applied. False when nothing is
    // playing: not started, or the stream has ended and its last frame has been heard.
    bool snapshot(std::int16_t* window, const Clock& clock) const;

private:
    static constexpr std::uint64_t historyFrames = 8192; // more than a period plus a window
    static constexpr std::size_t bytesPerFrame = channelsPerFrame * sizeof(std::int16_t);

    // Keeps the frames of the period being handed over, which begins at device frame `handed`.
    void remember(const std::int16_t* frames, std::size_t count);
    // Copies count frames from device frame `at` on (at most historyFrames back).
    void recall(std::int16_t* frames, std::uint64_t at, std::size_t count) const;

    StreamDecoder* decoder = nullptr;
    bool started = false;
    bool ended = false;
    std::uint64_t endedAt = 0;       // device position of the first frame after the stream
    std::uint64_t handed = 0;        // frames handed to the device since it opened
    std::uint64_t handedAtTicks = 0; // when the last period was handed over
    std::atomic<int> volume{100};
    std::array<std::int16_t, historyFrames * channelsPerFrame> history{};
};

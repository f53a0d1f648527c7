// What the sound output is handed, period by period: the stream's frames at the chosen
// volume once it has been started, silence otherwise. Every period comes with the
// moment its first frame will be heard, as the output's own clock tells it; from
// those moments the main thread reads which stream frame is heard at any moment,
// and the frames around it for the spectrum.
//
// render() runs on the output's real-time thread and never waits for the main
// thread: what it records is published under a sequence count, every field
// written and read as an atomic, and the readers (heardFrame, snapshot) copy
// what they use and try again if the callback wrote meanwhile (or, while it is
// held up in the middle of a period, go on from their last consistent copy).
// The main thread's own requests (start, a new position, the volume) are
// atomics the callback picks up at its next period.
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

    // Main thread, while no output is running.
    void attach(StreamDecoder* stream) { decoder = stream; }
    // Main thread, before an output is opened: its frames per second.
    void setRate(int framesPerSecond) { rate = framesPerSecond; }

    // Main thread, at any time: hand the stream over from now on (after any new
    // position asked for first).
    void start() { started.store(true, std::memory_order_release); }
    // Main thread, at any time: the stream goes on from stream frame `frame`.
    // Until the output has taken the new position, and then until its first frame
    // is heard, the heard position lies just before it.
    void moveTo(std::int64_t frame);
    // Main thread, while no output is running (the old one closed, the new one not
    // yet open): nothing has been handed to the next output, the stream waits
    // for start() and its next frame will be its first sound again.
    void newDevice();
    // Linear gain in percent, 0 silent to 100 unchanged; read by the callback as it goes.
    void setVolume(int percent) { volume.store(percent, std::memory_order_relaxed); }

    // Output thread: fills `frames` interleaved stereo frames, whose first will be
    // heard at heardAt (nanoseconds of CLOCK_MONOTONIC).
    void render(std::int16_t* out, int frames, std::int64_t heardAt);

    // The stream frame heard at moment `at`, asked at moment `now` (nanoseconds of
    // CLOCK_MONOTONIC), from the periods handed over and when each is heard. Before
    // the stream's first frame is heard the result lies before it, counting down to
    // it. Past the last period handed over it goes on with time while the output is
    // fed, and holds at the end of what was handed once its next period is overdue
    // (the output or the whole process stands still). False when nothing is
    // playing: not started, or the stream has ended and its last frame has been heard.
    bool heardFrame(std::int64_t at, std::int64_t now, double& frame) const;

    // Copies the windowFrames frames starting where the output plays at moment
    // `at`, as far as they have been handed over, before the volume was applied.
    // False when not started, or when a consistent copy shows the stream ended
    // and its last frame heard. Where the output's thread wrote through every
    // try, the last window copied stands (silence before any) and it is true,
    // even where heardFrame would be false.
    bool snapshot(std::int16_t* window, std::int64_t at, std::int64_t now) const;

    // Frames of silence handed over in the middle of the stream because the
    // decoder had none ready: never, while it keeps ahead as it should.
    std::uint64_t dryFrames() const { return dry.load(std::memory_order_relaxed); }

private:
    static constexpr std::uint64_t historyFrames = 16384; // more than the longest period plus a window

    // One period as handed over: which output frames, which stream frames (the
    // first `streamFrames` of it; silence after them), and when its first frame
    // is heard.
    struct Period {
        std::uint64_t deviceStart = 0;
        std::uint64_t frames = 0;
        std::int64_t streamStart = 0;
        std::uint64_t streamFrames = 0;
        std::int64_t heardAt = 0;
        bool beforeStream = true; // no stream frame had been handed over before it
    };
    // Some 12 s of 1024-frame periods, 3 s of the smallest pieces a server asks
    // for: more than the longest a server holds.
    static constexpr std::size_t periodsKept = 512;

    // What the callback publishes about the periods, and what a reader copies of it.
    struct Published {
        std::array<Period, periodsKept> periods{};
        std::uint64_t periodCount = 0;  // periods handed over, all told
        std::uint64_t handed = 0;       // frames handed over since the output opened
        std::uint32_t takenRequest = 0; // the position request the callback has acted on
        bool ended = false;
        std::int64_t endHeardAt = 0; // when the frame after the stream's last is heard
    };

    // Runs `copy` until it has copied a state no callback wrote to meanwhile;
    // `copy` is handed a check that says whether that is so, and returns its
    // answer. False if the callback was writing all along: on a busy machine
    // it can be held up in the middle of a period.
    template <typename Copy>
    bool read(Copy&& copy) const;
    // Copies `shared` (the fields and every period kept) into `state`; only a
    // check afterwards says whether the copy is consistent.
    void copyPublished(Published& state) const;

    // The stream frame and output frame heard at `at`, from a consistent copy.
    bool locate(const Published& state, std::int64_t at, std::int64_t now, double& streamFrame,
                double& deviceFrame) const;

    void remember(const std::int16_t* frames, std::size_t count, std::uint64_t handed);

    StreamDecoder* decoder = nullptr;
    int rate = 44100;
    std::atomic<bool> started{false};
    std::atomic<int> volume{100};
    // The newest position request: its number and frame, written by the main thread.
    std::atomic<std::uint32_t> request{0};
    std::atomic<std::int64_t> requestedFrame{0};

    // Callback only.
    std::int64_t nextStreamFrame = 0; // the stream frame the next pull yields
    bool streamSeen = false;          // a period with stream frames has been handed over

    // Published by the callback. While an output runs, `shared` and `history`
    // are written and read only as atomics (std::atomic_ref), by both sides.
    std::atomic<std::uint32_t> sequence{0}; // odd while a period is being published
    std::atomic<std::uint64_t> dry{0};
    Published shared;
    std::array<std::int16_t, historyFrames * channelsPerFrame> history{};

    // The main thread's last consistent copies, which the readers go on from
    // while the callback is held up in the middle of a period; the window is
    // silence until the first.
    mutable Published copied;
    mutable bool haveCopy = false;
    mutable std::array<std::int16_t, windowFrames * channelsPerFrame> copiedWindow{};
};

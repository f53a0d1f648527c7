// Decodes one MP3 file on a thread of its own, as far ahead of the audio device as its
// ring holds (23.8 s at 44.1 kHz), and hands 16-bit stereo frames at the device rate to
// the audio callback through a lock-free ring.
//
// Why a thread: the callback must never wait, allocate, touch the file or make a system
// call. Decoding in the callback would read the file there and let libmpg123 and SDL's
// rate converter allocate there; on this thread they may, and the callback only copies
// from the ring. Nor does the callback wake this thread: the thread looks at the ring
// again every few milliseconds while it is full, which the ring's length makes plenty.
//
// A new playback position is a new generation: the main thread publishes the position
// and bumps the requested generation; this thread seeks, records where in the ring the
// new generation's frames begin and publishes that it has got there. The callback drops
// everything before that point and plays silence while the seek is still under way, so
// no frame of an old position is heard after the request.
#pragma once

#include "audio/FrameRing.h"
#include "audio/Mp3File.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct SDL_semaphore;
struct SDL_Thread;
struct _SDL_AudioStream;

class StreamDecoder {
public:
    static constexpr int channelsPerFrame = FrameRing::channelsPerFrame;

    // Opens the file, sets up the conversion to stereo at deviceRate when the file differs,
    // and starts decoding from its first frame.
    StreamDecoder(const std::string& path, bool scanIndex, int deviceRate);
    ~StreamDecoder(); // stops the thread
    StreamDecoder(const StreamDecoder&) = delete;
    StreamDecoder& operator=(const StreamDecoder&) = delete;

    // False when the file is not usable MP3 or the thread could not start.
    bool ok() const { return started; }

    int fileChannels() const { return file.channels(); }

    // Main thread, at any time: continue from sample frame `frame` of the file. Asking
    // again for the position already requested, when nothing of it has been played yet,
    // keeps what has been decoded.
    void requestPosition(std::int64_t frame);

    struct Pull {
        std::size_t frames = 0;    // frames written
        std::int64_t position = 0; // the stream frame the first of them is
        bool ended = false;        // the stream has no more frames at this position
    };
    // Audio callback: writes up to `frames` frames; never waits, makes no system call.
    Pull pull(std::int16_t* out, std::size_t frames);

    // Frames decoded ahead and not yet pulled (of whatever position).
    std::size_t decodedAhead() const { return ring.readable(); }

private:
    bool start();
    static int threadEntry(void* self);
    void run();
    void startGeneration(std::uint32_t generation);
    bool decodeSome(); // false when there was nothing to do (ring full or stream done)

    // Decoded ahead: however much an output asks for at once (a server catching up
    // after a stall asks for seconds of it), the ring has the track's next frames.
    static constexpr std::size_t ringFrames = std::size_t{1} << 20; // 23.8 s at 44.1 kHz, 4 MiB
    static constexpr std::size_t chunkFrames = 2048;

    Mp3File file;
    int outputRate = 0;
    FrameRing ring{ringFrames};
    _SDL_AudioStream* converter = nullptr;
    SDL_semaphore* wake = nullptr; // posted by the main thread only: a new position, or stop
    SDL_Thread* thread = nullptr;
    std::atomic<bool> quit{false};
    bool started = false;

    // Written by the main thread.
    std::atomic<std::int64_t> requestedFrame{0};
    std::atomic<std::uint32_t> requestedGeneration{1};
    // Written by the decoder thread.
    std::atomic<std::uint32_t> readyGeneration{0}; // the generation whose frames are in the ring
    std::atomic<std::uint64_t> readyFrom{0};       // ring position where they begin
    std::atomic<std::int64_t> readyFrame{0};       // and the stream frame they begin with
    std::atomic<std::uint32_t> endedGeneration{0}; // the generation that has all its frames in

    // Decoder thread only.
    std::uint32_t decodingGeneration = 0;
    bool fileDone = false;
    bool converterFlushed = false;
    bool endPublished = false;
    std::uint64_t convertedIn = 0;     // file frames given to the converter since the seek
    std::uint64_t convertedOut = 0;    // device frames taken from it
    std::vector<std::int16_t> decoded; // chunkFrames frames as the file has them
    std::vector<std::int16_t> pending; // stereo frames not yet in the ring
    std::size_t pendingAt = 0;
    std::size_t pendingFrames = 0;

    // Audio callback.
    std::uint32_t playingGeneration = 0;
    std::int64_t playingFrame = 0; // the stream frame the next pull yields
    // Frames pulled of the newest request (read by the main thread).
    std::atomic<std::size_t> pulledSinceRequest{0};
};

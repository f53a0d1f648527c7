// The decoder thread, the rate and channel conversion, and the callback's side of the ring.
#include "audio/StreamDecoder.h"

#include <SDL.h>
#include <algorithm>

namespace {

// How long the thread sleeps when the ring is full before it looks again: the
// callback takes frames without waking it. Against a ring of 23.8 s, 10 ms late
// is nothing; a new position or a stop wakes it at once.
constexpr Uint32 idleWaitMs = 10;

} // namespace

StreamDecoder::StreamDecoder(const std::string& path, bool scanIndex, int deviceRate)
    : file(path, scanIndex), outputRate(deviceRate)
{
    started = file.ok() && start();
}

StreamDecoder::~StreamDecoder()
{
    if (thread != nullptr) {
        quit.store(true, std::memory_order_release);
        SDL_SemPost(wake);
        SDL_WaitThread(thread, nullptr);
    }
    if (converter != nullptr)
        SDL_FreeAudioStream(converter);
    if (wake != nullptr)
        SDL_DestroySemaphore(wake);
}

bool StreamDecoder::start()
{
    if (file.rate() != outputRate || file.channels() != channelsPerFrame) {
        converter = SDL_NewAudioStream(AUDIO_S16SYS, static_cast<Uint8>(file.channels()), file.rate(), AUDIO_S16SYS,
                                       channelsPerFrame, outputRate);
        if (converter == nullptr)
            return false;
    }
    decoded.resize(chunkFrames * static_cast<std::size_t>(file.channels()));
    pending.resize(chunkFrames * channelsPerFrame);
    wake = SDL_CreateSemaphore(0);
    if (wake == nullptr)
        return false;
    thread = SDL_CreateThread(threadEntry, "music decoder", this);
    return thread != nullptr;
}

void StreamDecoder::requestPosition(std::int64_t frame)
{
    if (frame == requestedFrame.load(std::memory_order_relaxed) &&
        pulledSinceRequest.load(std::memory_order_acquire) == 0)
        return;
    requestedFrame.store(frame, std::memory_order_relaxed);
    pulledSinceRequest.store(0, std::memory_order_relaxed);
    // Release: the decoder thread that sees the new generation also sees its position.
    requestedGeneration.fetch_add(1, std::memory_order_release);
    if (wake != nullptr)
        SDL_SemPost(wake);
}

StreamDecoder::Pull StreamDecoder::pull(std::int16_t* out, std::size_t frames)
{
    Pull result;
    const std::uint32_t generation = requestedGeneration.load(std::memory_order_acquire);
    if (generation != playingGeneration) {
        if (readyGeneration.load(std::memory_order_acquire) != generation)
            return result; // still seeking: silence, and nothing of the old position
        ring.discardUntil(readyFrom.load(std::memory_order_relaxed));
        playingFrame = readyFrame.load(std::memory_order_relaxed);
        playingGeneration = generation;
    }
    result.position = playingFrame;
    result.frames = ring.read(out, frames);
    if (result.frames < frames && endedGeneration.load(std::memory_order_acquire) == generation) {
        // Everything of this generation was written before the end was published, so
        // what the ring holds now is all there is.
        result.frames += ring.read(out + result.frames * channelsPerFrame, frames - result.frames);
        result.ended = ring.readable() == 0;
    }
    playingFrame += static_cast<std::int64_t>(result.frames);
    pulledSinceRequest.fetch_add(result.frames, std::memory_order_release);
    return result;
}

int StreamDecoder::threadEntry(void* self)
{
    static_cast<StreamDecoder*>(self)->run();
    return 0;
}

void StreamDecoder::run()
{
    while (!quit.load(std::memory_order_acquire)) {
        const std::uint32_t generation = requestedGeneration.load(std::memory_order_acquire);
        if (generation != decodingGeneration)
            startGeneration(generation);
        if (!decodeSome())
            SDL_SemWaitTimeout(wake, idleWaitMs);
    }
}

void StreamDecoder::startGeneration(std::uint32_t generation)
{
    // A position past the end leaves nothing to decode: the stream ends at once.
    const std::int64_t frame = requestedFrame.load(std::memory_order_relaxed);
    fileDone = !file.seek(frame);
    if (converter != nullptr)
        SDL_AudioStreamClear(converter);
    converterFlushed = false;
    endPublished = false;
    convertedIn = 0;
    convertedOut = 0;
    pendingAt = 0;
    pendingFrames = 0;
    decodingGeneration = generation;
    readyFrom.store(ring.writePosition(), std::memory_order_relaxed);
    readyFrame.store(frame, std::memory_order_relaxed);
    readyGeneration.store(generation, std::memory_order_release);
}

bool StreamDecoder::decodeSome()
{
    if (pendingFrames > 0) {
        const std::size_t taken = ring.write(pending.data() + pendingAt * channelsPerFrame, pendingFrames);
        pendingAt += taken;
        pendingFrames -= taken;
        return taken > 0;
    }
    if (endPublished)
        return false;
    if (converter != nullptr) {
        const int bytes =
            SDL_AudioStreamGet(converter, pending.data(), static_cast<int>(pending.size() * sizeof(std::int16_t)));
        if (bytes > 0) {
            pendingAt = 0;
            pendingFrames = static_cast<std::size_t>(bytes) / (channelsPerFrame * sizeof(std::int16_t));
            if (converterFlushed) {
                // Past the end of the file only what the file's frames are worth counts;
                // the rest was made from the silence fed in below.
                const std::uint64_t worth =
                    convertedIn * static_cast<std::uint64_t>(outputRate) / static_cast<std::uint64_t>(file.rate());
                pendingFrames = static_cast<std::size_t>(
                    std::min<std::uint64_t>(pendingFrames, worth - std::min(worth, convertedOut)));
                if (pendingFrames == 0)
                    SDL_AudioStreamClear(converter);
            }
            convertedOut += pendingFrames;
            return true;
        }
    }
    if (fileDone) {
        if (converter != nullptr && !converterFlushed) {
            // SDL 2's resampler holds back its last input frames as look-ahead and its
            // flush does not give them up; a chunk of silence behind the file does.
            std::fill(decoded.begin(), decoded.end(), std::int16_t{0});
            SDL_AudioStreamPut(converter, decoded.data(), static_cast<int>(decoded.size() * sizeof(std::int16_t)));
            SDL_AudioStreamFlush(converter);
            converterFlushed = true;
            return true;
        }
        // Release: the callback that sees the end also sees every frame written before it.
        endedGeneration.store(decodingGeneration, std::memory_order_release);
        endPublished = true;
        return true;
    }
    if (converter == nullptr) {
        // Already stereo at the device rate: decode straight into the frames to hand over.
        pendingAt = 0;
        pendingFrames = file.read(pending.data(), chunkFrames);
        fileDone = pendingFrames == 0;
        return true;
    }
    const std::size_t frames = file.read(decoded.data(), chunkFrames);
    const int bytes = static_cast<int>(frames * static_cast<std::size_t>(file.channels()) * sizeof(std::int16_t));
    fileDone = frames == 0 || SDL_AudioStreamPut(converter, decoded.data(), bytes) != 0;
    convertedIn += fileDone ? 0 : frames;
    return true;
}

// The audio callback's work, and the reckoning of which frames are being heard.
#include "audio/Playback.h"

#include <SDL.h>
#include <algorithm>
#include <cstring>

void Playback::render(std::int16_t* out, int frames)
{
    const std::size_t count = static_cast<std::size_t>(frames);
    std::size_t got = 0;
    if (started && decoder != nullptr) {
        const StreamDecoder::Pull pulled = decoder->pull(out, count);
        got = pulled.frames;
        if (pulled.ended && !ended) {
            ended = true;
            endedAt = handed + got;
        }
    }
    std::memset(out + got * channelsPerFrame, 0, (count - got) * channelsPerFrame * sizeof(std::int16_t));

    remember(out, count);

    const int percent = volume.load(std::memory_order_relaxed);
    if (percent < 100) {
        for (std::size_t i = 0; i < count * channelsPerFrame; ++i) {
            out[i] = static_cast<std::int16_t>(out[i] * percent / 100);
        }
    }
    handed += count;
    handedAtTicks = SDL_GetPerformanceCounter();
}

bool Playback::snapshot(std::int16_t* window, const Clock& clock) const
{
    if (!started) {
        return false;
    }
    // The device still holds the period handed over last and drains it in real time;
    // what it plays now is what was handed minus what it still holds.
    const std::uint64_t buffer = static_cast<std::uint64_t>(clock.bufferFrames);
    const double seconds = static_cast<double>(clock.now - std::min(clock.now, handedAtTicks)) /
                           static_cast<double>(clock.ticksPerSecond);
    const std::uint64_t drained = std::min(buffer, static_cast<std::uint64_t>(seconds * clock.rate));
    const std::uint64_t held = std::min(handed, buffer - drained);
    const std::uint64_t heard = handed - held;
    if (ended && heard >= endedAt) {
        return false;
    }
    // Only frames already handed over are known; early on, the zeroed history stands
    // for the silence before the first period.
    const std::uint64_t lastStart = handed >= windowFrames ? handed - windowFrames : 0;
    const std::uint64_t first = std::min(heard, lastStart);
    recall(window, first, windowFrames);
    return true;
}

void Playback::remember(const std::int16_t* frames, std::size_t count)
{
    // Only the last historyFrames of an oversized period can be kept.
    const std::size_t kept = std::min<std::size_t>(count, historyFrames);
    const std::uint64_t at = handed + (count - kept);
    frames += (count - kept) * channelsPerFrame;
    const std::size_t first = static_cast<std::size_t>(at % historyFrames);
    const std::size_t head = std::min<std::size_t>(kept, historyFrames - first);
    std::memcpy(history.data() + first * channelsPerFrame, frames, head * bytesPerFrame);
    std::memcpy(history.data(), frames + head * channelsPerFrame, (kept - head) * bytesPerFrame);
}

void Playback::recall(std::int16_t* frames, std::uint64_t at, std::size_t count) const
{
    const std::size_t first = static_cast<std::size_t>(at % historyFrames);
    const std::size_t head = std::min<std::size_t>(count, historyFrames - first);
    std::memcpy(frames, history.data() + first * channelsPerFrame, head * bytesPerFrame);
    std::memcpy(frames + head * channelsPerFrame, history.data(), (count - head) * bytesPerFrame);
}

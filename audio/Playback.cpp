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

    Period& period = periods[periodCount % periodsKept];
    period.deviceStart = handed;
    period.frames = count;
    period.streamStart = nextStreamFrame;
    period.streamFrames = got;
    period.beforeStream = !streamSeen;
    nextStreamFrame += static_cast<std::int64_t>(got);
    streamSeen = streamSeen || got > 0;

    const int percent = volume.load(std::memory_order_relaxed);
    if (percent < 100)
        for (std::size_t i = 0; i < count * channelsPerFrame; ++i)
            out[i] = static_cast<std::int16_t>(out[i] * percent / 100);
    handed += count;
    handedAtTicks = SDL_GetPerformanceCounter();
    ++periodCount;
}

double Playback::streamFrameAt(double at) const
{
    const std::size_t kept = std::min(periodCount, periodsKept);
    auto newest = [&](std::size_t i) -> const Period& { return periods[(periodCount - 1 - i) % periodsKept]; };
    // Newest first: the period that holds `at`, or the oldest one remembered.
    std::size_t i = 0;
    while (i + 1 < kept && at < static_cast<double>(newest(i).deviceStart))
        ++i;
    const Period& p = newest(i);
    const double into = at - static_cast<double>(p.deviceStart);
    // Within the stream part, and beyond a period that was all stream (the
    // next one is still to come), the stream advances with the device.
    if (into < static_cast<double>(p.streamFrames) || p.streamFrames == p.frames)
        return static_cast<double>(p.streamStart) + into;
    if (!p.beforeStream) // the stream ran dry or ended: it holds where it stopped
        return static_cast<double>(p.streamStart + static_cast<std::int64_t>(p.streamFrames));
    // Silence before the stream's first frame: count down to it.
    for (std::size_t j = i; j-- > 0;)
        if (newest(j).streamFrames > 0)
            return static_cast<double>(newest(j).streamStart) - (static_cast<double>(newest(j).deviceStart) - at);
    // No stream frame handed over yet: its first is not heard before it is.
    return static_cast<double>(nextStreamFrame) - std::max(0.0, static_cast<double>(handed) - at);
}

bool Playback::heardFrame(const Clock& clock, double ahead, double latency, double& frame) const
{
    if (!started)
        return false;
    if (periodCount == 0) {
        // The device has not asked for anything yet (a server can take well
        // over a second to): the stream's first frame is heard one latency
        // after it is handed over, at the soonest.
        const double wait = std::max(1.0, (std::max(latency, 0.0) - ahead) * clock.rate);
        frame = static_cast<double>(nextStreamFrame) - wait;
        return true;
    }
    const double ticks = static_cast<double>(clock.ticksPerSecond);
    const double sinceHanded = (static_cast<double>(clock.now) - static_cast<double>(handedAtTicks)) / ticks;
    const double period = static_cast<double>(clock.bufferFrames) / clock.rate;
    double device = static_cast<double>(handed) - (latency - sinceHanded - ahead) * clock.rate;
    // A callback more than two periods late means the device is not being fed:
    // nothing beyond what was handed will be heard until it is.
    if (sinceHanded > 2 * period)
        device = std::min(device, static_cast<double>(handed));
    if (ended && device >= static_cast<double>(endedAt))
        return false;
    frame = streamFrameAt(device);
    return true;
}

bool Playback::snapshot(std::int16_t* window, const Clock& clock) const
{
    if (!started)
        return false;
    // The device still holds what it was handed last and drains it in real time;
    // what it plays at the moment asked about is what was handed minus what it
    // will still hold then.
    const double rate = static_cast<double>(clock.rate);
    const double latency = clock.latency >= 0 ? clock.latency : static_cast<double>(clock.bufferFrames) / rate;
    const double seconds = (static_cast<double>(clock.now) - static_cast<double>(std::min(clock.now, handedAtTicks))) /
                           static_cast<double>(clock.ticksPerSecond);
    const double position = static_cast<double>(handed) - (latency - seconds - clock.ahead) * rate;
    const std::uint64_t heard = static_cast<std::uint64_t>(std::clamp(position, 0.0, static_cast<double>(handed)));
    if (ended && heard >= endedAt)
        return false;
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

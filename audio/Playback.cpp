// The output callback's work, and the reading of which frames are heard when.
#include "audio/Playback.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <thread>

namespace {

constexpr double nanosecondsPerSecond = 1e9;

// How both sides touch what the callback publishes while an output runs. Each
// store is a release and each load an acquire, rather than relaxed accesses
// between fences: a reader that loads any value of a period being published
// thereby also sees the sequence count made odd before it, and tries again.
// ThreadSanitizer follows this ordering (it does not follow fences); on x86
// both are the plain moves a relaxed access is.
template <typename T>
void publish(T& field, T value)
{
    static_assert(std::atomic_ref<T>::is_always_lock_free, "the output's thread never takes a lock");
    std::atomic_ref<T>(field).store(value, std::memory_order_release);
}

template <typename T>
T published(const T& field)
{
    return std::atomic_ref<T>(const_cast<T&>(field)).load(std::memory_order_acquire);
}

} // namespace

void Playback::moveTo(std::int64_t frame)
{
    // The decoder's request goes first: a callback that sees the new request
    // number pulls from the new position, never from the old one under the new number.
    if (decoder != nullptr)
        decoder->requestPosition(frame);
    requestedFrame.store(frame, std::memory_order_relaxed);
    request.fetch_add(1, std::memory_order_release);
}

void Playback::newDevice()
{
    started.store(false, std::memory_order_relaxed);
    streamSeen = false;
    nextStreamFrame = requestedFrame.load(std::memory_order_relaxed);
    // No output runs now, and none reads: plain writes.
    const std::uint32_t taken = shared.takenRequest;
    shared = Published{};
    shared.takenRequest = taken;
    history.fill(0);
    haveCopy = false;
    copiedWindow.fill(0);
}

void Playback::render(std::int16_t* out, int frames, std::int64_t heardAt)
{
    const std::size_t count = static_cast<std::size_t>(std::max(frames, 0));
    const std::uint32_t newest = request.load(std::memory_order_acquire);
    const bool moved = newest != published(shared.takenRequest);
    const bool endedBefore = !moved && published(shared.ended);
    if (moved) {
        nextStreamFrame = requestedFrame.load(std::memory_order_relaxed);
        streamSeen = false;
    }
    std::size_t got = 0;
    bool endedNow = false;
    if (started.load(std::memory_order_acquire) && decoder != nullptr) {
        const StreamDecoder::Pull pulled = decoder->pull(out, count);
        got = pulled.frames;
        if (got > 0)
            nextStreamFrame = pulled.position;
        endedNow = pulled.ended;
        if (streamSeen && !moved && got < count && !endedNow && !endedBefore)
            dry.fetch_add(count - got, std::memory_order_relaxed);
    }
    std::memset(out + got * channelsPerFrame, 0, (count - got) * channelsPerFrame * sizeof(std::int16_t));

    // Published: the count odd while being written.
    sequence.fetch_add(1, std::memory_order_relaxed);
    if (moved) {
        publish(shared.takenRequest, newest);
        publish(shared.ended, false);
    }
    const std::uint64_t handed = published(shared.handed);
    const std::uint64_t periodCount = published(shared.periodCount);
    remember(out, count, handed);
    Period& period = shared.periods[periodCount % periodsKept];
    publish(period.deviceStart, handed);
    publish<std::uint64_t>(period.frames, count);
    publish(period.streamStart, nextStreamFrame);
    publish<std::uint64_t>(period.streamFrames, got);
    publish(period.heardAt, heardAt);
    publish(period.beforeStream, !streamSeen);
    if (endedNow && !endedBefore) {
        publish(shared.ended, true);
        publish(shared.endHeardAt,
                heardAt + static_cast<std::int64_t>(static_cast<double>(got) * nanosecondsPerSecond / rate));
    }
    publish<std::uint64_t>(shared.handed, handed + count);
    publish(shared.periodCount, periodCount + 1);
    sequence.fetch_add(1, std::memory_order_release);

    nextStreamFrame += static_cast<std::int64_t>(got);
    streamSeen = streamSeen || got > 0;

    const int percent = volume.load(std::memory_order_relaxed);
    if (percent < 100)
        for (std::size_t i = 0; i < count * channelsPerFrame; ++i)
            out[i] = static_cast<std::int16_t>(out[i] * percent / 100);
}

template <typename Copy>
bool Playback::read(Copy&& copy) const
{
    for (int attempt = 0; attempt < 50; ++attempt) {
        const std::uint32_t before = sequence.load(std::memory_order_acquire);
        // Everything copied was loaded with acquire, so no later load of the
        // count can come before it.
        const auto unchanged = [&] { return sequence.load(std::memory_order_relaxed) == before; };
        if (before % 2 == 0 && copy(unchanged))
            return true;
        std::this_thread::yield(); // the callback is writing: it takes microseconds
    }
    return false;
}

void Playback::copyPublished(Published& state) const
{
    state.periodCount = published(shared.periodCount);
    state.handed = published(shared.handed);
    state.takenRequest = published(shared.takenRequest);
    state.ended = published(shared.ended);
    state.endHeardAt = published(shared.endHeardAt);
    const std::uint64_t kept = std::min<std::uint64_t>(state.periodCount, periodsKept);
    for (std::uint64_t i = 0; i < kept; ++i) {
        const std::size_t slot = (state.periodCount - 1 - i) % periodsKept;
        const Period& from = shared.periods[slot];
        Period& to = state.periods[slot];
        to.deviceStart = published(from.deviceStart);
        to.frames = published(from.frames);
        to.streamStart = published(from.streamStart);
        to.streamFrames = published(from.streamFrames);
        to.heardAt = published(from.heardAt);
        to.beforeStream = published(from.beforeStream);
    }
}

bool Playback::locate(const Published& state, std::int64_t at, std::int64_t now, double& streamFrame,
                      double& deviceFrame) const
{
    const double framesPerNano = rate / nanosecondsPerSecond;
    if (state.takenRequest != request.load(std::memory_order_acquire) || state.periodCount == 0) {
        // Nothing of the newest position handed over yet: its first frame is
        // still to come, at the soonest a frame from now.
        streamFrame = static_cast<double>(requestedFrame.load(std::memory_order_relaxed)) - 1;
        deviceFrame = static_cast<double>(state.handed);
        return true;
    }
    if (state.ended && at >= state.endHeardAt)
        return false;
    const std::uint64_t kept = std::min<std::uint64_t>(state.periodCount, periodsKept);
    auto newest = [&](std::uint64_t i) -> const Period& {
        return state.periods[(state.periodCount - 1 - i) % periodsKept];
    };
    // Newest first: the latest period already being heard at `at`, else the oldest kept.
    std::uint64_t i = 0;
    while (i + 1 < kept && at < newest(i).heardAt)
        ++i;
    const Period& p = newest(i);
    double into = static_cast<double>(at - p.heardAt) * framesPerNano;
    // Past the newest period the stream goes on with time, while the output is
    // fed (its next period is not overdue by more than a period); an output that
    // is not fed plays nothing beyond what it was handed.
    const double periodNanos = static_cast<double>(p.frames) / framesPerNano;
    const bool fed = static_cast<double>(now - p.heardAt) < 2 * periodNanos;
    if (i > 0 || !fed || p.streamFrames < p.frames)
        into = std::min(into, static_cast<double>(p.frames));
    deviceFrame = std::clamp(static_cast<double>(p.deviceStart) + into, 0.0, static_cast<double>(state.handed));
    if (into < 0) {
        // Before the oldest period kept is heard: count down to its first frame.
        streamFrame = static_cast<double>(p.streamStart) + into;
        return true;
    }
    if (into < static_cast<double>(p.streamFrames) || p.streamFrames == p.frames) {
        streamFrame = static_cast<double>(p.streamStart) + into;
        return true;
    }
    if (p.streamFrames > 0 || !p.beforeStream) {
        // The stream ran dry, ended, or the output is not being fed: what was
        // handed over holds where it stopped.
        streamFrame = static_cast<double>(p.streamStart + static_cast<std::int64_t>(p.streamFrames));
        return true;
    }
    // Silence before the stream's first frame: count down to the first period with
    // stream frames, or, where none has been handed over yet, to the end of this one.
    for (std::uint64_t j = i; j-- > 0;) {
        const Period& q = newest(j);
        if (q.streamFrames > 0) {
            streamFrame = static_cast<double>(q.streamStart) - static_cast<double>(q.heardAt - at) * framesPerNano;
            return true;
        }
    }
    const Period& last = newest(0);
    const double lastEnds = static_cast<double>(last.heardAt) + static_cast<double>(last.frames) / framesPerNano;
    streamFrame =
        static_cast<double>(last.streamStart) - std::max(1.0, (lastEnds - static_cast<double>(at)) * framesPerNano);
    return true;
}

bool Playback::heardFrame(std::int64_t at, std::int64_t now, double& frame) const
{
    if (!started.load(std::memory_order_acquire))
        return false;
    Published state;
    if (read([&](const auto& unchanged) {
            copyPublished(state);
            return unchanged();
        })) {
        copied = state;
        haveCopy = true;
    }
    double streamFrame = 0;
    double deviceFrame = 0;
    if (!haveCopy || !locate(copied, at, now, streamFrame, deviceFrame))
        return false;
    frame = streamFrame;
    return true;
}

bool Playback::snapshot(std::int16_t* window, std::int64_t at, std::int64_t now) const
{
    if (!started.load(std::memory_order_acquire))
        return false;
    Published state;
    std::array<std::int16_t, windowFrames * channelsPerFrame> frames{};
    bool playing = false;
    const bool consistent = read([&](const auto& unchanged) {
        copyPublished(state);
        if (!unchanged())
            return false;
        double streamFrame = 0;
        double deviceFrame = 0;
        playing = locate(state, at, now, streamFrame, deviceFrame);
        if (!playing)
            return true;
        // Only frames already handed over are known; early on, the zeroed history
        // stands for the silence before the first period.
        const std::uint64_t heard = static_cast<std::uint64_t>(deviceFrame);
        const std::uint64_t lastStart = state.handed >= windowFrames ? state.handed - windowFrames : 0;
        const std::uint64_t first = std::min(heard, lastStart);
        const std::size_t from = static_cast<std::size_t>(first % historyFrames) * channelsPerFrame;
        for (std::size_t i = 0; i < frames.size(); ++i)
            frames[i] = published(history[(from + i) % history.size()]);
        return unchanged();
    });
    if (consistent) {
        if (!playing)
            return false;
        copiedWindow = frames;
    }
    // The output's thread wrote through every try: the last window copied
    // stands, and before any, the zeroed one (the silence before the first
    // period). Started means playing; a busy writer must not say otherwise.
    std::copy(copiedWindow.begin(), copiedWindow.end(), window);
    return true;
}

void Playback::remember(const std::int16_t* frames, std::size_t count, std::uint64_t handed)
{
    // Only the last historyFrames of an oversized period can be kept.
    const std::size_t kept = std::min<std::size_t>(count, historyFrames);
    const std::size_t first = static_cast<std::size_t>((handed + (count - kept)) % historyFrames) * channelsPerFrame;
    frames += (count - kept) * channelsPerFrame;
    for (std::size_t i = 0; i < kept * channelsPerFrame; ++i)
        publish(history[(first + i) % history.size()], frames[i]);
}

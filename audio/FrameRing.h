// A single-producer, single-consumer ring of 16-bit stereo sample frames: the decoder
// thread writes, the audio callback reads, and neither ever waits for the other.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

class FrameRing {
public:
    static constexpr int channelsPerFrame = 2;

    // capacity must be a power of two, so positions map to slots with a mask.
    explicit FrameRing(std::size_t capacity) : slots(capacity * channelsPerFrame), mask(capacity - 1) {}
    FrameRing(const FrameRing&) = delete;
    FrameRing& operator=(const FrameRing&) = delete;

    std::size_t capacity() const { return mask + 1; }

    // Positions count frames since the ring was made; they only grow.
    std::uint64_t writePosition() const { return writeAt.load(std::memory_order_acquire); }

    // Producer side.
    std::size_t writable() const
    {
        return capacity() - static_cast<std::size_t>(writeAt.load(std::memory_order_relaxed) -
                                                     readAt.load(std::memory_order_acquire));
    }
    // Copies at most writable() frames; returns how many were taken.
    std::size_t write(const std::int16_t* frames, std::size_t count)
    {
        count = std::min(count, writable());
        const std::uint64_t at = writeAt.load(std::memory_order_relaxed);
        store(frames, count, at);
        writeAt.store(at + count, std::memory_order_release);
        return count;
    }

    // Consumer side.
    std::size_t readable() const
    {
        return static_cast<std::size_t>(writeAt.load(std::memory_order_acquire) -
                                        readAt.load(std::memory_order_relaxed));
    }
    std::size_t read(std::int16_t* frames, std::size_t count)
    {
        count = std::min(count, readable());
        const std::uint64_t at = readAt.load(std::memory_order_relaxed);
        load(frames, count, at);
        readAt.store(at + count, std::memory_order_release);
        return count;
    }
    // Drops everything written before position (a position the producer has reached).
    void discardUntil(std::uint64_t position)
    {
        if (position > readAt.load(std::memory_order_relaxed))
            readAt.store(position, std::memory_order_release);
    }

private:
    // Both copy count frames from position at on, in two pieces when the span wraps
    // around the end of the slots.
    void store(const std::int16_t* frames, std::size_t count, std::uint64_t at)
    {
        const std::size_t first = slotOf(at), head = std::min(count, capacity() - first);
        std::memcpy(slots.data() + first * channelsPerFrame, frames, head * bytesPerFrame);
        std::memcpy(slots.data(), frames + head * channelsPerFrame, (count - head) * bytesPerFrame);
    }
    void load(std::int16_t* frames, std::size_t count, std::uint64_t at) const
    {
        const std::size_t first = slotOf(at), head = std::min(count, capacity() - first);
        std::memcpy(frames, slots.data() + first * channelsPerFrame, head * bytesPerFrame);
        std::memcpy(frames + head * channelsPerFrame, slots.data(), (count - head) * bytesPerFrame);
    }
    std::size_t slotOf(std::uint64_t position) const { return static_cast<std::size_t>(position) & mask; }

    static constexpr std::size_t bytesPerFrame = channelsPerFrame * sizeof(std::int16_t);
    std::vector<std::int16_t> slots;
    std::size_t mask;
    std::atomic<std::uint64_t> writeAt{0};
    std::atomic<std::uint64_t> readAt{0};
};

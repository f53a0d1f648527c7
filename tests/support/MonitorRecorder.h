// Records what a PulseAudio sink plays, through its monitor source, and when:
// every block read comes with the moment its last frame was played by the
// sink, from the stream's latency (negative on a monitor: the monitor hears a
// frame before the sink plays it) and the monotonic clock of the reading, or
// from the reading's moment alone where the server's latency is not the truth.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct pa_mainloop;

namespace testsupport {

// How the moment a frame was played is found. PulseAudio reports a monitor's
// latency truly. PipeWire's PulseAudio server reports it 0.3 to 4.5 s off once
// the server has been held stopped and let go, so there the moment a block
// arrives counts: in PipeWire's graph a monitor gets the frames the sink played
// in one cycle as the next one begins (within 1 to 2 ms, checked against the
// graph's own clock), so a block's last frame arrives about when it was played.
enum class PlayedTiming { serverLatency, arrival };

class MonitorRecorder {
public:
    static constexpr int rate = 44100;
    static constexpr int channels = 2;

    // Connects to `server` (a PULSE_SERVER value) and records `source` until stop().
    MonitorRecorder(const std::string& server, const std::string& source, PlayedTiming timing);
    ~MonitorRecorder();
    MonitorRecorder(const MonitorRecorder&) = delete;
    MonitorRecorder& operator=(const MonitorRecorder&) = delete;

    // True once the stream is recording.
    bool waitUntilRecording(int timeoutMs);
    // True once the monitor has been delivering what the sink is playing now
    // (not what it rendered ahead while idle) for `seconds` in a row.
    bool waitUntilSettled(double seconds, int timeoutMs);
    // Ends the recording; the accessors below may be used after this.
    void stop();

    // Interleaved 16-bit stereo frames, in the order the sink played them.
    const std::vector<std::int16_t>& samples() const { return recorded; }
    std::size_t frames() const { return recorded.size() / channels; }
    // When the sink played frame `frame` (CLOCK_MONOTONIC seconds), from the
    // timing points within a few seconds of it; NaN without any.
    double playedAt(double frame) const;
    // How far single timing points stray from that estimate (seconds, median
    // absolute deviation): the precision of playedAt.
    double timingSpread() const;

private:
    struct TimingPoint {
        std::uint64_t frame; // frames recorded up to this point
        double played;       // when the sink played the last of them
    };
    void run(std::string server, std::string source);
    double reportedPlayedAt(double frame) const;
    double arrivedAt(double frame) const;

    PlayedTiming timing;
    pa_mainloop* loop = nullptr;
    std::thread worker;
    std::mutex lock;
    static constexpr double settledLatency = 0.05;
    bool recording = false;
    double settledSince = 0; // CLOCK_MONOTONIC seconds; 0 while not settled
    bool quit = false;
    std::vector<std::int16_t> recorded;
    std::vector<TimingPoint> points;
    std::vector<TimingPoint> arrivals; // `played` here is when the block was read
};

} // namespace testsupport

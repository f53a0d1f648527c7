// brakvane-sink-recorder: what the web page's sync test (web/test/sync.test.js)
// judges a visit by. It records the monitor of the private sound server's null
// sink the browsers play to, and then says when the sink played given moments
// of the track.
//   brakvane-sink-recorder SERVER SOURCE TRACK [arrival]
// `arrival` times each block by when it arrived rather than by the latency the
// server reports: the truth on PipeWire's PulseAudio server (MonitorRecorder.h).
// Prints "recording" once the monitor delivers what the sink plays now; then
// reads moments of the track (seconds, separated by white space) from standard
// input until it ends, stops recording and prints, for each moment in turn,
// "played MOMENT WHEN": when the sink played it (CLOCK_MONOTONIC seconds), or
// "nan" where the recording does not hold it (silence there, or not reached).
//
// The browsers send the track as floats, which reach the sink's 16 bits with
// the last bit now and then rounded the other way, so stretches are matched
// within a few levels rather than bit for bit.
#include "CutOffsets.h"
#include "MonitorRecorder.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

using testsupport::decodeTrack;
using testsupport::MonitorRecorder;

namespace {

constexpr int rate = MonitorRecorder::rate;
constexpr int channels = MonitorRecorder::channels;
// Frames compared to place a stretch of the track: long enough to be unique.
constexpr long runFrames = 1024;
constexpr int tolerance = 3;

struct Matcher {
    const std::vector<std::int16_t>& track;
    const std::vector<std::int16_t>& recorded;

    long frames(const std::vector<std::int16_t>& v) const { return static_cast<long>(v.size()) / channels; }
    bool near(std::int16_t a, std::int16_t b) const { return std::abs(a - b) <= tolerance; }
    // Not silence, so that a match means something.
    bool audible(long k) const
    {
        if (k < 0 || k + runFrames > frames(track))
            return false;
        long loud = 0;
        for (long i = k * channels; i < (k + runFrames) * channels; ++i)
            loud += std::abs(track[static_cast<std::size_t>(i)]) > 64 ? 1 : 0;
        return loud > runFrames;
    }
    bool matches(long k, long r) const
    {
        if (r < 0 || r + runFrames > frames(recorded))
            return false;
        for (long i = 0; i < runFrames * channels; ++i)
            if (!near(track[static_cast<std::size_t>(k * channels + i)],
                      recorded[static_cast<std::size_t>(r * channels + i)]))
                return false;
        return true;
    }
    // The recorded frame where track frame k was played: at the offset of the
    // last one found if it holds there, else searched for.
    std::optional<long> find(long k, std::optional<long>& offset) const
    {
        if (offset && matches(k, k + *offset))
            return k + *offset;
        const long from = offset ? std::max(0L, k + *offset - 2 * rate) : 0;
        for (long r = from; r + runFrames <= frames(recorded); ++r)
            if (near(track[static_cast<std::size_t>(k * channels)], recorded[static_cast<std::size_t>(r * channels)]) &&
                matches(k, r)) {
                offset = r - k;
                return r;
            }
        return std::nullopt;
    }
};

} // namespace

int main(int argc, char** argv)
{
    const bool arrival = argc == 5 && std::string(argv[4]) == "arrival";
    if (argc != 4 && !arrival) {
        std::cerr << "usage: brakvane-sink-recorder SERVER SOURCE TRACK [arrival]" << std::endl;
        return 2;
    }
    const std::vector<std::int16_t> track = decodeTrack(argv[3]);
    if (track.empty()) {
        std::cerr << "brakvane-sink-recorder: cannot decode " << argv[3] << std::endl;
        return 1;
    }
    MonitorRecorder recorder(argv[1], argv[2],
                             arrival ? testsupport::PlayedTiming::arrival : testsupport::PlayedTiming::serverLatency);
    // An idle null sink renders far ahead; a reader attached for a while
    // brings it down to the latency it keeps while playing.
    if (!recorder.waitUntilRecording(5000) || !recorder.waitUntilSettled(1.0, 15000)) {
        std::cerr << "brakvane-sink-recorder: the sink's monitor cannot be recorded" << std::endl;
        return 1;
    }
    std::cout << "recording" << std::endl;
    std::vector<double> moments;
    for (double m = 0; std::cin >> m;)
        moments.push_back(m);
    recorder.stop();

    const Matcher matcher{track, recorder.samples()};
    std::optional<long> offset;
    for (double m : moments) {
        // The stretch from the moment on, or the one just before it.
        const long k = std::lround(m * rate);
        std::optional<long> r;
        if (matcher.audible(k))
            r = matcher.find(k, offset);
        if (!r && matcher.audible(k - runFrames))
            if (auto before = matcher.find(k - runFrames, offset))
                r = *before + runFrames;
        std::printf("played %.6f %.6f\n", m, r ? recorder.playedAt(static_cast<double>(*r)) : std::nan(""));
    }
    return 0;
}

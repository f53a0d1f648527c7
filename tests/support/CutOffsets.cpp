// Locating the crashes and pairing them with the frames.
#include "CutOffsets.h"

#include "audio/Mp3File.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <sstream>

namespace testsupport {

namespace {

constexpr int rate = MonitorRecorder::rate;
constexpr int channels = MonitorRecorder::channels;
// Frames compared to place a stretch of the track in the recording: long
// enough to be unique, short enough to fit between the silences of stalls.
constexpr std::size_t matchFrames = 1024;

bool matchesAt(const std::vector<std::int16_t>& track, std::size_t musicFrame,
               const std::vector<std::int16_t>& recorded, std::size_t at)
{
    if ((at + matchFrames) * channels > recorded.size() || (musicFrame + matchFrames) * channels > track.size())
        return false;
    return std::memcmp(track.data() + musicFrame * channels, recorded.data() + at * channels,
                       matchFrames * channels * sizeof(std::int16_t)) == 0;
}

// A stretch that is not silence, so that a match means something.
bool audible(const std::vector<std::int16_t>& track, std::size_t musicFrame)
{
    int loud = 0;
    for (std::size_t i = musicFrame * channels; i < (musicFrame + matchFrames) * channels && i < track.size(); ++i)
        loud += (track[i] > 64 || track[i] < -64) ? 1 : 0;
    return loud > static_cast<int>(matchFrames);
}

// Where a graph resamples (a sink at 48 kHz), the music reaches the recording
// changed in its last bits: the stretch is found by correlation instead,
// within 0.2 s of where the picture showed it. The music repeats itself a beat
// (0.46 s) later, so a wider search could take the beat before for the one
// sought; a picture further off than that leaves the moment unfound, which the
// count of moments found shows. The stretch compared reaches as far before the
// moment as after it, so that at a cut it holds the change of section.
constexpr std::size_t correlatedFrames = 8192;
std::optional<std::size_t> findResampled(const std::vector<std::int16_t>& track, std::size_t musicFrame,
                                         const MonitorRecorder& recording, double near)
{
    constexpr std::size_t half = correlatedFrames / 2;
    const std::vector<std::int16_t>& recorded = recording.samples();
    const std::size_t frames = recording.frames();
    if (frames < correlatedFrames + half || musicFrame < half || (musicFrame + half) * channels > track.size())
        return std::nullopt;
    // Only a recording that was running then can hold it.
    if (near < recording.playedAt(0) || near > recording.playedAt(static_cast<double>(frames - 1)))
        return std::nullopt;
    // The recorded frame played closest to `near`: playedAt only grows.
    std::size_t low = 0;
    std::size_t high = frames - 1;
    while (low < high) {
        const std::size_t middle = (low + high) / 2;
        if (recording.playedAt(static_cast<double>(middle)) < near)
            low = middle + 1;
        else
            high = middle;
    }
    const std::size_t expected = low > half ? low - half : 0; // where the stretch would begin
    const std::size_t span = rate / 5;
    const std::size_t from = expected > span ? expected - span : 0;
    const std::size_t to = std::min(frames - correlatedFrames, expected + span);
    const std::int16_t* key = &track[(musicFrame - half) * channels];
    auto mono = [](const std::int16_t* frame) { return static_cast<double>(frame[0]) + frame[1]; };
    double keyEnergy = 0;
    for (std::size_t i = 0; i < correlatedFrames; ++i)
        keyEnergy += mono(key + i * channels) * mono(key + i * channels);
    auto correlationAt = [&](std::size_t at) {
        double product = 0;
        double energy = 0;
        for (std::size_t i = 0; i < correlatedFrames; ++i) {
            const double r = mono(&recorded[(at + i) * channels]);
            product += r * mono(key + i * channels);
            energy += r * r;
        }
        return energy > 0 ? product / std::sqrt(energy * keyEnergy) : 0.0;
    };
    // Every fourth frame first (the music has little above 5 kHz), then the frames between.
    double best = 0;
    std::size_t bestAt = 0;
    for (std::size_t at = from; at < to; at += 4)
        if (const double c = correlationAt(at); c > best) {
            best = c;
            bestAt = at;
        }
    if (best < 0.95)
        return std::nullopt;
    double refined = 0;
    const std::size_t around = bestAt;
    for (std::size_t at = around > 3 ? around - 3 : 0; at <= std::min(to, around + 3); ++at)
        if (const double c = correlationAt(at); c > refined) {
            refined = c;
            bestAt = at;
        }
    return bestAt + half;
}

// The time between presents the run kept to: the median step, which stalls
// and the odd late frame do not move.
double frameInterval(const std::vector<LoggedFrame>& frames)
{
    std::vector<double> steps;
    for (std::size_t i = 1; i < frames.size(); ++i)
        if (frames[i].present > frames[i - 1].present)
            steps.push_back(frames[i].present - frames[i - 1].present);
    if (steps.empty())
        return 0;
    std::nth_element(steps.begin(), steps.begin() + static_cast<std::ptrdiff_t>(steps.size() / 2), steps.end());
    return steps[steps.size() / 2];
}

} // namespace

std::vector<LoggedFrame> parseFrameLog(const std::string& errorOutput)
{
    std::vector<LoggedFrame> frames;
    std::istringstream in(errorOutput);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string tag;
        LoggedFrame f{};
        if (fields >> tag >> f.t >> f.present && tag == "frame")
            frames.push_back(f);
    }
    return frames;
}

std::vector<std::int16_t> decodeTrack(const std::string& path)
{
    std::vector<std::int16_t> samples;
    Mp3File file(path, true);
    if (!file.ok() || file.rate() != rate || file.channels() != channels)
        return samples;
    std::vector<std::int16_t> block(4096 * channels);
    while (std::size_t got = file.read(block.data(), 4096))
        samples.insert(samples.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(got * channels));
    return samples;
}

std::optional<std::size_t> findInRecording(const std::vector<std::int16_t>& track, std::size_t musicFrame,
                                           const std::vector<std::int16_t>& recorded, std::size_t from)
{
    if ((musicFrame + matchFrames) * channels > track.size())
        return std::nullopt;
    const std::int16_t* key = track.data() + musicFrame * channels;
    const std::size_t frames = recorded.size() / channels;
    for (std::size_t at = from; at + matchFrames <= frames; ++at) {
        const std::int16_t* r = recorded.data() + at * channels;
        if (r[0] == key[0] && r[1] == key[1] && matchesAt(track, musicFrame, recorded, at))
            return at;
    }
    return std::nullopt;
}

std::vector<CutOffset> cutOffsets(const std::vector<LoggedFrame>& frames, const std::vector<std::int16_t>& track,
                                  const MonitorRecorder& recording, const std::vector<double>& moments,
                                  const std::vector<Stall>& stalls)
{
    std::vector<CutOffset> result;
    const double interval = frameInterval(frames);
    for (double cut : moments) {
        const LoggedFrame* first = nullptr;
        for (const auto& f : frames)
            if (f.t > cut) {
                first = &f;
                break;
            }
        if (!first)
            continue;
        bool straddles = false;
        for (const auto& s : stalls)
            straddles = straddles || (first->present >= s.begin && first->present <= s.end + 0.03);
        if (straddles)
            continue;
        // The stretch right after the crash's onset, or the one right before
        // it when a stall's silence split the first.
        const auto onset = static_cast<std::size_t>(cut * rate + 0.5);
        std::optional<std::size_t> recorded;
        if (audible(track, onset))
            recorded = findInRecording(track, onset, recording.samples());
        if (!recorded && onset >= matchFrames && audible(track, onset - matchFrames))
            if (auto before = findInRecording(track, onset - matchFrames, recording.samples()))
                recorded = *before + matchFrames;
        if (!recorded && audible(track, onset))
            recorded = findResampled(track, onset, recording, first->present);
        if (!recorded)
            continue;
        const double offset = first->present - recording.playedAt(static_cast<double>(*recorded));
        const double lockError = offset - (first->t - cut);
        result.push_back({cut, offset, lockError, -(lockError + interval / 2)});
    }
    return result;
}

} // namespace testsupport

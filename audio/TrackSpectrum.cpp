// Whole-track decoding through Mp3File, the decoder playback uses (with the
// same conversion of other rates and mono), so the offline spectrum matches
// the live one.
#include "audio/TrackSpectrum.h"

#include "audio/Mp3File.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr std::size_t chunkFrames = 4096;
constexpr double frameLimit = 4611686018427387904.0; // 2^62

// Frames of `rate` that cover `seconds`, within [0, maxSeconds].
std::int64_t framesFor(double seconds, int rate)
{
    const double wanted = std::clamp(seconds, 0.0, TrackSpectrum::maxSeconds);
    return static_cast<std::int64_t>(std::ceil(wanted * rate)) + 1;
}

} // namespace

bool TrackSpectrum::load(const std::string& path, double untilSeconds)
{
    samples.clear();
    Mp3File file(path, false);
    if (!file.ok())
        return false;
    if (std::isnan(untilSeconds))
        untilSeconds = maxSeconds;
    const std::int64_t wanted = framesFor(untilSeconds, trackRate);
    std::int64_t frames = 0;
    while (frames < wanted) {
        const std::size_t chunk = static_cast<std::size_t>(std::min<std::int64_t>(chunkFrames, wanted - frames));
        samples.resize(static_cast<std::size_t>(frames + static_cast<std::int64_t>(chunk)) * channelsPerFrame);
        const std::size_t got = file.read(samples.data() + frames * channelsPerFrame, chunk);
        frames += static_cast<std::int64_t>(got);
        if (got == 0)
            break;
    }
    samples.resize(static_cast<std::size_t>(frames) * channelsPerFrame);
    return true;
}

std::int64_t TrackSpectrum::frameAt(double t)
{
    const double frame = std::floor(t * trackRate);
    if (!(frame > -frameLimit))
        return -static_cast<std::int64_t>(frameLimit); // far before the start, or not a number
    if (frame >= frameLimit)
        return static_cast<std::int64_t>(frameLimit);
    return static_cast<std::int64_t>(frame);
}

void TrackSpectrum::spectrumAt(double t, float* magnitudes)
{
    if (!analyser.valid()) {
        std::fill_n(magnitudes, FrequencyAnalyser::binCount, 0.0f);
        return;
    }
    copyFrames(frameAt(t) - FrequencyAnalyser::analysedFrames, FrequencyAnalyser::analysedFrames, window.data());
    analyser.analyseStereo(window.data(), magnitudes);
}

float TrackSpectrum::spectrum0At(double t)
{
    std::array<float, FrequencyAnalyser::binCount> magnitudes;
    spectrumAt(t, magnitudes.data());
    return magnitudes[0];
}

void TrackSpectrum::copyFrames(std::int64_t first, std::size_t count, std::int16_t* out) const
{
    const std::int64_t held = frameCount();
    std::size_t done = 0;
    while (done < count) {
        const std::int64_t frame = first + static_cast<std::int64_t>(done);
        if (frame < 0 || frame >= held) {
            // Silence up to the start of the track, or to the end of the request.
            std::size_t gap = count - done;
            if (frame < 0)
                gap = static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(gap), -frame));
            std::memset(out + done * channelsPerFrame, 0, gap * channelsPerFrame * sizeof(std::int16_t));
            done += gap;
            continue;
        }
        const std::size_t run =
            static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(count - done), held - frame));
        std::memcpy(out + done * channelsPerFrame, samples.data() + frame * channelsPerFrame,
                    run * channelsPerFrame * sizeof(std::int16_t));
        done += run;
    }
}

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

TrackSpectrum::TrackSpectrum() = default;
TrackSpectrum::~TrackSpectrum() = default;

bool TrackSpectrum::load(const std::string& path, double untilSeconds)
{
    if (!begin(path, untilSeconds))
        return false;
    while (decodeMore(static_cast<std::int64_t>(chunkFrames) * 16)) {
    }
    return true;
}

bool TrackSpectrum::begin(const std::string& path, double untilSeconds)
{
    samples.clear();
    decoding.reset();
    auto file = std::make_unique<Mp3File>(path, false);
    if (!file->ok())
        return false;
    if (std::isnan(untilSeconds))
        untilSeconds = maxSeconds;
    wantedFrames = framesFor(untilSeconds, trackRate);
    // Without an index the length is mpg123's estimate, or unknown; it only
    // measures progress.
    expectedFrames = file->length() > 0 ? std::min(wantedFrames, file->length()) : wantedFrames;
    decoding = std::move(file);
    return true;
}

bool TrackSpectrum::decodeMore(std::int64_t frames)
{
    if (!decoding)
        return false;
    std::int64_t held = frameCount();
    const std::int64_t until = std::min(wantedFrames, held + std::max<std::int64_t>(frames, 1));
    while (held < until) {
        const std::size_t chunk = static_cast<std::size_t>(std::min<std::int64_t>(chunkFrames, until - held));
        samples.resize(static_cast<std::size_t>(held + static_cast<std::int64_t>(chunk)) * channelsPerFrame);
        const std::size_t got = decoding->read(samples.data() + held * channelsPerFrame, chunk);
        held += static_cast<std::int64_t>(got);
        samples.resize(static_cast<std::size_t>(held) * channelsPerFrame);
        if (got == 0) {
            decoding.reset();
            return false;
        }
    }
    if (held >= wantedFrames)
        decoding.reset();
    return decoding != nullptr;
}

double TrackSpectrum::progress() const
{
    if (!decoding)
        return 1.0;
    if (expectedFrames <= 0)
        return 0.0;
    return std::min(0.99, static_cast<double>(frameCount()) / static_cast<double>(expectedFrames));
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

// The music track decoded once, as a whole, for rendering the demo offline:
// the spectrum at any moment, computed exactly as the live music computes the
// spectrum of what is being heard, and the samples themselves.
//
// The track is kept the way the decoder gives it to playback: 16-bit stereo
// at 44.1 kHz (a file of another rate or a mono file converted as it is
// decoded). The spectrum at t is that of the 512 sample frames ending at
// t; frames before the start of the track and after its end are silence.
#pragma once

#include "audio/FrequencyAnalyser.h"
#include "audio/Mp3File.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class TrackSpectrum {
public:
    static constexpr int trackRate = Mp3File::outputRate;
    static constexpr int channelsPerFrame = Mp3File::outputChannels;
    // Longest stretch ever decoded: an hour, far beyond any demo, so that a
    // huge file cannot exhaust memory.
    static constexpr double maxSeconds = 3600.0;

    // Decodes the file from its start up to untilSeconds (the rest of the
    // track is not needed). False when it cannot be opened or holds no MPEG
    // audio; the track is then empty and all silence.
    bool load(const std::string& path, double untilSeconds = maxSeconds);

    // Stereo frames held.
    std::int64_t frameCount() const { return static_cast<std::int64_t>(samples.size() / channelsPerFrame); }

    // The sample frame playing at t: floor(t * trackRate), clamped to +-2^62.
    static std::int64_t frameAt(double t);

    // Writes the FrequencyAnalyser::binCount magnitudes of the frames
    // [frameAt(t) - 512, frameAt(t)) into magnitudes.
    void spectrumAt(double t, float* magnitudes);
    // What a frame of moment t is drawn with: the first of those magnitudes,
    // 0 with no track. Every driver that plays from a decoded track (the
    // offline renderer, the web page) takes its frames' value from here.
    float spectrum0At(double t);

    // Copies count stereo frames from frame `first` on into out, silence
    // wherever the track has none.
    void copyFrames(std::int64_t first, std::size_t count, std::int16_t* out) const;

private:
    std::vector<std::int16_t> samples; // interleaved stereo at trackRate
    FrequencyAnalyser analyser;
    std::array<std::int16_t, FrequencyAnalyser::analysedFrames * channelsPerFrame> window{};
};

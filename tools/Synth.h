// The music synthesiser's voices: each renders one drum hit or one note into a
// clip of samples, from oscillators, filters and envelopes of its own. All
// randomness comes from fixed seeds, so the same song gives the same samples.
#pragma once

#include <cstdint>
#include <vector>

namespace makedata {

constexpr int sampleRate = 44100;

using Clip = std::vector<float>;

struct StereoClip {
    Clip left, right;
};

double midiToHz(double note);

// Zero-delay-feedback state-variable filter; one instance per voice.
class Svf {
public:
    void set(float cutoffHz, float resonance);  // resonance: 0.5 gentle .. 5 sharp
    void process(float in);
    float low() const { return low_; }
    float band() const { return band_; }
    float high() const { return high_; }

private:
    float a1_ = 0, a2_ = 0, a3_ = 0, k_ = 1;
    float ic1_ = 0, ic2_ = 0;
    float low_ = 0, band_ = 0, high_ = 0;
};

// Band-limited sawtooth (PolyBLEP), output -1..1.
class Saw {
public:
    explicit Saw(double phase = 0) : phase_(phase) {}
    float next(double hz);

private:
    double phase_;
};

// Band-limited pulse wave (PolyBLEP), output -1..1.
class Pulse {
public:
    explicit Pulse(double phase = 0, double width = 0.5) : phase_(phase), width_(width) {}
    float next(double hz);

private:
    double phase_;
    double width_;
};

// Drums. Each hit is a mono clip; seeds vary the noise.
Clip kickDrum();
Clip snareDrum(std::uint64_t seed);
Clip handClap(std::uint64_t seed);
Clip hiHat(std::uint64_t seed, bool open);
Clip crashCymbal(std::uint64_t seed);

// Pitched voices; seconds is how long the note is held, the clip adds the release.
Clip bassNote(double hz, double seconds);
StereoClip padNote(double hz, double seconds, float cutoffStart, float cutoffEnd, std::uint64_t seed);
Clip pluckNote(double hz, double seconds, float brightness);
Clip leadNote(double hz, double seconds);
Clip bellNote(double hz);
// Filtered noise sweeping upwards over the given time.
Clip riser(double seconds, std::uint64_t seed);

}  // namespace makedata

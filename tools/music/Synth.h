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
    void set(float cutoffHz, float resonance); // resonance: 0.5 gentle .. 5 sharp
    void process(float in);
    float low() const { return lowPass; }
    float band() const { return bandPass; }
    float high() const { return highPass; }

private:
    float a1 = 0, a2 = 0, a3 = 0, k = 1;
    float ic1 = 0, ic2 = 0;
    float lowPass = 0, bandPass = 0, highPass = 0;
};

// Band-limited sawtooth (PolyBLEP), output -1..1.
class Saw {
public:
    explicit Saw(double startPhase = 0) : phase(startPhase) {}
    float next(double hz);

private:
    double phase;
};

// Band-limited pulse wave (PolyBLEP), output -1..1.
class Pulse {
public:
    explicit Pulse(double startPhase = 0, double pulseWidth = 0.5) : phase(startPhase), width(pulseWidth) {}
    float next(double hz);

private:
    double phase;
    double width;
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

} // namespace makedata

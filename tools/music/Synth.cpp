// Oscillators, filter and voices of the music synthesiser.
#include "music/Synth.h"

#include <algorithm>
#include <cmath>

#include "Noise.h"

namespace makedata {

namespace {

constexpr double twoPi = 6.283185307179586;
constexpr float fs = static_cast<float>(sampleRate);

size_t samples(double seconds)
{
    return static_cast<size_t>(std::max(0.0, seconds) * sampleRate);
}

float timeOf(size_t i)
{
    return static_cast<float>(i) / fs;
}

// Correction around a step of the waveform at phase 0 (t in cycles, dt per sample).
double polyBlep(double t, double dt)
{
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1.0;
    }
    if (t > 1.0 - dt) {
        t = (t - 1.0) / dt;
        return t * t + t + t + 1.0;
    }
    return 0.0;
}

// Attack-decay-sustain-release level at time t of a note held for `held` seconds.
float adsr(float t, float attack, float decay, float sustain, float release, float held)
{
    auto level = [&](float u) {
        if (u < attack)
            return u / attack;
        const float d = (u - attack) / decay;
        return sustain + (1.0f - sustain) * std::exp(-d * 3.0f);
    };
    if (t < held)
        return level(t);
    return level(held) * std::exp(-(t - held) / release * 4.0f);
}

// Noise source for the voices: uniform white noise in -1..1.
class Noise {
public:
    explicit Noise(std::uint64_t seed) : rng(seed) {}
    float next() { return rng.bipolar(); }

private:
    Rng rng;
};

} // namespace

double midiToHz(double note)
{
    return 440.0 * std::pow(2.0, (note - 69.0) / 12.0);
}

void Svf::set(float cutoffHz, float resonance)
{
    const float fc = std::clamp(cutoffHz, 10.0f, fs * 0.45f);
    const float g = std::tan(static_cast<float>(3.141592653589793) * fc / fs);
    k = 1.0f / std::max(resonance, 0.3f);
    a1 = 1.0f / (1.0f + g * (g + k));
    a2 = g * a1;
    a3 = g * a2;
}

void Svf::process(float in)
{
    const float v3 = in - ic2;
    const float v1 = a1 * ic1 + a2 * v3;
    const float v2 = ic2 + a2 * ic1 + a3 * v3;
    ic1 = 2.0f * v1 - ic1;
    ic2 = 2.0f * v2 - ic2;
    lowPass = v2;
    bandPass = v1;
    highPass = in - k * v1 - v2;
}

float Saw::next(double hz)
{
    const double dt = hz / sampleRate;
    const double v = 2.0 * phase - 1.0 - polyBlep(phase, dt);
    phase += dt;
    phase -= std::floor(phase);
    return static_cast<float>(v);
}

float Pulse::next(double hz)
{
    const double dt = hz / sampleRate;
    double second = phase + (1.0 - width);
    second -= std::floor(second);
    const double v = (phase < width ? 1.0 : -1.0) + polyBlep(phase, dt) - polyBlep(second, dt);
    phase += dt;
    phase -= std::floor(phase);
    return static_cast<float>(v);
}

Clip kickDrum()
{
    // A sine that falls from about 165 Hz to 43 Hz within a few milliseconds and
    // then holds: nearly all of its energy lies below 80 Hz, which is what makes
    // the picture pulse. The saturation squares it off a little, for more weight.
    Clip out(samples(0.45));
    double phase = 0;
    Noise noise(7u);
    Svf click;
    click.set(3000.0f, 0.7f);
    for (size_t i = 0; i < out.size(); ++i) {
        const float t = timeOf(i);
        const double hz = 43.0 + 120.0 * std::exp(-t / 0.022);
        phase += twoPi * hz / sampleRate;
        const float attack = std::min(1.0f, t / 0.0015f);
        const float decay = t < 0.05f ? 1.0f : std::exp(-(t - 0.05f) / 0.16f);
        const float body = std::tanh(2.2f * static_cast<float>(std::sin(phase))) / std::tanh(2.2f);
        click.process(noise.next());
        const float tick = click.band() * std::exp(-t / 0.004f) * 0.35f;
        out[i] = body * decay * attack * 0.9f + tick;
    }
    // Fade the last milliseconds so the clip ends at zero.
    for (size_t i = 0; i < 200 && i < out.size(); ++i)
        out[out.size() - 1 - i] *= static_cast<float>(i) / 200.0f;
    return out;
}

Clip snareDrum(std::uint64_t seed)
{
    Clip out(samples(0.3));
    Noise noise(seed);
    Svf bp;
    bp.set(3500.0f, 0.8f);
    double phase = 0;
    for (size_t i = 0; i < out.size(); ++i) {
        const float t = timeOf(i);
        bp.process(noise.next());
        phase += twoPi * (185.0 + 60.0 * std::exp(-t / 0.01)) / sampleRate;
        const float tone = static_cast<float>(std::sin(phase)) * std::exp(-t / 0.05f);
        const float rattle = bp.band() * std::exp(-t / 0.09f) * 1.6f;
        out[i] = (0.6f * tone + rattle) * std::min(1.0f, t / 0.001f) * 0.65f;
    }
    return out;
}

Clip handClap(std::uint64_t seed)
{
    Clip out(samples(0.35));
    Noise noise(seed);
    Svf bp;
    bp.set(1300.0f, 1.3f);
    for (size_t i = 0; i < out.size(); ++i) {
        const float t = timeOf(i);
        // Three quick bursts, then the tail of the room.
        float env = std::exp(-t / 0.11f) * 0.55f;
        for (float start : {0.0f, 0.009f, 0.019f})
            if (t >= start)
                env += std::exp(-(t - start) / 0.005f);
        bp.process(noise.next());
        out[i] = bp.band() * env * 1.8f;
    }
    return out;
}

Clip hiHat(std::uint64_t seed, bool open)
{
    Clip out(samples(open ? 0.4 : 0.08));
    Noise noise(seed);
    Svf hp;
    hp.set(7500.0f, 0.9f);
    const float decay = open ? 0.12f : 0.018f;
    for (size_t i = 0; i < out.size(); ++i) {
        const float t = timeOf(i);
        hp.process(noise.next());
        out[i] = hp.high() * std::exp(-t / decay) * std::min(1.0f, t / 0.0005f) * 0.8f;
    }
    return out;
}

Clip crashCymbal(std::uint64_t seed)
{
    Clip out(samples(2.2));
    Noise noise(seed);
    Svf hp;
    hp.set(4200.0f, 0.7f);
    Svf shimmer;
    shimmer.set(9000.0f, 2.0f);
    // A few detuned pulse partials give the metallic colour.
    std::vector<Pulse> partials;
    const double ratios[] = {1.0, 1.342, 1.783, 2.091, 2.673, 3.127};
    for (double r : ratios)
        partials.emplace_back(r * 0.37, 0.5);
    for (size_t i = 0; i < out.size(); ++i) {
        const float t = timeOf(i);
        float metal = 0;
        for (size_t k = 0; k < partials.size(); ++k)
            metal += partials[k].next(520.0 * ratios[k]);
        const float n = noise.next();
        hp.process(n + metal * 0.12f);
        shimmer.process(n);
        const float env = std::exp(-t / 0.55f) * 0.8f + std::exp(-t / 0.06f) * 0.6f;
        out[i] = (hp.high() + shimmer.band() * 0.4f) * env * std::min(1.0f, t / 0.001f) * 0.4f;
    }
    return out;
}

Clip bassNote(double hz, double seconds)
{
    const float held = static_cast<float>(seconds);
    Clip out(samples(seconds + 0.06));
    Saw saw;
    Pulse pulse(0.25, 0.5);
    Svf lp;
    for (size_t i = 0; i < out.size(); ++i) {
        const float t = timeOf(i);
        lp.set(180.0f + 1600.0f * std::exp(-t / 0.07f), 1.4f);
        lp.process(0.7f * saw.next(hz) + 0.45f * pulse.next(hz));
        const float env = adsr(t, 0.003f, 0.12f, 0.75f, 0.04f, held);
        out[i] = std::tanh(lp.low() * 1.4f) * env;
    }
    return out;
}

StereoClip padNote(double hz, double seconds, float cutoffStart, float cutoffEnd, std::uint64_t seed)
{
    const float held = static_cast<float>(seconds);
    const size_t n = samples(seconds + 1.0);
    StereoClip out{Clip(n), Clip(n)};
    Rng rng(seed);
    const double detune[2][3] = {{-0.11, 0.0, 0.09}, {-0.07, 0.03, 0.12}}; // semitones
    for (int ch = 0; ch < 2; ++ch) {
        Clip& dst = ch == 0 ? out.left : out.right;
        std::vector<Saw> saws;
        for (int k = 0; k < 3; ++k)
            saws.emplace_back(rng.uniform());
        Svf lp;
        for (size_t i = 0; i < n; ++i) {
            const float t = timeOf(i);
            const float f = std::min(1.0f, t / std::max(held, 0.01f));
            lp.set(cutoffStart * std::pow(cutoffEnd / cutoffStart, f), 0.8f);
            float v = 0;
            for (int k = 0; k < 3; ++k)
                v += saws[static_cast<size_t>(k)].next(hz * std::pow(2.0, detune[ch][k] / 12.0));
            lp.process(v / 3.0f);
            dst[i] = lp.low() * adsr(t, 0.35f, 1.0f, 0.85f, 0.9f, held);
        }
    }
    return out;
}

Clip pluckNote(double hz, double seconds, float brightness)
{
    Clip out(samples(seconds + 0.35));
    Saw saw;
    Pulse pulse(0.1, 0.3);
    Svf lp;
    for (size_t i = 0; i < out.size(); ++i) {
        const float t = timeOf(i);
        lp.set(250.0f + brightness * 5200.0f * std::exp(-t / 0.07f), 1.6f);
        lp.process(0.6f * saw.next(hz) + 0.4f * pulse.next(hz * 1.003));
        out[i] = lp.low() * std::exp(-t / 0.22f) * std::min(1.0f, t / 0.002f) * 0.85f;
    }
    return out;
}

Clip leadNote(double hz, double seconds)
{
    const float held = static_cast<float>(seconds);
    Clip out(samples(seconds + 0.3));
    Saw a(0.0), b(0.37);
    Pulse sub(0.6, 0.5);
    Svf lp;
    lp.set(3200.0f, 1.1f);
    for (size_t i = 0; i < out.size(); ++i) {
        const float t = timeOf(i);
        // Vibrato that comes in after the note has settled.
        const float depth = 0.12f * std::clamp((t - 0.18f) / 0.25f, 0.0f, 1.0f);
        const double f = hz * std::pow(2.0, depth * std::sin(twoPi * 5.5 * t) / 12.0);
        const float v = 0.5f * a.next(f * 1.0035) + 0.5f * b.next(f * 0.9965) + 0.3f * sub.next(f * 0.5);
        lp.process(v);
        out[i] = lp.low() * adsr(t, 0.008f, 0.25f, 0.7f, 0.18f, held) * 0.75f;
    }
    return out;
}

Clip bellNote(double hz)
{
    // Two-operator FM: an inharmonic ratio gives the bell its glassy colour.
    Clip out(samples(1.8));
    double carrier = 0, modulator = 0;
    for (size_t i = 0; i < out.size(); ++i) {
        const float t = timeOf(i);
        modulator += twoPi * hz * 3.5 / sampleRate;
        const double index = 2.2 * std::exp(-t / 0.25);
        carrier += twoPi * hz / sampleRate;
        const double v = std::sin(carrier + index * std::sin(modulator));
        out[i] = static_cast<float>(v) * std::exp(-t / 0.5f) * std::min(1.0f, t / 0.002f);
    }
    return out;
}

Clip riser(double seconds, std::uint64_t seed)
{
    Clip out(samples(seconds));
    Noise noise(seed);
    Svf bp;
    for (size_t i = 0; i < out.size(); ++i) {
        const float f = static_cast<float>(i) / static_cast<float>(out.size());
        bp.set(300.0f * std::pow(30.0f, f), 2.5f);
        bp.process(noise.next());
        out[i] = bp.band() * f * f * 0.5f;
    }
    return out;
}

} // namespace makedata

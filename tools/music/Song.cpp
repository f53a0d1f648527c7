// Tempo map and mixer of the song.
#include "music/Song.h"

#include <algorithm>
#include <cmath>

#include "music/Effects.h"

namespace makedata {

double TempoMap::time(size_t s, double beat) const
{
    const Section& sec = sectionList.at(s);
    return sec.start + beat * beatLength(s);
}

double TempoMap::beatLength(size_t s) const
{
    const Section& sec = sectionList.at(s);
    return sec.beats > 0 ? (sec.end - sec.start) / sec.beats : 0.5;
}

Mixer::Mixer(double seconds)
    : totalFrames(static_cast<size_t>(seconds * sampleRate)),
      kickClip(kickDrum()),
      kickBus{Clip(totalFrames), Clip(totalFrames)},
      drumBus{Clip(totalFrames), Clip(totalFrames)},
      bassBus{Clip(totalFrames), Clip(totalFrames)},
      musicBus{Clip(totalFrames), Clip(totalFrames)},
      reverbSend{Clip(totalFrames), Clip(totalFrames)},
      echoSend{Clip(totalFrames), Clip(totalFrames)}
{}

namespace {

// Every clip fades out over its last 10 ms, so none ends with a click.
float endFade(size_t i, size_t n)
{
    constexpr size_t fade = sampleRate / 100;
    return i + fade >= n ? static_cast<float>(n - i) / static_cast<float>(fade) : 1.0f;
}

} // namespace

void Mixer::place(StereoClip& bus, const Clip& clip, double t, float gain, float pan)
{
    const auto start = static_cast<size_t>(std::llround(std::max(0.0, t) * sampleRate));
    // Constant-power pan, pan from -1 (left) to 1 (right).
    const float angle = (std::clamp(pan, -1.0f, 1.0f) + 1.0f) * 0.25f * 3.14159265f;
    const float gl = gain * std::cos(angle) * 1.41421356f;
    const float gr = gain * std::sin(angle) * 1.41421356f;
    for (size_t i = 0; i < clip.size() && start + i < totalFrames; ++i) {
        const float v = clip[i] * endFade(i, clip.size());
        bus.left[start + i] += v * gl;
        bus.right[start + i] += v * gr;
    }
}

void Mixer::place(StereoClip& bus, const StereoClip& clip, double t, float gain)
{
    const auto start = static_cast<size_t>(std::llround(std::max(0.0, t) * sampleRate));
    for (size_t i = 0; i < clip.left.size() && start + i < totalFrames; ++i) {
        const float g = gain * endFade(i, clip.left.size());
        bus.left[start + i] += clip.left[i] * g;
        bus.right[start + i] += clip.right[i] * g;
    }
}

void Mixer::kick(double t, float gain)
{
    kickTimes.push_back(t);
    // The kick leads the mix: its low end is what the picture sequence follows.
    place(kickBus, kickClip, t, gain, 0.0f);
}

void Mixer::snare(double t, float gain)
{
    const Clip c = snareDrum(1000u + hits++);
    place(drumBus, c, t, gain, 0.05f);
    place(reverbSend, c, t, gain * 0.3f, 0.0f);
}

void Mixer::clap(double t, float gain)
{
    const Clip c = handClap(2000u + hits++);
    place(drumBus, c, t, gain, -0.05f);
    place(reverbSend, c, t, gain * 0.35f, 0.0f);
}

void Mixer::hat(double t, float gain, bool open)
{
    const Clip c = hiHat(3000u + hits++, open);
    place(drumBus, c, t, gain, 0.3f);
}

void Mixer::crash(double t, float gain)
{
    const Clip c = crashCymbal(4000u + hits++);
    place(drumBus, c, t, gain, -0.25f);
    place(reverbSend, c, t, gain * 0.25f, 0.0f);
}

void Mixer::bass(double t, double length, int note, float gain)
{
    place(bassBus, bassNote(midiToHz(note), length), t, gain, 0.0f);
}

void Mixer::pad(double t, double length, int note, float gain, float cutoffStart, float cutoffEnd)
{
    const StereoClip c = padNote(midiToHz(note), length, cutoffStart, cutoffEnd, 5000u + static_cast<unsigned>(note));
    place(musicBus, c, t, gain);
    place(reverbSend, c, t, gain * 0.5f);
}

void Mixer::pluck(double t, double length, int note, float gain, float pan, float brightness)
{
    const Clip c = pluckNote(midiToHz(note), length, brightness);
    place(musicBus, c, t, gain, pan);
    place(echoSend, c, t, gain * 0.45f, 0.0f);
    place(reverbSend, c, t, gain * 0.2f, 0.0f);
}

void Mixer::lead(double t, double length, int note, float gain)
{
    const Clip c = leadNote(midiToHz(note), length);
    place(musicBus, c, t, gain, 0.0f);
    place(echoSend, c, t, gain * 0.3f, 0.0f);
    place(reverbSend, c, t, gain * 0.35f, 0.0f);
}

void Mixer::bell(double t, int note, float gain, float pan)
{
    const Clip c = bellNote(midiToHz(note));
    place(musicBus, c, t, gain, pan);
    place(echoSend, c, t, gain * 0.5f, 0.0f);
    place(reverbSend, c, t, gain * 0.6f, 0.0f);
}

void Mixer::riser(double t, double length, float gain)
{
    const Clip c = makedata::riser(length, 6000u + hits++);
    place(musicBus, c, t, gain, 0.0f);
    place(reverbSend, c, t, gain * 0.4f, 0.0f);
}

StereoClip Mixer::finish()
{
    // Side-chain: everything but the drums dips right after each kick, which
    // leaves the low end to the kick and gives the mix its pumping motion.
    std::vector<float> duck(totalFrames, 0.0f);
    for (double k : kickTimes) {
        const auto start = static_cast<size_t>(std::llround(k * sampleRate));
        for (size_t i = 0; i < static_cast<size_t>(0.5 * sampleRate) && start + i < totalFrames; ++i) {
            const float t = static_cast<float>(i) / static_cast<float>(sampleRate);
            const float e = std::min(1.0f, t / 0.004f) * std::exp(-t / 0.11f);
            duck[start + i] = std::max(duck[start + i], e);
        }
    }
    const StereoClip room = reverb(reverbSend, 0.82f, 0.35f);
    const StereoClip echo = pingPong(echoSend, 0.345, 0.42f);
    StereoClip out{Clip(totalFrames), Clip(totalFrames)};
    constexpr float rest = 0.5f; // everything else, relative to the kick
    for (size_t i = 0; i < totalFrames; ++i) {
        const float d = duck[i];
        const float gBass = 1.0f - 0.8f * d;
        const float gMusic = 1.0f - 0.55f * d;
        const float gFx = 1.0f - 0.35f * d;
        const float fxL = (room.left[i] + echo.left[i] * 0.8f) * gFx;
        const float fxR = (room.right[i] + echo.right[i] * 0.8f) * gFx;
        out.left[i] =
            kickBus.left[i] + rest * (drumBus.left[i] + bassBus.left[i] * gBass + musicBus.left[i] * gMusic + fxL);
        out.right[i] =
            kickBus.right[i] + rest * (drumBus.right[i] + bassBus.right[i] * gBass + musicBus.right[i] * gMusic + fxR);
    }
    // Master: the kick sets the level, peaking at 0.76, so that its low end is as
    // strong as it can be; whatever rides on top of it is rounded off by a soft
    // knee above 0.62 that never passes 0.88 (the MP3 coder overshoots a little).
    float kickPeak = 0;
    for (size_t i = 0; i < totalFrames; ++i)
        kickPeak = std::max(kickPeak, std::fabs(kickBus.left[i]));
    const float gain = kickPeak > 0 ? 0.76f / kickPeak : 1.0f;
    auto knee = [](float x) {
        const float a = std::fabs(x);
        const float y = a < 0.62f ? a : 0.62f + 0.26f * std::tanh((a - 0.62f) / 0.26f);
        return x < 0 ? -y : y;
    };
    const size_t fade = static_cast<size_t>(0.4 * sampleRate);
    for (size_t i = 0; i < totalFrames; ++i) {
        const float tail =
            i + fade >= totalFrames ? static_cast<float>(totalFrames - i) / static_cast<float>(fade) : 1.0f;
        out.left[i] = knee(out.left[i] * gain) * tail;
        out.right[i] = knee(out.right[i] * gain) * tail;
    }
    return out;
}

} // namespace makedata

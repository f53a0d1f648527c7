// The song "Skalmtone": a tempo map whose sections begin exactly where the
// demo's scenes change, a mixer that places voices on buses, and the
// arrangement that fills them (Arrangement.cpp).
#pragma once

#include <cstddef>
#include <vector>

#include "music/Synth.h"

namespace makedata {

using std::size_t;

// A section holds a whole number of beats (or half beats) between two scene
// changes, so every change falls on a downbeat; the tempo follows from that.
struct Section {
    double start; // seconds
    double end;
    double beats;
};

class TempoMap {
public:
    explicit TempoMap(std::vector<Section> sections) : sectionList(std::move(sections)) {}
    double time(size_t section, double beat) const;
    double beatLength(size_t section) const;
    const Section& section(size_t i) const { return sectionList.at(i); }
    size_t size() const { return sectionList.size(); }

private:
    std::vector<Section> sectionList;
};

class Mixer {
public:
    explicit Mixer(double seconds);

    void kick(double t, float gain);
    void snare(double t, float gain);
    void clap(double t, float gain);
    void hat(double t, float gain, bool open);
    void crash(double t, float gain);
    void bass(double t, double length, int note, float gain);
    void pad(double t, double length, int note, float gain, float cutoffStart, float cutoffEnd);
    void pluck(double t, double length, int note, float gain, float pan, float brightness);
    void lead(double t, double length, int note, float gain);
    void bell(double t, int note, float gain, float pan);
    void riser(double t, double length, float gain);

    // Applies the kick's side-chain ducking and the effects, and masters the mix.
    StereoClip finish();

private:
    void place(StereoClip& bus, const Clip& clip, double t, float gain, float pan);
    void place(StereoClip& bus, const StereoClip& clip, double t, float gain);

    size_t totalFrames;
    Clip kickClip;
    std::vector<double> kickTimes;
    std::uint64_t hits = 0; // seeds successive noise hits differently
    StereoClip kickBus, drumBus, bassBus, musicBus, reverbSend, echoSend;
};

TempoMap songTempo();
StereoClip renderSong();

} // namespace makedata

// The arrangement of "Skalmtone", in A minor. Its sections begin where the
// demo's scenes change: a quiet intro under the opening picture, the groove
// when the bars start growing (10.2 s), a harder drive with a kick on every
// beat under the picture sequence (40.1 s), one new chord with a crash at each
// cut (54.8, 58.2, 62.2, 65.8 s), a roll into the end scroller (68.5 s) and a
// reprise that thins out to a last chord at 98.5 s.
#include <array>

#include "music/Song.h"

namespace makedata {

namespace {

struct Chord {
    int bass;
    std::array<int, 4> pad;
    std::array<int, 4> arp;
};

const Chord Am{45, {57, 60, 64, 69}, {69, 72, 76, 81}};
const Chord F{41, {53, 57, 60, 65}, {65, 69, 72, 77}};
const Chord C{48, {55, 60, 64, 67}, {67, 72, 76, 79}};
const Chord G{43, {55, 59, 62, 67}, {67, 71, 74, 79}};
const Chord Dm{50, {57, 62, 65, 69}, {62, 65, 69, 74}};
const Chord Em{40, {55, 59, 64, 67}, {64, 67, 71, 76}};
const Chord E{40, {56, 59, 64, 68}, {64, 68, 71, 76}};

struct Note {
    double beat, length;
    int note;
};

// The theme: eight bars over Am F C G Am F C G.
const Note themeMelody[] = {
    {0, 1, 76},      {1, 0.5, 69}, {1.5, 0.5, 72}, {2, 1, 76},      {3, 0.5, 74},  {3.5, 0.5, 72},  {4, 1.5, 72},
    {5.5, 0.5, 69},  {6, 1, 65},   {7, 1, 69},     {8, 1, 67},      {9, 0.5, 72},  {9.5, 0.5, 76},  {10, 1.5, 79},
    {11.5, 0.5, 76}, {12, 2, 74},  {14, 1, 71},    {15, 1, 67},     {16, 1, 76},   {17, 1, 81},     {18, 0.5, 79},
    {18.5, 0.5, 76}, {19, 1, 72},  {20, 1.5, 77},  {21.5, 0.5, 76}, {22, 1, 72},   {23, 1, 69},     {24, 0.5, 67},
    {24.5, 0.5, 72}, {25, 1, 76},  {26, 1, 79},    {27, 1, 76},     {28, 1.5, 74}, {29.5, 0.5, 71}, {30, 2, 71},
};

// The drive's hook: four bars over F G Em Am, played twice.
const Note driveMelody[] = {
    {0, 0.5, 81}, {0.5, 0.5, 79}, {1, 0.5, 77}, {1.5, 0.5, 76}, {2, 1, 77},  {3, 1, 72},
    {4, 0.5, 79}, {4.5, 0.5, 77}, {5, 0.5, 76}, {5.5, 0.5, 74}, {6, 1, 76},  {7, 1, 71},
    {8, 1, 76},   {9, 1, 79},     {10, 1, 83},  {11, 1, 79},    {12, 3, 81}, {15, 1, 76},
};

class Player {
public:
    Player(Mixer& mixer, const TempoMap& tempo) : mix(mixer), tempoMap(tempo) {}

    double at(size_t s, double beat) const { return tempoMap.time(s, beat); }
    double beats(size_t s, double n) const { return n * tempoMap.beatLength(s); }

    void pad(size_t s, double beat, double length, const Chord& c, float gain, float from, float to)
    {
        for (int n : c.pad)
            mix.pad(at(s, beat), beats(s, length), n, gain, from, to);
    }

    // Bass on the off-beat eighths, or rolling sixteenths around the kick.
    void bass(size_t s, double beat, double length, const Chord& c, bool rolling, float gain)
    {
        for (double b = 0; b < length - 1e-9; b += 1.0) {
            if (rolling)
                for (double off : {0.25, 0.5, 0.75})
                    mix.bass(at(s, beat + b + off), beats(s, 0.2), c.bass + (off == 0.5 ? 12 : 0), gain);
            else
                mix.bass(at(s, beat + b + 0.5), beats(s, 0.42), c.bass, gain);
        }
    }

    void arp(size_t s, double beat, double length, const Chord& c, float gain, float brightness)
    {
        static const int order[] = {0, 1, 2, 3, 2, 1, 2, 3};
        int k = 0;
        for (double b = 0; b < length - 1e-9; b += 0.25, ++k) {
            const float pan = (k % 2 == 0) ? -0.35f : 0.35f;
            mix.pluck(at(s, beat + b), beats(s, 0.2), c.arp[static_cast<size_t>(order[k % 8])], gain, pan, brightness);
        }
    }

    // Kick on every beat, clap on two and four, hats around them.
    void groove(size_t s, double beat, double length, float kick, bool clap, bool openHats)
    {
        for (double b = 0; b < length - 1e-9; b += 1.0) {
            mix.kick(at(s, beat + b), kick);
            const int inBar = static_cast<int>(beat + b) % 4;
            if (clap && (inBar == 1 || inBar == 3))
                mix.clap(at(s, beat + b), 0.42f);
            mix.hat(at(s, beat + b + 0.25), 0.05f, false);
            mix.hat(at(s, beat + b + 0.5), openHats ? 0.11f : 0.09f, openHats);
            mix.hat(at(s, beat + b + 0.75), 0.05f, false);
        }
    }

    void melody(size_t s, double beat, const Note* notes, size_t count, int transpose, float gain)
    {
        for (size_t i = 0; i < count; ++i)
            mix.lead(at(s, beat + notes[i].beat), beats(s, notes[i].length * 0.92), notes[i].note + transpose, gain);
    }

    // Snare sixteenths over [from, to), growing louder.
    void roll(size_t s, double from, double to, float quiet, float loud)
    {
        const double step = 0.25;
        for (double b = from; b < to - 1e-9; b += step) {
            const auto f = static_cast<float>((b - from) / (to - from));
            mix.snare(at(s, b), quiet + (loud - quiet) * f);
        }
    }

    Mixer& mixer() { return mix; }

private:
    Mixer& mix;
    const TempoMap& tempoMap;
};

void intro(Player& p)
{
    constexpr size_t s = 0;
    p.pad(s, 0, 8, Am, 0.12f, 350.0f, 1300.0f);
    p.pad(s, 8, 8, F, 0.12f, 900.0f, 2000.0f);
    p.pad(s, 16, 6, G, 0.12f, 1500.0f, 3500.0f);
    const Chord chords[] = {Am, F, G};
    static const int order[] = {0, 2, 1, 3, 2, 1};
    for (int b = 2; b < 22; ++b) {
        const Chord& c = chords[b < 8 ? 0 : (b < 16 ? 1 : 2)];
        p.mixer().bell(p.at(s, b), c.arp[static_cast<size_t>(order[b % 6])] + 12, 0.1f, b % 2 == 0 ? -0.4f : 0.4f);
    }
    p.mixer().riser(p.at(s, 14), p.beats(s, 8), 0.22f);
    for (int b = 18; b < 22; ++b)
        p.mixer().kick(p.at(s, b), 0.55f + 0.1f * static_cast<float>(b - 18));
    for (double b = 18; b < 20; b += 0.5)
        p.mixer().snare(p.at(s, b), 0.2f);
    p.roll(s, 20, 22, 0.25f, 0.6f);
}

void theme(Player& p)
{
    constexpr size_t s = 1;
    const Chord prog[] = {Am, F, C, G};
    p.mixer().crash(p.at(s, 0), 0.6f);
    p.mixer().crash(p.at(s, 32), 0.5f);
    for (int bar = 0; bar < 16; ++bar) {
        const Chord& c = prog[bar % 4];
        const double b0 = bar * 4.0;
        p.pad(s, b0, 4, c, 0.11f, 1800.0f, 2400.0f);
        p.bass(s, b0, 4, c, false, 0.5f);
        p.arp(s, b0, 4, c, 0.075f, 0.3f + 0.04f * static_cast<float>(bar));
        p.groove(s, b0, bar == 15 ? 3 : 4, 0.9f, bar >= 4, bar >= 8);
    }
    p.melody(s, 32, themeMelody, std::size(themeMelody), 0, 0.17f);
    p.mixer().kick(p.at(s, 63), 0.9f);
    p.roll(s, 62, 64, 0.25f, 0.65f);
}

void drive(Player& p)
{
    constexpr size_t s = 2;
    const Chord prog[] = {F, G, Em, Am};
    p.mixer().crash(p.at(s, 0), 0.75f);
    p.mixer().crash(p.at(s, 16), 0.6f);
    for (int bar = 0; bar < 8; ++bar) {
        const Chord& c = prog[bar % 4];
        const double b0 = bar * 4.0;
        p.pad(s, b0, 4, c, 0.11f, 2400.0f, 3400.0f);
        p.bass(s, b0, 4, c, true, 0.42f);
        p.arp(s, b0, 4, c, 0.075f, 0.95f);
        p.groove(s, b0, 4, 1.0f, true, true);
    }
    p.melody(s, 0, driveMelody, std::size(driveMelody), 0, 0.17f);
    p.melody(s, 16, driveMelody, std::size(driveMelody), 0, 0.17f);
    p.roll(s, 31, 32, 0.3f, 0.6f);
}

// The four short sections under the cuts of the picture sequence.
void cuts(Player& p)
{
    Mixer& m = p.mixer();
    // 54.8 s: D minor, seven and a half beats.
    m.crash(p.at(3, 0), 0.8f);
    p.pad(3, 0, 7.5, Dm, 0.12f, 2000.0f, 3600.0f);
    p.bass(3, 0, 7, Dm, true, 0.42f);
    p.groove(3, 0, 7, 1.0f, true, true);
    p.arp(3, 0, 7.5, Dm, 0.07f, 0.9f);
    const Note cut2[] = {{0, 3, 77}, {3, 1, 76}, {4, 3.3, 74}};
    p.melody(3, 0, cut2, std::size(cut2), 0, 0.17f);
    m.snare(p.at(3, 7.0), 0.45f);
    m.snare(p.at(3, 7.25), 0.55f);

    // 58.2 s: F then G, nine beats.
    m.crash(p.at(4, 0), 0.8f);
    p.pad(4, 0, 4, F, 0.12f, 2400.0f, 3000.0f);
    p.pad(4, 4, 5, G, 0.12f, 2400.0f, 3600.0f);
    p.bass(4, 0, 4, F, true, 0.42f);
    p.bass(4, 4, 5, G, true, 0.42f);
    p.groove(4, 0, 9, 1.0f, true, true);
    p.arp(4, 0, 4, F, 0.07f, 0.9f);
    p.arp(4, 4, 5, G, 0.07f, 0.9f);
    const Note cut3[] = {{0, 2, 72}, {2, 2, 77}, {4, 2, 74}, {6, 2.6, 79}};
    p.melody(4, 0, cut3, std::size(cut3), 0, 0.17f);
    p.roll(4, 8.5, 9, 0.4f, 0.55f);

    // 62.2 s: C then E, eight beats, the lead climbing.
    m.crash(p.at(5, 0), 0.8f);
    p.pad(5, 0, 4, C, 0.12f, 2600.0f, 3200.0f);
    p.pad(5, 4, 4, E, 0.12f, 2600.0f, 4000.0f);
    p.bass(5, 0, 4, C, true, 0.42f);
    p.bass(5, 4, 4, E, true, 0.42f);
    p.groove(5, 0, 8, 1.0f, true, true);
    const int climb[] = {67, 72, 76, 79, 72, 76, 79, 84, 68, 71, 76, 80, 71, 76, 80, 83};
    for (int k = 0; k < 16; ++k)
        m.lead(p.at(5, k * 0.5), p.beats(5, 0.45), climb[k], 0.15f);
    m.snare(p.at(5, 7.5), 0.5f);

    // 65.8 s: E major, six beats, a roll into the end scroller.
    m.crash(p.at(6, 0), 0.85f);
    p.pad(6, 0, 6, E, 0.12f, 3000.0f, 5000.0f);
    p.bass(6, 0, 6, E, true, 0.42f);
    p.groove(6, 0, 6, 1.0f, false, true);
    const Note cut5[] = {{0, 5.6, 80}};
    p.melody(6, 0, cut5, std::size(cut5), 0, 0.15f);
    m.riser(p.at(6, 0), p.beats(6, 6), 0.25f);
    p.roll(6, 2, 6, 0.2f, 0.7f);
}

void outro(Player& p)
{
    constexpr size_t s = 7;
    Mixer& m = p.mixer();
    const Chord prog[] = {Am, F, C, G};
    m.crash(p.at(s, 0), 1.0f);
    for (int bar = 0; bar < 16; ++bar) {
        const Chord& c = prog[bar % 4];
        const double b0 = bar * 4.0;
        const auto fade = static_cast<float>(bar < 12 ? 1.0 : 1.0 - 0.15 * (bar - 11));
        p.pad(s, b0, 4, c, 0.11f * fade, 2200.0f, bar < 12 ? 2400.0f : 1200.0f);
        if (bar < 8) {
            p.bass(s, b0, 4, c, false, 0.5f);
            p.arp(s, b0, 4, c, 0.07f, 0.8f);
            p.groove(s, b0, 4, 0.95f, true, true);
        } else if (bar < 12) {
            m.bass(p.at(s, b0), p.beats(s, 3.8), c.bass, 0.35f);
            p.arp(s, b0, 4, c, 0.05f, 0.5f);
            m.kick(p.at(s, b0), 0.85f);
            m.kick(p.at(s, b0 + 2), 0.8f);
            m.hat(p.at(s, b0 + 1.5), 0.08f, true);
            m.hat(p.at(s, b0 + 3.5), 0.08f, true);
        }
    }
    p.melody(s, 0, themeMelody, std::size(themeMelody), 0, 0.17f);
    // The theme's first half once more, on bells, as the groove falls away.
    for (const Note& n : themeMelody)
        if (n.beat < 16)
            m.bell(p.at(s, 32 + n.beat), n.note, 0.13f, 0.0f);
    for (int b = 48; b < 64; b += 2) {
        m.bell(p.at(s, b), prog[(b / 4) % 4].arp[static_cast<size_t>((b / 2) % 4)] + 12, 0.07f,
               (b / 2) % 2 == 0 ? -0.5f : 0.5f);
    }

    // 98.5 s: the last chord.
    const double end = p.at(8, 0);
    m.crash(end, 0.9f);
    m.kick(end, 1.0f);
    for (int n : {57, 60, 64, 69, 71})
        m.pad(end, 1.0, n, 0.1f, 2400.0f, 500.0f);
    m.bass(end, 1.0, 45, 0.5f);
    m.bell(end, 81, 0.15f, 0.0f);
}

} // namespace

TempoMap songTempo()
{
    return TempoMap({
        {0.0, 10.2, 22},   // intro, about 129 BPM
        {10.2, 40.1, 64},  // theme, about 128 BPM
        {40.1, 54.8, 32},  // drive, about 131 BPM
        {54.8, 58.2, 7.5}, // cut 2
        {58.2, 62.2, 9},   // cut 3
        {62.2, 65.8, 8},   // cut 4
        {65.8, 68.5, 6},   // cut 5
        {68.5, 98.5, 64},  // reprise, 128 BPM
        {98.5, 100.0, 0},  // last chord and its tail
    });
}

StereoClip renderSong()
{
    const TempoMap tempo = songTempo();
    Mixer mixer(100.0);
    Player p(mixer, tempo);
    intro(p);
    theme(p);
    drive(p);
    cuts(p);
    outro(p);
    return mixer.finish();
}

} // namespace makedata

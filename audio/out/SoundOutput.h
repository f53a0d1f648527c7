// The sound output the music plays through: PipeWire's graph, a PulseAudio
// server or an ALSA device straight, or SDL's audio for anything else. Each
// hands Playback its periods with the moment each will be heard, and each
// offers the same operations (opened with the rate and the Playback; ok and
// problem; lost; rate; close), so one table lists them all (SoundOutput.cpp).
//
// Chosen once per opening: BRAKVANE_AUDIO forces one by name; else a path
// SDL_AUDIODRIVER names that we play ourselves (pipewire, pulseaudio, alsa) gets
// our own output of that kind, and any other SDL driver (disk, dummy, jack, ...)
// SDL's; else the first of the table's order that opens: PipeWire where its
// daemon answers and has a sink, PulseAudio where a server answers, ALSA's
// default device, SDL.
#pragma once

#include <memory>
#include <string>

class Playback;

class SoundOutput {
public:
    // Which output an environment asks for.
    struct Choice {
        std::string output;  // the output's name in the table; empty: each in the table's order
        std::string namedBy; // "SDL_AUDIODRIVER=alsa" where SDL's variable named a path we play ourselves
        std::string unknown; // BRAKVANE_AUDIO's value where it names no output
    };
    // From the values of BRAKVANE_AUDIO and SDL_AUDIODRIVER (null when unset).
    static Choice choose(const char* brakvaneAudio, const char* sdlAudioDriver);
    // The names of the outputs this build has, in the automatic choice's order.
    static std::string names();

    // Opens the output at `rate` frames per second, rendering through `playback`.
    // report: the first opening says on standard error which output plays (and
    // why, where a name was taken to our own output), or that none does and why;
    // a reopening says nothing. same: only the output of that name is tried (a
    // reopening keeps to the output that played before).
    SoundOutput(int rate, Playback& playback, bool report, const std::string& same = {});
    ~SoundOutput();
    SoundOutput(const SoundOutput&) = delete;
    SoundOutput& operator=(const SoundOutput&) = delete;

    bool ok() const;
    // The name of the output that plays; empty when none does.
    std::string which() const;
    // The output went away (its server died, the hardware was removed).
    bool lost() const;
    int rate() const;
    // Closes whichever output is open; no period of it is rendered once it returns.
    void close();

private:
    // The first opening's steps after choosing: opening what was chosen (a
    // PulseAudio server that is PipeWire's, named through SDL_AUDIODRIVER, is
    // swapped for PipeWire's graph: true then), and saying what plays.
    bool openChoice(const Choice& choice, int rate, Playback& playback);
    void tell(const Choice& choice, bool onPipeWire) const;

    struct Held; // the output that plays and its row in the table
    std::unique_ptr<Held> held;
};

// The sound output the music plays through, one of three: PipeWire's graph
// straight, a PulseAudio server straight, or SDL's audio for anything else.
// Each hands Playback its periods with the moment each will be heard. Chosen
// once per opening: PipeWire where its daemon answers and has a sink, else
// PulseAudio where a server answers, else SDL; BRAKVANE_AUDIO=pipewire|pulse|sdl
// forces one, and an SDL driver named in SDL_AUDIODRIVER means SDL.
#pragma once

#include "audio/AudioOutput.h"
#include "audio/PipeWireOutput.h"
#include "audio/PulseOutput.h"

#include <memory>
#include <string>

class Playback;

class SoundOutput {
public:
    enum class Kind { none, pipewire, pulse, sdl };

    // Opens the output at `rate` frames per second, rendering through `playback`.
    // report: the first opening says on standard error which output plays, or
    // that none does and why; a reopening says nothing. same: only this kind is
    // tried (a reopening keeps to the output that played before).
    SoundOutput(int rate, Playback& playback, bool report, Kind same = Kind::none);
    ~SoundOutput() { close(); }
    SoundOutput(const SoundOutput&) = delete;
    SoundOutput& operator=(const SoundOutput&) = delete;

    bool ok() const { return kind != Kind::none; }
    Kind which() const { return kind; }
    // The output went away (its server died, the hardware was removed).
    bool lost() const;
    int rate() const;
    // Closes whichever output is open; the callback has ended when it returns.
    void close();

    // Which output a BRAKVANE_AUDIO value names; Kind::none for any other value.
    static Kind named(const std::string& value);

private:
    bool tryOpen(Kind wanted, int rate, Playback& playback);

    Kind kind = Kind::none;
    std::unique_ptr<PipeWireOutput> pipewire;
    std::unique_ptr<PulseOutput> pulse;
    std::unique_ptr<AudioOutput> sdl;
    std::string problems; // why the outputs tried could not be used
};

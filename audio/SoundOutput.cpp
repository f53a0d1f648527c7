// Choosing and opening the sound output.
#include "audio/SoundOutput.h"

#include "audio/Playback.h"

#include <SDL.h>
#include <cerrno>
#include <cstdlib>
#include <iostream>

SoundOutput::Kind SoundOutput::named(const std::string& value)
{
    if (value == "pipewire")
        return Kind::pipewire;
    if (value == "pulse")
        return Kind::pulse;
    if (value == "sdl")
        return Kind::sdl;
    return Kind::none;
}

SoundOutput::SoundOutput(int rate, Playback& playback, bool report, Kind same)
{
    if (rate <= 0)
        return;
    playback.setRate(rate);
    if (same != Kind::none) {
        tryOpen(same, rate, playback);
        return;
    }
    const char* forced = std::getenv("BRAKVANE_AUDIO");
    Kind wanted = forced != nullptr && *forced != '\0' ? named(forced) : Kind::none;
    if (forced != nullptr && *forced != '\0' && wanted == Kind::none && report)
        std::cerr << program_invocation_short_name << ": BRAKVANE_AUDIO=" << forced
                  << " names no sound output (pipewire, pulse or sdl); choosing one" << std::endl;
    const char* sdlDriver = std::getenv("SDL_AUDIODRIVER");
    if (wanted == Kind::none && sdlDriver != nullptr && *sdlDriver != '\0')
        wanted = Kind::sdl;
    if (wanted != Kind::none)
        tryOpen(wanted, rate, playback);
    else
        tryOpen(Kind::pipewire, rate, playback) || tryOpen(Kind::pulse, rate, playback) ||
            tryOpen(Kind::sdl, rate, playback);
    if (!report)
        return;
    if (kind == Kind::none) {
        std::cerr << program_invocation_short_name << ": no sound device (" << problems << "); the demo plays silent"
                  << std::endl;
        return;
    }
    const char* names[] = {"", "PipeWire", "PulseAudio", "SDL"};
    std::cerr << program_invocation_short_name << ": sound through " << names[static_cast<int>(kind)];
    if (kind == Kind::sdl && SDL_GetCurrentAudioDriver() != nullptr)
        std::cerr << " (" << SDL_GetCurrentAudioDriver() << ")";
    std::cerr << std::endl;
}

bool SoundOutput::tryOpen(Kind wanted, int rate, Playback& playback)
{
    const std::string separator = problems.empty() ? "" : "; ";
    switch (wanted) {
    case Kind::pipewire:
        pipewire = std::make_unique<PipeWireOutput>(rate, playback);
        if (pipewire->ok())
            break;
        problems += separator + pipewire->problem();
        pipewire.reset();
        return false;
    case Kind::pulse:
        pulse = std::make_unique<PulseOutput>(rate, playback);
        if (pulse->ok())
            break;
        problems += separator + pulse->problem();
        pulse.reset();
        return false;
    case Kind::sdl:
        sdl = std::make_unique<AudioOutput>(rate, playback);
        if (sdl->ok())
            break;
        problems += separator + sdl->problem();
        sdl.reset();
        return false;
    case Kind::none:
        return false;
    }
    kind = wanted;
    return true;
}

bool SoundOutput::lost() const
{
    switch (kind) {
    case Kind::pipewire:
        return pipewire->lost();
    case Kind::pulse:
        return pulse->lost();
    case Kind::sdl:
        return sdl->lost();
    case Kind::none:
        break;
    }
    return false;
}

int SoundOutput::rate() const
{
    switch (kind) {
    case Kind::pipewire:
        return pipewire->rate();
    case Kind::pulse:
        return pulse->rate();
    case Kind::sdl:
        return sdl->rate();
    case Kind::none:
        break;
    }
    return 0;
}

void SoundOutput::close()
{
    pipewire.reset();
    pulse.reset();
    sdl.reset();
    kind = Kind::none;
}

// The table of sound outputs, choosing one and opening it.
#include "audio/out/SoundOutput.h"

#include "audio/Playback.h"
#include "audio/out/SdlOutput.h"
#ifdef BRAKVANE_PIPEWIRE_OUTPUT
#include "audio/out/PipeWireOutput.h"
#endif
#ifdef BRAKVANE_PULSE_OUTPUT
#include "audio/out/PulseOutput.h"
#endif
#ifdef BRAKVANE_ALSA_OUTPUT
#include "audio/out/AlsaOutput.h"
#endif

#include <SDL.h>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <iterator>
#include <variant>

namespace {

// Where nothing plays: the same operations, none of them doing anything.
struct NoOutput {
    bool ok() const { return false; }
    const std::string& problem() const
    {
        static const std::string none;
        return none;
    }
    bool lost() const { return false; }
    int rate() const { return 0; }
    void close() {}
};

// The output that plays, of whichever kind; each native one is built where its
// library was found.
using Output = std::variant<NoOutput,
#ifdef BRAKVANE_PIPEWIRE_OUTPUT
                            PipeWireOutput,
#endif
#ifdef BRAKVANE_PULSE_OUTPUT
                            PulseOutput,
#endif
#ifdef BRAKVANE_ALSA_OUTPUT
                            AlsaOutput,
#endif
                            SdlOutput>;

// One output: its name in BRAKVANE_AUDIO (and, for ours, SDL's name for the
// same path in SDL_AUDIODRIVER), the name the line on standard error shows,
// and how it is opened into the output that plays.
struct Row {
    const char* name;
    const char* shown;
    void (*open)(Output& output, int rate, Playback& playback);
};

// Every output this build has, in the order the automatic choice tries them.
constexpr Row rows[] = {
#ifdef BRAKVANE_PIPEWIRE_OUTPUT
    {"pipewire", "PipeWire", [](Output& o, int rate, Playback& p) { o.emplace<PipeWireOutput>(rate, p); }},
#endif
#ifdef BRAKVANE_PULSE_OUTPUT
    {"pulse", "PulseAudio", [](Output& o, int rate, Playback& p) { o.emplace<PulseOutput>(rate, p); }},
#endif
#ifdef BRAKVANE_ALSA_OUTPUT
    {"alsa", "ALSA", [](Output& o, int rate, Playback& p) { o.emplace<AlsaOutput>(rate, p); }},
#endif
    {"sdl", "SDL", [](Output& o, int rate, Playback& p) { o.emplace<SdlOutput>(rate, p); }},
};

// Other names for a row's name: SDL's for its PulseAudio driver.
std::string canonical(std::string name)
{
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    return name == "pulseaudio" ? "pulse" : name;
}

// The row of that name, or null.
const Row* rowNamed(const std::string& name)
{
    for (const Row& row : rows)
        if (name == row.name)
            return &row;
    return nullptr;
}

} // namespace

struct SoundOutput::Held {
    Output output;
    const Row* playing = nullptr; // the row of the output that plays; null when none does
    std::string problems;         // why the outputs tried could not be used

    // Opens the row's output; where it cannot be used, notes why and holds none.
    bool open(const Row& row, int rate, Playback& playback)
    {
        row.open(output, rate, playback);
        if (std::visit([](const auto& o) { return o.ok(); }, output)) {
            playing = &row;
            return true;
        }
        problems += (problems.empty() ? "" : "; ") + std::visit([](const auto& o) { return o.problem(); }, output);
        close();
        return false;
    }

    // The output is closed (its thread ended) before it is destroyed.
    void close()
    {
        std::visit([](auto& o) { o.close(); }, output);
        output.emplace<NoOutput>();
        playing = nullptr;
    }
};

SoundOutput::Choice SoundOutput::choose(const char* brakvaneAudio, const char* sdlAudioDriver)
{
    Choice choice;
    if (brakvaneAudio != nullptr && *brakvaneAudio != '\0') {
        if (const Row* row = rowNamed(canonical(brakvaneAudio))) {
            choice.output = row->name;
            return choice;
        }
        choice.unknown = brakvaneAudio;
    }
    if (sdlAudioDriver == nullptr || *sdlAudioDriver == '\0')
        return choice;
    // SDL tries a list of drivers in order; the first decides here.
    const std::string first(sdlAudioDriver, std::strcspn(sdlAudioDriver, ","));
    const Row* row = rowNamed(canonical(first));
    if (row != nullptr && row->name != std::string("sdl")) {
        choice.output = row->name;
        choice.namedBy = std::string("SDL_AUDIODRIVER=") + sdlAudioDriver;
    } else {
        choice.output = "sdl";
    }
    return choice;
}

std::string SoundOutput::names()
{
    std::string list;
    for (const Row& row : rows)
        list += std::string(&row == rows ? "" : &row == std::end(rows) - 1 ? " or " : ", ") + row.name;
    return list;
}

SoundOutput::SoundOutput(int rate, Playback& playback, bool report, const std::string& same)
    : held(std::make_unique<Held>())
{
    if (rate <= 0)
        return;
    playback.setRate(rate);
    if (!same.empty()) {
        if (const Row* row = rowNamed(same))
            held->open(*row, rate, playback);
        return;
    }
    const Choice choice = choose(std::getenv("BRAKVANE_AUDIO"), std::getenv("SDL_AUDIODRIVER"));
    if (!choice.unknown.empty() && report)
        std::cerr << program_invocation_short_name << ": BRAKVANE_AUDIO=" << choice.unknown
                  << " names no sound output (" << names() << "); choosing one" << std::endl;
    const bool onPipeWire = openChoice(choice, rate, playback);
    if (report)
        tell(choice, onPipeWire);
}

bool SoundOutput::openChoice(const Choice& choice, int rate, Playback& playback)
{
    if (choice.output.empty()) {
        for (const Row& row : rows)
            if (held->open(row, rate, playback))
                break;
        return false;
    }
    const Row& named = *rowNamed(choice.output);
    held->open(named, rate, playback);
#if defined(BRAKVANE_PULSE_OUTPUT) && defined(BRAKVANE_PIPEWIRE_OUTPUT)
    // A PulseAudio server that is PipeWire's: the same sink through the graph
    // straight, whose timing is the only one there that tells the truth.
    const auto* pulse = std::get_if<PulseOutput>(&held->output);
    if (!choice.namedBy.empty() && pulse != nullptr && pulse->servedByPipeWire()) {
        held->close();
        playback.newDevice();
        if (held->open(*rowNamed("pipewire"), rate, playback))
            return true;
        playback.newDevice();
        held->open(named, rate, playback);
    }
#endif
    return false;
}

void SoundOutput::tell(const Choice& choice, bool onPipeWire) const
{
    if (!ok()) {
        std::cerr << program_invocation_short_name << ": no sound device (" << held->problems
                  << "); the demo plays silent" << std::endl;
        return;
    }
    std::cerr << program_invocation_short_name << ": sound through " << held->playing->shown;
    if (std::holds_alternative<SdlOutput>(held->output) && SDL_GetCurrentAudioDriver() != nullptr)
        std::cerr << " (" << SDL_GetCurrentAudioDriver() << ")";
    if (onPipeWire)
        std::cerr << " (" << choice.namedBy << ", whose server is PipeWire's: played to its graph straight)";
    else if (!choice.namedBy.empty())
        std::cerr << " (" << choice.namedBy << ", played by our own output of that kind)";
    std::cerr << std::endl;
}

SoundOutput::~SoundOutput()
{
    close();
}

bool SoundOutput::ok() const
{
    return std::visit([](const auto& output) { return output.ok(); }, held->output);
}

std::string SoundOutput::which() const
{
    return ok() ? held->playing->name : "";
}

bool SoundOutput::lost() const
{
    return std::visit([](const auto& output) { return output.lost(); }, held->output);
}

int SoundOutput::rate() const
{
    return std::visit([](const auto& output) { return output.rate(); }, held->output);
}

void SoundOutput::close()
{
    held->close();
}

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
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <tuple>
#include <utility>
#include <variant>

namespace {

// One output: its name in BRAKVANE_AUDIO (and, for ours, SDL's name for the
// same path in SDL_AUDIODRIVER), the name the line on standard error shows,
// and, in its type, how it is made: Output(rate, playback).
template <typename Output>
struct Row {
    const char* name;
    const char* shown;
};

// Every output this build has, in the order the automatic choice tries them.
// Each native one is built where its library was found.
constexpr std::tuple outputs{
#ifdef BRAKVANE_PIPEWIRE_OUTPUT
    Row<PipeWireOutput>{"pipewire", "PipeWire"},
#endif
#ifdef BRAKVANE_PULSE_OUTPUT
    Row<PulseOutput>{"pulse", "PulseAudio"},
#endif
#ifdef BRAKVANE_ALSA_OUTPUT
    Row<AlsaOutput>{"alsa", "ALSA"},
#endif
    Row<SdlOutput>{"sdl", "SDL"},
};
using Outputs = std::remove_cv_t<decltype(outputs)>;
constexpr std::size_t outputCount = std::tuple_size_v<Outputs>;

// Other names for a row's name: SDL's for its PulseAudio driver.
std::string canonical(std::string name)
{
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    return name == "pulseaudio" ? "pulse" : name;
}

// The rows' names, {name, shown}, by their place in the table.
struct Names {
    const char* name;
    const char* shown;
};
constexpr auto rowNames = std::apply(
    [](const auto&... row) { return std::array<Names, outputCount>{Names{row.name, row.shown}...}; }, outputs);

// The row of that name, or outputCount.
std::size_t rowNamed(const std::string& name)
{
    std::size_t row = 0;
    while (row < outputCount && name != rowNames[row].name)
        ++row;
    return row;
}

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

template <typename>
struct HeldBy;
template <typename... Output>
struct HeldBy<std::tuple<Row<Output>...>> {
    using type = std::variant<NoOutput, Output...>;
};

} // namespace

struct SoundOutput::Held {
    // Alternative 0: none; alternative i + 1: row i of the table.
    HeldBy<Outputs>::type output;

    // Makes row `row`'s output in place.
    template <std::size_t I = 0>
    void make(std::size_t row, int rate, Playback& playback)
    {
        if constexpr (I < outputCount) {
            if (row == I)
                output.emplace<I + 1>(rate, playback);
            else
                make<I + 1>(row, rate, playback);
        }
    }
};

SoundOutput::Choice SoundOutput::choose(const char* brakvaneAudio, const char* sdlAudioDriver)
{
    Choice choice;
    if (brakvaneAudio != nullptr && *brakvaneAudio != '\0') {
        const std::size_t row = rowNamed(canonical(brakvaneAudio));
        if (row < outputCount) {
            choice.output = rowNames[row].name;
            return choice;
        }
        choice.unknown = brakvaneAudio;
    }
    if (sdlAudioDriver == nullptr || *sdlAudioDriver == '\0')
        return choice;
    // SDL tries a list of drivers in order; the first decides here.
    const std::string first(sdlAudioDriver, std::strcspn(sdlAudioDriver, ","));
    const std::size_t row = rowNamed(canonical(first));
    if (row < outputCount && rowNames[row].name != std::string("sdl")) {
        choice.output = rowNames[row].name;
        choice.namedBy = std::string("SDL_AUDIODRIVER=") + sdlAudioDriver;
    } else {
        choice.output = "sdl";
    }
    return choice;
}

std::string SoundOutput::names()
{
    std::string list;
    for (std::size_t row = 0; row < outputCount; ++row)
        list += std::string(row == 0 ? "" : row + 1 == outputCount ? " or " : ", ") + rowNames[row].name;
    return list;
}

SoundOutput::SoundOutput(int rate, Playback& playback, bool report, const std::string& same)
    : held(std::make_unique<Held>())
{
    if (rate <= 0)
        return;
    playback.setRate(rate);
    if (!same.empty()) {
        open(same, rate, playback);
        return;
    }
    const Choice choice = choose(std::getenv("BRAKVANE_AUDIO"), std::getenv("SDL_AUDIODRIVER"));
    if (!choice.unknown.empty() && report)
        std::cerr << program_invocation_short_name << ": BRAKVANE_AUDIO=" << choice.unknown
                  << " names no sound output (" << names() << "); choosing one" << std::endl;
    bool onPipeWire = false;
    if (!choice.output.empty()) {
        open(choice.output, rate, playback);
#if defined(BRAKVANE_PULSE_OUTPUT) && defined(BRAKVANE_PIPEWIRE_OUTPUT)
        // A PulseAudio server that is PipeWire's: the same sink through the
        // graph straight, whose timing is the only one there that tells the truth.
        const auto* pulse = std::get_if<PulseOutput>(&held->output);
        if (!choice.namedBy.empty() && pulse != nullptr && pulse->servedByPipeWire()) {
            close();
            playback.newDevice();
            onPipeWire = open("pipewire", rate, playback);
            if (!onPipeWire) {
                playback.newDevice();
                open(choice.output, rate, playback);
            }
        }
#endif
    } else {
        for (std::size_t row = 0; row < outputCount && !ok(); ++row)
            open(rowNames[row].name, rate, playback);
    }
    if (!report)
        return;
    if (!ok()) {
        std::cerr << program_invocation_short_name << ": no sound device (" << problems << "); the demo plays silent"
                  << std::endl;
        return;
    }
    std::cerr << program_invocation_short_name << ": sound through " << rowNames[held->output.index() - 1].shown;
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

bool SoundOutput::open(const std::string& name, int rate, Playback& playback)
{
    const std::size_t row = rowNamed(name);
    if (row == outputCount)
        return false;
    held->make(row, rate, playback);
    if (ok())
        return true;
    problems +=
        (problems.empty() ? "" : "; ") + std::visit([](const auto& output) { return output.problem(); }, held->output);
    close();
    return false;
}

bool SoundOutput::ok() const
{
    return std::visit([](const auto& output) { return output.ok(); }, held->output);
}

std::string SoundOutput::which() const
{
    return ok() ? rowNames[held->output.index() - 1].name : "";
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
    // The output is closed (its thread ended) before it is destroyed.
    std::visit([](auto& output) { output.close(); }, held->output);
    held->output.emplace<NoOutput>();
}

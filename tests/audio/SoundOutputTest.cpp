// Which output an environment gets, and when the ALSA output says a frame is
// heard, from a status made up here: the arithmetic, without a device.
#include "audio/out/SoundOutput.h"
#ifdef BRAKVANE_ALSA_OUTPUT
#include "audio/out/AlsaOutput.h"
#endif

#include <gtest/gtest.h>

TEST(SoundOutput, ANamedPathGetsOurOwnOutputOfThatKindAndAnyOtherSdlDriverSdl)
{
#if !defined(BRAKVANE_PIPEWIRE_OUTPUT) || !defined(BRAKVANE_PULSE_OUTPUT) || !defined(BRAKVANE_ALSA_OUTPUT)
    GTEST_SKIP() << "built without all three outputs of our own";
#endif
    struct Case {
        const char* brakvaneAudio;
        const char* sdlAudioDriver;
        const char* output; // "" for each in the table's order
        const char* namedBy;
        const char* unknown;
    };
    const Case cases[] = {
        {nullptr, nullptr, "", "", ""},
        {"", "", "", "", ""},
        {nullptr, "pipewire", "pipewire", "SDL_AUDIODRIVER=pipewire", ""},
        {nullptr, "pulseaudio", "pulse", "SDL_AUDIODRIVER=pulseaudio", ""},
        {nullptr, "pulse", "pulse", "SDL_AUDIODRIVER=pulse", ""},
        {nullptr, "ALSA", "alsa", "SDL_AUDIODRIVER=ALSA", ""},
        {nullptr, "alsa,disk", "alsa", "SDL_AUDIODRIVER=alsa,disk", ""}, // SDL's list: the first decides
        {nullptr, "disk", "sdl", "", ""},
        {nullptr, "dummy", "sdl", "", ""},
        {nullptr, "jack", "sdl", "", ""},
        {nullptr, "sndio", "sdl", "", ""},
        {nullptr, "disk,alsa", "sdl", "", ""},
        {nullptr, "sdl", "sdl", "", ""},
        {"alsa", nullptr, "alsa", "", ""},
        {"pulseaudio", "disk", "pulse", "", ""}, // BRAKVANE_AUDIO comes first
        {"sdl", "pipewire", "sdl", "", ""},
        {"oss", nullptr, "", "", "oss"},
        {"oss", "alsa", "alsa", "SDL_AUDIODRIVER=alsa", "oss"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.brakvaneAudio ? c.brakvaneAudio : "(unset)") + " / " +
                     (c.sdlAudioDriver ? c.sdlAudioDriver : "(unset)"));
        const SoundOutput::Choice choice = SoundOutput::choose(c.brakvaneAudio, c.sdlAudioDriver);
        EXPECT_EQ(choice.output, c.output);
        EXPECT_EQ(choice.namedBy, c.namedBy);
        EXPECT_EQ(choice.unknown, c.unknown);
    }
    EXPECT_EQ(SoundOutput::names(), "pipewire, pulse, alsa or sdl");
}

#ifdef BRAKVANE_ALSA_OUTPUT
TEST(AlsaOutput, AFrameIsHeardTheDelayAfterTheStatusWasTaken)
{
    constexpr std::int64_t ms = 1'000'000;
    constexpr std::int64_t now = 5'000 * ms; // CLOCK_MONOTONIC, 5 s after boot
    struct Case {
        const char* what;
        AlsaOutput::Status status;
        int rate;
        std::int64_t heard;
    };
    const Case cases[] = {
        {"running: from the status's moment", {true, now - 3 * ms, 4410}, 44100, now + 97 * ms},
        {"at 48 kHz", {true, now - 3 * ms, 4800}, 48000, now + 97 * ms},
        {"prepared again after an underrun, holding 8192 of 16384 (no delay given): it starts once full and "
         "plays what it holds first, from now",
         {false, now - 3 * ms, 0, 8192, 16384},
         44100,
         now + 8192 * 1'000'000'000LL / 44100},
        {"no moment given", {true, 0, 441}, 44100, now + 10 * ms},
        {"a moment of the wall clock, not the monotonic", {true, 1'765'000'000'000'000'000, 441}, 44100, now + 10 * ms},
        {"running dry: a negative delay is none", {true, now - 3 * ms, -200}, 44100, now - 3 * ms},
    };
    for (const Case& c : cases)
        EXPECT_EQ(AlsaOutput::heardAt(c.status, c.rate, now), c.heard) << c.what;
}
#endif

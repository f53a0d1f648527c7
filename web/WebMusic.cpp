// Decoding up front, feeding SDL's audio callback and reading the Web Audio
// clock.
#include "web/WebMusic.h"

#include "audio/FrequencyAnalyser.h"
#include "audio/MusicLines.h"

#include <SDL.h>
#include <emscripten.h>
#include <iostream>

namespace {

// Frames per callback at the track's rate: small enough to keep the delay to
// the speakers short, large enough not to starve a busy page.
constexpr int periodFrames = 2048;

} // namespace

WebMusic::WebMusic(const std::string& path, bool withSound, double untilSeconds)
{
    // The lines and their order are the live demo's: the path, the device, the file.
    announceMusic(path);
    if (withSound && !openDevice())
        std::cout << "Unable to init BASS" << std::endl;
    decoded = track.load(path, untilSeconds);
    if (!decoded)
        reportMusicMissing();
}

WebMusic::~WebMusic()
{
    if (device != 0)
        SDL_CloseAudioDevice(device);
    if (audioUp)
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

bool WebMusic::openDevice()
{
    audioUp = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    if (!audioUp)
        return false;
    SDL_AudioSpec want{};
    want.freq = TrackSpectrum::trackRate;
    want.format = AUDIO_S16SYS;
    want.channels = TrackSpectrum::channelsPerFrame;
    want.samples = periodFrames;
    want.callback = callback;
    want.userdata = this;
    // No changes allowed: SDL converts to the context's own rate.
    device = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
    if (device == 0)
        return false;
    // SDL's processing node does not pass on when its buffers will be heard;
    // the wrapper keeps the output time of the buffer being filled.
    EM_ASM({
        var audio = Module['SDL2'].audio;
        var node = audio.scriptProcessorNode;
        var fill = node['onaudioprocess'];
        node['onaudioprocess'] = function(e)
        {
            audio.brakvanePlaybackTime = e['playbackTime'];
            fill(e);
        };
    });
    return true;
}

void WebMusic::play()
{
    // As in the live demo: without a device or a track there is nothing to
    // play, which is said, and the timeline runs on regardless.
    if (device == 0 || !decoded)
        std::cout << "Unable to init BASS playback" << std::endl;
    if (device != 0)
        SDL_PauseAudioDevice(device, 0);
}

void WebMusic::callback(void* self, std::uint8_t* stream, int length)
{
    const int frames = length / static_cast<int>(TrackSpectrum::channelsPerFrame * sizeof(std::int16_t));
    static_cast<WebMusic*>(self)->render(reinterpret_cast<std::int16_t*>(stream), frames);
}

void WebMusic::render(std::int16_t* out, int frames)
{
    if (handed == 0)
        startedAt = EM_ASM_DOUBLE({ return Module['SDL2'].audio.brakvanePlaybackTime || 0; });
    track.copyFrames(handed, static_cast<std::size_t>(frames), out);
    handed += frames;
}

double WebMusic::position()
{
    if (device == 0) {
        const double now = emscripten_get_now();
        if (clockStart < 0)
            clockStart = now;
        return (now - clockStart) / 1000.0;
    }
    if (startedAt < 0)
        return 0;
    const double heard = EM_ASM_DOUBLE({
                             var context = Module['SDL2'].audioContext;
                             return context.currentTime - (context.outputLatency || context.baseLatency || 0);
                         }) -
                         startedAt;
    return heard > 0 ? heard : 0;
}

float WebMusic::spectrumAt(double t)
{
    float magnitudes[FrequencyAnalyser::binCount];
    track.spectrumAt(t, magnitudes);
    return magnitudes[0];
}

// SDL behind SdlOutput.
#include "audio/out/SdlOutput.h"

#include "audio/MonotonicTime.h"
#include "audio/Playback.h"

#include <SDL.h>
#include <dlfcn.h>

namespace {

extern "C" void dropAlsaMessage(const char*, int, const char*, int, const char*, ...) {}

// ALSA's library writes its complaints straight to standard error ("ALSA lib
// confmisc.c:...") while SDL probes for a device, several lines on a machine
// without one, among the demo's own console lines. SDL loads the library at
// run time; loaded here first, it is the same copy, and its messages are
// dropped: when no device opens, one line of ours says so.
void quietenAlsa()
{
    using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
    void* alsa = ::dlopen("libasound.so.2", RTLD_NOW | RTLD_GLOBAL);
    if (alsa == nullptr)
        return;
    auto setHandler = reinterpret_cast<int (*)(Handler)>(::dlsym(alsa, "snd_lib_error_set_handler"));
    if (setHandler != nullptr)
        setHandler(dropAlsaMessage);
    // Left loaded: SDL uses the same copy, with the handler in place.
}

// 1024 frames is 23 ms at 44.1 kHz: short enough for the spectrum to follow the music,
// long enough that a busy machine does not starve the device.
constexpr Uint16 requestedPeriodFrames = 1024;
constexpr int channelsPerFrame = 2;

} // namespace

SdlOutput::SdlOutput(int rate, Playback& playback)
{
    open(rate, playback);
}

SdlOutput::~SdlOutput()
{
    close();
}

bool SdlOutput::open(int rate, Playback& playback)
{
    if (rate <= 0)
        return false;
    // The window layer installs its own signal handling; SDL must not take it over.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (!subsystemUp) {
        quietenAlsa();
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            failure = SDL_GetError();
            return false;
        }
        subsystemUp = true;
    }
    SDL_AudioSpec wanted{};
    wanted.freq = rate;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = channelsPerFrame;
    wanted.samples = requestedPeriodFrames;
    wanted.callback = callback;
    wanted.userdata = &playback;
    SDL_AudioSpec obtained{};
    // No changes allowed: SDL converts for the hardware if it must, and the callback
    // always sees exactly the format asked for.
    device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (device == 0) {
        failure = SDL_GetError();
        return false;
    }
    frameRate = obtained.freq;
    // The device runs from now on; until a stream is started it is handed silence.
    SDL_PauseAudioDevice(device, 0);
    return true;
}

void SdlOutput::close()
{
    if (device != 0) {
        SDL_CloseAudioDevice(device); // waits for the callback thread to end
        device = 0;
    }
    if (subsystemUp) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        subsystemUp = false;
    }
}

bool SdlOutput::lost() const
{
    return device != 0 && SDL_GetAudioDeviceStatus(device) == SDL_AUDIO_STOPPED;
}

void SdlOutput::callback(void* playback, std::uint8_t* stream, int length)
{
    static_cast<Playback*>(playback)->render(reinterpret_cast<std::int16_t*>(stream),
                                             length / static_cast<int>(channelsPerFrame * sizeof(std::int16_t)),
                                             monotonicNanoseconds());
}

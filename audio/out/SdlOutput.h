// Sound through SDL's audio: the audio subsystem, one output device playing 16-bit
// stereo. Works whether or not SDL video is in use, and leaves the rest of
// SDL as it found it when closed. The output for whatever SDL driver has no output
// of our own (its disk and dummy drivers, JACK, sndio): SDL does not say when a
// period is heard, so its first frame is taken to be heard as the callback asks
// for it, the previous period having just been played out.
#pragma once

#include <cstdint>
#include <string>

class Playback;

class SdlOutput {
public:
    // Opens SDL's default output device (of the driver SDL_AUDIODRIVER names, or
    // SDL's own choice) at `rate` frames per second and starts it; its callback
    // renders through `playback`.
    SdlOutput(int rate, Playback& playback);
    ~SdlOutput();
    SdlOutput(const SdlOutput&) = delete;
    SdlOutput& operator=(const SdlOutput&) = delete;

    // False when there is no driver or no device, or once closed.
    bool ok() const { return device != 0; }
    // Why no device opened: SDL's reason.
    const std::string& problem() const { return failure; }
    // The device went away (its server died, the hardware was removed): SDL
    // stopped it. Its callback still runs, paced by SDL alone, but nothing is heard.
    bool lost() const;
    // The frames per second the device plays.
    int rate() const { return frameRate; }
    // Stops the callback, closes the device and shuts the audio subsystem down.
    void close();

private:
    bool open(int rate, Playback& playback);
    static void callback(void* playback, std::uint8_t* stream, int length);

    bool subsystemUp = false;
    std::uint32_t device = 0;
    int frameRate = 0;
    std::string failure;
};

// The sound device through SDL: the audio subsystem, one output device playing 16-bit
// stereo. Works whether or not SDL video is in use, and leaves the rest of
// SDL as it found it when closed. The output for whatever has no output of our own
// (ALSA straight, SDL's disk driver): SDL does not say when a period is heard, so
// its first frame is taken to be heard as the callback asks for it, the previous
// period having just been played out.
#pragma once

#include <cstdint>
#include <string>

class Playback;

class AudioOutput {
public:
    static constexpr int channelsPerFrame = 2;

    // Opens the default output device at `rate` frames per second and starts it; its
    // callback renders through `playback`.
    AudioOutput(int rate, Playback& playback);
    ~AudioOutput() { close(); }
    AudioOutput(const AudioOutput&) = delete;
    AudioOutput& operator=(const AudioOutput&) = delete;

    // Stops the callback, closes the device and shuts the audio subsystem down.
    void close();
    // Why no device opened: SDL's reason.
    const std::string& problem() const { return failure; }

    // False when there is no driver or no device, or once closed.
    bool ok() const { return device != 0; }
    // The device went away (its server died, the hardware was removed): SDL
    // stopped it. Its callback still runs, paced by SDL alone, but nothing is heard.
    bool lost() const;
    int rate() const { return frameRate; }
    int bufferFrames() const { return periodFrames; }

private:
    bool open(int rate, Playback& playback);
    static void callback(void* playback, std::uint8_t* stream, int length);

    bool subsystemUp = false;
    std::uint32_t device = 0;
    int frameRate = 0;
    int periodFrames = 0;
    std::string failure;
};

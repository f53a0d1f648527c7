// The sound device through SDL: the audio subsystem, one output device playing 16-bit
// stereo, and its lock. Works whether or not SDL video is in use, and leaves the rest of
// SDL as it found it when closed.
#pragma once

#include <cstdint>

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

    // False when there is no driver or no device, or once closed.
    bool ok() const { return device != 0; }
    // The device went away (its server died, the hardware was removed): SDL
    // stopped it. Its callback still runs, paced by SDL alone, but nothing is heard.
    bool lost() const;
    int rate() const { return frameRate; }
    int bufferFrames() const { return periodFrames; }

    // While locked, the callback does not run.
    void lock();
    void unlock();

private:
    bool open(int rate, Playback& playback);
    // One line on standard error: there is no sound, and SDL's reason.
    static void reportNoDevice();
    static void callback(void* playback, std::uint8_t* stream, int length);

    bool subsystemUp = false;
    std::uint32_t device = 0;
    int frameRate = 0;
    int periodFrames = 0;
};

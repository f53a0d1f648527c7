// Sound straight to an ALSA device: ALSA's default device, or the one AUDIODEV
// names (as SDL's ALSA driver reads it), written by a thread of our own with
// exactly what the device has room for. ALSA's status says, for the moment it
// was taken, how many frames lie between the next one written and the one being
// heard, so each period goes with the moment it will be heard, on the monotonic
// clock. The output for a machine without a sound server, and for a viewer who
// names ALSA (whose default device may be a sound server's ALSA plugin).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class Playback;

class AlsaOutput {
public:
    // Opens the device for stereo 16-bit frames at `rate` (or the nearest rate it
    // offers) and starts the thread that renders through `playback`.
    AlsaOutput(int rate, Playback& playback);
    ~AlsaOutput();
    AlsaOutput(const AlsaOutput&) = delete;
    AlsaOutput& operator=(const AlsaOutput&) = delete;

    // False when the device cannot be opened or set up.
    bool ok() const { return device != nullptr; }
    // Why it could not be used.
    const std::string& problem() const { return failure; }
    // The device failed in a way that preparing it again does not mend (it was
    // unplugged, or the server behind an ALSA plugin went away).
    bool lost() const;
    // The frames per second the device plays.
    int rate() const { return frameRate; }
    // Stops the thread, then drops what the device still holds and closes it.
    void close();

    // What ALSA's status says, in our units: whether the device runs, the moment
    // the status was taken (nanoseconds of CLOCK_MONOTONIC, 0 when it gave none),
    // the frames between the next frame written and the frame heard then (0
    // unless it runs), the room in its buffer, and the buffer's size.
    struct Status {
        bool running = false;
        std::int64_t stamp = 0;
        std::int64_t delayFrames = 0;
        std::int64_t availFrames = 0;
        std::int64_t bufferFrames = 0;
    };
    // When the next frame written is heard, asked at `now`. A running device
    // hears it the delay after the status was taken (after now when the status
    // gave no moment of this clock). A device that has not started (as when
    // prepared again after an underrun) starts as soon as it is filled and
    // plays what it holds first: the buffer less the room, from now. A
    // negative delay (running dry) is none.
    static std::int64_t heardAt(const Status& status, int rate, std::int64_t now);

private:
    struct Device;
    std::unique_ptr<Device> device;
    int frameRate = 0;
    std::string failure;
};

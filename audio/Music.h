// The demo's music track: opened when constructed, started once from a position in
// seconds, and asked every frame for the spectrum of what is being heard. Its
// destructor shuts the whole sound library down, so at most one Music exists at a time.
#pragma once

#include <cstdint>
#include <string>

class Music {
public:
    // hWnd: the program window's native handle, opaque here and handed on to the sound library.
    Music(const void* hWnd, std::string path);
    ~Music();
    Music(const Music&) = delete;
    Music& operator=(const Music&) = delete;

    void play(double seconds);
    void setVolume(double volume);
    // Fills the first 256 floats of buffer; returns the library's result (-1: nothing playing).
    int fetchSpectrum(float* buffer);
    // The position of the music, in seconds, that will be heard `ahead` seconds from now
    // (negative before its first sound); false while no music plays or the
    // device has gone away.
    bool heardPosition(double ahead, double& seconds);

    // When the sound device has gone away (its server died), says so once and
    // tries at most once a second to open it again; once one is open, says so
    // and the music goes on from `seconds`. True when it did so in this call.
    bool reopenIfGone(double seconds);

private:
    std::uint32_t streamHandle = 0; // 0 when the file could not be opened
    bool reportedGone = false;
    std::int64_t lastReopen = 0; // CLOCK_MONOTONIC nanoseconds of the last attempt
};

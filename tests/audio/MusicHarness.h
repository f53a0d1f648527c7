// Running Music inside a test: SDL's disk audio driver as the sound device (what is
// played lands in a file), a missing driver as no device, the console captured, and
// a main thread that fetches the spectrum flat out while the music plays.
#pragma once

#include "audio/Music.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace testtracks {

// Playback goes to capturePath at about three times real speed: fast, yet paced, so the
// decoder still has to keep ahead of a device that drains on its own.
void useDiskAudio(const std::string& capturePath);
// A driver that does not exist: SDL has no sound device to open.
void useNoAudioDevice();

// The device frames (interleaved stereo) written to a capture file.
std::vector<std::int16_t> readCapture(const std::string& capturePath);

// Standard output redirected into a string for the lifetime of the object.
class ConsoleCapture {
public:
    ConsoleCapture();
    ~ConsoleCapture();
    ConsoleCapture(const ConsoleCapture&) = delete;
    ConsoleCapture& operator=(const ConsoleCapture&) = delete;
    std::string text() const { return captured.str(); }

private:
    std::ostringstream captured;
    std::streambuf* previous;
};

// Sees each spectrum fetch that did not return -1: its result and the 512-float buffer.
using FetchObserver = std::function<void(int result, const float* spectrum)>;

// Calls music.play(seconds), then fetchSpectrum back to back until it reports that
// nothing is playing. The buffer is checked to stay untouched by that last fetch.
// False on timeout.
bool playToEnd(Music& music, double seconds, const FetchObserver& observe,
               std::chrono::seconds timeout = std::chrono::seconds(60));

// The captured device output is silence, then `expected` frame for frame (interleaved
// stereo), then silence to the end. The silence before it stands for the time before
// the music started, so it is matched by aligning the first sound.
// With a tolerance, each sample may differ from the expected one by that much.
void expectPlayed(const std::vector<std::int16_t>& capture, const std::vector<std::int16_t>& expected,
                  int tolerance = 0);

double median(std::vector<float> values);

} // namespace testtracks

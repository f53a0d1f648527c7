// Music over the sound library; every failure is reported on the console and survived.
#include "audio/Music.h"

#include "audio/MonotonicTime.h"
#include "audio/MusicLines.h"
#include "audio/SoundLibrary.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <iostream>

namespace {

constexpr std::uint32_t outputRate = 44100;
constexpr double bytesPerSecond = 176400.0; // 44100 frames of two 16-bit samples
// How often a device that went away is looked for: opening one takes a server's
// answer, and a frame must not wait for that often.
constexpr std::int64_t reopenEveryNs = 1'000'000'000;

// Seconds to a byte offset, truncated toward zero to 32 bits. Negative or NaN times
// start at the beginning and times beyond 32 bits stay beyond the end, instead of the
// undefined conversion of an out-of-range double.
std::uint64_t byteOffset(double seconds)
{
    const double bytes = seconds * bytesPerSecond;
    if (!(bytes > 0.0))
        return 0;
    if (bytes >= 4294967296.0)
        return UINT32_MAX;
    return static_cast<std::uint32_t>(bytes);
}

// Truncation toward zero to an int, clamped to the int range (NaN gives 0).
int truncatedVolume(double volume)
{
    if (std::isnan(volume))
        return 0;
    return static_cast<int>(std::clamp(std::trunc(volume), static_cast<double>(INT_MIN), static_cast<double>(INT_MAX)));
}

} // namespace

Music::Music(const void* hWnd, std::string path)
{
    announceMusic(path);
    if (!sound::init(1, outputRate, 0, hWnd, nullptr))
        std::cout << "Unable to init BASS" << std::endl;
    streamHandle = sound::streamCreateFile(false, path.c_str(), 0, 0, sound::streamPrescan);
    if (streamHandle == 0)
        reportMusicMissing();
}

Music::~Music()
{
    sound::free();
}

void Music::play(double seconds)
{
    // The position goes first, then the start: the output never plays the stream's
    // opening frames when the start position is elsewhere. Until the decoder has
    // sought there it is handed silence, so the first sound waits for the seek
    // (milliseconds), and the heard position lies just before it meanwhile.
    sound::channelSetPosition(streamHandle, byteOffset(seconds));
    if (!sound::streamPlay(streamHandle, false, 0))
        std::cout << "Unable to init BASS playback" << std::endl;
}

void Music::setVolume(double volume)
{
    sound::channelSetAttributes(streamHandle, static_cast<int>(outputRate), truncatedVolume(volume), 0);
}

int Music::fetchSpectrum(float* buffer)
{
    return sound::channelGetData(streamHandle, buffer, sound::dataFft512);
}

bool Music::heardPosition(double ahead, double& seconds)
{
    return sound::channelGetHeard(streamHandle, ahead, &seconds);
}

bool Music::reopenIfGone(double seconds)
{
    // The whole policy for a device that went away: said once, looked for
    // again at most once a second (on the monotonic clock, whatever plays), and
    // once back, said again and the music placed where the picture is.
    if (streamHandle == 0 || (!sound::deviceLost() && !reportedGone))
        return false;
    if (!reportedGone) {
        std::cerr << "brakvane: the sound device went away; the picture runs on its own" << std::endl;
        reportedGone = true;
        lastReopen = monotonicNanoseconds() - reopenEveryNs; // the first attempt at once
    }
    const std::int64_t now = monotonicNanoseconds();
    if (now - lastReopen < reopenEveryNs)
        return false;
    lastReopen = now;
    if (!sound::deviceReopen())
        return false;
    reportedGone = false;
    std::cerr << "brakvane: the sound device is back; the music goes on at " << seconds << " s" << std::endl;
    play(seconds);
    return true;
}

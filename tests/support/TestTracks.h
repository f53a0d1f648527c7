// Real MP3 files for the music tests and benchmark: a signal is written as a WAV file
// into a private temporary directory and encoded there by lame. Also a straight-through
// libmpg123 decode of a file, the reference for what playback must produce.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace testtracks {

// The sample (-1 .. 1) of `channel` at sample frame `frame` of a signal at `rate`.
using Signal = std::function<double(int frame, int channel, int rate)>;

// The centre frequency of spectrum bin k for 512 frames at 44.1 kHz.
double binFrequency(int k);

// A deterministic, music-like signal: a slow glide and noise, different in each channel,
// never silent.
double busySignal(int frame, int channel, int rate);
// A sine at binFrequency(k) with the given amplitude, the same in every channel.
Signal tone(int k, double amplitude);

class TrackDirectory {
public:
    TrackDirectory();  // makes a fresh directory under /tmp
    ~TrackDirectory(); // removes it with everything in it
    TrackDirectory(const TrackDirectory&) = delete;
    TrackDirectory& operator=(const TrackDirectory&) = delete;

    const std::string& path() const { return dir; }
    std::string file(const std::string& name) const { return dir + "/" + name; }

    // Writes name.wav (16-bit PCM) and encodes it with lame at its best VBR quality (at
    // lower bit rates a pure tone comes back noticeably quieter) to name.mp3;
    // returns the MP3's path, or "" when lame failed.
    std::string makeMp3(const std::string& name, int rate, int channels, double seconds, const Signal& signal) const;
    // Writes a file with the given bytes; returns its path.
    std::string writeFile(const std::string& name, const std::string& bytes) const;

private:
    std::string dir;
};

struct Decoded {
    int rate = 0;
    int channels = 0;
    std::vector<std::int16_t> samples; // interleaved
};
// Decodes the whole file front to back with libmpg123 (gapless, signed 16-bit).
Decoded decodeWithMpg123(const std::string& path);

} // namespace testtracks

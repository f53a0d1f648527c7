// An MP3 file decoded by libmpg123 into 16-bit stereo at 44.1 kHz, whatever the
// file's own rate and channel count (libmpg123 converts other rates and mono as it
// decodes), with encoder delay and padding removed, so that sample positions are
// the same whether the file is read straight through or entered by a seek. Every
// program that reads the track, live or offline, counts its frames in that one rate.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct mpg123_handle_struct;

class Mp3File {
public:
    // Opens the file. With scanIndex the whole file is scanned once, so the length is
    // exact and seeks land at once.
    Mp3File(const std::string& path, bool scanIndex);
    ~Mp3File();
    Mp3File(const Mp3File&) = delete;
    Mp3File& operator=(const Mp3File&) = delete;

    // False when the file cannot be opened or holds no MPEG audio.
    bool ok() const { return opened; }

    static constexpr int outputRate = 44100;
    static constexpr int outputChannels = 2;

    int rate() const { return outputRate; }
    int channels() const { return outputChannels; }
    std::int64_t length() const { return frameCount; } // sample frames; -1 when unknown

    // Positions the next read at sample frame; false past the end or on a read error.
    // The decoder is entered a few MPEG frames early and what it yields before `frame` is
    // dropped: layer III frames borrow bits from the frames before them, and entering
    // right at the frame would garble its first granules.
    bool seek(std::int64_t frame);
    // Decodes up to maxFrames frames (channels() samples each); 0 at the end of the
    // audio, on a damaged stream or when the format changes in mid-file.
    std::size_t read(std::int16_t* samples, std::size_t maxFrames);

private:
    bool open(const std::string& path, bool scanIndex);
    std::size_t decode(std::int16_t* samples, std::size_t maxFrames);

    mpg123_handle_struct* handle = nullptr;
    int fd = -1; // the decoder reads it but leaves closing it to us
    std::int64_t framesToDrop = 0;
    std::int64_t frameCount = -1;
    bool opened = false;
};

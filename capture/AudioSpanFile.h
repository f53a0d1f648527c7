// The music of a capture's span, handed to the video encoder as a temporary
// WAV file: the decoded track's own samples, so the video's sound is exactly
// what the frames' spectra were computed from. Only the part of the span that
// the track covers is written; the encoder adds the silence before and after.
// The file has no name in any folder: the encoder inherits its descriptor,
// and it is gone when the capture ends, however it ends.
#pragma once

#include <cstdint>
#include <string>

class TrackSpectrum;

class AudioSpanFile {
public:
    AudioSpanFile() = default;
    ~AudioSpanFile(); // closes the file, which then goes away
    AudioSpanFile(const AudioSpanFile&) = delete;
    AudioSpanFile& operator=(const AudioSpanFile&) = delete;

    // Writes the track's frames that lie in [first, first + count). False
    // with a reason when the file cannot be written.
    bool write(const TrackSpectrum& track, std::int64_t first, std::int64_t count, std::string& error);

    // The file's descriptor, open for reading and writing; -1 when there is no file.
    int descriptor() const { return fd; }
    // Silent frames between the start of the span and the file's first frame.
    std::int64_t lead() const { return leadFrames; }
    // Frames in the file; 0 when the span and the track do not meet.
    std::int64_t frames() const { return fileFrames; }

private:
    int fd = -1;
    std::int64_t leadFrames = 0;
    std::int64_t fileFrames = 0;
};

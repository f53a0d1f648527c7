// A 16-bit stereo PCM WAV file in the temporary folder, written in chunks.
#include "capture/AudioSpanFile.h"

#include "audio/TrackSpectrum.h"
#include "capture/OutputFiles.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace {

void putLittleEndian(std::vector<unsigned char>& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<unsigned char>((value >> (8 * i)) & 0xff));
}

std::vector<unsigned char> wavHeader(std::uint32_t dataBytes)
{
    constexpr std::uint32_t rate = TrackSpectrum::trackRate;
    constexpr std::uint32_t channels = TrackSpectrum::channelsPerFrame;
    std::vector<unsigned char> header = {'R', 'I', 'F', 'F'};
    putLittleEndian(header, 36 + dataBytes, 4);
    for (char c : std::string("WAVEfmt "))
        header.push_back(static_cast<unsigned char>(c));
    putLittleEndian(header, 16, 4);
    putLittleEndian(header, 1, 2); // PCM
    putLittleEndian(header, channels, 2);
    putLittleEndian(header, rate, 4);
    putLittleEndian(header, rate * channels * 2, 4);
    putLittleEndian(header, channels * 2, 2);
    putLittleEndian(header, 16, 2);
    for (char c : std::string("data"))
        header.push_back(static_cast<unsigned char>(c));
    putLittleEndian(header, dataBytes, 4);
    return header;
}

bool writeAll(int fd, const void* data, std::size_t size)
{
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (size > 0) {
        const ssize_t written = ::write(fd, bytes, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

} // namespace

AudioSpanFile::~AudioSpanFile()
{
    if (fd >= 0)
        ::close(fd);
}

bool AudioSpanFile::write(const TrackSpectrum& track, std::int64_t first, std::int64_t count, std::string& error)
{
    const std::int64_t begin = std::clamp<std::int64_t>(first, 0, track.frameCount());
    const std::int64_t end = std::clamp<std::int64_t>(first + count, 0, track.frameCount());
    leadFrames = std::min(begin - first, count);
    fileFrames = std::max<std::int64_t>(0, end - begin);
    if (fileFrames == 0)
        return true;

    std::string where;
    fd = anonymousTemporaryFile("brakvane-capture", where);
    if (fd < 0) {
        error = "cannot write the sound for the video in " + where;
        return false;
    }
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(fileFrames * TrackSpectrum::channelsPerFrame * 2);
    bool ok = writeAll(fd, wavHeader(dataBytes).data(), 44);
    constexpr std::int64_t chunkFrames = 65536;
    std::vector<std::int16_t> chunk(static_cast<std::size_t>(chunkFrames) * TrackSpectrum::channelsPerFrame);
    for (std::int64_t at = begin; ok && at < end; at += chunkFrames) {
        const std::size_t frames = static_cast<std::size_t>(std::min(chunkFrames, end - at));
        track.copyFrames(at, frames, chunk.data());
        ok = writeAll(fd, chunk.data(), frames * TrackSpectrum::channelsPerFrame * sizeof(std::int16_t));
    }
    if (!ok)
        error = "cannot write the sound for the video in " + temporaryFolder() + ": " + std::strerror(errno);
    return ok;
}

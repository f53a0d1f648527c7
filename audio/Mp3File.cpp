// libmpg123 behind Mp3File: gapless decoding to signed 16-bit stereo at 44.1 kHz.
#include "audio/Mp3File.h"

#include "base/ShownName.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <mpg123.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Eight of the longest MPEG frames: more than the bit reservoir can reach back, with
// room for the filter banks to settle.
constexpr std::int64_t seekLeadFrames = 8 * 1152;

// Whether the four bytes are an MPEG audio frame header: the sync bits, and
// a version, layer, bit rate and sample rate that exist.
bool frameHeader(const unsigned char* b)
{
    return b[0] == 0xff && (b[1] & 0xe0) == 0xe0 && ((b[1] >> 3) & 3) != 1 && ((b[1] >> 1) & 3) != 0 &&
           (b[2] >> 4) != 15 && ((b[2] >> 2) & 3) != 3;
}

// Whether the file starts as an MP3 stream does: with its first frame, after
// any ID3v2 tags. libmpg123 would search on through anything else for bytes
// that look like a frame, and play a WAV file's samples as a burst of noise.
bool startsAsMpegAudio(int fd)
{
    off_t at = 0;
    unsigned char head[10];
    for (;;) {
        if (::pread(fd, head, sizeof head, at) < 4)
            return false;
        if (head[0] != 'I' || head[1] != 'D' || head[2] != '3')
            return frameHeader(head);
        // A tag: ten bytes of header, a size in 7-bit bytes, and a footer of
        // ten bytes when flagged.
        const off_t size = (off_t{head[6]} & 0x7f) << 21 | (off_t{head[7]} & 0x7f) << 14 |
                           (off_t{head[8]} & 0x7f) << 7 | (off_t{head[9]} & 0x7f);
        at += 10 + size + ((head[5] & 0x10) != 0 ? 10 : 0);
    }
}

// One line on standard error giving the cause where the console's own line
// ("Musioc file not found") cannot: a file that is there but cannot be
// read, or is not MP3. A file that is simply missing needs no more words.
void explain(const std::string& path, const std::string& why)
{
    std::cerr << program_invocation_short_name << ": " << shownName(path) << why << "; the demo plays silent"
              << std::endl;
}

} // namespace

Mp3File::~Mp3File()
{
    if (handle != nullptr) {
        mpg123_close(handle);
        mpg123_delete(handle);
    }
    if (fd >= 0)
        ::close(fd);
}

Mp3File::Mp3File(const std::string& path, bool scanIndex) : opened(open(path, scanIndex)) {}

bool Mp3File::open(const std::string& path, bool scanIndex)
{
    int error = MPG123_OK;
    handle = mpg123_new(nullptr, &error);
    if (handle == nullptr)
        return false;
    // Gapless: the encoder's delay and padding are cut, so frame 0 is the first sample of
    // the music. Quiet: damaged files are this decoder's business, not the console's.
    // Forced stereo and rate: a mono file or one of another rate comes out
    // as the track's format (a 44.1 kHz stereo file is decoded untouched).
    mpg123_param(handle, MPG123_FLAGS, MPG123_GAPLESS | MPG123_QUIET | MPG123_FORCE_STEREO, 0.0);
    mpg123_param(handle, MPG123_FORCE_RATE, outputRate, 0.0);
    mpg123_format_none(handle);
    mpg123_format(handle, outputRate, MPG123_STEREO, MPG123_ENC_SIGNED_16);
    // The file is opened here rather than by the decoder, which would wait forever on a
    // named pipe: O_NONBLOCK keeps the open from blocking, and only a regular file is
    // handed on (where O_NONBLOCK has no effect on the reads).
    fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 && errno != ENOENT)
        explain(path, std::string(" cannot be read (") + std::strerror(errno) + ")");
    struct stat info{};
    if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    if (!startsAsMpegAudio(fd)) {
        explain(path, " is not an MP3 stream");
        return false;
    }
    if (mpg123_open_fd(handle, fd) != MPG123_OK)
        return false;
    // The scan reads every frame header once and builds the frame index that lets a
    // seek go straight to the right frame; it also makes the length exact.
    if (scanIndex && mpg123_scan(handle) != MPG123_OK)
        return false;
    long fileRate = 0;
    int fileChannels = 0;
    int encoding = 0;
    if (mpg123_getformat(handle, &fileRate, &fileChannels, &encoding) != MPG123_OK ||
        encoding != MPG123_ENC_SIGNED_16 || fileRate != outputRate || fileChannels != outputChannels)
        return false;
    const off_t frames = mpg123_length(handle);
    frameCount = frames >= 0 ? static_cast<std::int64_t>(frames) : -1;
    return true;
}

bool Mp3File::seek(std::int64_t frame)
{
    if (handle == nullptr || frame < 0 || (frameCount >= 0 && frame >= frameCount))
        return false;
    const std::int64_t from = std::max<std::int64_t>(0, frame - seekLeadFrames);
    framesToDrop = frame - from;
    return mpg123_seek(handle, static_cast<off_t>(from), SEEK_SET) >= 0;
}

std::size_t Mp3File::read(std::int16_t* samples, std::size_t maxFrames)
{
    while (framesToDrop > 0) {
        const std::size_t dropped =
            decode(samples, std::min<std::size_t>(maxFrames, static_cast<std::size_t>(framesToDrop)));
        if (dropped == 0)
            return 0;
        framesToDrop -= static_cast<std::int64_t>(dropped);
    }
    return decode(samples, maxFrames);
}

std::size_t Mp3File::decode(std::int16_t* samples, std::size_t maxFrames)
{
    if (handle == nullptr)
        return 0;
    const std::size_t frameBytes = sizeof(std::int16_t) * outputChannels;
    std::size_t done = 0;
    int result = mpg123_read(handle, samples, maxFrames * frameBytes, &done);
    // The output format is forced, so a file that switches rate or channels in
    // mid-stream (two files glued together) plays on in the same format.
    if (result == MPG123_NEW_FORMAT && done == 0)
        result = mpg123_read(handle, samples, maxFrames * frameBytes, &done);
    if (result != MPG123_OK && result != MPG123_DONE && result != MPG123_NEW_FORMAT)
        return 0;
    return done / frameBytes;
}

// The outer layer of each container, read with pread: an MP4 file is a run
// of boxes (32-bit size, type; size 1: a 64-bit size follows; size 0: to the
// end of the file) that must tile the file exactly and include "ftyp",
// "moov" and "mdat". A Matroska or WebM file is an EBML header and one
// Segment whose size, written last, must end exactly where the file ends.
#include "capture/VideoFileCheck.h"

#include <cstdint>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool readAt(int fd, std::uint64_t offset, unsigned char* out, std::size_t size)
{
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::pread(fd, out + got, size - got, static_cast<off_t>(offset + got));
        if (n <= 0)
            return false;
        got += static_cast<std::size_t>(n);
    }
    return true;
}

std::uint64_t bigEndian(const unsigned char* bytes, int count)
{
    std::uint64_t value = 0;
    for (int i = 0; i < count; ++i)
        value = value << 8 | bytes[i];
    return value;
}

bool mp4Complete(int fd, std::uint64_t fileSize, std::string& problem)
{
    bool ftyp = false;
    bool moov = false;
    bool mdat = false;
    std::uint64_t at = 0;
    while (at < fileSize) {
        unsigned char header[16];
        if (fileSize - at < 8 || !readAt(fd, at, header, 8)) {
            problem = "it ends inside a box header";
            return false;
        }
        std::uint64_t size = bigEndian(header, 4);
        const std::string type(reinterpret_cast<const char*>(header + 4), 4);
        std::uint64_t headerSize = 8;
        if (size == 1) {
            if (fileSize - at < 16 || !readAt(fd, at + 8, header + 8, 8)) {
                problem = "it ends inside a box header";
                return false;
            }
            size = bigEndian(header + 8, 8);
            headerSize = 16;
        } else if (size == 0) {
            problem = "its '" + type + "' box was never closed";
            return false;
        }
        if (size < headerSize || size > fileSize - at) {
            problem = "its '" + type + "' box runs past the end of the file";
            return false;
        }
        ftyp = ftyp || (at == 0 && type == "ftyp");
        moov = moov || type == "moov";
        mdat = mdat || type == "mdat";
        at += size;
    }
    if (!ftyp || !moov || !mdat) {
        problem = !moov ? "it has no index ('moov' box)" : "it lacks its 'ftyp' or 'mdat' box";
        return false;
    }
    return true;
}

// An EBML element's ID (its length marker kept) and data size at offset.
// unknownSize: all size bits set, which a muxer writes before it knows.
bool ebmlElement(int fd, std::uint64_t fileSize, std::uint64_t at, std::uint32_t& id, std::uint64_t& size,
                 std::uint64_t& headerSize, bool& unknownSize)
{
    unsigned char bytes[12];
    const std::uint64_t available = fileSize > at ? fileSize - at : 0;
    const std::size_t want = available < sizeof bytes ? static_cast<std::size_t>(available) : sizeof bytes;
    if (want < 2 || !readAt(fd, at, bytes, want))
        return false;
    int idLength = 1;
    while (idLength <= 4 && !(bytes[0] & (0x80 >> (idLength - 1))))
        ++idLength;
    if (idLength > 4 || static_cast<std::size_t>(idLength) >= want)
        return false;
    id = static_cast<std::uint32_t>(bigEndian(bytes, idLength));
    const unsigned char first = bytes[idLength];
    int sizeLength = 1;
    while (sizeLength <= 8 && !(first & (0x80 >> (sizeLength - 1))))
        ++sizeLength;
    if (sizeLength > 8 || static_cast<std::size_t>(idLength + sizeLength) > want)
        return false;
    size = first & (0xff >> sizeLength);
    bool allOnes = size == (0xffu >> sizeLength);
    for (int i = 1; i < sizeLength; ++i) {
        size = size << 8 | bytes[idLength + i];
        allOnes = allOnes && bytes[idLength + i] == 0xff;
    }
    unknownSize = allOnes;
    headerSize = static_cast<std::uint64_t>(idLength + sizeLength);
    return true;
}

bool matroskaComplete(int fd, std::uint64_t fileSize, std::string& problem)
{
    constexpr std::uint32_t ebmlId = 0x1A45DFA3;
    constexpr std::uint32_t segmentId = 0x18538067;
    std::uint32_t id = 0;
    std::uint64_t size = 0;
    std::uint64_t headerSize = 0;
    bool unknown = false;
    if (!ebmlElement(fd, fileSize, 0, id, size, headerSize, unknown) || id != ebmlId || unknown ||
        size > fileSize - headerSize) {
        problem = "it does not start with an EBML header";
        return false;
    }
    const std::uint64_t segmentAt = headerSize + size;
    if (!ebmlElement(fd, fileSize, segmentAt, id, size, headerSize, unknown) || id != segmentId) {
        problem = "it has no segment";
        return false;
    }
    if (unknown) {
        problem = "its segment was never closed";
        return false;
    }
    if (segmentAt + headerSize + size != fileSize) {
        problem = "its segment does not end where the file ends";
        return false;
    }
    return true;
}

} // namespace

bool videoFileComplete(int fd, const std::string& format, std::string& problem)
{
    struct stat status{};
    if (::fstat(fd, &status) != 0 || status.st_size <= 0) {
        problem = "it is empty";
        return false;
    }
    const auto fileSize = static_cast<std::uint64_t>(status.st_size);
    return format == "mp4" ? mp4Complete(fd, fileSize, problem) : matroskaComplete(fd, fileSize, problem);
}

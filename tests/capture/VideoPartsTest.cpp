// The video side of the capture, in-process: frames turned into 4:2:0 YUV,
// and the check that a finished video file is whole.
#include "TestFiles.h"
#include "capture/VideoFileCheck.h"
#include "capture/Yuv420.h"

#include <array>
#include <cstdint>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

// A 4 x 2 picture, bottom row first as OpenGL reads it back.
Bytes picture(const std::array<std::array<int, 3>, 8>& pixelsBottomFirst)
{
    Bytes rgba;
    for (const auto& p : pixelsBottomFirst)
        rgba.insert(rgba.end(), {static_cast<unsigned char>(p[0]), static_cast<unsigned char>(p[1]),
                                 static_cast<unsigned char>(p[2]), 255});
    return rgba;
}

void append(Bytes& out, std::uint64_t value, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i)
        out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

Bytes box(const std::string& type, std::size_t payload)
{
    Bytes out;
    append(out, 8 + payload, 4);
    out.insert(out.end(), type.begin(), type.end());
    out.resize(out.size() + payload, 0);
    return out;
}

Bytes joined(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

// An EBML header (its ID, a one-byte size, the payload) and a Segment whose
// size field says segmentSize in eight bytes.
Bytes matroska(std::uint64_t segmentSize, std::size_t segmentData)
{
    Bytes out = {0x1A, 0x45, 0xDF, 0xA3, 0x80 | 4, 0x42, 0x86, 0x81, 0x01};
    out.insert(out.end(), {0x18, 0x53, 0x80, 0x67, 0x01});
    append(out, segmentSize, 7);
    out.resize(out.size() + segmentData, 0xEC);
    return out;
}

class Checked {
public:
    explicit Checked(const Bytes& bytes) : path(dir.prefix() + "video") { testfiles::writeFile(path, bytes); }
    bool complete(const std::string& format, std::string& problem) const
    {
        const int fd = ::open(path.c_str(), O_RDONLY);
        const bool whole = videoFileComplete(fd, format, problem);
        ::close(fd);
        return whole;
    }

private:
    testfiles::TempDir dir;
    std::string path;
};

} // namespace

TEST(Yuv420, Bt709LimitedRangeTopRowFirstWithAveragedColour)
{
    constexpr std::array<int, 3> white{255, 255, 255}, black{0, 0, 0}, red{255, 0, 0}, green{0, 255, 0},
        blue{0, 0, 255};
    // Left 2 x 2 block all red; right block white over black. The top row
    // (given last) is red red white white.
    const Bytes rgba = picture({red, red, black, black, red, red, white, white});
    Bytes yuv(yuv420Bytes(4, 2));
    ASSERT_EQ(yuv.size(), 12u);
    rgbaToYuv420(rgba.data(), 4, 2, yuv.data());
    EXPECT_EQ(yuv[0], 63);  // red
    EXPECT_EQ(yuv[2], 235); // white, top row
    EXPECT_EQ(yuv[6], 16);  // black, bottom row
    EXPECT_EQ(yuv[8], 102); // red's U and V
    EXPECT_EQ(yuv[10], 240);
    EXPECT_EQ(yuv[9], 128); // grey's (white and black mixed) U and V
    EXPECT_EQ(yuv[11], 128);

    const Bytes primaries = picture({green, green, blue, blue, green, green, blue, blue});
    rgbaToYuv420(primaries.data(), 4, 2, yuv.data());
    EXPECT_EQ(yuv[0], 173); // green: Y, U, V as BT.709 gives them
    EXPECT_EQ(yuv[8], 42);
    EXPECT_EQ(yuv[10], 26);
    EXPECT_EQ(yuv[2], 32); // blue
    EXPECT_EQ(yuv[9], 240);
    EXPECT_EQ(yuv[11], 118);
}

TEST(VideoFileCheck, AnMp4NeedsEveryBoxWholeAndItsIndex)
{
    std::string problem;
    const Bytes whole = joined({box("ftyp", 16), box("moov", 300), box("mdat", 5000)});
    EXPECT_TRUE(Checked(whole).complete("mp4", problem)) << problem;
    // 64-bit box sizes count too.
    Bytes large = joined({box("ftyp", 16), box("moov", 40)});
    append(large, 1, 4);
    large.insert(large.end(), {'m', 'd', 'a', 't'});
    append(large, 16 + 100, 8);
    large.resize(large.size() + 100);
    EXPECT_TRUE(Checked(large).complete("mp4", problem)) << problem;

    struct Case {
        Bytes bytes;
        const char* says;
    };
    Bytes cut = whole;
    cut.resize(cut.size() - 10);
    Bytes open = joined({box("ftyp", 16), box("mdat", 50)});
    open[24 + 3] = 0; // mdat's size never written
    open[24 + 0] = open[24 + 1] = open[24 + 2] = 0;
    for (const Case& c :
         {Case{{}, "empty"}, Case{joined({box("ftyp", 16), box("mdat", 5000)}), "moov"}, Case{cut, "past the end"},
          Case{joined({whole, Bytes{0, 0, 1}}), "inside a box header"}, Case{open, "never closed"}}) {
        SCOPED_TRACE(c.says);
        EXPECT_FALSE(Checked(c.bytes).complete("mp4", problem));
        EXPECT_NE(problem.find(c.says), std::string::npos) << problem;
    }
}

TEST(VideoFileCheck, AMatroskaSegmentMustEndWhereTheFileEnds)
{
    std::string problem;
    EXPECT_TRUE(Checked(matroska(1000, 1000)).complete("matroska", problem)) << problem;
    EXPECT_TRUE(Checked(matroska(0, 0)).complete("webm", problem)) << problem;
    EXPECT_FALSE(Checked(matroska(1000, 600)).complete("webm", problem));
    EXPECT_NE(problem.find("does not end"), std::string::npos) << problem;
    EXPECT_FALSE(Checked(matroska(0xFFFFFFFFFFFFFFull, 600)).complete("matroska", problem));
    EXPECT_NE(problem.find("never closed"), std::string::npos) << problem;
    Bytes noHeader = matroska(10, 10);
    noHeader[0] = 0x1B;
    EXPECT_FALSE(Checked(noHeader).complete("matroska", problem));
    EXPECT_NE(problem.find("EBML"), std::string::npos) << problem;
    Bytes cut = matroska(10, 10);
    cut.resize(12);
    EXPECT_FALSE(Checked(cut).complete("webm", problem));
    EXPECT_NE(problem.find("no segment"), std::string::npos) << problem;
}

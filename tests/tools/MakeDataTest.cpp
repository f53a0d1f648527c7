// Tests of the generator's file writers and music: the model bytes follow the
// demo's format, the longship is a sound mesh, PNG and WAV files read back as
// written, the song's sections meet the scene changes and the kick's energy
// lies where the picture sequence looks for it.
#include <gtest/gtest.h>
#include <png.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "model/ModelWriter.h"
#include "music/Song.h"
#include "music/WavWriter.h"
#include "pictures/PictureFile.h"

using namespace makedata;

namespace {

std::uint32_t u32At(const std::vector<unsigned char>& b, size_t at)
{
    return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8 |
           static_cast<std::uint32_t>(b[at + 2]) << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

float f32At(const std::vector<unsigned char>& b, size_t at)
{
    const std::uint32_t bits = u32At(b, at);
    float f = 0;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

std::vector<unsigned char> readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

std::string tempPath(const std::string& name)
{
    return (std::filesystem::temp_directory_path() / ("makedata-test-" + name)).string();
}

struct V3 {
    double x, y, z;
};

V3 position(const MeshData& m, std::uint32_t i)
{
    return {m.vertices[i].x, m.vertices[i].y, m.vertices[i].z};
}

V3 faceNormal(const MeshData& m, const std::array<std::uint32_t, 3>& f)
{
    const V3 a = position(m, f[0]), b = position(m, f[1]), c = position(m, f[2]);
    const V3 e1{b.x - a.x, b.y - a.y, b.z - a.z}, e2{c.x - a.x, c.y - a.y, c.z - a.z};
    return {e1.y * e2.z - e1.z * e2.y, e1.z * e2.x - e1.x * e2.z, e1.x * e2.y - e1.y * e2.x};
}

} // namespace

TEST(MakeDataModel, EncodesEveryFieldInOrderLittleEndian)
{
    MeshData m;
    m.material = "oak";
    m.vertices = {{0, 0, 0, 0, 0}, {1.5f, 0, 0, 1, 0}, {0, -2, 0.25f, 0, 1}};
    m.faces = {{0, 1, 2}};
    const std::vector<unsigned char> b = encodeModel({m, MeshData{}});
    ASSERT_EQ(b.size(), 4u + (12 + 3 + 3 * 20 + 12) + 12u);
    EXPECT_EQ(u32At(b, 0), 2u);  // mesh count
    EXPECT_EQ(u32At(b, 4), 3u);  // vertices
    EXPECT_EQ(u32At(b, 8), 1u);  // faces
    EXPECT_EQ(u32At(b, 12), 3u); // name length, no terminating zero
    EXPECT_EQ(std::string(b.begin() + 16, b.begin() + 19), "oak");
    EXPECT_EQ(f32At(b, 19 + 20), 1.5f);      // second vertex x
    EXPECT_EQ(f32At(b, 19 + 40 + 4), -2.0f); // third vertex y
    EXPECT_EQ(f32At(b, 19 + 40 + 8), 0.25f); // third vertex z
    EXPECT_EQ(f32At(b, 19 + 40 + 16), 1.0f); // third vertex v
    EXPECT_EQ(u32At(b, 79 + 8), 2u);         // last index of the face
    EXPECT_EQ(u32At(b, 91), 0u);             // empty second mesh: counts and name length 0
    EXPECT_EQ(u32At(b, 99), 0u);
}

TEST(MakeDataModel, LongshipIsSmallValidAndWoundOutwards)
{
    const std::vector<MeshData> meshes = buildLongship();
    ASSERT_FALSE(meshes.empty());
    EXPECT_LT(encodeModel(meshes).size(), 64u * 1024u);
    double volume = 0; // of hull and deck together, which close the ship
    for (const MeshData& m : meshes) {
        SCOPED_TRACE(m.material);
        EXPECT_FALSE(m.material.empty());
        std::vector<V3> sums(m.vertices.size(), V3{0, 0, 0});
        for (const auto& f : m.faces) {
            for (std::uint32_t i : f)
                ASSERT_LT(i, m.vertices.size());
            const V3 n = faceNormal(m, f);
            EXPECT_GT(std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z), 1e-9) << "degenerate face";
            for (std::uint32_t i : f)
                sums[i] = {sums[i].x + n.x, sums[i].y + n.y, sums[i].z + n.z};
            if (m.material == "hull" || m.material == "deck") {
                const V3 a = position(m, f[0]);
                volume += (a.x * n.x + a.y * n.y + a.z * n.z) / 6.0;
            }
        }
        // The demo normalises these sums; none may be zero or not finite.
        for (const V3& s : sums) {
            const double len = std::sqrt(s.x * s.x + s.y * s.y + s.z * s.z);
            EXPECT_TRUE(std::isfinite(len) && len > 1e-9);
        }
    }
    EXPECT_GT(volume, 0.05) << "faces must be counter-clockwise seen from outside";
}

TEST(MakeDataModel, WriterRefusesAFaceNamingAMissingVertex)
{
    MeshData m;
    m.material = "bad";
    m.vertices = {{0, 0, 0, 0, 0}};
    m.faces = {{0, 0, 1}};
    const std::string path = tempPath("bad.mdl");
    EXPECT_FALSE(writeModel(path, {m}));
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(MakeDataPng, RoundTripsRgbAndRgba)
{
    for (const bool alpha : {false, true}) {
        const int w = 8, h = 4, ch = alpha ? 4 : 3;
        std::vector<unsigned char> px(static_cast<size_t>(w * h * ch));
        for (size_t i = 0; i < px.size(); ++i)
            px[i] = static_cast<unsigned char>(i * 37 % 256);
        const std::string path = tempPath(alpha ? "rgba.png" : "rgb.png");
        ASSERT_TRUE(writePng(path, w, h, px, alpha));
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        ASSERT_TRUE(png_image_begin_read_from_file(&image, path.c_str()));
        EXPECT_EQ(image.width, static_cast<png_uint_32>(w));
        EXPECT_EQ(image.height, static_cast<png_uint_32>(h));
        EXPECT_EQ((image.format & PNG_FORMAT_FLAG_ALPHA) != 0, alpha);
        image.format = alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
        std::vector<unsigned char> back(PNG_IMAGE_SIZE(image));
        ASSERT_TRUE(png_image_finish_read(&image, nullptr, back.data(), 0, nullptr));
        EXPECT_EQ(back, px);
        std::filesystem::remove(path);
    }
}

TEST(MakeDataPng, RefusesPixelsThatDoNotMatchTheSize)
{
    EXPECT_FALSE(writePng(tempPath("short.png"), 4, 4, std::vector<unsigned char>(10), false));
}

TEST(MakeDataWav, HeaderDescribes16BitStereoAt44100)
{
    StereoClip audio{Clip{0.0f, 1.0f, -1.0f}, Clip{0.5f, -0.5f, 2.0f}};
    const std::string path = tempPath("t.wav");
    ASSERT_TRUE(writeWav(path, audio));
    const std::vector<unsigned char> b = readAll(path);
    ASSERT_EQ(b.size(), 44u + 12u);
    EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "RIFF");
    EXPECT_EQ(u32At(b, 4), 36u + 12u);
    EXPECT_EQ(u32At(b, 24), 44100u);
    EXPECT_EQ(b[22], 2);  // channels
    EXPECT_EQ(b[34], 16); // bits
    EXPECT_EQ(u32At(b, 40), 12u);
    auto sample = [&](size_t k) { return static_cast<std::int16_t>(b[44 + 2 * k] | b[45 + 2 * k] << 8); };
    EXPECT_EQ(sample(1), 16384);  // right 0.5
    EXPECT_EQ(sample(2), 32767);  // left 1.0
    EXPECT_EQ(sample(5), 32767);  // right 2.0, clamped
    EXPECT_EQ(sample(4), -32767); // left -1.0
    std::filesystem::remove(path);
}

TEST(MakeDataSong, SectionsChangeExactlyAtTheSceneChanges)
{
    const TempoMap tempo = songTempo();
    const double changes[] = {0.0, 10.2, 40.1, 54.8, 58.2, 62.2, 65.8, 68.5};
    ASSERT_GE(tempo.size(), std::size(changes));
    for (size_t s = 0; s < std::size(changes); ++s) {
        EXPECT_DOUBLE_EQ(tempo.time(s, 0), changes[s]);
        EXPECT_NEAR(tempo.time(s, tempo.section(s).beats), tempo.section(s + 1).start, 1e-9);
        // Tempo stays between 120 and 140 beats a minute, so the cuts sound like one piece.
        const double bpm = 60.0 / tempo.beatLength(s);
        EXPECT_GT(bpm, 120.0);
        EXPECT_LT(bpm, 140.0);
    }
    const Section& last = tempo.section(tempo.size() - 1);
    EXPECT_GE(last.end, 99.0);
    EXPECT_LE(last.end, 100.0);
}

TEST(MakeDataSong, KickEnergyLiesInTheLowestSpectrumBin)
{
    // The demo scales its pictures by the first bin of a 512-point transform at
    // 44.1 kHz, 0 to 86 Hz: most of the kick must be there.
    const Clip kick = kickDrum();
    const size_t n = 16384;
    double low = 0, total = 0;
    for (size_t k = 1; k < 2000; ++k) { // up to about 5.4 kHz, far above the kick
        std::complex<double> acc{0, 0};
        for (size_t i = 0; i < std::min(n, kick.size()); ++i)
            acc += static_cast<double>(kick[i]) * std::polar(1.0, -2.0 * 3.141592653589793 * double(k * i) / double(n));
        const double e = std::norm(acc);
        total += e;
        if (static_cast<double>(k) * sampleRate / static_cast<double>(n) < 86.0)
            low += e;
    }
    EXPECT_GT(low / total, 0.6);
}

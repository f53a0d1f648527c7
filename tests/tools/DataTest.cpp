// Checks the committed data/ directory itself: every picture the timeline
// names is a readable PNG of power-of-two size, each model file parses exactly
// in the demo's format, the music is there, and the whole stays under 4 MB.
#include <gtest/gtest.h>
#include <png.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path data = BRAKVANE_DATA_DIR;

std::vector<unsigned char> readAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

bool powerOfTwo(png_uint_32 v)
{
    return v > 0 && (v & (v - 1)) == 0;
}

// Walks a model file as the demo reads it; false when a count asks for more
// bytes than there are or a face names a vertex the block does not have.
bool parsesExactly(const std::vector<unsigned char>& b)
{
    size_t at = 0;
    auto u32 = [&](std::uint32_t& v) {
        if (b.size() - at < 4) {
            return false;
        }
        v = static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8 |
            static_cast<std::uint32_t>(b[at + 2]) << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
        at += 4;
        return true;
    };
    std::uint32_t meshes = 0;
    if (!u32(meshes)) {
        return false;
    }
    for (std::uint32_t m = 0; m < meshes; ++m) {
        std::uint32_t vertices = 0, faces = 0, name = 0;
        if (!u32(vertices) || !u32(faces) || !u32(name)) {
            return false;
        }
        const size_t skip = static_cast<size_t>(name) + 20u * static_cast<size_t>(vertices);
        if (b.size() - at < skip) {
            return false;
        }
        at += skip;
        for (size_t f = 0; f < 3u * static_cast<size_t>(faces); ++f) {
            std::uint32_t index = 0;
            if (!u32(index) || index >= vertices) {
                return false;
            }
        }
    }
    return at == b.size();
}

}  // namespace

TEST(MakeDataCommitted, EveryPictureOfTheTimelineIsAPowerOfTwoPng)
{
    const char* names[] = {"danish.png",   "text.png",     "finnish.png",  "finnish2.png",
                           "finnish3.png", "finnish4.png", "finnish5.png", "endscroller.png"};
    for (const char* name : names) {
        SCOPED_TRACE(name);
        const fs::path path = data / "textures" / name;
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        ASSERT_TRUE(png_image_begin_read_from_file(&image, path.c_str()));
        EXPECT_TRUE(powerOfTwo(image.width) && powerOfTwo(image.height));
        if (std::string(name) == "text.png") {
            EXPECT_NE(image.format & PNG_FORMAT_FLAG_ALPHA, 0u);
        }
        if (std::string(name) == "endscroller.png") {
            EXPECT_EQ(image.height, 2 * image.width);
        }
        png_image_free(&image);
    }
}

TEST(MakeDataCommitted, ModelFilesParseExactly)
{
    size_t models = 0;
    for (const fs::directory_entry& e : fs::directory_iterator(data / "models")) {
        SCOPED_TRACE(e.path().string());
        // The cache passes over names of four bytes or fewer.
        EXPECT_GT(e.path().filename().string().size(), 4u);
        EXPECT_TRUE(parsesExactly(readAll(e.path())));
        ++models;
    }
    EXPECT_GE(models, 1u);
}

TEST(MakeDataCommitted, MusicIsThereAndAllFitsInFourMegabytes)
{
    const std::vector<unsigned char> mp3 = readAll(data / "music" / "skalmtone.mp3");
    ASSERT_GT(mp3.size(), 100000u);
    const bool tagged = mp3[0] == 'I' && mp3[1] == 'D' && mp3[2] == '3';
    const bool frame = mp3[0] == 0xff && (mp3[1] & 0xe0) == 0xe0;
    EXPECT_TRUE(tagged || frame);
    std::uintmax_t total = 0;
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(data)) {
        if (e.is_regular_file()) {
            total += e.file_size();
        }
    }
    EXPECT_LT(total, 4u * 1024u * 1024u);
}

TEST(MakeDataCommitted, ModelParserRejectsCountsTheFileCannotBack)
{
    // A guard on the check above: a truncated or inconsistent file must fail it.
    std::vector<unsigned char> b = readAll(data / "models" / "brakvane.mdl");
    ASSERT_TRUE(parsesExactly(b));
    b.pop_back();
    EXPECT_FALSE(parsesExactly(b));
    const std::vector<unsigned char> huge{1, 0, 0, 0, 0xff, 0xff, 0xff, 0xff, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_FALSE(parsesExactly(huge));
}

// Checks the committed data/ directory itself: every picture the timeline
// names is a readable PNG of power-of-two size, each model file parses exactly
// in the demo's format, the music is there, and the whole stays under 4 MB.
#include "assets/Model.h"

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

// Reads a model file with the demo's own parser; true when it parses and its
// meshes account for every byte of the file (the parser ignores a tail).
bool parsesExactly(const std::vector<unsigned char>& bytes)
{
    Model model;
    if (!model.parse(bytes.data(), bytes.size()))
        return false;
    std::size_t size = 4;
    for (std::uint32_t m = 0; m < model.meshCount; ++m) {
        const Mesh& mesh = model.meshes[m];
        size += 12 + mesh.materialName.size() + 20 * std::size_t{mesh.vertexCount} + 12 * std::size_t{mesh.faceCount};
    }
    return size == bytes.size();
}

} // namespace

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
        const bool hasAlpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
        EXPECT_TRUE(std::string(name) != "text.png" || hasAlpha) << "the text overlay needs its alpha";
        EXPECT_TRUE(std::string(name) != "endscroller.png" || image.height == 2 * image.width)
            << "the scroller is twice as tall as wide";
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
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(data))
        if (e.is_regular_file())
            total += e.file_size();
    EXPECT_LT(total, 4u * 1024u * 1024u);
}

TEST(MakeDataCommitted, ModelCheckRejectsCountsTheFileCannotBack)
{
    // A guard on the check above: a truncated, padded or inconsistent file must fail it.
    std::vector<unsigned char> b = readAll(data / "models" / "brakvane.mdl");
    ASSERT_TRUE(parsesExactly(b));
    b.push_back(0);
    EXPECT_FALSE(parsesExactly(b));
    b.resize(b.size() - 2);
    EXPECT_FALSE(parsesExactly(b));
    const std::vector<unsigned char> huge{1, 0, 0, 0, 0xff, 0xff, 0xff, 0xff, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_FALSE(parsesExactly(huge));
}

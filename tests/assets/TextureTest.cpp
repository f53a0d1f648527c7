// Textures on a real GL context (Mesa's software renderer on a private Xvfb):
// what reaches the texture is read back with glGetTexImage.
#include "assets/Texture.h"
#include "GLTestContext.h"
#include "TestFiles.h"
#include "assets/PngDecode.h"
#include "assets/pngBind.h"

#include <gtest/gtest.h>
#include <png.h>

#include <memory>

using testfiles::PngRecipe;
using Bytes = std::vector<unsigned char>;

namespace {

class TextureTest : public testing::Test {
protected:
    static void SetUpTestSuite() { gl = std::make_unique<testsupport::GLTestContext>(64, 64); }
    static void TearDownTestSuite() { gl.reset(); }
    void SetUp() override { ASSERT_TRUE(gl->ok()); }

    std::string write(const std::string& name, const PngRecipe& recipe)
    {
        testfiles::writeFile(dir.prefix() + name, testfiles::encodePng(recipe));
        return dir.prefix() + name;
    }

    // Level 0 of the bound texture as RGBA, rows in upload order.
    static Bytes readBack(GLuint name)
    {
        GLint width = 0, height = 0;
        glBindTexture(GL_TEXTURE_2D, name);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
        Bytes pixels(static_cast<std::size_t>(width) * height * 4);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        return pixels;
    }

    static int liveTextureNames()
    {
        int live = 0;
        for (GLuint name = 1; name < 256; ++name)
            live += glIsTexture(name) ? 1 : 0;
        return live;
    }

    static std::unique_ptr<testsupport::GLTestContext> gl;
    testfiles::TempDir dir;
};

std::unique_ptr<testsupport::GLTestContext> TextureTest::gl;

// The decoder's pixels widened to RGBA, as OpenGL returns them.
Bytes expectedRgba(const Bytes& file)
{
    PngImage image;
    EXPECT_TRUE(decodePng(file.data(), file.size(), image));
    Bytes rgba;
    for (std::size_t p = 0; p < std::size_t{image.width} * image.height; ++p) {
        const unsigned char* px = image.pixels.get() + p * image.channels;
        rgba.insert(rgba.end(), {px[0], px[1], px[2], image.channels == 4 ? px[3] : static_cast<unsigned char>(255)});
    }
    return rgba;
}

} // namespace

TEST_F(TextureTest, UploadsPngAtItsOwnSizeWithTopRowFirst)
{
    PngRecipe recipe{.width = 5, .height = 3, .colorType = PNG_COLOR_TYPE_RGB_ALPHA};
    for (unsigned i = 0; i < 5 * 3 * 4; ++i)
        recipe.samples.push_back(static_cast<std::uint16_t>(i * 4));
    const std::string path = write("picture.Png", recipe);

    Texture texture;
    testing::internal::CaptureStdout();
    EXPECT_TRUE(texture.load(path));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Loading texture: " + path + "\n");
    ASSERT_NE(texture.textureName, 0u);
    EXPECT_EQ(texture.width, 5);
    EXPECT_EQ(texture.height, 3);
    EXPECT_EQ(readBack(texture.textureName), Bytes(recipe.samples.begin(), recipe.samples.end()));

    GLint value = 0;
    for (GLenum wrap : {GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T}) {
        glGetTexParameteriv(GL_TEXTURE_2D, wrap, &value);
        EXPECT_EQ(value, GL_REPEAT);
    }
    for (GLenum filter : {GL_TEXTURE_MIN_FILTER, GL_TEXTURE_MAG_FILTER}) {
        glGetTexParameteriv(GL_TEXTURE_2D, filter, &value);
        EXPECT_EQ(value, GL_LINEAR);
    }
}

TEST_F(TextureTest, UploadsEveryKindOfPngAsDecoded)
{
    const std::vector<std::pair<std::string, PngRecipe>> files = {
        {"palette.png",
         {.width = 3,
          .height = 2,
          .colorType = PNG_COLOR_TYPE_PALETTE,
          .bitDepth = 2,
          .samples = {0, 1, 2, 2, 1, 0},
          .palette = {9, 8, 7, 6, 5, 4, 3, 2, 1},
          .paletteAlpha = {10, 20}}},
        {"grey16.PNG",
         {.width = 3,
          .height = 1,
          .colorType = PNG_COLOR_TYPE_GRAY,
          .bitDepth = 16,
          .samples = {0x0000, 0x7F7F, 0xFFFF}}},
        {"greyalpha.png", {.width = 1, .height = 2, .colorType = PNG_COLOR_TYPE_GRAY_ALPHA, .samples = {1, 2, 3, 4}}},
        {"interlaced.png", {.width = 9, .height = 7, .colorType = PNG_COLOR_TYPE_RGB, .interlaced = true}},
    };
    for (const auto& [name, recipe] : files) {
        PngRecipe filled = recipe;
        if (filled.samples.empty())
            for (unsigned i = 0; i < recipe.width * recipe.height * 3; ++i)
                filled.samples.push_back(static_cast<std::uint16_t>((i * 53) % 256));
        Texture texture;
        testing::internal::CaptureStdout();
        EXPECT_TRUE(texture.load(write(name, filled))) << name;
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(readBack(texture.textureName), expectedRgba(testfiles::encodePng(filled))) << name;
    }
}

TEST_F(TextureTest, ChoosesLoaderByExactLastFourBytes)
{
    PngRecipe recipe{.colorType = PNG_COLOR_TYPE_RGB, .samples = {1, 2, 3}};
    struct Case {
        std::string name;
        bool accepted;
        bool image;
    };
    const Case cases[] = {
        {"a.png", true, true},    {"a.PNG", true, true},   {"a.Png", true, true},   {"a.pNg", false, false},
        {"a.jpg", true, false},   {"a.JPG", true, false},  {"a.jpeg", true, false}, {"a.Jpg", false, false},
        {"a.JPEG", false, false}, {"older", false, false}, {"png", false, false},
    };
    for (const Case& c : cases) {
        const std::string path = c.name == "png" ? c.name : write(c.name, recipe);
        Texture texture;
        testing::internal::CaptureStdout();
        EXPECT_EQ(texture.load(path), c.accepted) << c.name;
        std::string expected = "Loading texture: " + path + "\n";
        if (!c.accepted)
            expected += "Unsupported texture format: " + path + "\n";
        EXPECT_EQ(testing::internal::GetCapturedStdout(), expected);
        EXPECT_EQ(texture.textureName != 0, c.image) << c.name;
    }
}

TEST_F(TextureTest, RefusesUndecodablePngAndLeavesNoTextureBehind)
{
    PngRecipe recipe{.width = 4, .height = 4, .colorType = PNG_COLOR_TYPE_RGB};
    recipe.samples.assign(48, 200);
    Bytes truncated = testfiles::encodePng(recipe);
    truncated.resize(truncated.size() / 2);
    testfiles::writeFile(dir.prefix() + "cut.png", truncated);
    testfiles::writeFile(dir.prefix() + "text.png", {'h', 'e', 'l', 'l', 'o'});

    ASSERT_EQ(liveTextureNames(), 0);
    for (const std::string name : {"cut.png", "text.png", "missing.png"}) {
        const std::string path = dir.prefix() + name;
        Texture texture;
        testing::internal::CaptureStdout();
        EXPECT_FALSE(texture.load(path));
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  "Loading texture: " + path + "\nUnable to read PNG file: " + path + "\n");
        EXPECT_EQ(texture.textureName, 0u);
        EXPECT_EQ(liveTextureNames(), 0) << name;
    }
}

TEST_F(TextureTest, BindEnablesTexturingAndDestructionDeletesTheName)
{
    const std::string path = write("one.png", {.colorType = PNG_COLOR_TYPE_RGB, .samples = {1, 2, 3}});
    GLuint name = 0;
    {
        Texture texture;
        testing::internal::CaptureStdout();
        ASSERT_TRUE(texture.load(path));
        testing::internal::GetCapturedStdout();
        name = texture.textureName;
        glDisable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, 0);
        texture.bind();
        GLint bound = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        EXPECT_EQ(static_cast<GLuint>(bound), name);
        EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    }
    EXPECT_FALSE(glIsTexture(name));
    {
        Texture empty;
    } // deleting name 0 is harmless
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(TextureTest, NeverUploadsBeyondTheLargestTextureSize)
{
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    PngRecipe recipe{.width = static_cast<unsigned>(maxSize) + 3, .height = 1, .colorType = PNG_COLOR_TYPE_GRAY};
    recipe.samples.assign(recipe.width, 99);
    const std::string path = write("wide.png", recipe);
    pngInfo info;
    const GLuint name = pngBind(path.c_str(), pngNoMipmap, pngAlpha, &info, GL_REPEAT, GL_LINEAR, GL_LINEAR);
    ASSERT_NE(name, 0u);
    EXPECT_EQ(info.Width, recipe.width);
    GLint width = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    EXPECT_EQ(width, maxSize);
    Bytes expected;
    for (GLint x = 0; x < maxSize; ++x)
        expected.insert(expected.end(), {99, 99, 99, 255});
    EXPECT_EQ(readBack(name), expected);
    glDeleteTextures(1, &name);
    EXPECT_EQ(pngBind(path.c_str(), 1, pngAlpha, &info, GL_REPEAT, GL_LINEAR, GL_LINEAR), 0u); // mipmaps: unsupported

    // Four times too tall, in bands of four rows: each texel row is one band.
    PngRecipe tall{.width = 2, .height = 4 * static_cast<unsigned>(maxSize), .colorType = PNG_COLOR_TYPE_GRAY};
    for (unsigned y = 0; y < tall.height; ++y)
        tall.samples.insert(tall.samples.end(), 2, static_cast<std::uint16_t>(y / 4 % 200));
    const std::string tallPath = write("tall.png", tall);
    pngInfo tallInfo;
    const GLuint tallName =
        pngBind(tallPath.c_str(), pngNoMipmap, pngAlpha, &tallInfo, GL_REPEAT, GL_LINEAR, GL_LINEAR);
    ASSERT_NE(tallName, 0u);
    EXPECT_EQ(tallInfo.Height, tall.height);
    Bytes tallExpected;
    for (GLint y = 0; y < maxSize; ++y)
        for (int x = 0; x < 2; ++x) {
            const auto grey = static_cast<unsigned char>(y % 200);
            tallExpected.insert(tallExpected.end(), {grey, grey, grey, 255});
        }
    EXPECT_EQ(readBack(tallName), tallExpected);
    glDeleteTextures(1, &tallName);
}

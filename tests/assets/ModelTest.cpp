// Model files built byte by byte: decoding, normals, damaged files, loading
// from disk and drawing on a real GL context.
#include "assets/Model.h"
#include "GLTestContext.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <filesystem>
#include <functional>

#include <GL/gl.h>

namespace {

struct ModelBytes {
    std::vector<unsigned char> bytes;
    ModelBytes& u32(std::uint32_t value)
    {
        for (int shift = 0; shift < 32; shift += 8)
            bytes.push_back(static_cast<unsigned char>(value >> shift));
        return *this;
    }
    ModelBytes& f32(float value) { return u32(std::bit_cast<std::uint32_t>(value)); }
    ModelBytes& text(const std::string& value)
    {
        bytes.insert(bytes.end(), value.begin(), value.end());
        return *this;
    }
    ModelBytes& vertex(float x, float y, float z, float u = 0, float v = 0)
    {
        return f32(x).f32(y).f32(z).f32(u).f32(v);
    }
    ModelBytes& face(std::uint32_t a, std::uint32_t b, std::uint32_t c) { return u32(a).u32(b).u32(c); }
    // A block header: vertexCount, faceCount and the material name.
    ModelBytes& block(std::uint32_t vertices, std::uint32_t faces, const std::string& material)
    {
        return u32(vertices).u32(faces).u32(static_cast<std::uint32_t>(material.size())).text(material);
    }
};

// One mesh, the triangle (0,0,0) (1,0,0) (0,1,0), seen counter-clockwise from +z.
ModelBytes triangle(std::uint32_t i0 = 0, std::uint32_t i1 = 1, std::uint32_t i2 = 2)
{
    ModelBytes file;
    file.u32(1).block(3, 1, "stone").vertex(0, 0, 0, 0.25f, 0.5f).vertex(1, 0, 0).vertex(0, 1, 0).face(i0, i1, i2);
    return file;
}

bool parse(Model& model, const ModelBytes& file)
{
    return model.parse(file.bytes.data(), file.bytes.size());
}

void expectNormal(const Mesh& mesh, std::uint32_t vertex, float x, float y, float z)
{
    const float* n = mesh.normals.get() + 3 * vertex;
    EXPECT_NEAR(n[0], x, 1e-6f) << "vertex " << vertex;
    EXPECT_NEAR(n[1], y, 1e-6f) << "vertex " << vertex;
    EXPECT_NEAR(n[2], z, 1e-6f) << "vertex " << vertex;
}

} // namespace

TEST(ModelParse, ReadsBlocksNamesAndArraysAsStored)
{
    Model model;
    EXPECT_TRUE(parse(model, ModelBytes().u32(0)));
    EXPECT_EQ(model.meshCount, 0u);

    ModelBytes file;
    file.u32(3).block(0, 0, ""); // empty mesh
    file.block(2, 0, std::string("brass\0junk", 10)).vertex(1, 2, 3, 4, 5).vertex(6, 7, 8, 9, 10);
    file.block(1, 1, "x").vertex(0, 0, 0).face(0, 0, 0); // degenerate face
    file.text("trailing bytes are ignored");
    ASSERT_TRUE(parse(model, file));
    ASSERT_EQ(model.meshCount, 3u);
    EXPECT_EQ(model.meshes[0].vertexCount, 0u);
    EXPECT_EQ(model.meshes[0].materialName, "");
    const Mesh& brass = model.meshes[1];
    EXPECT_EQ(brass.materialName, "brass"); // stops at the zero byte, all ten bytes consumed
    EXPECT_EQ(std::vector<float>(brass.vertices.get(), brass.vertices.get() + 6),
              (std::vector<float>{1, 2, 3, 6, 7, 8}));
    EXPECT_EQ(std::vector<float>(brass.texCoords.get(), brass.texCoords.get() + 4), (std::vector<float>{4, 5, 9, 10}));
    expectNormal(brass, 0, 0, 0, 0); // used by no face: zero, not NaN
    expectNormal(model.meshes[2], 0, 0, 0, 0);
    EXPECT_EQ(model.meshes[2].faces[2], 0u);
}

TEST(ModelParse, WeighsFaceNormalsByArea)
{
    Model model;
    ASSERT_TRUE(parse(model, triangle()));
    for (std::uint32_t v = 0; v < 3; ++v)
        expectNormal(model.meshes[0], v, 0, 0, 1);
    ASSERT_TRUE(parse(model, triangle(0, 2, 1)));
    expectNormal(model.meshes[0], 1, 0, 0, -1);

    ModelBytes file;
    file.u32(1).block(4, 2, "").vertex(0, 0, 0).vertex(2, 0, 0).vertex(0, 2, 0).vertex(0, 0, 1);
    file.face(0, 1, 2).face(0, 3, 1);
    ASSERT_TRUE(parse(model, file));
    const float small = 1 / std::sqrt(5.0f), large = 2 / std::sqrt(5.0f);
    expectNormal(model.meshes[0], 0, 0, small, large);
    expectNormal(model.meshes[0], 1, 0, small, large);
    expectNormal(model.meshes[0], 2, 0, 0, 1);
    expectNormal(model.meshes[0], 3, 0, 1, 0);
}

TEST(ModelParse, RejectsEveryTruncation)
{
    ModelBytes file = triangle();
    file.block(1, 0, "ab").vertex(5, 5, 5);
    file.bytes[0] = 2;
    Model model;
    ASSERT_TRUE(parse(model, file));
    for (std::size_t length = 0; length < file.bytes.size(); ++length) {
        EXPECT_FALSE(model.parse(file.bytes.data(), length)) << "cut at " << length;
        EXPECT_EQ(model.meshCount, 0u);
        EXPECT_EQ(model.meshes, nullptr);
    }
}

TEST(ModelParse, RejectsCountsTheFileCannotBackAndBadIndices)
{
    const ModelBytes hostile[] = {
        ModelBytes().u32(0xFFFFFFFF),
        ModelBytes().u32(2).block(0, 0, ""),
        ModelBytes().u32(1).block(0xFFFFFFFF, 0, ""),
        ModelBytes().u32(1).block(0, 0xFFFFFFFF, ""),
        ModelBytes().u32(1).u32(0).u32(0).u32(0xFFFFFFFF).text("name"),
        ModelBytes().u32(1).block(0x40000000, 0x40000000, "").vertex(0, 0, 0),
        triangle(0, 1, 3),          // index equal to vertexCount
        triangle(0, 0xFFFFFFFF, 2), // far outside
        ModelBytes().u32(1).block(0, 1, "").face(0, 0, 0),
    };
    for (const ModelBytes& file : hostile) {
        Model model;
        EXPECT_FALSE(parse(model, file));
        EXPECT_EQ(model.meshCount, 0u);
        EXPECT_EQ(model.meshes, nullptr);
    }
}

TEST(ModelLoad, ReportsMissingUnreadableAndCorruptFiles)
{
    testfiles::TempDir dir;
    testfiles::writeFile(dir.prefix() + "good.bin", triangle().bytes);
    testfiles::writeFile(dir.prefix() + "bad.bin", triangle(0, 1, 7).bytes);
    const struct {
        std::string path;
        bool loads;
        std::string failure;
    } cases[] = {
        {dir.prefix() + "good.bin", true, ""},
        {dir.prefix() + "bad.bin", false, "Corrupt model file: "},
        {dir.prefix() + "missing.bin", false, "Unable to open model file: "},
        {dir.prefix(), false, "Unable to open model file: "}, // a directory
    };
    for (const auto& c : cases) {
        testing::internal::CaptureStdout();
        Model model(c.path);
        std::string expected = "Loading model: " + c.path + "\n";
        if (!c.loads)
            expected += c.failure + c.path + "\n";
        EXPECT_EQ(testing::internal::GetCapturedStdout(), expected);
        EXPECT_EQ(model.name, c.path);
        EXPECT_EQ(model.meshCount, c.loads ? 1u : 0u);
    }
}

TEST(ModelLoad, RefusesFilesOverTheSizeLimitUnread)
{
    // A good triangle followed by zeros (ignored after the last block), as a
    // sparse file: exactly at the limit it loads, one byte more is refused.
    testfiles::TempDir dir;
    for (const std::size_t size : {modelMaxFileBytes, modelMaxFileBytes + 1}) {
        const std::string path = dir.prefix() + "padded" + std::to_string(size) + ".bin";
        testfiles::writeFile(path, triangle().bytes);
        std::filesystem::resize_file(path, size);
        testing::internal::CaptureStdout();
        Model model(path);
        std::string expected = "Loading model: " + path + "\n";
        if (size > modelMaxFileBytes)
            expected += "Unable to open model file: " + path + "\n";
        EXPECT_EQ(testing::internal::GetCapturedStdout(), expected);
        EXPECT_EQ(model.meshCount, size > modelMaxFileBytes ? 0u : 1u);
    }
}

TEST(ModelDraw, DrawsTrianglesWithVertexArraysAndDisablesThemAfterwards)
{
    testsupport::GLTestContext gl(64, 64);
    ASSERT_TRUE(gl.ok());
    glViewport(0, 0, 64, 64);
    glDisable(GL_CULL_FACE);
    glDisable(GL_TEXTURE_2D);
    glColor3f(1, 1, 1);

    ModelBytes file;
    file.u32(2).block(0, 0, "");
    file.block(3, 1, "").vertex(-1, -1, 0).vertex(1, -1, 0).vertex(-1, 1, 0).face(0, 1, 2);
    Model model;
    ASSERT_TRUE(parse(model, file));

    auto pixel = [](int x, int y) {
        unsigned char rgba[4] = {};
        glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
        return rgba[0];
    };
    const std::function<void()> draws[] = {[&] { model.draw(); }, [&] { model.meshes[1].draw(); }};
    for (const auto& draw : draws) {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        draw();
        glFinish();
        EXPECT_EQ(pixel(8, 8), 255); // lower-left half is covered
        EXPECT_EQ(pixel(56, 56), 0); // upper-right half is not
        for (GLenum array : {GL_VERTEX_ARRAY, GL_NORMAL_ARRAY, GL_TEXTURE_COORD_ARRAY})
            EXPECT_FALSE(glIsEnabled(array));
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

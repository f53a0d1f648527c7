// The resource cache over a small recording resource type, and over real
// textures and models in scratch directories.
#include "assets/ResourceCache.h"
#include "GLTestContext.h"
#include "TestFiles.h"
#include "assets/Model.h"
#include "assets/Texture.h"

#include <gtest/gtest.h>
#include <png.h>

#include <filesystem>

namespace {

// Records loads and deletions; refuses any path containing "bad".
struct Probe {
    static std::vector<std::string> log;
    std::string path;
    bool load(std::string fullPath)
    {
        path = std::move(fullPath);
        log.push_back("load " + path);
        return path.find("bad") == std::string::npos;
    }
    ~Probe() { log.push_back("delete " + path); }
};
std::vector<std::string> Probe::log;

using Names = std::vector<std::string>;

std::string captured(const std::function<void()>& action)
{
    testing::internal::CaptureStdout();
    action();
    return testing::internal::GetCapturedStdout();
}

void touch(const std::string& path)
{
    testfiles::writeFile(path, {'x'});
}

} // namespace

TEST(ResourceCache, LoadsEveryLongNameInByteOrderAndReportsFailures)
{
    testfiles::TempDir dir;
    const std::string p = dir.prefix();
    // "!first.png" sorts before "." and "..": the first entry listed is loaded too.
    for (const char* name : {"!first.png", "a.png", "x.pn", "abcd", "Danish.png", "bad.png"})
        touch(p + name);
    std::filesystem::create_directory(p + "older");

    Probe::log.clear();
    {
        ResourceCache<Probe> cache;
        EXPECT_EQ(captured([&] { cache.loadDirectory(p); }), "\nUnable to load resource: " + p + "bad.png\n");
        EXPECT_EQ(Probe::log, (Names{"load " + p + "!first.png", "load " + p + "Danish.png", "load " + p + "a.png",
                                     "load " + p + "bad.png", "delete " + p + "bad.png", "load " + p + "older"}));
        EXPECT_EQ(cache.names(), (Names{"!first.png", "Danish.png", "a.png", "older"}));

        ASSERT_NE(cache.get("Danish.png"), nullptr);
        EXPECT_EQ(cache.get("Danish.png")->path, p + "Danish.png");
        EXPECT_EQ(cache.get("danish.png"), nullptr);
        EXPECT_EQ(cache.get("x.pn"), nullptr);
        EXPECT_EQ(cache.get("bad.png"), nullptr);
        EXPECT_EQ(cache.size(), 4u); // get never adds entries
        Probe::log.clear();
    }
    EXPECT_EQ(Probe::log, (Names{"delete " + p + "!first.png", "delete " + p + "Danish.png", "delete " + p + "a.png",
                                 "delete " + p + "older"}));
}

TEST(ResourceCache, AFileAtATimeLoadsWhatTheWholeDirectoryLoads)
{
    testfiles::TempDir dir;
    const std::string p = dir.prefix();
    for (const char* name : {"a.png", "bad.png", "c.png", "x.pn"})
        touch(p + name);
    ResourceCache<Probe> cache;
    Probe::log.clear();
    EXPECT_EQ(captured([&] { cache.beginDirectory(p); }), "\n");
    EXPECT_TRUE(Probe::log.empty()) << "nothing is loaded before the first step";
    std::vector<bool> more;
    const std::string lines = captured([&] {
        for (int step = 0; step < 4; ++step)
            more.push_back(cache.loadNext());
    });
    EXPECT_EQ(more, (std::vector<bool>{true, true, false, false}));
    EXPECT_EQ(lines, "Unable to load resource: " + p + "bad.png\n");
    EXPECT_EQ(Probe::log, (Names{"load " + p + "a.png", "load " + p + "bad.png", "delete " + p + "bad.png",
                                 "load " + p + "c.png"}));
    EXPECT_EQ(cache.names(), (Names{"a.png", "c.png"}));
}

TEST(ResourceCache, EmptyAndMissingDirectoriesLoadNothing)
{
    testfiles::TempDir dir;
    for (const std::string& prefix : {dir.prefix(), dir.prefix() + "absent/"}) {
        ResourceCache<Probe> cache;
        Probe::log.clear();
        EXPECT_EQ(captured([&] { cache.loadDirectory(prefix); }), "\n");
        EXPECT_EQ(cache.size(), 0u);
        EXPECT_TRUE(Probe::log.empty());
    }
}

TEST(ResourceCache, HoldsRealTexturesAndModels)
{
    testsupport::GLTestContext gl(64, 64);
    ASSERT_TRUE(gl.ok());
    testfiles::TempDir textures;
    const std::string t = textures.prefix();
    testfiles::writeFile(t + "a.png", testfiles::encodePng({.colorType = PNG_COLOR_TYPE_RGB, .samples = {1, 2, 3}}));
    touch(t + "broken.png");
    touch(t + "photo.jpg");
    touch(t + "picture.pNg");
    std::filesystem::create_directory(t + "older");

    ResourceCache<Texture> textureCache;
    EXPECT_EQ(captured([&] { textureCache.loadDirectory(t); }),
              "\nLoading texture: " + t + "a.png\n" + "Loading texture: " + t +
                  "broken.png\nUnable to read PNG file: " + t + "broken.png\n" + "Unable to load resource: " + t +
                  "broken.png\n" + "Loading texture: " + t + "older\nUnsupported texture format: " + t + "older\n" +
                  "Unable to load resource: " + t + "older\n" + "Loading texture: " + t + "photo.jpg\n" +
                  "Loading texture: " + t + "picture.pNg\nUnsupported texture format: " + t + "picture.pNg\n" +
                  "Unable to load resource: " + t + "picture.pNg\n");
    EXPECT_EQ(textureCache.names(), (Names{"a.png", "photo.jpg"}));
    EXPECT_NE(textureCache.get("a.png")->textureName, 0u);
    EXPECT_EQ(textureCache.get("photo.jpg")->textureName, 0u);

    testfiles::TempDir models;
    const std::string m = models.prefix();
    testfiles::writeFile(m + "empty.bin", {0, 0, 0, 0});
    std::filesystem::create_directory(m + "older");
    ResourceCache<Model> modelCache;
    EXPECT_EQ(captured([&] { modelCache.loadDirectory(m); }),
              "\nLoading model: " + m + "empty.bin\nLoading model: " + m + "older\n" +
                  "Unable to open model file: " + m + "older\nUnable to load resource: " + m + "older\n");
    EXPECT_EQ(modelCache.names(), (Names{"empty.bin"}));
}

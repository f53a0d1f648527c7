// The real program on files far larger than the demo's own: a tall picture
// of 2^26 pixels in a small file, a wide panorama, a model file of gigabytes.
// It loads what it can within a bounded peak memory, leaves out what it
// cannot with that file's messages, and never ends early.
#include "DemoRun.h"
#include "XServer.h"

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <png.h>
#include <sys/resource.h>
#include <thread>

using namespace testsupport;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

constexpr const char* startLines = "Kalvor Brakvane 0.1\nCreating window...(800x600@32)\n";

// An RGB picture of one colour, written row by row so that the test never
// holds it whole. Deflate takes such rows at about 1000:1.
void writeFlatPng(const fs::path& path, unsigned width, unsigned height)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_write_info(png, info);
    std::vector<png_byte> row(std::size_t{width} * 3);
    for (std::size_t i = 0; i < row.size(); i += 3) {
        row[i] = 40;
        row[i + 1] = 90;
        row[i + 2] = 160;
    }
    for (unsigned y = 0; y < height; ++y)
        png_write_row(png, row.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
}

// A data/ folder in work with the demo's music and the given pictures.
fs::path makeData(const testfiles::TempDir& work)
{
    const fs::path data = fs::path(work.directory()) / "data";
    fs::create_directories(data / "textures");
    fs::create_directories(data / "models");
    fs::create_directory_symlink(fs::path(sourceDir()) / "data/music", data / "music");
    return data;
}

long childrenPeakKilobytes()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_maxrss;
}

bool sanitized()
{
#if defined(__SANITIZE_ADDRESS__)
    return true;
#else
    return false;
#endif
}

} // namespace

TEST(LargeFiles, PeakMemoryStaysBoundedForTallAndWidePicturesAndHugeModels)
{
    testfiles::TempDir work;
    const fs::path data = makeData(work);
    writeFlatPng(data / "textures/tall.png", 128, 524288); // 2^26 pixels, 256 MiB decoded
    writeFlatPng(data / "textures/wide.png", 20000, 3000); // wider than any texture
    // Sparse: 3 GiB that take no disk space, and must not be read.
    testfiles::writeFile((data / "models/huge.mdl").string(), {0, 0, 0, 0});
    fs::resize_file(data / "models/huge.mdl", std::uintmax_t{3} << 30);
    EXPECT_LT(fs::file_size(data / "textures/tall.png"), 1u << 20);

    XServer server(800, 600);
    ASSERT_TRUE(server.ok());
    auto demo = startDemo(server.name(), work.directory());
    ASSERT_TRUE(demo->waitForOutput("Unable to load resource: data/models/huge.mdl\n", 120s))
        << demo->output() << demo->errorOutput();
    std::this_thread::sleep_for(500ms);
    EXPECT_FALSE(demo->exited()) << demo->errorOutput();
    demo->signal(SIGINT);
    EXPECT_EQ(demo->wait(20s), 0) << demo->errorOutput();

    EXPECT_EQ(demo->output(), std::string(startLines) + "Loading Music: data/music/skalmtone.mp3\n"
                                                        "\n"
                                                        "Loading texture: data/textures/tall.png\n"
                                                        "Loading texture: data/textures/wide.png\n"
                                                        "\n"
                                                        "Loading model: data/models/huge.mdl\n"
                                                        "Unable to open model file: data/models/huge.mdl\n"
                                                        "Unable to load resource: data/models/huge.mdl\n");
    // The largest picture is 256 MiB decoded; resampling it, or the panorama
    // (240 MB decoded), through a whole intermediate image took over 1.2 GB,
    // and reading the model whole 3 GiB. The bound is generous on purpose.
    // AddressSanitizer keeps freed memory in quarantine, so its figures say
    // nothing about the program's own.
    EXPECT_TRUE(sanitized() || childrenPeakKilobytes() < 900L * 1024)
        << "peak resident set of the demo: " << childrenPeakKilobytes() << " KiB";
}

TEST(LargeFiles, AFailedAllocationLeavesThePictureOutAndTheProgramGoesOn)
{
    if (sanitized())
        GTEST_SKIP() << "AddressSanitizer needs far more address space than the limit this test sets";
    testfiles::TempDir work;
    const fs::path data = makeData(work);
    writeFlatPng(data / "textures/tall.png", 128, 524288);
    writeFlatPng(data / "textures/wee.png", 4, 4);

    // No display, and less address space than the tall picture's pixels
    // need: its decoding must fail like any damaged file's.
    ChildOptions options;
    options.args = {"/bin/sh", "-c", "ulimit -v 250000 && exec \"$0\"", binaryDir() + "/app/brakvane"};
    options.workingDirectory = work.directory();
    options.env["DISPLAY"] = std::nullopt;
    options.env["WAYLAND_DISPLAY"] = std::nullopt;
    options.env["SDL_VIDEODRIVER"] = std::nullopt;
    options.env["SDL_AUDIODRIVER"] = std::string("disk");
    options.env["SDL_DISKAUDIOFILE"] = work.prefix() + "played.raw";
    ChildProcess demo(options);
    ASSERT_TRUE(demo.waitForOutput("Loading texture: data/textures/wee.png\n\n", 60s))
        << demo.output() << demo.errorOutput();
    std::this_thread::sleep_for(500ms);
    EXPECT_FALSE(demo.exited()) << demo.errorOutput();
    demo.signal(SIGINT);
    EXPECT_EQ(demo.wait(20s), 0) << demo.errorOutput();
    EXPECT_EQ(demo.output(), std::string(startLines) + "GLWindow:cpp: Unable to register window class"
                                                       "Loading Music: data/music/skalmtone.mp3\n"
                                                       "\n"
                                                       "Loading texture: data/textures/tall.png\n"
                                                       "Unable to read PNG file: data/textures/tall.png\n"
                                                       "Unable to load resource: data/textures/tall.png\n"
                                                       "Loading texture: data/textures/wee.png\n"
                                                       "\n");
}

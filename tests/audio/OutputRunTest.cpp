// The real demo through each sound output of our own, on a private sound
// server and a virtual X server: the last 20 seconds of the show, a clean exit,
// the decoder never behind. Built with ThreadSanitizer, this is where a race
// between an output's thread and the main thread shows, as the sanitizer's
// report on standard error and its exit status.
#include "DemoRun.h"
#include "Testbeds.h"
#include "XServer.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <ostream>

using namespace testsupport;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

// One output: its server, the name that asks for it, and the name it is shown by.
struct OutputRow {
    const char* name;
    SoundServerKind server;
    const char* asked;
    const char* shown;
};
constexpr OutputRow outputs[] = {
    {"PipeWire", SoundServerKind::pipewire, "pipewire", "PipeWire"},
    {"PulseAudio", SoundServerKind::pulseaudio, "pulse", "PulseAudio"},
    {"ALSA", SoundServerKind::pulseaudio, "alsa", "ALSA"}, // through the server's ALSA plugin
};
void PrintTo(const OutputRow& row, std::ostream* out)
{
    *out << row.name;
}

class OutputRun : public testing::TestWithParam<OutputRow> {};

} // namespace

TEST_P(OutputRun, PlaysTheLastTwentySecondsCleanly)
{
    const OutputRow& row = GetParam();
    SoundServer sound(row.server);
    ASSERT_TRUE(sound.running()) << sound.problem();
    XServer screen(800, 600);
    ASSERT_TRUE(screen.ok());
    testfiles::TempDir work;
    fs::create_directory_symlink(fs::path(sourceDir()) / "data", fs::path(work.directory()) / "data");

    const auto demo = startDemo({.display = screen.name(),
                                 .workingDirectory = work.directory(),
                                 .args = {"--start", "78.9"},
                                 .env = {{"BRAKVANE_AUDIO", row.asked},
                                         {"SDL_AUDIODRIVER", std::nullopt},
                                         {"PULSE_SERVER", sound.address()},
                                         {"PIPEWIRE_RUNTIME_DIR", sound.runtimeDirectory()},
                                         {"ALSA_CONFIG_PATH", sound.alsaConfig()}}});
    const auto status = demo->wait(120s);
    ASSERT_TRUE(status.has_value()) << "still running after 120 s";
    const std::string errors = demo->errorOutput();
    EXPECT_EQ(*status, 0) << errors;
    EXPECT_NE(errors.find(std::string("through ") + row.shown), std::string::npos) << "another output played";
    EXPECT_EQ(errors.find("Sanitizer"), std::string::npos) << "a sanitizer's report";
    EXPECT_EQ(errors.find("decoder fell behind"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(OwnOutputs, OutputRun, testing::ValuesIn(outputs),
                         [](const testing::TestParamInfo<OutputRow>& row) { return std::string(row.param.name); });

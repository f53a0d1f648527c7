// The harness behind the music tests.
#include "MusicHarness.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <iostream>
#include <iterator>

namespace testtracks {

namespace {

std::size_t leadingSilentFrames(const std::vector<std::int16_t>& samples)
{
    std::size_t frame = 0;
    while (2 * frame + 1 < samples.size() && samples[2 * frame] == 0 && samples[2 * frame + 1] == 0)
        ++frame;
    return frame;
}

} // namespace

void useDiskAudio(const std::string& capturePath)
{
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", capturePath.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "8", 1); // ms per 1024-frame period of 23 ms
}

void useNoAudioDevice()
{
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
}

std::vector<std::int16_t> readCapture(const std::string& capturePath)
{
    std::ifstream in(capturePath, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::vector<std::int16_t> samples(bytes.size() / 2);
    std::copy(bytes.begin(), bytes.begin() + static_cast<long>(samples.size() * 2),
              reinterpret_cast<char*>(samples.data()));
    return samples;
}

ConsoleCapture::ConsoleCapture() : previous(std::cout.rdbuf(captured.rdbuf())) {}
ConsoleCapture::~ConsoleCapture()
{
    std::cout.rdbuf(previous);
}

bool playToEnd(Music& music, double seconds, const FetchObserver& observe, std::chrono::seconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    music.play(seconds);
    std::array<float, 512> spectrum{};
    while (std::chrono::steady_clock::now() < deadline) {
        const std::array<float, 512> before = spectrum;
        const int result = music.fetchSpectrum(spectrum.data());
        if (result == -1) {
            EXPECT_EQ(before, spectrum) << "a fetch with nothing playing wrote to the buffer";
            return true;
        }
        observe(result, spectrum.data());
    }
    return false;
}

void expectPlayed(const std::vector<std::int16_t>& capture, const std::vector<std::int16_t>& expected, int tolerance)
{
    const std::size_t expectedFrames = expected.size() / 2;
    const std::size_t capturedSilence = leadingSilentFrames(capture);
    const std::size_t expectedSilence = leadingSilentFrames(expected);
    ASSERT_LT(expectedSilence, expectedFrames) << "the expected sound is all silence";
    ASSERT_GE(capturedSilence, expectedSilence) << "sound was played before the music started";
    const std::size_t start = capturedSilence - expectedSilence;
    ASSERT_GE(capture.size() / 2, start + expectedFrames) << "the music was cut short";
    std::size_t mismatches = 0;
    std::size_t firstMismatch = 0;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        if (std::abs(capture[2 * start + i] - expected[i]) > tolerance) {
            if (mismatches++ == 0)
                firstMismatch = i / 2;
        }
    }
    EXPECT_EQ(mismatches, 0u) << "first differing frame: " << firstMismatch << " of " << expectedFrames;
    const auto after = capture.begin() + static_cast<long>(2 * (start + expectedFrames));
    EXPECT_TRUE(std::all_of(after, capture.end(), [](std::int16_t s) { return s == 0; }))
        << "sound after the end of the music";
}

double median(std::vector<float> values)
{
    if (values.empty())
        return -1.0;
    std::nth_element(values.begin(), values.begin() + static_cast<long>(values.size() / 2), values.end());
    return values[values.size() / 2];
}

} // namespace testtracks

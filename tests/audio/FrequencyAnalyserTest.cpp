// The spectrum's definition, checked on exact synthetic input: window, scale, mono mix,
// and that only the 256 magnitudes are written.
#include "audio/FrequencyAnalyser.h"

#include <array>
#include <cmath>
#include <gtest/gtest.h>
#include <numbers>

namespace {

constexpr int N = FrequencyAnalyser::analysedFrames;

// Runs the mono analysis, or the stereo one on the given frames.
std::array<float, N> analyse(FrequencyAnalyser& analyser, const std::int16_t* stereoFrames = nullptr)
{
    std::array<float, N> out;
    out.fill(-7.0f); // the second half must come back as it was
    if (stereoFrames != nullptr)
        analyser.analyseStereo(stereoFrames, out.data());
    else
        analyser.analyse(out.data());
    for (int k = FrequencyAnalyser::binCount; k < N; ++k)
        EXPECT_EQ(out[k], -7.0f) << "wrote past the 256 magnitudes at " << k;
    return out;
}

// Every bin other than the listed ones is (close to) zero.
void expectOnly(const std::array<float, N>& out, std::initializer_list<std::pair<int, double>> expected)
{
    for (int k = 0; k < FrequencyAnalyser::binCount; ++k) {
        double want = 0.0;
        for (const auto& [bin, value] : expected)
            if (bin == k)
                want = value;
        EXPECT_NEAR(out[k], want, 1e-5) << "bin " << k;
    }
}

} // namespace

TEST(FrequencyAnalyser, ConstantOneGivesOneInTheFirstValue)
{
    FrequencyAnalyser analyser;
    ASSERT_TRUE(analyser.valid());
    std::fill_n(analyser.input(), N, 1.0f);
    // The Hann window's spectrum: N/2 at bin 0 and N/4 at bin 1, times 2/N.
    expectOnly(analyse(analyser), {{0, 1.0}, {1, 0.5}});
}

TEST(FrequencyAnalyser, FullScaleSineOnABinGivesHalfThere)
{
    FrequencyAnalyser analyser;
    for (int k : {2, 37, 128, 254}) {
        for (double phase : {0.0, 1.0}) {
            for (int n = 0; n < N; ++n)
                analyser.input()[n] = static_cast<float>(std::sin(2.0 * std::numbers::pi * k * n / N + phase));
            SCOPED_TRACE(testing::Message() << "bin " << k << " phase " << phase);
            expectOnly(analyse(analyser), {{k - 1, 0.25}, {k, 0.5}, {k + 1, 0.25}});
        }
    }
}

TEST(FrequencyAnalyser, SilenceGivesZeros)
{
    FrequencyAnalyser analyser;
    std::fill_n(analyser.input(), N, 0.0f);
    expectOnly(analyse(analyser), {});
}

TEST(FrequencyAnalyser, StereoFramesAreAveragedToMono)
{
    FrequencyAnalyser analyser;
    std::array<std::int16_t, 2 * N> frames{};
    // Opposite channels cancel; one channel alone counts half.
    for (int n = 0; n < N; ++n) {
        const auto sample =
            static_cast<std::int16_t>(std::lround(32767.0 * std::sin(2.0 * std::numbers::pi * 40 * n / N)));
        frames[2 * n] = sample;
        frames[2 * n + 1] = static_cast<std::int16_t>(-sample);
    }
    expectOnly(analyse(analyser, frames.data()), {});

    for (int n = 0; n < N; ++n)
        frames[2 * n + 1] = 0;
    const double half = 0.5 * 32767.0 / 32768.0;
    expectOnly(analyse(analyser, frames.data()), {{39, half * 0.25}, {40, half * 0.5}, {41, half * 0.25}});

    // Full negative scale in both channels is exactly -1.
    frames.fill(-32768);
    expectOnly(analyse(analyser, frames.data()), {{0, 1.0}, {1, 0.5}});
}

// Tests of the synthesiser's building blocks: oscillators stay in range and
// on pitch, the filter passes and stops what it should, and the send effects
// decay instead of ringing on or blowing up.
#include <gtest/gtest.h>

#include <cmath>

#include "music/Effects.h"
#include "music/Synth.h"

using namespace makedata;

namespace {

double rms(const Clip& c, size_t from, size_t to)
{
    double e = 0;
    for (size_t i = from; i < to && i < c.size(); ++i)
        e += static_cast<double>(c[i]) * c[i];
    return to > from ? std::sqrt(e / static_cast<double>(to - from)) : 0.0;
}

// Upward zero crossings per second.
double pitch(const Clip& c)
{
    int crossings = 0;
    for (size_t i = 1; i < c.size(); ++i)
        crossings += (c[i - 1] < 0 && c[i] >= 0) ? 1 : 0;
    return crossings * static_cast<double>(sampleRate) / static_cast<double>(c.size());
}

Clip tone(double hz, size_t n)
{
    Clip c(n);
    for (size_t i = 0; i < n; ++i)
        c[i] = static_cast<float>(std::sin(6.283185307 * hz * static_cast<double>(i) / sampleRate));
    return c;
}

} // namespace

TEST(MakeDataSynth, OscillatorsStayInRangeAndOnPitch)
{
    Saw saw;
    Pulse pulse;
    Clip s(sampleRate), p(sampleRate);
    for (size_t i = 0; i < s.size(); ++i) {
        s[i] = saw.next(440.0);
        p[i] = pulse.next(440.0);
    }
    for (const Clip* c : {&s, &p}) {
        for (float v : *c)
            ASSERT_LE(std::fabs(v), 1.2f);
        EXPECT_NEAR(pitch(*c), 440.0, 2.0);
    }
    EXPECT_NEAR(midiToHz(69), 440.0, 1e-9);
    EXPECT_NEAR(midiToHz(57), 220.0, 1e-9);
}

TEST(MakeDataSynth, LowPassKeepsTheLowAndStopsTheHigh)
{
    auto through = [](const Clip& in) {
        Svf f;
        f.set(500.0f, 0.7f);
        Clip out(in.size());
        for (size_t i = 0; i < in.size(); ++i) {
            f.process(in[i]);
            out[i] = f.low();
        }
        return out;
    };
    const size_t n = sampleRate / 2;
    const double low = rms(through(tone(100.0, n)), n / 2, n) / rms(tone(100.0, n), n / 2, n);
    const double high = rms(through(tone(8000.0, n)), n / 2, n) / rms(tone(8000.0, n), n / 2, n);
    EXPECT_GT(low, 0.9);
    EXPECT_LT(high, 0.01);
}

TEST(MakeDataSynth, ReverbAndEchoDieAway)
{
    const size_t n = 6 * sampleRate;
    StereoClip send{Clip(n, 0.0f), Clip(n, 0.0f)};
    for (size_t i = 0; i < 2000; ++i)
        send.left[i] = send.right[i] = (i % 2 == 0) ? 0.8f : -0.8f;
    const StereoClip room = reverb(send, 0.82f, 0.35f);
    EXPECT_GT(rms(room.left, sampleRate / 10, sampleRate / 2), 1e-3);
    EXPECT_LT(rms(room.left, 5 * sampleRate, n), 1e-4);

    const StereoClip echo = pingPong(send, 0.3, 0.42f);
    // The first repeat is on the left, the next one on the right.
    const auto d = static_cast<size_t>(0.3 * sampleRate);
    EXPECT_GT(rms(echo.left, d, d + 2000), 10.0 * rms(echo.right, d, d + 2000));
    EXPECT_GT(rms(echo.right, 2 * d, 2 * d + 2000), 10.0 * rms(echo.left, 2 * d, 2 * d + 2000));
    EXPECT_LT(rms(echo.left, 5 * sampleRate, n), 1e-4);
}

TEST(MakeDataSynth, VoicesStartSilentAndStayBounded)
{
    const Clip voices[] = {kickDrum(),
                           snareDrum(1),
                           handClap(2),
                           hiHat(3, true),
                           crashCymbal(4),
                           bassNote(110.0, 0.3),
                           pluckNote(440.0, 0.1, 0.8),
                           leadNote(660.0, 0.4),
                           bellNote(880.0)};
    for (const Clip& c : voices) {
        ASSERT_GT(c.size(), 100u);
        EXPECT_LT(std::fabs(c.front()), 0.05f);
        for (float v : c) {
            ASSERT_TRUE(std::isfinite(v));
            ASSERT_LT(std::fabs(v), 2.0f);
        }
    }
}

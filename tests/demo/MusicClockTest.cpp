// The frame time: the frame timer alone without music, the music heard while it
// plays, eased over small differences, taken at once over large ones, never back.
#include "demo/MusicClock.h"

#include <gtest/gtest.h>

namespace {

constexpr double frame = 1.0 / 60;

} // namespace

TEST(MusicClock, WithoutMusicTheTimerReadsUnchanged)
{
    MusicClock clock;
    for (float timer : {0.0f, 0.013f, 0.5f, 12.25f, 98.95f})
        EXPECT_EQ(clock.frameTime(timer, std::nullopt), timer);
    EXPECT_FALSE(clock.locked());
}

TEST(MusicClock, HoldsAtZeroUntilTheFirstSoundThenFollowsIt)
{
    MusicClock clock;
    EXPECT_EQ(clock.frameTime(0.01f, -0.02), 0.0f);
    EXPECT_EQ(clock.frameTime(0.02f, -0.004), 0.0f);
    EXPECT_NEAR(clock.frameTime(0.03f, 0.006), 0.006, 1e-6);
    EXPECT_TRUE(clock.locked());
    // Locked: each frame is the music heard, give or take the easing.
    double heard = 0.006;
    for (int i = 1; i <= 60; ++i) {
        heard += frame;
        EXPECT_NEAR(clock.frameTime(static_cast<float>(0.03 + i * frame), heard), heard, 1e-5);
    }
}

TEST(MusicClock, EasesSmallDifferencesAndNeverRunsBack)
{
    MusicClock clock;
    clock.frameTime(0.0f, 0.001);
    // The music heard runs 10 ms behind the timer's steps from here on: the
    // difference is taken out a share per frame, not at once.
    double last = clock.frameTime(static_cast<float>(frame), 0.001 + frame);
    double heard = 0.001 + frame - 0.010;
    const float eased = clock.frameTime(static_cast<float>(2 * frame), heard + frame);
    EXPECT_GT(eased, heard + frame + 0.005);
    EXPECT_GT(eased, last);
    last = eased;
    for (int i = 3; i < 120; ++i) {
        const float t = clock.frameTime(static_cast<float>(i * frame), heard + (i - 1) * frame);
        EXPECT_GE(t, last);
        last = t;
    }
    EXPECT_NEAR(last, heard + 118 * frame, 0.001);
}

TEST(MusicClock, RelocksAtOnceAfterAStall)
{
    MusicClock clock;
    float t = 0;
    for (int i = 0; i < 30; ++i)
        t = clock.frameTime(static_cast<float>(i * frame), 0.01 + i * frame);
    // The process stood still for 250 ms; the music stood still with it, so
    // the timer is now 250 ms ahead of what is heard. The picture must show
    // the music, not the timer, and must not go back.
    const double heard = 0.01 + 30 * frame;
    const float after = clock.frameTime(static_cast<float>(30 * frame + 0.25), heard);
    EXPECT_GE(after, t);
    EXPECT_NEAR(after, heard, 1e-5);
    // The music went on while the picture stood still: taken at once.
    const float jumped = clock.frameTime(static_cast<float>(31 * frame + 0.25), heard + 0.2);
    EXPECT_NEAR(jumped, heard + 0.2, 1e-5);
    // The music reported behind the picture: the picture waits.
    EXPECT_EQ(clock.frameTime(static_cast<float>(32 * frame + 0.25), heard + 0.1), jumped);
}

TEST(MusicClock, MusicThatStopsForGoodHandsBackToTheTimer)
{
    MusicClock clock;
    float t = 0;
    for (int i = 0; i < 10; ++i)
        t = clock.frameTime(static_cast<float>(i * frame), 0.02 + i * frame);
    // The device went: the position stands still for longer than any stall.
    const double stuck = 0.02 + 9 * frame;
    float last = t;
    for (int i = 10; i < 200; ++i) {
        last = clock.frameTime(static_cast<float>(i * frame), stuck);
        ASSERT_GE(last, t);
        t = last;
    }
    EXPECT_GT(last, stuck + 1.0);
    // And music that never starts is given up for the timer.
    MusicClock silent;
    EXPECT_EQ(silent.frameTime(0.5f, -0.01), 0.0f);
    EXPECT_EQ(silent.frameTime(1.5f, -0.01), 1.5f);
}

// The frame time: the frame timer alone without music, the music heard while it
// plays, eased over small differences, taken at once over large ones, never back;
// held while the sound holds, however long, and run on by the timer only once
// no position is reported.
#include "demo/MusicClock.h"

#include <functional>
#include <gtest/gtest.h>

namespace {

constexpr double frame = 1.0 / 60;

} // namespace

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

// Whole runs at 60 frames a second against the music heard as a function of
// the timer. Each case says where the picture must be at a few moments and
// the longest it may stand still: no longer than the sound itself does.
TEST(MusicClock, FollowsLateStartsLongStallsAndLostDevices)
{
    using Heard = std::function<std::optional<double>(double)>;
    struct Check {
        double timer;
        double t;
    };
    struct Case {
        const char* what;
        Heard heard;
        std::vector<Check> checks;
        double longestHold;
    };
    const Case cases[] = {
        {"no music: the timer as it reads", [](double) { return std::nullopt; }, {{0.5, 0.5}, {30, 30}}, frame},
        {"first sound 1.5 s late",
         [](double s) { return std::optional<double>(s - 1.5); },
         {{1.4, 0}, {3, 1.5}, {60, 58.5}},
         1.5 + frame},
        {"sound stalled for 5 s",
         [](double s) {
             return std::optional<double>(s < 10 ? s : s < 15 ? 10 : s - 5);
         },
         {{12, 10}, {14.9, 10}, {20, 15}},
         5 + frame},
        {"device gone at 10 s, back at 13 s, heard 0.3 s later",
         [](double s) -> std::optional<double> {
             if (s < 10)
                 return s;
             if (s < 13)
                 return std::nullopt;
             return s - 0.3;
         },
         {{12, 12}, {13.2, 13}, {20, 19.7}},
         0.3 + frame},
        {"track over at 20 s",
         [](double s) -> std::optional<double> {
             if (s < 20)
                 return s;
             return std::nullopt;
         },
         {{25, 25}},
         frame},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MusicClock clock;
        double last = 0;
        double heldSince = 0;
        double longestHold = 0;
        std::size_t next = 0;
        for (int i = 0; i <= 60 * 60; ++i) {
            const double timer = i * frame;
            const double t = clock.frameTime(static_cast<float>(timer), c.heard(timer));
            ASSERT_GE(t, last) << "runs back at " << timer;
            if (t > last)
                heldSince = timer;
            longestHold = std::max(longestHold, timer - heldSince);
            last = t;
            if (next < c.checks.size() && timer + frame / 2 >= c.checks[next].timer) {
                EXPECT_NEAR(t, c.checks[next].t, 0.02) << "at " << timer;
                ++next;
            }
        }
        EXPECT_EQ(next, c.checks.size());
        EXPECT_LE(longestHold, c.longestHold + 1e-3);
    }
}

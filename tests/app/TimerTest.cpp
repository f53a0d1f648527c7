// The frame timer: elapsed time counts from the last start, never runs
// backwards, and agrees with an independent clock.
#include "app/Timer.h"

#include <chrono>
#include <gtest/gtest.h>
#include <thread>

TEST(Timer, ElapsedStartsNearZeroAndNeverDecreases)
{
    Timer timer;
    float first = timer.elapsed();
    EXPECT_GE(first, -1e-6f);
    EXPECT_LT(first, 0.05f);
    float previous = first;
    for (int i = 0; i < 10000; ++i) {
        float next = timer.elapsed();
        ASSERT_GE(next, previous);
        previous = next;
    }
}

TEST(Timer, StartRestartsTheCount)
{
    Timer timer;
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
    EXPECT_GE(timer.elapsed(), 0.119f);
    timer.start();
    float restarted = timer.elapsed();
    EXPECT_GE(restarted, -1e-6f);
    EXPECT_LT(restarted, 0.05f);
}

TEST(Timer, DeltaMeasuresSinceLastElapsedWithoutChangingIt)
{
    Timer timer;
    float e = timer.elapsed();
    double d = timer.delta();
    EXPECT_GE(d, -1e-6);
    EXPECT_LT(d, 0.05);
    EXPECT_EQ(timer.lastElapsedValue(), e);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_GE(timer.delta(), 0.049);
    EXPECT_EQ(timer.lastElapsedValue(), e);
}

TEST(Timer, AgreesWithTheSteadyClock)
{
    // Each reading of the timer is bracketed by steady-clock readings, so the
    // elapsed time must fall between the shortest and the longest span those
    // brackets allow, however long the machine keeps the test waiting.
    using Clock = std::chrono::steady_clock;
    auto seconds = [](Clock::duration d) { return std::chrono::duration<double>(d).count(); };
    Timer timer;
    const auto beforeStart = Clock::now();
    timer.start();
    const auto afterStart = Clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto beforeRead = Clock::now();
    const float t = timer.elapsed();
    const auto afterRead = Clock::now();
    // Single-precision rounding of the result and of the start reading.
    constexpr double rounding = 1e-5;
    EXPECT_GE(static_cast<double>(t), seconds(beforeRead - afterStart) - rounding);
    EXPECT_LE(static_cast<double>(t), seconds(afterRead - beforeStart) + rounding);
}

TEST(Timer, StartReadingKeepsSubMillisecondPrecision)
{
    // The start reading is stored in single precision; it must stay fine
    // enough that the timeline does not drift against the music.
    Timer timer;
    double before = timer.now();
    timer.start();
    EXPECT_NEAR(static_cast<double>(timer.startReading()), before, 1e-4);
}

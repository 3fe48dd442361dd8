// The frame timer on a manual clock: frame times and the frame-rate window, for both clocks.
#include "renderer/Timer.h"

#include "PlatformTesting/ManualClock.h"

#include <gtest/gtest.h>

using NVesk::NRenderer::Timer;
using PlatformTesting::ManualClock;

TEST(TimerPerformanceCounter, FirstTickMeasuresNothingAndCountsOneFrame) {
    ManualClock clock;
    clock.SetCounter(123456789);
    Timer timer;
    ASSERT_TRUE(timer.hasPerformanceCounter);
    EXPECT_EQ(timer.frequency, PlatformTesting::PerformanceFrequency());
    timer.Tick();
    EXPECT_EQ(timer.frameTime, 0.0);
    EXPECT_EQ(timer.frameCount, 1);
    EXPECT_EQ(timer.fps, 0);
    EXPECT_EQ(timer.lastCount, 123456789);
}

TEST(TimerPerformanceCounter, SteadyTenMillisecondFramesGive101ThenOneHundred) {
    ManualClock clock;
    Timer timer;
    timer.Tick();
    for (int frame = 1; frame <= 100; ++frame) {
        clock.AdvanceMilliseconds(10);
        timer.Tick();
        EXPECT_DOUBLE_EQ(timer.frameTime, 0.01);
        if (frame < 100) {
            EXPECT_EQ(timer.fps, 0);
        }
    }
    EXPECT_EQ(timer.fps, 101);  // the first window also holds the near-zero first tick
    EXPECT_EQ(timer.frameCount, 0);
    EXPECT_EQ(timer.accumulated, 0);
    for (int frame = 1; frame <= 100; ++frame) {
        clock.AdvanceMilliseconds(10);
        timer.Tick();
    }
    EXPECT_EQ(timer.fps, 100);
}

TEST(TimerPerformanceCounter, LongFramesDivideByWholeSeconds) {
    ManualClock clock;
    Timer timer;
    timer.Tick();
    clock.AdvanceMilliseconds(2400);
    timer.Tick();
    EXPECT_DOUBLE_EQ(timer.frameTime, 2.4);
    EXPECT_EQ(timer.fps, 1);  // two frames (with the first tick) over 2 whole seconds

    clock.AdvanceMilliseconds(2400);
    timer.Tick();
    EXPECT_EQ(timer.fps, 0);  // one frame over 2 seconds

    clock.AdvanceMilliseconds(1500);
    timer.Tick();
    EXPECT_EQ(timer.fps, 1);
}

TEST(TimerPerformanceCounter, BackToBackTicksMeasureOnlyTheGap) {
    ManualClock clock;
    Timer timer;
    timer.Tick();
    clock.AdvanceMilliseconds(16);
    timer.Tick();
    timer.Tick();
    EXPECT_EQ(timer.frameTime, 0.0);
    EXPECT_EQ(timer.frameCount, 3);
}

TEST(TimerTickCount, WithoutACounterTheTickCountIsUsed) {
    ManualClock clock;
    clock.SetPerformanceCounterAvailable(false);
    clock.SetTickCount(5000);
    Timer timer;
    ASSERT_FALSE(timer.hasPerformanceCounter);
    timer.Tick();
    EXPECT_EQ(timer.frameTime, 0.0);
    for (int frame = 0; frame < 100; ++frame) {
        clock.AdvanceMilliseconds(10);
        timer.Tick();
        EXPECT_DOUBLE_EQ(timer.frameTime, 0.010);
    }
    EXPECT_EQ(timer.fps, 101);
    clock.AdvanceMilliseconds(16.7);  // millisecond resolution
    timer.Tick();
    EXPECT_DOUBLE_EQ(timer.frameTime, 0.016);
}

TEST(TimerTickCount, WrappingTickCountGivesANegativeFrame) {
    ManualClock clock;
    clock.SetPerformanceCounterAvailable(false);
    clock.SetTickCount(0xFFFFFFFFu - 5);
    Timer timer;
    timer.Tick();
    clock.AdvanceMilliseconds(10);  // wraps to 4
    timer.Tick();
    EXPECT_EQ(timer.delta, 4 - static_cast<std::int64_t>(0xFFFFFFFFu - 5));
    EXPECT_NEAR(timer.frameTime, -4294967.28, 0.01);
    EXPECT_EQ(timer.frameCount, 2);
    EXPECT_LT(timer.accumulated, -4000000000LL);
    for (int frame = 0; frame < 200; ++frame) {
        clock.AdvanceMilliseconds(10);
        timer.Tick();
    }
    EXPECT_EQ(timer.fps, 0);  // no update until the lost time is made up
}

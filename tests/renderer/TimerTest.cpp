// The frame timer on the real clock (both builds).
#include "renderer/Timer.h"

#include <windows.h>

#include <gtest/gtest.h>

TEST(TimerRealClock, MeasuresASleepBetweenTicks) {
    NVesk::NRenderer::Timer timer;
    EXPECT_TRUE(timer.hasPerformanceCounter);
    timer.Tick();
    EXPECT_LT(timer.frameTime, 0.01);
    EXPECT_EQ(timer.frameCount, 1);
    Sleep(50);
    timer.Tick();
    EXPECT_GE(timer.frameTime, 0.04);
    EXPECT_LT(timer.frameTime, 2.0);
    EXPECT_EQ(timer.fps, 0);
}

// Local time, the performance counter, the tick count and Sleep on the real clock.
#include <windows.h>

#include <gtest/gtest.h>

#include <ctime>

TEST(Kernel32Clock, SleepAdvancesBothClocks) {
    LARGE_INTEGER frequency;
    ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
    ASSERT_GT(frequency.QuadPart, 0);
    LARGE_INTEGER before;
    LARGE_INTEGER after;
    ASSERT_TRUE(QueryPerformanceCounter(&before));
    const DWORD ticksBefore = GetTickCount();
    Sleep(60);
    ASSERT_TRUE(QueryPerformanceCounter(&after));
    const DWORD ticksAfter = GetTickCount();
    const double seconds =
        static_cast<double>(after.QuadPart - before.QuadPart) / static_cast<double>(frequency.QuadPart);
    EXPECT_GE(seconds, 0.045);
    EXPECT_LT(seconds, 5.0);
    EXPECT_GE(ticksAfter - ticksBefore, 40u);
    EXPECT_LT(ticksAfter - ticksBefore, 5000u);
}

TEST(Kernel32Clock, LocalTimeMatchesTheCalendar) {
    const std::time_t now = std::time(nullptr);
    const std::tm* calendar = std::localtime(&now);
    SYSTEMTIME local;
    GetLocalTime(&local);
    EXPECT_EQ(local.wYear, calendar->tm_year + 1900);
    EXPECT_GE(local.wMonth, 1);
    EXPECT_LE(local.wMonth, 12);
    EXPECT_GE(local.wDay, 1);
    EXPECT_LE(local.wDay, 31);
    EXPECT_LE(local.wHour, 23);
    EXPECT_LE(local.wMinute, 59);
    EXPECT_LE(local.wMilliseconds, 999);
    EXPECT_EQ(local.wDayOfWeek, calendar->tm_wday);
}

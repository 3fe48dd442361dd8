// Where QueryPerformanceCounter and GetTickCount read their time: the system's
// monotonic clock, or a manual clock that the test hooks drive.
#pragma once

#include <windows.h>

#include <mutex>

namespace nvesk::kernel32 {

struct ManualClockState {
    bool active = false;
    bool hasPerformanceCounter = true;
    LONGLONG counter = 0;
    DWORD tickCount = 0;
};

// Performance-counter units per second, on the system clock and on the manual clock.
constexpr LONGLONG kPerformanceFrequency = 1000000000;

std::mutex& ManualClockMutex();
ManualClockState& ManualClock();

}  // namespace nvesk::kernel32

// Test hook: replaces the performance counter and the tick count with a clock that
// moves only when a test advances it.
#pragma once

#include <windows.h>

namespace PlatformTesting {

// Performance-counter units per second reported by QueryPerformanceFrequency.
LONGLONG PerformanceFrequency();

class ManualClock {
public:
    // Starts at counter 0 and tick count 0, with a performance counter.
    ManualClock();
    ~ManualClock();
    ManualClock(const ManualClock&) = delete;
    ManualClock& operator=(const ManualClock&) = delete;

    // false: QueryPerformanceFrequency fails and reports frequency 0, as on a machine without a counter.
    void SetPerformanceCounterAvailable(bool available);
    void SetCounter(LONGLONG counter);
    void SetTickCount(DWORD tickCount);
    // Moves both clocks forward by the same time.
    void AdvanceMilliseconds(double milliseconds);
};

}  // namespace PlatformTesting

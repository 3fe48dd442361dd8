#include "PlatformTesting/ManualClock.h"

#include "../kernel32/ClockSource.h"

namespace PlatformTesting {

using nvesk::kernel32::ManualClockMutex;
using nvesk::kernel32::ManualClockState;

LONGLONG PerformanceFrequency() {
    return nvesk::kernel32::kPerformanceFrequency;
}

ManualClock::ManualClock() {
    const std::lock_guard<std::mutex> lock(ManualClockMutex());
    nvesk::kernel32::ManualClock() = ManualClockState {};
    nvesk::kernel32::ManualClock().active = true;
}

ManualClock::~ManualClock() {
    const std::lock_guard<std::mutex> lock(ManualClockMutex());
    nvesk::kernel32::ManualClock() = ManualClockState {};
}

void ManualClock::SetPerformanceCounterAvailable(bool available) {
    const std::lock_guard<std::mutex> lock(ManualClockMutex());
    nvesk::kernel32::ManualClock().hasPerformanceCounter = available;
}

void ManualClock::SetCounter(LONGLONG counter) {
    const std::lock_guard<std::mutex> lock(ManualClockMutex());
    nvesk::kernel32::ManualClock().counter = counter;
}

void ManualClock::SetTickCount(DWORD tickCount) {
    const std::lock_guard<std::mutex> lock(ManualClockMutex());
    nvesk::kernel32::ManualClock().tickCount = tickCount;
}

void ManualClock::AdvanceMilliseconds(double milliseconds) {
    const std::lock_guard<std::mutex> lock(ManualClockMutex());
    ManualClockState& state = nvesk::kernel32::ManualClock();
    state.counter += static_cast<LONGLONG>(milliseconds * (nvesk::kernel32::kPerformanceFrequency / 1000));
    state.tickCount += static_cast<DWORD>(static_cast<LONGLONG>(milliseconds));  // wraps like the real tick count
}

}  // namespace PlatformTesting

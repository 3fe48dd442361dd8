// Local time, the performance counter, the tick count and Sleep.
#include <windows.h>

#include "ClockSource.h"

#include <cerrno>
#include <ctime>

namespace nvesk::kernel32 {

std::mutex& ManualClockMutex() {
    static std::mutex mutex;
    return mutex;
}

ManualClockState& ManualClock() {
    static ManualClockState state;
    return state;
}

namespace {

LONGLONG MonotonicNanoseconds() {
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<LONGLONG>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

}  // namespace

}  // namespace nvesk::kernel32

using namespace nvesk::kernel32;

extern "C" void WINAPI GetLocalTime(LPSYSTEMTIME lpSystemTime) {
    timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local {};
    localtime_r(&now.tv_sec, &local);
    lpSystemTime->wYear = static_cast<WORD>(local.tm_year + 1900);
    lpSystemTime->wMonth = static_cast<WORD>(local.tm_mon + 1);
    lpSystemTime->wDayOfWeek = static_cast<WORD>(local.tm_wday);
    lpSystemTime->wDay = static_cast<WORD>(local.tm_mday);
    lpSystemTime->wHour = static_cast<WORD>(local.tm_hour);
    lpSystemTime->wMinute = static_cast<WORD>(local.tm_min);
    lpSystemTime->wSecond = static_cast<WORD>(local.tm_sec > 59 ? 59 : local.tm_sec);
    lpSystemTime->wMilliseconds = static_cast<WORD>(now.tv_nsec / 1000000);
}

extern "C" BOOL WINAPI QueryPerformanceFrequency(LARGE_INTEGER* lpFrequency) {
    {
        const std::lock_guard<std::mutex> lock(ManualClockMutex());
        const ManualClockState& manual = ManualClock();
        if (manual.active && !manual.hasPerformanceCounter) {
            lpFrequency->QuadPart = 0;
            return FALSE;
        }
    }
    lpFrequency->QuadPart = kPerformanceFrequency;
    return TRUE;
}

extern "C" BOOL WINAPI QueryPerformanceCounter(LARGE_INTEGER* lpPerformanceCount) {
    {
        const std::lock_guard<std::mutex> lock(ManualClockMutex());
        const ManualClockState& manual = ManualClock();
        if (manual.active) {
            lpPerformanceCount->QuadPart = manual.counter;
            return TRUE;
        }
    }
    lpPerformanceCount->QuadPart = MonotonicNanoseconds();
    return TRUE;
}

extern "C" DWORD WINAPI GetTickCount(void) {
    {
        const std::lock_guard<std::mutex> lock(ManualClockMutex());
        const ManualClockState& manual = ManualClock();
        if (manual.active) return manual.tickCount;
    }
    return static_cast<DWORD>(MonotonicNanoseconds() / 1000000);
}

extern "C" void WINAPI Sleep(DWORD dwMilliseconds) {
    timespec remaining {static_cast<time_t>(dwMilliseconds / 1000), static_cast<long>(dwMilliseconds % 1000) * 1000000};
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {}
}

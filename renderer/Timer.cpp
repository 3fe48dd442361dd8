#include "renderer/Timer.h"

#include <windows.h>

namespace NVesk {
namespace NRenderer {

Timer FrameTimer;

Timer::Timer()
    : lastCount(0),
      accumulated(0),
      delta(0),
      frequency(0),
      hasPerformanceCounter(false),
      frameTime(0.0),
      frameCount(0),
      fps(0),
      m_counterStarted(false),
      m_tickCountStarted(false) {
    LARGE_INTEGER counterFrequency;
    counterFrequency.QuadPart = 0;
    hasPerformanceCounter = QueryPerformanceFrequency(&counterFrequency) != 0;
    frequency = counterFrequency.QuadPart;
}

void Timer::Tick() {
    if (hasPerformanceCounter)
        TickPerformanceCounter();
    else
        TickMilliseconds();
}

void Timer::TickPerformanceCounter() {
    LARGE_INTEGER reading;
    if (!m_counterStarted) {
        QueryPerformanceCounter(&reading);
        lastCount = reading.QuadPart;
        m_counterStarted = true;
    }
    QueryPerformanceCounter(&reading);
    const std::int64_t now = reading.QuadPart;
    delta = now - lastCount;
    frameTime = static_cast<double>(delta) / static_cast<double>(frequency);
    accumulated += delta;
    frameCount += 1;
    lastCount = now;
    if (accumulated >= frequency) {
        const std::int64_t seconds = accumulated / frequency;
        fps = static_cast<std::int32_t>(frameCount / seconds);
        accumulated = 0;
        frameCount = 0;
    }
}

void Timer::TickMilliseconds() {
    if (!m_tickCountStarted) {
        lastCount = static_cast<std::int64_t>(static_cast<std::uint64_t>(GetTickCount()));
        m_tickCountStarted = true;
    }
    const auto now = static_cast<std::int64_t>(static_cast<std::uint64_t>(GetTickCount()));
    delta = now - lastCount;
    frameTime = static_cast<double>(delta) / 1000.0;
    accumulated += delta;
    frameCount += 1;
    lastCount = now;
    if (accumulated >= 1000) {
        const std::int64_t seconds = accumulated / 1000;
        fps = static_cast<std::int32_t>(frameCount / seconds);
        accumulated = 0;
        frameCount = 0;
    }
}

}  // namespace NRenderer
}  // namespace NVesk

// The frame clock: the duration of the last frame in seconds and the frames per second.
#pragma once

#include <cstdint>

namespace NVesk {
namespace NRenderer {

struct Timer {
    // Reads the performance-counter frequency; falls back to the millisecond tick count without one.
    Timer();

    // Advances the clock by one frame.
    void Tick();

    std::int64_t lastCount;    // clock reading at the previous tick
    std::int64_t accumulated;  // clock units since the last frame-rate update
    std::int64_t delta;        // clock units of the last frame
    std::int64_t frequency;    // performance-counter units per second
    bool hasPerformanceCounter;
    double frameTime;         // seconds
    std::int32_t frameCount;  // frames since the last frame-rate update
    std::int32_t fps;         // 0 until the first update

private:
    void TickPerformanceCounter();
    void TickMilliseconds();

    // Whether each clock has been read before. There is one Timer in the process, so these are the
    // process's flags: the first tick of a variant measures only two back-to-back readings.
    bool m_counterStarted;
    bool m_tickCountStarted;
};

// The process's frame timer, constructed before the program's entry runs.
extern Timer FrameTimer;

}  // namespace NRenderer
}  // namespace NVesk

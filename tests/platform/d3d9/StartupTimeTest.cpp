// The debug output's start-up line: written by the first Present of the process, once, with the
// time since the process started, which the benchmarks read back with the moment on the monotonic
// clock. A scenario runs it in a process
// whose first frame it is.
#include "Direct3DTestSupport.h"
#include "support/Scenario.h"

#include <PlatformTesting/Diagnostics.h>

#include <gtest/gtest.h>

#include <time.h>
#include <cmath>
#include <cstdio>
#include <string>

namespace {

constexpr char kLine[] = "start-up: first frame presented ";

double SecondsOn(clockid_t clock) {
    timespec now {};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + now.tv_nsec / 1e9;
}
double MonotonicSeconds() {
    return SecondsOn(CLOCK_MONOTONIC);
}
double ProcessorSeconds() {
    return SecondsOn(CLOCK_PROCESS_CPUTIME_ID);
}

NVESK_SCENARIO(first_present_notes_the_startup) {
    D3D9Test::Window window;
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
    if (!D3D9Test::CreateWindowedDevice(window.Handle(), &d3d, &device)) return 2;
    // Nothing is kept before the first frame.
    if (PlatformTesting::FirstFramePresentedSeconds() >= 0.0) return 6;
    if (PlatformTesting::FirstFramePresentedMonotonic() >= 0.0) return 8;
    if (PlatformTesting::FirstFramePresentedProcessorSeconds() >= 0.0) return 10;
    const double processorBefore = ProcessorSeconds();
    const double beforeFirst = PlatformTesting::SecondsSinceProcessStart() * 1000.0;
    const double monotonicBefore = MonotonicSeconds();
    std::string text;
    {
        const PlatformTesting::DebugOutputCapture capture;
        for (int frame = 0; frame < std::stoi(argument); ++frame)
            device->Present(nullptr, nullptr, nullptr, nullptr);
        text = capture.Text();
    }
    const double now = PlatformTesting::SecondsSinceProcessStart() * 1000.0;
    const double monotonicNow = MonotonicSeconds();
    const double processorNow = ProcessorSeconds();
    device->Release();
    d3d->Release();
    const std::size_t at = text.find(kLine);
    if (at == std::string::npos || text.find(kLine, at + 1) != std::string::npos) return 3;
    double milliseconds = -1.0;
    char unit[8] = {};
    if (std::sscanf(text.c_str() + at + sizeof kLine - 1, "%lf %7s", &milliseconds, unit) != 2) return 4;
    // The process had run for a while before its first frame, and not longer than until now.
    if (std::string(unit) != "ms" || milliseconds <= 0.0 || milliseconds > now + 1.0) return 5;
    // What the benchmarks read is the time the line reports, taken during the first Present.
    const double kept = PlatformTesting::FirstFramePresentedSeconds() * 1000.0;
    if (kept < beforeFirst || kept > now || std::abs(kept - milliseconds) > 0.5) return 7;
    // The same moment on the clock every process shares, for a parent that started this one.
    const double monotonic = PlatformTesting::FirstFramePresentedMonotonic();
    if (monotonic < monotonicBefore || monotonic > monotonicNow) return 9;
    // And the processor time the process had spent by then.
    const double processor = PlatformTesting::FirstFramePresentedProcessorSeconds();
    return processor >= processorBefore && processor <= processorNow ? 0 : 11;
}

}  // namespace

TEST(StartupTime, FirstPresentOfTheProcessWritesTheTimeSinceItStartedOnce) {
    EXPECT_EQ(TestSupport::RunScenario("first_present_notes_the_startup", "3"), 0);
}

// Why calls were refused, and the debug output that NVESK_PLATFORM_DEBUG=1 turns on, as the
// Windows debug runtime names the rule a call broke.
#pragma once

#include <windows.h>

#include <string>

namespace nvesk::com {

// Records "<operation>: <rule>" as the last refusal, the operation being the innermost call entered
// on this thread, writes it as a debug line, and returns `code`.
HRESULT Refuse(HRESULT code, const char* format, ...) __attribute__((format(printf, 2, 3)));
// A Direct3D or D3DX call refused as invalid: D3DERR_INVALIDCALL with the rule recorded.
HRESULT Reject(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The last refusal on any thread; empty when none since the last clear.
std::string LastRefusal();
void ClearLastRefusal();

// True when the environment sets NVESK_PLATFORM_DEBUG=1.
bool DebugOutputEnabled();
// One line of debug output: to standard error when enabled, and to the capture while one runs.
void WriteDebugLine(const std::string& line);
// While on, debug lines are also kept (enabled or not); turning it on starts an empty capture.
void CaptureDebugOutput(bool on);
std::string CapturedDebugOutput();

// Seconds since this process started, by the kernel's record of its start.
double SecondsSinceProcessStart();
// Called once a frame is on its way to the window (after the swap). The first call of the process
// writes how long the process took to present that frame, and keeps it.
void NoteFramePresented();
// The time the first call of NoteFramePresented kept; negative before it.
double FirstFramePresentedSeconds();
// The same moment on CLOCK_MONOTONIC, in seconds, which every process shares: a parent that noted
// the clock when it started this process measures the start-up to the clock's resolution, not to
// the kernel's start-time ticks (10 ms). Negative before it.
double FirstFramePresentedMonotonic();
// The processor time of the whole process (every thread) at that moment, in seconds; negative
// before it. On a busy machine the steadier figure of the two.
double FirstFramePresentedProcessorSeconds();

}  // namespace nvesk::com

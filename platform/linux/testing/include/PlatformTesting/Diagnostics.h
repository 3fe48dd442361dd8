// Test hooks for what the Direct3D 9, D3DX 9 and DirectInput 8 layers tell a developer: the rule
// behind the last refused call, the debug output that NVESK_PLATFORM_DEBUG=1 prints, and the
// objects still alive.
#pragma once

#include <string>

namespace PlatformTesting {

// "Interface::Method: rule" of the last call refused as invalid ("IDirect3DTexture9::LockRect:
// level 1 of a 1-level texture"); empty when none was refused since the last clear.
std::string LastRefusal();
void ClearLastRefusal();

// Keeps the debug lines written while it lives (whether or not NVESK_PLATFORM_DEBUG is set).
class DebugOutputCapture {
public:
    DebugOutputCapture();
    ~DebugOutputCapture();
    DebugOutputCapture(const DebugOutputCapture&) = delete;
    DebugOutputCapture& operator=(const DebugOutputCapture&) = delete;

    std::string Text() const;
};

// One line per object still alive, oldest first, as listed at exit with NVESK_PLATFORM_DEBUG=1:
// "IDirect3DTexture9 created by IDirect3DDevice9::CreateTexture, 1 references".
std::string LiveObjectReport();

// Seconds since this process started, as the start-up line of the debug output counts them
// ("start-up: first frame presented N ms after the process started", once per process).
double SecondsSinceProcessStart();
// When the process's first frame was presented (its swap done), in the same seconds: what the
// start-up line reports. Negative before the first Present.
double FirstFramePresentedSeconds();
// The same moment on CLOCK_MONOTONIC in seconds (shared by every process); negative before it.
double FirstFramePresentedMonotonic();
// The process's processor time (every thread) at that moment, in seconds; negative before it.
double FirstFramePresentedProcessorSeconds();

}  // namespace PlatformTesting

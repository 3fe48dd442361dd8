// Work another part of the platform layer starts when a program first creates Direct3D: the
// effect layer builds its HLSL compiler's tables then, on a thread of its own, beside the
// program's window and device creation, instead of inside the program's first effect creation.
// Internal to the Linux platform layer.
#pragma once

#include <mutex>
#include <thread>

namespace nvesk::d3d9 {

using StartupWork = void (*)();

// Called during static initialisation by the part that owns the work; the last one registered
// runs. Returns true, so that it can initialise a constant.
bool RegisterStartupWork(StartupWork work);

// Starts the registered work once per process (Direct3DCreate9 calls it); the thread is joined
// when the process exits.
void StartStartupWork();

// Runs a piece of work once, on a thread of its own, and waits for it when destroyed.
class OnceOnAThread {
public:
    OnceOnAThread() = default;
    ~OnceOnAThread();
    OnceOnAThread(const OnceOnAThread&) = delete;
    OnceOnAThread& operator=(const OnceOnAThread&) = delete;

    // The first call with a work starts it; later calls do nothing. Without a thread to be had the
    // work is left undone (it is done at its first use, as without this start).
    void Start(StartupWork work);

private:
    std::once_flag once_;
    std::thread thread_;
};

}  // namespace nvesk::d3d9

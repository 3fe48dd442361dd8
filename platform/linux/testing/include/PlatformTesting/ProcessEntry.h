// For programs that call WinMain themselves (the benchmarks): what the process entry does before
// WinMain, so that they start as the program does. Today that is loading the OpenGL driver on a
// thread while the program reads its settings; the thread is waited for when this is destroyed.
#pragma once

#include <memory>

namespace PlatformTesting {

class ProcessEntryWork {
public:
    ProcessEntryWork();
    ~ProcessEntryWork();
    ProcessEntryWork(const ProcessEntryWork&) = delete;
    ProcessEntryWork& operator=(const ProcessEntryWork&) = delete;

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace PlatformTesting

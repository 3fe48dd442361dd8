// The demo's real entry run in this process over stand-in assets, with a manual clock and a
// script of input and checks that runs as each frame is presented.
#pragma once

#include "app/TestScreen.h"
#include "support/TempDir.h"

#include <PlatformTesting/ManualClock.h>
#include <PlatformTesting/MessageBoxes.h>

#include <windows.h>

#include <filesystem>
#include <functional>
#include <memory>

namespace DemoTest {

class DemoRun {
public:
    // A folder with config.cfg (width x height) and the stand-in assets, made the working directory:
    // `runFolder` when given (it outlives the run, and so does the log written there), else `folder`.
    DemoRun(std::uint32_t width, std::uint32_t height, const std::filesystem::path& runFolder = {});
    ~DemoRun();

    // Runs WinMain to its end. `atPresent(frame)` runs as frame 1, 2, ... is presented, after which
    // the clock moves on by 20 ms; a run that has not ended after `maxFrames` is closed.
    int Run(const std::function<void(int frame)>& atPresent, int maxFrames = 400);

    // The screen being run (null outside a run).
    static TestScreen* Screen();

    TestSupport::TempDir folder;
    PlatformTesting::ManualClock clock;
    PlatformTesting::MessageBoxRecorder boxes;
    int framesPresented = 0;

private:
    std::unique_ptr<TestSupport::WorkingDirectory> m_workingDirectory;
};

}  // namespace DemoTest

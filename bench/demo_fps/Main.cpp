// Frame rate of the real demo per scene, run in this process from its entry under Xvfb with
// injected keys, and the time from process start to the first presented frame.
//   xvfb-run -a -s "-screen 0 1280x1024x24" bench/demo_fps [asset folder] [seconds per scene]
// The asset folder (default: the demo's folder in the build) holds config.cfg and the assets; 0
// seconds per scene measures the start-up alone.
#include <PlatformTesting/Diagnostics.h>
#include <PlatformTesting/Direct3D.h>
#include <PlatformTesting/Input.h>
#include <PlatformTesting/ProcessEntry.h>
#include <dinput.h>
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <string>

#include <time.h>

namespace {

using Clock = std::chrono::steady_clock;

// CPU time of the whole process (every thread, the rasteriser's included): steadier than the
// frame rate on a machine shared with other work.
double ProcessCpuSeconds() {
    timespec now {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + now.tv_nsec / 1e9;
}

struct SceneRun {
    const char* name;
    BYTE key;
    bool held;  // down for the whole scene (F2: the mesh and effect reloaded every frame)
    int frames = 0;
    Clock::time_point start;
    Clock::time_point end;
    double cpuStart = 0.0;
    double cpuEnd = 0.0;
};

}  // namespace

int main(int argc, char** argv) {
    // The demo's process starts as its own entry starts it.
    const PlatformTesting::ProcessEntryWork entry;
    const std::filesystem::path folder = argc > 1 ? argv[1] : NVESK_DEMO_DIR;
    const double secondsPerScene = argc > 2 ? std::atof(argv[2]) : 3.0;
    // No seconds per scene: the start-up alone, the program quitting at its first frame.
    const bool startupOnly = !(secondsPerScene > 0.0);
    for (const char* asset : {"config.cfg", "mushrum.png", "ziemia.bmp", "skullocc.x", "effect.fx"}) {
        if (!std::filesystem::exists(folder / asset)) {
            std::fprintf(stderr, "%s has no %s: build the demo's assets first\n", folder.c_str(), asset);
            return 2;
        }
    }
    std::filesystem::current_path(folder);

    SceneRun scenes[] = {{"fire (F1)", DIK_F1, false, 0, {}, {}},
                         {"mesh (F2)", DIK_F2, false, 0, {}, {}},
                         {"water (F3)", DIK_F3, false, 0, {}, {}},
                         {"empty (F4)", DIK_F4, false, 0, {}, {}},
                         {"F2 held", DIK_F2, true, 0, {}, {}}};
    const int sceneCount = static_cast<int>(std::size(scenes));
    const int warmUpFrames = 10;
    bool started = false;
    int scene = 0;
    int frameInScene = 0;
    const PlatformTesting::PresentWatcher watcher([&](IDirect3DDevice9*) {
        if (!started) {
            started = true;
            if (startupOnly) {
                scene = sceneCount;
                PlatformTesting::PressKey(DIK_ESCAPE);
            }
        }
        if (scene >= sceneCount) return;
        SceneRun& run = scenes[scene];
        ++frameInScene;
        // The scene's key is down for one frame or the whole scene; timing starts after a few frames.
        if (frameInScene == 1) PlatformTesting::PressKey(run.key);
        if (frameInScene == 2 && !run.held) PlatformTesting::ReleaseKey(run.key);
        if (frameInScene == warmUpFrames) {
            run.start = Clock::now();
            run.cpuStart = ProcessCpuSeconds();
        }
        if (frameInScene > warmUpFrames) {
            ++run.frames;
            run.end = Clock::now();
            run.cpuEnd = ProcessCpuSeconds();
            if (std::chrono::duration<double>(run.end - run.start).count() >= secondsPerScene) {
                if (run.held) PlatformTesting::ReleaseKey(run.key);
                ++scene;
                frameInScene = 0;
                if (scene == sceneCount) PlatformTesting::PressKey(DIK_ESCAPE);
            }
        }
    });
    char commandLine[] = "";
    WinMain(GetModuleHandleW(nullptr), nullptr, commandLine, SW_SHOW);
    PlatformTesting::ReleaseKey(DIK_ESCAPE);

    if (!startupOnly) {
        std::printf("%-12s %10s %8s %14s\n", "scene", "frames/s", "frames", "CPU ms/frame");
        for (const SceneRun& run : scenes) {
            const double seconds = std::chrono::duration<double>(run.end - run.start).count();
            std::printf("%-12s %10.1f %8d %14.2f\n", run.name, seconds > 0.0 ? run.frames / seconds : 0.0, run.frames,
                        run.frames > 0 ? (run.cpuEnd - run.cpuStart) * 1000.0 / run.frames : 0.0);
        }
    }
    // Noted by the device once the first frame's swap is done, not when its Present began.
    std::printf("process start to first presented frame: %.0f ms\n",
                PlatformTesting::FirstFramePresentedSeconds() * 1000.0);
    return scene == sceneCount ? 0 : 1;
}

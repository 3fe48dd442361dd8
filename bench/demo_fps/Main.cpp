// Frame rate of the real demo per scene, run in this process from its entry under Xvfb with
// injected keys, and the time from process start to the first presented frame.
//   xvfb-run -a -s "-screen 0 1280x1024x24" bench/demo_fps [asset folder] [seconds per scene]
// The asset folder (default: the demo's folder in the build) holds config.cfg and the assets.
#include <PlatformTesting/Direct3D.h>
#include <PlatformTesting/Input.h>
#include <dinput.h>
#include <windows.h>

#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

// Seconds since the process started, from the kernel's record of its start.
double SecondsSinceProcessStart() {
    std::ifstream stat("/proc/self/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // Field 22 (start time in clock ticks after boot) counts from after the command name's ')'.
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    for (int i = 3; i <= 22; ++i)
        fields >> field;
    const double started = std::stod(field) / static_cast<double>(sysconf(_SC_CLK_TCK));
    timespec now {};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return static_cast<double>(now.tv_sec) + now.tv_nsec / 1e9 - started;
}

struct SceneRun {
    const char* name;
    BYTE key;
    int frames = 0;
    Clock::time_point start;
    Clock::time_point end;
};

}  // namespace

int main(int argc, char** argv) {
    const std::filesystem::path folder = argc > 1 ? argv[1] : NVESK_DEMO_DIR;
    const double secondsPerScene = argc > 2 ? std::atof(argv[2]) : 3.0;
    for (const char* asset : {"config.cfg", "mushrum.png", "ziemia.bmp", "skullocc.x", "effect.fx"}) {
        if (!std::filesystem::exists(folder / asset)) {
            std::fprintf(stderr, "%s has no %s: build the demo's assets first\n", folder.c_str(), asset);
            return 2;
        }
    }
    std::filesystem::current_path(folder);

    SceneRun scenes[] = {{"fire (F1)", DIK_F1, 0, {}, {}},
                         {"mesh (F2)", DIK_F2, 0, {}, {}},
                         {"water (F3)", DIK_F3, 0, {}, {}},
                         {"empty (F4)", DIK_F4, 0, {}, {}}};
    const int warmUpFrames = 10;
    double firstFrameSeconds = -1.0;
    int scene = 0;
    int frameInScene = 0;
    const PlatformTesting::PresentWatcher watcher([&](IDirect3DDevice9*) {
        if (firstFrameSeconds < 0.0) firstFrameSeconds = SecondsSinceProcessStart();
        if (scene >= 4) return;
        SceneRun& run = scenes[scene];
        ++frameInScene;
        // The scene's key is held for one frame; timing starts after a few frames in the scene.
        if (frameInScene == 1) PlatformTesting::PressKey(run.key);
        if (frameInScene == 2) PlatformTesting::ReleaseKey(run.key);
        if (frameInScene == warmUpFrames) run.start = Clock::now();
        if (frameInScene > warmUpFrames) {
            ++run.frames;
            run.end = Clock::now();
            if (std::chrono::duration<double>(run.end - run.start).count() >= secondsPerScene) {
                ++scene;
                frameInScene = 0;
                if (scene == 4) PlatformTesting::PressKey(DIK_ESCAPE);
            }
        }
    });
    char commandLine[] = "";
    WinMain(GetModuleHandleW(nullptr), nullptr, commandLine, SW_SHOW);
    PlatformTesting::ReleaseKey(DIK_ESCAPE);

    std::printf("%-12s %10s %8s\n", "scene", "frames/s", "frames");
    for (const SceneRun& run : scenes) {
        const double seconds = std::chrono::duration<double>(run.end - run.start).count();
        std::printf("%-12s %10.1f %8d\n", run.name, seconds > 0.0 ? run.frames / seconds : 0.0, run.frames);
    }
    std::printf("process start to first presented frame: %.0f ms\n", firstFrameSeconds * 1000.0);
    return scene == 4 ? 0 : 1;
}

// The scene benchmark: every scene of the real demo against raw OpenGL 4.5 and SDL2's renderer
// doing the same per-frame work, in rounds taken in turns, each program its own process; and the
// demo's start-up against its floor (startup_floor: the same window and context, one cleared frame),
// each start of the demo right after one of the floor.
//   xvfb-run -a -s "-screen 0 1280x1024x24" scene_bench [seconds per scene] [rounds] [asset folder]
// With --ours it is itself one of those processes: the demo from its entry, in this process, with
// the scene's key injected, timed after a warm-up.
//   scene_bench --ours fire|mesh|water|empty <asset folder> <warm-up seconds> <seconds>
#include "SceneRun.h"

#include <PlatformTesting/Diagnostics.h>
#include <PlatformTesting/Direct3D.h>
#include <PlatformTesting/Input.h>
#include <PlatformTesting/ProcessEntry.h>
#include <d3d9.h>
#include <dinput.h>
#include <windows.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

using namespace SceneBench;

namespace {

// The back buffer as 0xAARRGGBB rows from the top; empty when it cannot be read.
std::vector<std::uint32_t> ReadBackBuffer(IDirect3DDevice9* device) {
    std::vector<std::uint32_t> pixels;
    IDirect3DSurface9* backBuffer = nullptr;
    IDirect3DSurface9* copy = nullptr;
    D3DSURFACE_DESC desc {};
    D3DLOCKED_RECT locked {};
    if (SUCCEEDED(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer)) &&
        SUCCEEDED(backBuffer->GetDesc(&desc)) &&
        SUCCEEDED(device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM, &copy,
                                                      nullptr)) &&
        SUCCEEDED(device->GetRenderTargetData(backBuffer, copy)) &&
        SUCCEEDED(copy->LockRect(&locked, nullptr, D3DLOCK_READONLY))) {
        for (UINT y = 0; y < desc.Height; ++y) {
            const auto* row = reinterpret_cast<const std::uint32_t*>(static_cast<const BYTE*>(locked.pBits) +
                                                                     static_cast<std::size_t>(y) * locked.Pitch);
            pixels.insert(pixels.end(), row, row + desc.Width);
        }
        copy->UnlockRect();
    }
    if (copy != nullptr) copy->Release();
    if (backBuffer != nullptr) backBuffer->Release();
    return pixels;
}

int RunOurs(const ChildOptions& options) {
    const std::filesystem::path folder = options.assetFolder;
    for (const char* asset : {"config.cfg", "mushrum.png", "ziemia.bmp", "skullocc.x", "effect.fx"}) {
        if (!std::filesystem::exists(folder / asset)) {
            std::fprintf(stderr, "%s has no %s: build the demo's assets first\n", folder.c_str(), asset);
            return 2;
        }
    }
    std::filesystem::current_path(folder);
    const BYTE keys[] = {DIK_F1, DIK_F2, DIK_F3, DIK_F4};
    const BYTE key = keys[static_cast<int>(options.scene)];
    FrameClock clock(options);
    int frame = 0;
    bool done = false;
    std::string fault;
    const PlatformTesting::PresentWatcher watcher([&](IDirect3DDevice9* device) {
        if (done) return;
        // The key is down for one frame; the next frame's update switches to the scene, and the
        // clock starts with that frame.
        ++frame;
        if (frame == 1) {
            PlatformTesting::PressKey(key);
            return;
        }
        if (frame == 2) PlatformTesting::ReleaseKey(key);
        if (clock.Presented()) return;
        fault = CheckFrame(ReadBackBuffer(device), options.scene);
        done = true;
        PlatformTesting::PressKey(DIK_ESCAPE);
    });
    char commandLine[] = "";
    WinMain(GetModuleHandleW(nullptr), nullptr, commandLine, SW_SHOW);
    PlatformTesting::ReleaseKey(DIK_ESCAPE);
    if (!done) {
        std::fprintf(stderr, "the demo ended before the time was over (see myLog.log in %s)\n", folder.c_str());
        return 1;
    }
    if (!fault.empty()) {
        std::fprintf(stderr, "the last frame is wrong: %s\n", fault.c_str());
        return 1;
    }
    const int reported = clock.Report();
    // Noted by the device once the first frame's swap is done, not when its Present began.
    std::printf("first frame monotonic: %.6f\nfirst frame processor: %.6f\n",
                PlatformTesting::FirstFramePresentedMonotonic(),
                PlatformTesting::FirstFramePresentedProcessorSeconds());
    return reported;
}

// One side's round of one scene.
struct Measure {
    double framesPerSecond = -1.0;
    double cpuMsPerFrame = -1.0;
    double startupMs = -1.0;     // started to the first frame's swap done; ours and the floor
    double startupCpuMs = -1.0;  // the processor time, every thread, spent by then
};

double MonotonicSeconds() {
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + now.tv_nsec / 1e9;
}

double Field(const std::string& text, const char* name) {
    const std::size_t at = text.find(name);
    return at == std::string::npos ? -1.0 : std::atof(text.c_str() + at + std::strlen(name));
}

// Runs a program with the arguments and returns what it measured; negative figures when it failed
// (its complaints went to our stderr).
Measure RunChild(const std::string& program, const std::vector<std::string>& arguments) {
    std::vector<std::string> words {program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    int out[2];
    if (pipe(out) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    pid_t child = 0;
    const double started = MonotonicSeconds();
    const int spawned = posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(n));
    close(out[0]);
    int status = 0;
    if (spawned != 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s %s failed\n", program.c_str(), arguments.empty() ? "" : arguments[0].c_str());
        return {};
    }
    const double presented = Field(text, "first frame monotonic: ");
    return {Field(text, "frames/s: "), Field(text, "CPU ms/frame: "),
            presented > 0.0 ? (presented - started) * 1000.0 : -1.0, Field(text, "first frame processor: ") * 1000.0};
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

constexpr std::chrono::milliseconds kSettle {500};

// The programs of a round, in the order they take turns.
enum Side { kOurs, kRawGl, kSdl, kSides };
const char* const kSideNames[kSides] = {"ours", "raw GL", "SDL2"};

std::string SideProgram(Side side, Scene scene, const std::string& self) {
    switch (side) {
    case kOurs:
        return self;
    case kRawGl:
        return scene == Scene::Mesh ? COMPARE_GL_MESH : COMPARE_GL;
    case kSdl:
        return scene == Scene::Mesh ? "" : COMPARE_SDL;
    default:
        return "";
    }
}

// Goals: ours at least this share of the other side's frame rate (0: no goal).
double Goal(Side side, Scene scene) {
    if (side == kRawGl) return 0.9;
    if (side == kSdl && (scene == Scene::Fire || scene == Scene::Water)) return 1.0;
    return 0.0;
}

// The medians of one figure per scene and side, and the medians of the rounds' own ratios (each
// round's sides ran back to back); true when every goal is met.
bool PrintTable(const std::vector<Measure> (&measures)[4][kSides], double Measure::*figure, bool theirsOverOurs) {
    std::printf("%-6s %9s %9s %9s %9s %10s  %s\n", "scene", "ours", "raw GL", "SDL2", "vs GL", "vs SDL2",
                theirsOverOurs ? "" : "goals");
    bool allMet = true;
    for (Scene scene : kScenes) {
        const auto& sides = measures[static_cast<int>(scene)];
        char cells[kSides][16];
        std::string goals;
        for (int side = kOurs; side < kSides; ++side) {
            std::vector<double> values;
            for (const Measure& measure : sides[side])
                values.push_back(measure.*figure);
            std::snprintf(cells[side], sizeof cells[side], values.empty() ? "-" : "%.2f", Median(values));
        }
        char ratios[kSides][16] = {"", "-", "-"};
        for (int side = kRawGl; side < kSides; ++side) {
            if (sides[side].empty()) continue;
            std::vector<double> roundRatios;
            for (std::size_t r = 0; r < sides[side].size(); ++r) {
                const double ours = sides[kOurs][r].*figure;
                const double theirs = sides[side][r].*figure;
                roundRatios.push_back(theirsOverOurs ? theirs / ours : ours / theirs);
            }
            const double ratio = Median(roundRatios);
            std::snprintf(ratios[side], sizeof ratios[side], "%.2f", ratio);
            const double goal = Goal(static_cast<Side>(side), scene);
            if (goal > 0.0 && !theirsOverOurs) {
                const bool met = ratio >= goal;
                allMet = allMet && met;
                char text[48];
                std::snprintf(text, sizeof text, "%s%s >= %.1f %s", goals.empty() ? "" : ", ", kSideNames[side], goal,
                              met ? "met" : "NOT met");
                goals += text;
            }
        }
        std::printf("%-6s %9s %9s %9s %9s %10s  %s\n", SceneName(scene), cells[kOurs], cells[kRawGl], cells[kSdl],
                    ratios[kRawGl], ratios[kSdl], goals.c_str());
    }
    return allMet;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--ours") == 0) {
        // The demo's process starts as its own entry starts it.
        const PlatformTesting::ProcessEntryWork entry;
        ChildOptions options;
        if (!ParseChildOptions(argc - 1, argv + 1, {Scene::Fire, Scene::Mesh, Scene::Water, Scene::Empty}, options))
            return 2;
        return RunOurs(options);
    }
    const double seconds = argc > 1 ? std::atof(argv[1]) : 3.0;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    ChildOptions options;
    options.assetFolder = argc > 3 ? argv[3] : NVESK_DEMO_DIR;
    options.warmUpSeconds = 1.0;
    options.seconds = seconds;
    if (!(seconds > 0.0) || rounds < 1) {
        std::fprintf(stderr, "usage: %s [seconds per scene] [rounds] [asset folder]\n", argv[0]);
        return 2;
    }
    const std::string self = std::filesystem::canonical("/proc/self/exe").string();

    // measures[scene][side]: one per round; and each start of the demo beside the floor's before it.
    std::vector<Measure> measures[4][kSides];
    std::vector<Measure> floorStartups;
    std::vector<Measure> demoStartups;
    for (int round = 1; round <= rounds; ++round) {
        for (Scene scene : kScenes) {
            options.scene = scene;
            std::printf("round %d, %-5s:", round, SceneName(scene));
            for (int side = kOurs; side < kSides; ++side) {
                const std::string program = SideProgram(static_cast<Side>(side), scene, self);
                if (program.empty()) continue;
                std::vector<std::string> arguments = ChildArguments(options);
                if (side == kOurs) {
                    arguments.insert(arguments.begin(), "--ours");
                    std::this_thread::sleep_for(kSettle);
                    const Measure floor = RunChild(STARTUP_FLOOR, {});
                    if (floor.startupMs <= 0.0) return 1;
                    floorStartups.push_back(floor);
                    std::printf("  floor %.0f ms", floor.startupMs);
                }
                // A program that has just ended still costs the machine for a while (the X server
                // closes its connection and repaints where its window was): each starts on a settled
                // machine, so that its start-up is its own.
                std::this_thread::sleep_for(kSettle);
                const Measure measure = RunChild(program, arguments);
                if (measure.framesPerSecond <= 0.0 || measure.cpuMsPerFrame <= 0.0) return 1;
                measures[static_cast<int>(scene)][side].push_back(measure);
                if (side == kOurs) {
                    demoStartups.push_back(measure);
                    std::printf("  start-up %.0f ms", measure.startupMs);
                }
                std::printf("  %s %.1f/s %.2f ms", kSideNames[side], measure.framesPerSecond, measure.cpuMsPerFrame);
                std::fflush(stdout);
            }
            std::printf("\n");
        }
    }

    std::printf("\nmedians of %d rounds, %.1f s per scene after a %.1f s warm-up\n", rounds, seconds,
                options.warmUpSeconds);
    std::printf("frames per second (ratio: ours / theirs, goals on it)\n");
    const bool allMet = PrintTable(measures, &Measure::framesPerSecond, false);
    std::printf("CPU ms per frame, all threads of the process (ratio: theirs / ours, above 1 ours costs less)\n");
    PrintTable(measures, &Measure::cpuMsPerFrame, true);
    // Each start of the demo against the floor's start just before it: wall time (the goal) and the
    // processor time spent by then, the steadier figure on a busy machine.
    const auto printStartups = [&](double Measure::*figure, const char* what, bool goal) {
        std::vector<double> ours;
        std::vector<double> floors;
        std::vector<double> ratios;
        for (std::size_t i = 0; i < demoStartups.size() && i < floorStartups.size(); ++i) {
            ours.push_back(demoStartups[i].*figure);
            floors.push_back(floorStartups[i].*figure);
            ratios.push_back(ours.back() / floors.back());
        }
        const double ratio = Median(ratios);
        std::printf(
            "start-up %s: demo median %.0f ms, floor median %.0f ms; ratio %.2f (median of %zu pairs in turns)%s\n",
            what, Median(ours), Median(floors), ratio, ratios.size(),
            goal ? (ratio <= 1.3 ? "; goal <= 1.3 met" : "; goal <= 1.3 NOT met") : "");
    };
    printStartups(&Measure::startupMs, "(started to the first frame's swap done)", true);
    printStartups(&Measure::startupCpuMs, "processor time (every thread, until that swap)", false);
    std::printf("%s\n", allMet ? "every frame-rate goal met" : "some frame-rate goals not met");
    return 0;
}

// What every program of the scene benchmark shares: the scenes, the window, the child's command line,
// the timed loop's clock and the check that a frame really shows the scene.
#pragma once

#include <chrono>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace SceneBench {

// The demo's window and back buffer (config.cfg), and its clear colour.
constexpr int kWidth = 800;
constexpr int kHeight = 600;
constexpr std::uint32_t kClearColour = 0xFF000080;  // 0xAARRGGBB

// The cursor: a strip of 10 frames of 66 x 70 pixels, 0.08 s each, centred on the window's middle.
constexpr int kCursorFrameWidth = 66;
constexpr int kCursorFrameHeight = 70;
constexpr int kCursorFrames = 10;
constexpr double kCursorFrameSeconds = 0.08;
constexpr float kCursorX = kWidth / 2 - kCursorFrameWidth * 0.5f;
constexpr float kCursorY = kHeight / 2 - kCursorFrameHeight * 0.5f;

// The cursor's animation: the frame to show after `seconds` more. The remainder stays; a backlog
// longer than a frame is dropped.
class CursorAnimation {
public:
    int Advance(double seconds);

private:
    double elapsed_ = 0.0;
    int frame_ = 0;
};

// The scenes in the demo's order (F1 to F4).
enum class Scene { Fire, Mesh, Water, Empty };
constexpr Scene kScenes[] = {Scene::Fire, Scene::Mesh, Scene::Water, Scene::Empty};
const char* SceneName(Scene scene);

// A comparison program's command line: <scene> <asset folder> <warm-up seconds> <seconds>.
struct ChildOptions {
    Scene scene = Scene::Fire;
    std::string assetFolder;
    double warmUpSeconds = 0.5;
    double seconds = 2.0;
};
// False, with the usage printed, when the arguments do not make one for one of `scenes`.
bool ParseChildOptions(int argc, char** argv, std::initializer_list<Scene> scenes, ChildOptions& options);
std::vector<std::string> ChildArguments(const ChildOptions& options);

// Counts the frames presented after the warm-up until the measured time is over.
class FrameClock {
public:
    explicit FrameClock(const ChildOptions& options);
    // Called once per presented frame; false once the measured time is over.
    bool Presented();
    // Seconds since the previous frame (0 for the first): the step of the cursor's animation.
    double FrameTime() const { return frameTime_; }
    // Seconds since the first frame.
    double Elapsed() const;
    // The result lines the benchmark reads (frames per second, and the process's CPU time per frame,
    // all its threads, the rasteriser's included), or a complaint on stderr; the program's exit status.
    int Report() const;

private:
    using Clock = std::chrono::steady_clock;
    double warmUp_;
    double measured_;
    Clock::time_point first_;
    Clock::time_point previous_;
    Clock::time_point start_;
    Clock::time_point end_;
    double cpuStart_ = 0.0;
    double cpuEnd_ = 0.0;
    double frameTime_ = 0.0;
    long frames_ = -1;  // -1 until the first frame, then the frames counted after the warm-up
    bool started_ = false;
};

// An empty string when `pixels` (0xAARRGGBB, rows from the top) show what the scene draws: the
// scene's content beyond the cursor, or for the empty scene the cursor on the clear colour;
// otherwise what is missing.
std::string CheckFrame(const std::vector<std::uint32_t>& pixels, Scene scene);

}  // namespace SceneBench

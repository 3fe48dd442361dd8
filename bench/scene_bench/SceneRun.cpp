#include "SceneRun.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace SceneBench {
namespace {

double ProcessCpuSeconds() {
    timespec now {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + now.tv_nsec / 1e9;
}

}  // namespace

const char* SceneName(Scene scene) {
    switch (scene) {
    case Scene::Fire:
        return "fire";
    case Scene::Mesh:
        return "mesh";
    case Scene::Water:
        return "water";
    case Scene::Empty:
        return "empty";
    }
    return "?";
}

int CursorAnimation::Advance(double seconds) {
    elapsed_ += seconds;
    if (!(elapsed_ > kCursorFrameSeconds)) return frame_;
    elapsed_ -= kCursorFrameSeconds;
    if (elapsed_ > kCursorFrameSeconds) elapsed_ = 0.0;
    frame_ = (frame_ + 1) % kCursorFrames;
    return frame_;
}

bool ParseChildOptions(int argc, char** argv, std::initializer_list<Scene> scenes, ChildOptions& options) {
    bool known = false;
    if (argc == 5) {
        for (Scene scene : scenes) {
            if (std::strcmp(argv[1], SceneName(scene)) == 0) {
                options.scene = scene;
                known = true;
            }
        }
        options.assetFolder = argv[2];
        options.warmUpSeconds = std::atof(argv[3]);
        options.seconds = std::atof(argv[4]);
    }
    if (!known || options.warmUpSeconds < 0.0 || !(options.seconds > 0.0)) {
        std::string names;
        for (Scene scene : scenes)
            names += std::string(names.empty() ? "" : "|") + SceneName(scene);
        std::fprintf(stderr, "usage: %s %s <asset folder> <warm-up seconds> <seconds>\n",
                     argc > 0 ? argv[0] : "program", names.c_str());
        return false;
    }
    return true;
}

std::vector<std::string> ChildArguments(const ChildOptions& options) {
    return {SceneName(options.scene), options.assetFolder, std::to_string(options.warmUpSeconds),
            std::to_string(options.seconds)};
}

FrameClock::FrameClock(const ChildOptions& options) : warmUp_(options.warmUpSeconds), measured_(options.seconds) {}

bool FrameClock::Presented() {
    const Clock::time_point now = Clock::now();
    if (frames_ < 0) {
        first_ = now;
        previous_ = now;
        frames_ = 0;
    }
    frameTime_ = std::chrono::duration<double>(now - previous_).count();
    previous_ = now;
    if (!started_) {
        // The frame that ends the warm-up starts the measured time.
        if (std::chrono::duration<double>(now - first_).count() < warmUp_) return true;
        started_ = true;
        start_ = now;
        end_ = now;
        cpuStart_ = ProcessCpuSeconds();
        return true;
    }
    ++frames_;
    end_ = now;
    cpuEnd_ = ProcessCpuSeconds();
    return std::chrono::duration<double>(end_ - start_).count() < measured_;
}

double FrameClock::Elapsed() const {
    return frames_ < 0 ? 0.0 : std::chrono::duration<double>(Clock::now() - first_).count();
}

int FrameClock::Report() const {
    const double seconds = started_ ? std::chrono::duration<double>(end_ - start_).count() : 0.0;
    if (frames_ <= 0 || !(seconds > 0.0)) {
        std::fprintf(stderr, "no frame was measured\n");
        return 1;
    }
    std::printf("frames: %ld\nframes/s: %.2f\nCPU ms/frame: %.3f\n", frames_, frames_ / seconds,
                (cpuEnd_ - cpuStart_) * 1000.0 / frames_);
    return 0;
}

std::string CheckFrame(const std::vector<std::uint32_t>& pixels, Scene scene) {
    if (pixels.size() != static_cast<std::size_t>(kWidth) * kHeight) return "the frame could not be read back";
    // A margin around the cursor's box: filtering may reach a pixel beyond it.
    const int left = static_cast<int>(kCursorX) - 2;
    const int top = static_cast<int>(kCursorY) - 2;
    const int right = left + kCursorFrameWidth + 4;
    const int bottom = top + kCursorFrameHeight + 4;
    long outside = 0;
    long inside = 0;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            if ((pixels[static_cast<std::size_t>(y) * kWidth + x] & 0xFFFFFFu) == (kClearColour & 0xFFFFFFu)) continue;
            const bool inCursor = x >= left && x < right && y >= top && y < bottom;
            ++(inCursor ? inside : outside);
        }
    }
    if (scene == Scene::Empty) {
        if (outside != 0) return std::to_string(outside) + " pixels beside the cursor are not the clear colour";
        if (inside < 100) return "the cursor is missing";
        return "";
    }
    // The scene covers much of the window: at least a hundredth of it is not the clear colour.
    if (outside < kWidth * kHeight / 100) return "the scene is missing (" + std::to_string(outside) + " pixels drawn)";
    return "";
}

}  // namespace SceneBench

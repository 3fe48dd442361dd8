#include "SdlVideo.h"

#include "GlDriverPreload.h"
#include "WindowContextAttributes.h"

#include <atomic>
#include <cstdio>
#include <mutex>
#include <thread>

namespace nvesk::user32 {
namespace {

struct VideoState {
    std::mutex mutex;
    bool tried = false;
    std::atomic<bool> started {false};
    std::thread::id thread;
    Uint32 wakeEventType = 0;
};

VideoState& State() {
    static VideoState state;
    return state;
}

bool HeadlessDriver() {
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver != nullptr && (SDL_strcmp(driver, "offscreen") == 0 || SDL_strcmp(driver, "dummy") == 0);
}

}  // namespace

bool EnsureVideo() {
    VideoState& state = State();
    const std::lock_guard<std::mutex> lock(state.mutex);
    if (state.tried) return state.started;
    state.tried = true;
    // Closing a window is the window procedure's decision, and Ctrl+C must still end the process.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    // SDL's start of any part loads its D-Bus library first; with that done, the OpenGL driver's
    // preload may take the dynamic loader while SDL connects to the display.
    const bool eventsStarted = SDL_InitSubSystem(SDL_INIT_EVENTS) == 0;
    AllowDriverLoad();
    if (!eventsStarted || SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "user32: no display (%s)\n", SDL_GetError());
        if (eventsStarted) SDL_QuitSubSystem(SDL_INIT_EVENTS);
        return false;
    }
    if (HeadlessDriver() && SDL_getenv("SDL_VIDEODRIVER") == nullptr) {
        // SDL falls back to an off-screen driver by itself; nobody would see such windows.
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        SDL_QuitSubSystem(SDL_INIT_EVENTS);
        std::fprintf(stderr, "user32: no display\n");
        return false;
    }
    SetWindowContextAttributes();
    state.wakeEventType = SDL_RegisterEvents(1);
    state.thread = std::this_thread::get_id();
    state.started = true;
    return true;
}

bool VideoStarted() {
    return State().started;
}

bool DisplayVisible() {
    return EnsureVideo() && !HeadlessDriver();
}

bool OnVideoThread() {
    VideoState& state = State();
    return state.started && state.thread == std::this_thread::get_id();
}

void WakeVideoThread() {
    VideoState& state = State();
    if (!state.started || state.wakeEventType == static_cast<Uint32>(-1)) return;
    SDL_Event event {};
    event.type = state.wakeEventType;
    SDL_PushEvent(&event);
}

bool IsWakeEvent(const SDL_Event& event) {
    VideoState& state = State();
    return state.started && event.type == state.wakeEventType;
}

}  // namespace nvesk::user32

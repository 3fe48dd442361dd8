#include "PlatformEventListener.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace nvesk::user32 {
namespace {

struct Listeners {
    std::mutex mutex;
    std::vector<PlatformEventListener*> list;
};

Listeners& AllListeners() {
    static Listeners listeners;
    return listeners;
}

bool StillListening(PlatformEventListener* listener) {
    Listeners& listeners = AllListeners();
    const std::lock_guard<std::mutex> lock(listeners.mutex);
    return std::find(listeners.list.begin(), listeners.list.end(), listener) != listeners.list.end();
}

// A listener may stop listening while others are told; it is then skipped.
template <typename Call>
void TellEach(Call call) {
    std::vector<PlatformEventListener*> snapshot;
    {
        Listeners& listeners = AllListeners();
        const std::lock_guard<std::mutex> lock(listeners.mutex);
        snapshot = listeners.list;
    }
    for (PlatformEventListener* listener : snapshot) {
        if (StillListening(listener)) call(*listener);
    }
}

}  // namespace

void AddPlatformEventListener(PlatformEventListener* listener) {
    Listeners& listeners = AllListeners();
    const std::lock_guard<std::mutex> lock(listeners.mutex);
    listeners.list.push_back(listener);
}

void RemovePlatformEventListener(PlatformEventListener* listener) {
    Listeners& listeners = AllListeners();
    const std::lock_guard<std::mutex> lock(listeners.mutex);
    listeners.list.erase(std::remove(listeners.list.begin(), listeners.list.end(), listener), listeners.list.end());
}

void NotifyInputEvent(const SDL_Event& event) {
    TellEach([&](PlatformEventListener& listener) { listener.OnInputEvent(event); });
}

void NotifyFocusChanged(HWND lost, HWND gained) {
    TellEach([&](PlatformEventListener& listener) { listener.OnFocusChanged(lost, gained); });
}

void NotifyWindowDestroyed(HWND window) {
    TellEach([&](PlatformEventListener& listener) { listener.OnWindowDestroyed(window); });
}

}  // namespace nvesk::user32

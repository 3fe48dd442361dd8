// The live windows by handle. Handles are never reused, so a destroyed window's handle stays invalid.
#pragma once

#include "Window.h"

#include <SDL.h>

#include <map>
#include <memory>
#include <mutex>

namespace nvesk::user32 {

class WindowTable {
public:
    static WindowTable& Instance();

    // The desktop window: valid as a parent, not a window of ours.
    static HWND Desktop();

    HWND Add(std::unique_ptr<Window> window);
    // The live window, or null (also for the desktop). The pointer is for the owning thread's use.
    Window* Find(HWND handle) const;
    // The queue a message for the window goes to (from any thread); null for no live window.
    std::shared_ptr<MessageQueue> QueueOf(HWND handle) const;
    HWND FindByNative(Uint32 nativeId) const;
    std::unique_ptr<Window> Remove(HWND handle);

private:
    WindowTable() = default;

    mutable std::mutex mutex_;
    std::map<HWND, std::unique_ptr<Window>> windows_;
    ULONG_PTR nextHandle_ = 0x10020;
};

}  // namespace nvesk::user32

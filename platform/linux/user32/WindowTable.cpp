#include "WindowTable.h"

namespace nvesk::user32 {

WindowTable& WindowTable::Instance() {
    // Never destroyed: windows and classes may still be used by other objects' destructors at exit.
    static WindowTable* table = new WindowTable;
    return *table;
}

HWND WindowTable::Desktop() {
    return reinterpret_cast<HWND>(static_cast<ULONG_PTR>(0x10010));
}

HWND WindowTable::Add(std::unique_ptr<Window> window) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const HWND handle = reinterpret_cast<HWND>(nextHandle_);
    nextHandle_ += 4;
    windows_.emplace(handle, std::move(window));
    return handle;
}

Window* WindowTable::Find(HWND handle) const {
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto found = windows_.find(handle);
    return found != windows_.end() ? found->second.get() : nullptr;
}

std::shared_ptr<MessageQueue> WindowTable::QueueOf(HWND handle) const {
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto found = windows_.find(handle);
    return found != windows_.end() ? found->second->Queue() : nullptr;
}

HWND WindowTable::FindByNative(Uint32 nativeId) const {
    const std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& [handle, window] : windows_) {
        if (SDL_GetWindowID(window->Native()) == nativeId) return handle;
    }
    return nullptr;
}

std::unique_ptr<Window> WindowTable::Remove(HWND handle) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto found = windows_.find(handle);
    if (found == windows_.end()) return nullptr;
    std::unique_ptr<Window> window = std::move(found->second);
    windows_.erase(found);
    return window;
}

}  // namespace nvesk::user32

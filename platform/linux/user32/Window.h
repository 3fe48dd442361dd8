// One window: the SDL window behind an HWND and what user32 keeps about it.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <thread>

struct SDL_Window;

namespace nvesk::user32 {

class MessageQueue;

class Window {
public:
    Window(SDL_Window* native, WNDPROC procedure, ATOM classAtom, std::shared_ptr<MessageQueue> queue);
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    SDL_Window* Native() const { return native_; }
    WNDPROC Procedure() const { return procedure_; }
    ATOM ClassAtom() const { return classAtom_; }
    const std::shared_ptr<MessageQueue>& Queue() const { return queue_; }
    // Windows are used from the thread that made them, as SDL requires.
    bool OwnedByCallingThread() const { return thread_ == std::this_thread::get_id(); }

    const std::wstring& Text() const { return text_; }
    // Also the native title, converted to UTF-8; unchanged text costs nothing.
    void SetText(LPCWSTR text);

    bool visible = false;
    bool destroying = false;

private:
    SDL_Window* native_;
    WNDPROC procedure_;
    ATOM classAtom_;
    std::shared_ptr<MessageQueue> queue_;
    std::thread::id thread_;
    std::wstring text_;
};

}  // namespace nvesk::user32

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

    SDL_Window* Native() const { return m_native; }
    WNDPROC Procedure() const { return m_procedure; }
    ATOM ClassAtom() const { return m_classAtom; }
    const std::shared_ptr<MessageQueue>& Queue() const { return m_queue; }
    // Windows are used from the thread that made them, as SDL requires.
    bool OwnedByCallingThread() const { return m_thread == std::this_thread::get_id(); }

    const std::wstring& Text() const { return m_text; }
    // Also the native title, converted to UTF-8; unchanged text costs nothing.
    void SetText(LPCWSTR text);

    bool visible = false;
    bool destroying = false;

private:
    SDL_Window* m_native;
    WNDPROC m_procedure;
    ATOM m_classAtom;
    std::shared_ptr<MessageQueue> m_queue;
    std::thread::id m_thread;
    std::wstring m_text;
};

}  // namespace nvesk::user32

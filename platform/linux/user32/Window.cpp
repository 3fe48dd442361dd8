#include "Window.h"

#include "Utf8Text.h"

#include <SDL.h>

namespace nvesk::user32 {

Window::Window(SDL_Window* native, WNDPROC procedure, ATOM classAtom, std::shared_ptr<MessageQueue> queue)
    : m_native(native),
      m_procedure(procedure),
      m_classAtom(classAtom),
      m_queue(std::move(queue)),
      m_thread(std::this_thread::get_id()) {}

Window::~Window() {
    SDL_DestroyWindow(m_native);
}

void Window::SetText(LPCWSTR text) {
    const std::wstring newText = text != nullptr ? text : L"";
    if (newText == m_text && !newText.empty()) return;
    m_text = newText;
    SDL_SetWindowTitle(m_native, ToUtf8(m_text.c_str()).c_str());
}

}  // namespace nvesk::user32

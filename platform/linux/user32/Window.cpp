#include "Window.h"

#include "Utf8Text.h"

#include <SDL.h>

namespace nvesk::user32 {

Window::Window(SDL_Window* native, WNDPROC procedure, ATOM classAtom, std::shared_ptr<MessageQueue> queue)
    : native_(native),
      procedure_(procedure),
      classAtom_(classAtom),
      queue_(std::move(queue)),
      thread_(std::this_thread::get_id()) {}

Window::~Window() {
    SDL_DestroyWindow(native_);
}

void Window::SetText(LPCWSTR text) {
    const std::wstring newText = text != nullptr ? text : L"";
    if (newText == text_ && !newText.empty()) return;
    text_ = newText;
    SDL_SetWindowTitle(native_, ToUtf8(text_.c_str()).c_str());
}

}  // namespace nvesk::user32

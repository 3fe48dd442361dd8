#include "PlatformTesting/WindowEvents.h"

#include "PlatformEventInjection.h"

#include "../user32/NativeWindow.h"

#include <SDL_syswm.h>

namespace PlatformTesting {
namespace {

bool InjectWindowEvent(HWND window, SDL_WindowEventID id) {
    SDL_Window* native = nvesk::user32::NativeWindow(window);
    if (native == nullptr) return false;
    SDL_Event event {};
    event.type = SDL_WINDOWEVENT;
    event.window.event = static_cast<Uint8>(id);
    event.window.windowID = SDL_GetWindowID(native);
    return detail::Inject(event);
}

}  // namespace

bool LoseFocus(HWND window) {
    return InjectWindowEvent(window, SDL_WINDOWEVENT_FOCUS_LOST);
}

bool GainFocus(HWND window) {
    return InjectWindowEvent(window, SDL_WINDOWEVENT_FOCUS_GAINED);
}

bool ClickCloseButton(HWND window) {
    return InjectWindowEvent(window, SDL_WINDOWEVENT_CLOSE);
}

unsigned long X11WindowOf(HWND window) {
    SDL_Window* native = nvesk::user32::NativeWindow(window);
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (native == nullptr || !SDL_GetWindowWMInfo(native, &info) || info.subsystem != SDL_SYSWM_X11) return 0;
    return static_cast<unsigned long>(info.info.x11.window);
}

}  // namespace PlatformTesting

#include "PlatformTesting/Input.h"

#include "PlatformEventInjection.h"

#include "../user32/KeyboardLayout.h"
#include "../user32/NativeWindow.h"

#include <winuser.h>

namespace PlatformTesting {
namespace {

// Buttons the hooks hold down, reported with motion as SDL reports real ones.
Uint32 g_heldButtons = 0;

Uint32 FocusedWindowId() {
    SDL_Window* native = nvesk::user32::NativeWindow(GetFocus());
    return native != nullptr ? SDL_GetWindowID(native) : 0;
}

bool InjectKey(BYTE dikCode, bool down) {
    const SDL_Scancode scancode = nvesk::user32::ScancodeFromDik(dikCode);
    if (scancode == SDL_SCANCODE_UNKNOWN) return false;
    SDL_Event event {};
    event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    event.key.windowID = FocusedWindowId();
    event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.key.keysym.scancode = scancode;
    event.key.keysym.sym = SDL_GetKeyFromScancode(scancode);
    return detail::Inject(event);
}

Uint8 SdlButton(int button) {
    switch (button) {
    case 0:
        return SDL_BUTTON_LEFT;
    case 1:
        return SDL_BUTTON_RIGHT;
    case 2:
        return SDL_BUTTON_MIDDLE;
    case 3:
        return SDL_BUTTON_X1;
    case 4:
        return SDL_BUTTON_X2;
    default:
        return 0;
    }
}

bool InjectButton(int button, bool down) {
    const Uint8 sdlButton = SdlButton(button);
    if (sdlButton == 0) return false;
    int x = 0;
    int y = 0;
    SDL_GetMouseState(&x, &y);
    SDL_Event event {};
    event.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    event.button.windowID = FocusedWindowId();
    event.button.button = sdlButton;
    event.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.button.clicks = 1;
    event.button.x = x;
    event.button.y = y;
    if (!detail::Inject(event)) return false;
    if (down) {
        g_heldButtons |= SDL_BUTTON(sdlButton);
    } else {
        g_heldButtons &= ~SDL_BUTTON(sdlButton);
    }
    return true;
}

}  // namespace

bool PressKey(BYTE dikCode) {
    return InjectKey(dikCode, true);
}

bool ReleaseKey(BYTE dikCode) {
    return InjectKey(dikCode, false);
}

bool MoveMouse(LONG dx, LONG dy) {
    int x = 0;
    int y = 0;
    SDL_GetMouseState(&x, &y);
    SDL_Event event {};
    event.type = SDL_MOUSEMOTION;
    event.motion.windowID = FocusedWindowId();
    event.motion.state = g_heldButtons;
    event.motion.x = x + dx;
    event.motion.y = y + dy;
    event.motion.xrel = dx;
    event.motion.yrel = dy;
    return detail::Inject(event);
}

bool PressMouseButton(int button) {
    return InjectButton(button, true);
}

bool ReleaseMouseButton(int button) {
    return InjectButton(button, false);
}

bool TurnMouseWheel(int notches) {
    SDL_Event event {};
    event.type = SDL_MOUSEWHEEL;
    event.wheel.windowID = FocusedWindowId();
    event.wheel.y = notches;
    event.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
    return detail::Inject(event);
}

}  // namespace PlatformTesting

// SDL events become what Windows would deliver: key and mouse messages posted as input to the
// window with the focus (keys, wheel) or under the pointer (motion, buttons), and focus changes
// and the close button as sent messages.
#include "Focus.h"
#include "KeyboardLayout.h"
#include "MessageQueue.h"
#include "NativeWindow.h"
#include "PlatformEventListener.h"
#include "SdlVideo.h"
#include "SentMessages.h"
#include "WindowTable.h"

#include <winuser.h>

#include <array>

namespace nvesk::user32 {
namespace {

// Keys and buttons as the events so far left them (injected ones included, unlike SDL's own state).
struct InputState {
    std::array<bool, SDL_NUM_SCANCODES> keys {};
    Uint32 buttons = 0;

    bool Down(SDL_Scancode left, SDL_Scancode right) const { return keys[left] || keys[right]; }
    bool Shift() const { return Down(SDL_SCANCODE_LSHIFT, SDL_SCANCODE_RSHIFT); }
    bool Control() const { return Down(SDL_SCANCODE_LCTRL, SDL_SCANCODE_RCTRL); }
    bool Alt() const { return Down(SDL_SCANCODE_LALT, SDL_SCANCODE_RALT); }
};

InputState& Input() {
    static InputState state;
    return state;
}

void PostInputTo(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const std::shared_ptr<MessageQueue> queue = WindowTable::Instance().QueueOf(window);
    if (queue != nullptr) queue->PostInput(MessageQueue::Stamp(window, message, wParam, lParam));
}

void TranslateKey(const SDL_KeyboardEvent& event) {
    InputState& input = Input();
    const SDL_Scancode scancode = event.keysym.scancode;
    if (scancode <= SDL_SCANCODE_UNKNOWN || scancode >= SDL_NUM_SCANCODES) return;
    const bool down = event.type == SDL_KEYDOWN;
    const bool altBefore = input.Alt();
    input.keys[scancode] = down;

    const HWND focus = Focus::Current();
    const BYTE virtualKey = VirtualKeyFromScancode(scancode);
    const BYTE dik = DikFromScancode(scancode);
    if (focus == nullptr || (virtualKey == 0 && dik == 0)) return;

    const bool alt = down ? input.Alt() : altBefore;
    const bool system = (alt && !input.Control()) || virtualKey == VK_F10;
    const UINT message = down ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
    DWORD flags = 1;  // repeat count
    flags |= static_cast<DWORD>(dik & 0x7F) << 16;
    if ((dik & 0x80) != 0) flags |= 1u << 24;
    if (alt) flags |= 1u << 29;
    if (!down || event.repeat != 0) flags |= 1u << 30;
    if (!down) flags |= 1u << 31;
    PostInputTo(focus, message, virtualKey, static_cast<LPARAM>(flags));
}

WPARAM MouseKeys(Uint32 buttons) {
    const InputState& input = Input();
    WPARAM keys = 0;
    if ((buttons & SDL_BUTTON_LMASK) != 0) keys |= MK_LBUTTON;
    if ((buttons & SDL_BUTTON_RMASK) != 0) keys |= MK_RBUTTON;
    if ((buttons & SDL_BUTTON_MMASK) != 0) keys |= MK_MBUTTON;
    if ((buttons & SDL_BUTTON_X1MASK) != 0) keys |= MK_XBUTTON1;
    if ((buttons & SDL_BUTTON_X2MASK) != 0) keys |= MK_XBUTTON2;
    if (input.Shift()) keys |= MK_SHIFT;
    if (input.Control()) keys |= MK_CONTROL;
    return keys;
}

LPARAM ClientPoint(Sint32 x, Sint32 y) {
    return MAKELPARAM(static_cast<WORD>(static_cast<SHORT>(x)), static_cast<WORD>(static_cast<SHORT>(y)));
}

void TranslateMotion(const SDL_MouseMotionEvent& event) {
    const HWND window = WindowTable::Instance().FindByNative(event.windowID);
    if (window != nullptr) PostInputTo(window, WM_MOUSEMOVE, MouseKeys(event.state), ClientPoint(event.x, event.y));
}

void TranslateButton(const SDL_MouseButtonEvent& event) {
    InputState& input = Input();
    const bool down = event.type == SDL_MOUSEBUTTONDOWN;
    if (down) {
        input.buttons |= SDL_BUTTON(event.button);
    } else {
        input.buttons &= ~SDL_BUTTON(event.button);
    }
    const HWND window = WindowTable::Instance().FindByNative(event.windowID);
    if (window == nullptr) return;
    WPARAM wParam = MouseKeys(input.buttons);
    UINT message = 0;
    switch (event.button) {
    case SDL_BUTTON_LEFT:
        message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
        break;
    case SDL_BUTTON_RIGHT:
        message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
        break;
    case SDL_BUTTON_MIDDLE:
        message = down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
        break;
    case SDL_BUTTON_X1:
    case SDL_BUTTON_X2:
        message = down ? WM_XBUTTONDOWN : WM_XBUTTONUP;
        wParam |= MAKEWPARAM(0, event.button == SDL_BUTTON_X1 ? XBUTTON1 : XBUTTON2);
        break;
    default:
        return;
    }
    PostInputTo(window, message, wParam, ClientPoint(event.x, event.y));
}

void TranslateWheel(const SDL_MouseWheelEvent& event) {
    const HWND focus = Focus::Current();
    if (focus == nullptr) return;
    const int sign = event.direction == SDL_MOUSEWHEEL_FLIPPED ? -1 : 1;
    int x = 0;
    int y = 0;
    SDL_GetGlobalMouseState(&x, &y);
    const LPARAM screenPoint = ClientPoint(x, y);
    const WPARAM keys = MouseKeys(Input().buttons);
    if (event.y != 0) {
        const SHORT delta = static_cast<SHORT>(sign * event.y * WHEEL_DELTA);
        PostInputTo(focus, WM_MOUSEWHEEL, keys | MAKEWPARAM(0, static_cast<WORD>(delta)), screenPoint);
    }
    if (event.x != 0) {
        const SHORT delta = static_cast<SHORT>(sign * event.x * WHEEL_DELTA);
        PostInputTo(focus, WM_MOUSEHWHEEL, keys | MAKEWPARAM(0, static_cast<WORD>(delta)), screenPoint);
    }
}

void TranslateWindowEvent(const SDL_WindowEvent& event) {
    const HWND window = WindowTable::Instance().FindByNative(event.windowID);
    if (window == nullptr) return;
    switch (event.event) {
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        Focus::MoveTo(window, false);
        break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        if (Focus::Current() == window) Focus::MoveTo(nullptr, false);
        break;
    case SDL_WINDOWEVENT_CLOSE:
        SendLater(window, WM_CLOSE, 0, 0);
        break;
    default:
        break;
    }
}

void Translate(const SDL_Event& event) {
    switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        NotifyInputEvent(event);
        TranslateKey(event.key);
        break;
    case SDL_MOUSEMOTION:
        NotifyInputEvent(event);
        TranslateMotion(event.motion);
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        NotifyInputEvent(event);
        TranslateButton(event.button);
        break;
    case SDL_MOUSEWHEEL:
        NotifyInputEvent(event);
        TranslateWheel(event.wheel);
        break;
    case SDL_WINDOWEVENT:
        TranslateWindowEvent(event.window);
        break;
    default:
        break;  // SDL_QUIT among them: closing is the window procedure's decision
    }
}

}  // namespace

void PumpPlatformEvents() {
    if (!OnVideoThread()) return;
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0) {
        if (!IsWakeEvent(event)) Translate(event);
    }
}

}  // namespace nvesk::user32

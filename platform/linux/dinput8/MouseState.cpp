#include "MouseState.h"

#include "DataFormats.h"

#include "user32/SdlVideo.h"

#include <winuser.h>

#include <cstring>

namespace nvesk::dinput8 {
namespace {

// DirectInput's button order: left, right, middle, then the side buttons.
int ButtonIndex(Uint8 sdlButton) {
    switch (sdlButton) {
    case SDL_BUTTON_LEFT:
        return 0;
    case SDL_BUTTON_RIGHT:
        return 1;
    case SDL_BUTTON_MIDDLE:
        return 2;
    case SDL_BUTTON_X1:
        return 3;
    case SDL_BUTTON_X2:
        return 4;
    default:
        return -1;
    }
}

}  // namespace

MouseState::MouseState() {
    if (!user32::OnVideoThread()) return;
    const Uint32 held = SDL_GetMouseState(nullptr, nullptr);
    for (Uint8 button = SDL_BUTTON_LEFT; button <= SDL_BUTTON_X2; ++button) {
        if ((held & SDL_BUTTON(button)) != 0) buttons_[static_cast<std::size_t>(ButtonIndex(button))] = 0x80;
    }
}

bool MouseState::AcceptsFormat(const DIDATAFORMAT& format) const {
    return SameDataFormat(format, c_dfDIMouse) || SameDataFormat(format, c_dfDIMouse2);
}

void MouseState::OnInputEvent(const SDL_Event& event) {
    switch (event.type) {
    case SDL_MOUSEMOTION:
        if (accumulating_) {
            x_ += event.motion.xrel;
            y_ += event.motion.yrel;
        }
        break;
    case SDL_MOUSEWHEEL:
        if (accumulating_) {
            const int sign = event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -1 : 1;
            z_ += sign * event.wheel.y * WHEEL_DELTA;
        }
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        const int index = ButtonIndex(event.button.button);
        if (index >= 0) buttons_[static_cast<std::size_t>(index)] = event.type == SDL_MOUSEBUTTONDOWN ? 0x80 : 0x00;
        break;
    }
    default:
        break;
    }
}

void MouseState::ClearMotion() {
    x_ = 0;
    y_ = 0;
    z_ = 0;
}

void MouseState::OnAcquire() {
    ClearMotion();
    accumulating_ = true;
}

void MouseState::OnUnacquire() {
    accumulating_ = false;
    ClearMotion();
}

void MouseState::Read(const DIDATAFORMAT& format, void* data) {
    DIMOUSESTATE2 state {};
    state.lX = x_;
    state.lY = y_;
    state.lZ = z_;
    std::memcpy(state.rgbButtons, buttons_.data(), sizeof(state.rgbButtons));
    std::memcpy(data, &state, format.dwDataSize);
    ClearMotion();
}

}  // namespace nvesk::dinput8

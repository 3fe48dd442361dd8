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
        if ((held & SDL_BUTTON(button)) != 0) m_buttons[static_cast<std::size_t>(ButtonIndex(button))] = 0x80;
    }
}

bool MouseState::AcceptsFormat(const DIDATAFORMAT& format) const {
    return SameDataFormat(format, c_dfDIMouse) || SameDataFormat(format, c_dfDIMouse2);
}

void MouseState::OnInputEvent(const SDL_Event& event) {
    switch (event.type) {
    case SDL_MOUSEMOTION:
        if (m_accumulating) {
            m_x += event.motion.xrel;
            m_y += event.motion.yrel;
        }
        break;
    case SDL_MOUSEWHEEL:
        if (m_accumulating) {
            const int sign = event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -1 : 1;
            m_z += sign * event.wheel.y * WHEEL_DELTA;
        }
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        const int index = ButtonIndex(event.button.button);
        if (index >= 0) m_buttons[static_cast<std::size_t>(index)] = event.type == SDL_MOUSEBUTTONDOWN ? 0x80 : 0x00;
        break;
    }
    default:
        break;
    }
}

void MouseState::ClearMotion() {
    m_x = 0;
    m_y = 0;
    m_z = 0;
}

void MouseState::OnAcquire() {
    ClearMotion();
    m_accumulating = true;
}

void MouseState::OnUnacquire() {
    m_accumulating = false;
    ClearMotion();
}

void MouseState::Read(const DIDATAFORMAT& format, void* data) {
    DIMOUSESTATE2 state {};
    state.lX = m_x;
    state.lY = m_y;
    state.lZ = m_z;
    std::memcpy(state.rgbButtons, m_buttons.data(), sizeof(state.rgbButtons));
    std::memcpy(data, &state, format.dwDataSize);
    ClearMotion();
}

}  // namespace nvesk::dinput8

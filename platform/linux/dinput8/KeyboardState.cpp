#include "KeyboardState.h"

#include "DataFormats.h"

#include "user32/KeyboardLayout.h"
#include "user32/SdlVideo.h"

#include <cstring>

namespace nvesk::dinput8 {

KeyboardState::KeyboardState() {
    if (!user32::OnVideoThread()) return;
    int count = 0;
    const Uint8* down = SDL_GetKeyboardState(&count);
    for (int scancode = 0; scancode < count; ++scancode) {
        const BYTE dik = user32::DikFromScancode(static_cast<SDL_Scancode>(scancode));
        if (down[scancode] != 0 && dik != 0) keys_[dik] = 0x80;
    }
}

bool KeyboardState::AcceptsFormat(const DIDATAFORMAT& format) const {
    return SameDataFormat(format, c_dfDIKeyboard);
}

void KeyboardState::OnInputEvent(const SDL_Event& event) {
    if (event.type != SDL_KEYDOWN && event.type != SDL_KEYUP) return;
    const BYTE dik = user32::DikFromScancode(event.key.keysym.scancode);
    if (dik != 0) keys_[dik] = event.type == SDL_KEYDOWN ? 0x80 : 0x00;
}

void KeyboardState::Read(const DIDATAFORMAT& format, void* data) {
    std::memcpy(data, keys_.data(), format.dwDataSize);
}

}  // namespace nvesk::dinput8

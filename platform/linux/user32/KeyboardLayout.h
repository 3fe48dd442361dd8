// The keyboard as Windows numbers it: each SDL scancode with its DirectInput scan code (DIK_,
// the set-1 scan code with 0x80 for extended keys) and its virtual-key code (US layout).
#pragma once

#include <windows.h>

#include <SDL.h>

namespace nvesk::user32 {

// 0 for a key DirectInput has no code for.
BYTE DikFromScancode(SDL_Scancode scancode);

// SDL_SCANCODE_UNKNOWN for a code no key has.
SDL_Scancode ScancodeFromDik(BYTE dik);

// 0 for a key with no virtual-key code.
BYTE VirtualKeyFromScancode(SDL_Scancode scancode);

}  // namespace nvesk::user32

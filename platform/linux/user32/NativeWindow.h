// What the rest of the Linux platform layer (Direct3D, DirectInput) needs from the window layer:
// the SDL window behind an HWND, and its focus as the user sees it.
#pragma once

#include <windows.h>

struct SDL_Window;

namespace nvesk::user32 {

// The SDL window behind a live HWND (created OpenGL-capable); null for anything else.
SDL_Window* NativeWindow(HWND window);

// Translates pending SDL events into the thread's message queue and moves the focus at once. The
// window procedure hears of focus changes and of the close button inside the thread's next
// message call, as Windows delivers messages sent from outside the thread, never inside this
// call. Lets callers that never pump messages, such as a device polling for loss, still see focus
// changes.
void PumpPlatformEvents();

// Whether the window has the keyboard focus (after the events pumped so far).
bool WindowHasFocus(HWND window);

}  // namespace nvesk::user32

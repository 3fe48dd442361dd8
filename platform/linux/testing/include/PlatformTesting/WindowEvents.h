// Test hook: what the desktop does to a window: another application takes the focus or gives it
// back, the user clicks the close button. The window layer takes the event in before the call
// returns; the window procedure hears of it in the thread's next message call. False when there
// is no display or no such window.
#pragma once

#include <windows.h>

namespace PlatformTesting {

bool LoseFocus(HWND window);
bool GainFocus(HWND window);
bool ClickCloseButton(HWND window);

// The X11 window behind a window, for tools that drive the real X server (xdotool); 0 when the
// display is not X11.
unsigned long X11WindowOf(HWND window);

}  // namespace PlatformTesting

// Test hook: keyboard and mouse input as the system would deliver it, through the same path as
// real SDL events (window messages and DirectInput both see it). Keys go to the window with the
// focus; mouse events happen over it. Each call returns once the event has been taken in (on the
// thread that made the windows); false when there is no display or no such key.
#pragma once

#include <windows.h>

namespace PlatformTesting {

bool PressKey(BYTE dikCode);
bool ReleaseKey(BYTE dikCode);

// Relative motion in mouse units (mickeys), as an exclusive DirectInput mouse reads it.
bool MoveMouse(LONG dx, LONG dy);
// Buttons in DirectInput order: 0 left, 1 right, 2 middle, 3 and 4 the side buttons.
bool PressMouseButton(int button);
bool ReleaseMouseButton(int button);
// Wheel notches, positive away from the user.
bool TurnMouseWheel(int notches);

}  // namespace PlatformTesting

// Keyboard and mouse through DirectInput 8, polled once per frame into one static record whose
// fields every consumer reads directly.
#pragma once

#include <dinput.h>
#include <windows.h>

#include <cstdint>

namespace NVesk {
namespace NEvents {

struct EventManager {
    // Creates the DirectInput object and both devices (not acquired) for Renderer::Window.
    // 0; 1 no DirectInput object; 2 no keyboard; 3 no mouse; 4 the mouse's cooperative level failed.
    static std::int32_t InitEventManager();
    // Reads both devices; a failed read re-acquires the device and reports it all up / motionless.
    // Does nothing for a device that does not exist.
    static void Update();
    // Releases the devices and the DirectInput object.
    static void Release();

    IDirectInput8W* directInput;
    IDirectInputDevice8W* keyboard;
    IDirectInputDevice8W* mouse;
    BYTE keys[256];  // DIK_ codes; bit 7 set = down
    DIMOUSESTATE mouseState;
    bool useMouse;
    bool useKeyboard;
    bool initialised;
    float mouseDeltaX;
    float mouseDeltaY;
    float mouseDeltaZ;
};

// The process's one event manager record; all zero at program load.
extern EventManager TheEventManager;

}  // namespace NEvents
}  // namespace NVesk

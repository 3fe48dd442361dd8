// What a device reports: built from the system's input events, read in the device's data format.
#pragma once

#include <dinput.h>

#include <SDL.h>

namespace nvesk::dinput8 {

class DeviceState {
public:
    virtual ~DeviceState() = default;

    virtual bool AcceptsFormat(const DIDATAFORMAT& format) const = 0;
    // Every input event, acquired or not: the state follows the hardware.
    virtual void OnInputEvent(const SDL_Event& event) = 0;
    virtual void OnAcquire() = 0;
    virtual void OnUnacquire() = 0;
    // Fills format.dwDataSize bytes; relative data starts again from zero.
    virtual void Read(const DIDATAFORMAT& format, void* data) = 0;
    // An exclusive device of this kind hides and captures the pointer.
    virtual bool CapturesPointer() const = 0;
};

}  // namespace nvesk::dinput8

// The system mouse: relative motion and wheel summed since the last read while acquired, and up
// to eight buttons (DIMOUSESTATE reads the first four).
#pragma once

#include "DeviceState.h"

#include <array>

namespace nvesk::dinput8 {

class MouseState final : public DeviceState {
public:
    MouseState();

    bool AcceptsFormat(const DIDATAFORMAT& format) const override;
    void OnInputEvent(const SDL_Event& event) override;
    void OnAcquire() override;
    void OnUnacquire() override;
    void Read(const DIDATAFORMAT& format, void* data) override;
    bool CapturesPointer() const override { return true; }

private:
    void ClearMotion();

    bool accumulating_ = false;
    LONG x_ = 0;
    LONG y_ = 0;
    LONG z_ = 0;
    std::array<BYTE, 8> buttons_ {};
};

}  // namespace nvesk::dinput8

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

    bool m_accumulating = false;
    LONG m_x = 0;
    LONG m_y = 0;
    LONG m_z = 0;
    std::array<BYTE, 8> m_buttons {};
};

}  // namespace nvesk::dinput8

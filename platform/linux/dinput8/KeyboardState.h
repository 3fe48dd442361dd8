// The system keyboard: 256 bytes by DIK_ code, bit 7 set while the key is down.
#pragma once

#include "DeviceState.h"

#include <array>

namespace nvesk::dinput8 {

class KeyboardState final : public DeviceState {
public:
    // Starts from the keys already down.
    KeyboardState();

    bool AcceptsFormat(const DIDATAFORMAT& format) const override;
    void OnInputEvent(const SDL_Event& event) override;
    void OnAcquire() override {}
    void OnUnacquire() override {}
    void Read(const DIDATAFORMAT& format, void* data) override;
    bool CapturesPointer() const override { return false; }

private:
    std::array<BYTE, 256> keys_ {};
};

}  // namespace nvesk::dinput8

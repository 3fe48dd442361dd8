// IDirectInput8W: makes the system keyboard and mouse devices.
#pragma once

#include "com/Object.h"

#include <dinput.h>

namespace nvesk::dinput8 {

class DirectInput final : public com::ComObject<IDirectInput8W> {
public:
    DirectInput() : ComObject(com::Kind::DirectInput) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override;

    HRESULT STDMETHODCALLTYPE CreateDevice(REFGUID rguid, LPDIRECTINPUTDEVICE8W* lplpDirectInputDevice,
                                           LPUNKNOWN pUnkOuter) override;
    HRESULT STDMETHODCALLTYPE GetDeviceStatus(REFGUID rguidInstance) override;

private:
    void OnFinalRelease() override {}
};

}  // namespace nvesk::dinput8

// IDirectInput8W: makes the system keyboard and mouse devices.
#pragma once

#include "RefCountedObject.h"

#include <dinput.h>

namespace nvesk::dinput8 {

class DirectInput final : public IDirectInput8W, public RefCountedObject {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE CreateDevice(REFGUID rguid, LPDIRECTINPUTDEVICE8W* lplpDirectInputDevice,
                                           LPUNKNOWN pUnkOuter) override;
    HRESULT STDMETHODCALLTYPE GetDeviceStatus(REFGUID rguidInstance) override;

private:
    void OnFinalRelease() override {}
};

}  // namespace nvesk::dinput8

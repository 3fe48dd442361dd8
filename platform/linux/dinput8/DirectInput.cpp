#include "DirectInput.h"
#include "com/Diagnostics.h"
#include "com/Object.h"

#include "InputDevice.h"
#include "KeyboardState.h"
#include "MouseState.h"

#include <new>

namespace nvesk::dinput8 {

using com::Refuse;

namespace {

bool SystemDevice(REFGUID guid) {
    return guid == GUID_SysKeyboard || guid == GUID_SysMouse;
}

}  // namespace

HRESULT DirectInput::QueryInterface(REFIID riid, void** ppvObject) {
    return QueryInterfaceAmong(riid, ppvObject, {&IID_IDirectInput8W});
}

HRESULT DirectInput::CreateDevice(REFGUID rguid, LPDIRECTINPUTDEVICE8W* lplpDirectInputDevice, LPUNKNOWN pUnkOuter) {
    if (lplpDirectInputDevice != nullptr) *lplpDirectInputDevice = nullptr;
    NVESK_ENTER("IDirectInput8W::CreateDevice");
    if (lplpDirectInputDevice == nullptr) return Refuse(DIERR_INVALIDPARAM, "lplpDirectInputDevice is null");
    if (pUnkOuter != nullptr) return DIERR_NOAGGREGATION;
    if (!SystemDevice(rguid)) return DIERR_DEVICENOTREG;
    std::unique_ptr<DeviceState> state;
    if (rguid == GUID_SysKeyboard) {
        state = std::make_unique<KeyboardState>();
    } else {
        state = std::make_unique<MouseState>();
    }
    *lplpDirectInputDevice = new (std::nothrow) InputDevice(rguid, std::move(state), this);
    return *lplpDirectInputDevice != nullptr ? DI_OK : DIERR_OUTOFMEMORY;
}

HRESULT DirectInput::GetDeviceStatus(REFGUID rguidInstance) {
    NVESK_ENTER("IDirectInput8W::GetDeviceStatus");
    return SystemDevice(rguidInstance) ? DI_OK : DIERR_DEVICENOTREG;
}

}  // namespace nvesk::dinput8

extern "C" HRESULT WINAPI DirectInput8Create(HINSTANCE hinst, DWORD dwVersion, REFIID riidltf, LPVOID* ppvOut,
                                             LPUNKNOWN punkOuter) {
    if (ppvOut != nullptr) *ppvOut = nullptr;
    NVESK_ENTER_FUNCTION("DirectInput8Create");
    if (ppvOut == nullptr) return nvesk::com::Refuse(DIERR_INVALIDPARAM, "ppvOut is null");
    if (hinst == nullptr) return DIERR_INVALIDPARAM;
    // An older version is a pre-release of DirectInput 8; a newer one needs a newer DirectInput.
    if (dwVersion < 0x0800) return DIERR_BETADIRECTINPUTVERSION;
    if (dwVersion > 0x0800) return DIERR_OLDDIRECTINPUTVERSION;
    if (punkOuter != nullptr) return DIERR_NOAGGREGATION;
    if (riidltf != IID_IDirectInput8W && riidltf != IID_IUnknown) return DIERR_NOINTERFACE;
    nvesk::dinput8::DirectInput* directInput = new (std::nothrow) nvesk::dinput8::DirectInput();
    if (directInput == nullptr) return DIERR_OUTOFMEMORY;
    *ppvOut = static_cast<IDirectInput8W*>(directInput);
    return DI_OK;
}

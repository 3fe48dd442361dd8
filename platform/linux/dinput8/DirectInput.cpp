#include "DirectInput.h"
#include "com/FaultInjection.h"

#include "InputDevice.h"
#include "KeyboardState.h"
#include "MouseState.h"

#include <new>

namespace nvesk::dinput8 {
namespace {

bool SystemDevice(REFGUID guid) {
    return guid == GUID_SysKeyboard || guid == GUID_SysMouse;
}

}  // namespace

HRESULT DirectInput::QueryInterface(REFIID riid, void** ppvObject) {
    return QueryOwnInterface(riid, IID_IDirectInput8W, static_cast<IDirectInput8W*>(this), ppvObject);
}

ULONG DirectInput::AddRef() {
    return AddReference();
}

ULONG DirectInput::Release() {
    return ReleaseReference();
}

HRESULT DirectInput::CreateDevice(REFGUID rguid, LPDIRECTINPUTDEVICE8W* lplpDirectInputDevice, LPUNKNOWN pUnkOuter) {
    if (Released()) return DIERR_NOTINITIALIZED;
    if (lplpDirectInputDevice == nullptr) return DIERR_INVALIDPARAM;
    *lplpDirectInputDevice = nullptr;
    if (HRESULT injected; nvesk::com::TakeInjectedFailure("IDirectInput8W::CreateDevice", &injected)) return injected;
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
    if (Released()) return DIERR_NOTINITIALIZED;
    return SystemDevice(rguidInstance) ? DI_OK : DIERR_DEVICENOTREG;
}

}  // namespace nvesk::dinput8

extern "C" HRESULT WINAPI DirectInput8Create(HINSTANCE hinst, DWORD dwVersion, REFIID riidltf, LPVOID* ppvOut,
                                             LPUNKNOWN punkOuter) {
    if (ppvOut == nullptr) return DIERR_INVALIDPARAM;
    *ppvOut = nullptr;
    if (HRESULT injected; nvesk::com::TakeInjectedFailure("DirectInput8Create", &injected)) return injected;
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

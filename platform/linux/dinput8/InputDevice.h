// IDirectInputDevice8W for the system keyboard and mouse: data format, cooperative level,
// acquisition (lost when a foreground device's window loses the focus) and immediate state.
#pragma once

#include "DeviceState.h"
#include "RefCountedObject.h"

#include "user32/PlatformEventListener.h"

#include <dinput.h>

#include <memory>

namespace nvesk::dinput8 {

class InputDevice final : public IDirectInputDevice8W, public RefCountedObject, private user32::PlatformEventListener {
public:
    // Keeps `owner` (the DirectInput object) alive while the device lives.
    InputDevice(REFGUID instance, std::unique_ptr<DeviceState> state, IUnknown* owner);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE Acquire() override;
    HRESULT STDMETHODCALLTYPE Unacquire() override;
    HRESULT STDMETHODCALLTYPE GetDeviceState(DWORD cbData, LPVOID lpvData) override;
    HRESULT STDMETHODCALLTYPE SetDataFormat(LPCDIDATAFORMAT lpdf) override;
    HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND hwnd, DWORD dwFlags) override;
    HRESULT STDMETHODCALLTYPE Poll() override;

private:
    void OnFinalRelease() override;
    void OnInputEvent(const SDL_Event& event) override;
    void OnFocusChanged(HWND lost, HWND gained) override;
    void OnWindowDestroyed(HWND window) override;

    bool Foreground() const { return (m_cooperation & DISCL_FOREGROUND) != 0; }
    bool Exclusive() const { return (m_cooperation & DISCL_EXCLUSIVE) != 0; }
    void StopAcquisition();
    void LoseInput();

    GUID m_instance;
    std::unique_ptr<DeviceState> m_state;
    IUnknown* m_owner;
    bool m_hasFormat = false;
    DIDATAFORMAT m_format {};
    HWND m_window = nullptr;
    DWORD m_cooperation = DISCL_NONEXCLUSIVE | DISCL_BACKGROUND;
    bool m_acquired = false;
    bool m_inputLost = false;
};

}  // namespace nvesk::dinput8

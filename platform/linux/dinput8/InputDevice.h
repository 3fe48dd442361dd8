// IDirectInputDevice8W for the system keyboard and mouse: data format, cooperative level,
// acquisition (lost when a foreground device's window loses the focus) and immediate state.
#pragma once

#include "DeviceState.h"
#include "com/Object.h"

#include "user32/PlatformEventListener.h"

#include <dinput.h>

#include <memory>

namespace nvesk::dinput8 {

class InputDevice final : public com::ComObject<IDirectInputDevice8W>, private user32::PlatformEventListener {
public:
    // Keeps `owner` (the DirectInput object) alive while the device lives.
    InputDevice(REFGUID instance, std::unique_ptr<DeviceState> state, IUnknown* owner);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override;

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

    bool Foreground() const { return (cooperation_ & DISCL_FOREGROUND) != 0; }
    bool Exclusive() const { return (cooperation_ & DISCL_EXCLUSIVE) != 0; }
    void StopAcquisition();
    void LoseInput();

    GUID instance_;
    std::unique_ptr<DeviceState> state_;
    IUnknown* owner_;
    bool hasFormat_ = false;
    DIDATAFORMAT format_ {};
    HWND window_ = nullptr;
    DWORD cooperation_ = DISCL_NONEXCLUSIVE | DISCL_BACKGROUND;
    bool acquired_ = false;
    bool inputLost_ = false;
};

}  // namespace nvesk::dinput8

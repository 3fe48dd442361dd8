#include "InputDevice.h"
#include "com/Diagnostics.h"
#include "com/Object.h"

#include "user32/NativeWindow.h"
#include "user32/SdlVideo.h"

#include <winuser.h>

#include <map>
#include <mutex>

namespace nvesk::dinput8 {

using com::Refuse;

namespace {

// One exclusive owner per system device at a time, across all DirectInput objects.
std::map<std::uint32_t, InputDevice*>& ExclusiveOwners() {
    static std::map<std::uint32_t, InputDevice*> owners;
    return owners;
}

void CapturePointer(bool capture) {
    if (user32::OnVideoThread()) SDL_SetRelativeMouseMode(capture ? SDL_TRUE : SDL_FALSE);
}

constexpr DWORD kKnownCooperation =
    DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_FOREGROUND | DISCL_BACKGROUND | DISCL_NOWINKEY;

bool ExactlyOne(DWORD flags, DWORD first, DWORD second) {
    return ((flags & first) != 0) != ((flags & second) != 0);
}

}  // namespace

InputDevice::InputDevice(REFGUID instance, std::unique_ptr<DeviceState> state, IUnknown* owner)
    : ComObject(com::Kind::InputDevice), instance_(instance), state_(std::move(state)), owner_(owner) {
    owner_->AddRef();
    user32::AddPlatformEventListener(this);
}

HRESULT InputDevice::QueryInterface(REFIID riid, void** ppvObject) {
    return QueryInterfaceAmong(riid, ppvObject, {&IID_IDirectInputDevice8W});
}

void InputDevice::OnFinalRelease() {
    if (acquired_) StopAcquisition();
    user32::RemovePlatformEventListener(this);
    state_.reset();
    owner_->Release();
}

void InputDevice::StopAcquisition() {
    acquired_ = false;
    state_->OnUnacquire();
    std::map<std::uint32_t, InputDevice*>& owners = ExclusiveOwners();
    const auto owner = owners.find(instance_.Data1);
    if (owner != owners.end() && owner->second == this) {
        owners.erase(owner);
        if (state_->CapturesPointer()) CapturePointer(false);
    }
}

void InputDevice::LoseInput() {
    StopAcquisition();
    inputLost_ = true;
}

void InputDevice::OnInputEvent(const SDL_Event& event) {
    state_->OnInputEvent(event);
}

void InputDevice::OnFocusChanged(HWND lost, HWND) {
    if (acquired_ && Foreground() && lost == window_ && lost != nullptr) LoseInput();
}

void InputDevice::OnWindowDestroyed(HWND window) {
    if (window != window_) return;
    if (acquired_ && Foreground()) LoseInput();
    window_ = nullptr;
}

HRESULT InputDevice::Acquire() {
    NVESK_ENTER("IDirectInputDevice8W::Acquire");
    if (!hasFormat_) return Refuse(DIERR_INVALIDPARAM, "no data format was set");
    if (acquired_) return DI_NOEFFECT;
    user32::PumpPlatformEvents();
    if (Foreground() && !user32::WindowHasFocus(window_)) return DIERR_OTHERAPPHASPRIO;
    if (Exclusive()) {
        std::map<std::uint32_t, InputDevice*>& owners = ExclusiveOwners();
        if (owners.count(instance_.Data1) != 0) return DIERR_OTHERAPPHASPRIO;
        owners[instance_.Data1] = this;
        if (state_->CapturesPointer()) CapturePointer(true);
    }
    acquired_ = true;
    inputLost_ = false;
    state_->OnAcquire();
    return DI_OK;
}

HRESULT InputDevice::Unacquire() {
    NVESK_ENTER("IDirectInputDevice8W::Unacquire");
    if (!acquired_) return DI_NOEFFECT;
    StopAcquisition();
    return DI_OK;
}

HRESULT InputDevice::GetDeviceState(DWORD cbData, LPVOID lpvData) {
    NVESK_ENTER("IDirectInputDevice8W::GetDeviceState");
    if (lpvData == nullptr) return Refuse(DIERR_INVALIDPARAM, "lpvData is null");
    user32::PumpPlatformEvents();
    if (inputLost_) {
        inputLost_ = false;
        return DIERR_INPUTLOST;
    }
    if (!acquired_) return DIERR_NOTACQUIRED;
    if (cbData != format_.dwDataSize) {
        return Refuse(DIERR_INVALIDPARAM, "cbData %u is not the data format's size %u", cbData, format_.dwDataSize);
    }
    state_->Read(format_, lpvData);
    return DI_OK;
}

HRESULT InputDevice::SetDataFormat(LPCDIDATAFORMAT lpdf) {
    NVESK_ENTER("IDirectInputDevice8W::SetDataFormat");
    if (lpdf == nullptr) return Refuse(DIERR_INVALIDPARAM, "lpdf is null");
    if (acquired_) return DIERR_ACQUIRED;
    if (!state_->AcceptsFormat(*lpdf)) {
        return Refuse(DIERR_INVALIDPARAM, "the data format does not fit this device");
    }
    format_ = *lpdf;
    hasFormat_ = true;
    return DI_OK;
}

HRESULT InputDevice::SetCooperativeLevel(HWND hwnd, DWORD dwFlags) {
    NVESK_ENTER("IDirectInputDevice8W::SetCooperativeLevel");
    if (acquired_) return DIERR_ACQUIRED;
    if ((dwFlags & ~kKnownCooperation) != 0 || !ExactlyOne(dwFlags, DISCL_EXCLUSIVE, DISCL_NONEXCLUSIVE) ||
        !ExactlyOne(dwFlags, DISCL_FOREGROUND, DISCL_BACKGROUND)) {
        return Refuse(DIERR_INVALIDPARAM,
                      "dwFlags 0x%x needs exactly one of EXCLUSIVE and NONEXCLUSIVE, one of FOREGROUND and "
                      "BACKGROUND, and no other flags but NOWINKEY",
                      dwFlags);
    }
    // The Windows key is held back only while the window is in the foreground.
    if ((dwFlags & DISCL_NOWINKEY) != 0 && (dwFlags & DISCL_BACKGROUND) != 0) {
        return Refuse(DIERR_INVALIDPARAM, "NOWINKEY needs FOREGROUND");
    }
    if ((dwFlags & (DISCL_EXCLUSIVE | DISCL_BACKGROUND)) == (DISCL_EXCLUSIVE | DISCL_BACKGROUND)) {
        return DIERR_UNSUPPORTED;  // not for the system keyboard and mouse
    }
    const bool needsWindow = (dwFlags & (DISCL_EXCLUSIVE | DISCL_FOREGROUND)) != 0;
    if (needsWindow || hwnd != nullptr) {
        if (user32::NativeWindow(hwnd) == nullptr) return E_HANDLE;
    }
    window_ = hwnd;
    cooperation_ = dwFlags;
    return DI_OK;
}

HRESULT InputDevice::Poll() {
    NVESK_ENTER("IDirectInputDevice8W::Poll");
    if (!acquired_) return DIERR_NOTACQUIRED;
    return DI_NOEFFECT;  // the keyboard and mouse deliver their state without polling
}

}  // namespace nvesk::dinput8

#include "InputDevice.h"

#include "user32/NativeWindow.h"
#include "user32/SdlVideo.h"

#include <winuser.h>

#include <map>
#include <mutex>

namespace nvesk::dinput8 {
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
    : m_instance(instance), m_state(std::move(state)), m_owner(owner) {
    m_owner->AddRef();
    user32::AddPlatformEventListener(this);
}

HRESULT InputDevice::QueryInterface(REFIID riid, void** ppvObject) {
    return QueryOwnInterface(riid, IID_IDirectInputDevice8W, static_cast<IDirectInputDevice8W*>(this), ppvObject);
}

ULONG InputDevice::AddRef() {
    return AddReference();
}

ULONG InputDevice::Release() {
    return ReleaseReference();
}

void InputDevice::OnFinalRelease() {
    if (m_acquired) StopAcquisition();
    user32::RemovePlatformEventListener(this);
    m_state.reset();
    m_owner->Release();
}

void InputDevice::StopAcquisition() {
    m_acquired = false;
    m_state->OnUnacquire();
    std::map<std::uint32_t, InputDevice*>& owners = ExclusiveOwners();
    const auto owner = owners.find(m_instance.Data1);
    if (owner != owners.end() && owner->second == this) {
        owners.erase(owner);
        if (m_state->CapturesPointer()) CapturePointer(false);
    }
}

void InputDevice::LoseInput() {
    StopAcquisition();
    m_inputLost = true;
}

void InputDevice::OnInputEvent(const SDL_Event& event) {
    m_state->OnInputEvent(event);
}

void InputDevice::OnFocusChanged(HWND lost, HWND) {
    if (m_acquired && Foreground() && lost == m_window && lost != nullptr) LoseInput();
}

void InputDevice::OnWindowDestroyed(HWND window) {
    if (window != m_window) return;
    if (m_acquired && Foreground()) LoseInput();
    m_window = nullptr;
}

HRESULT InputDevice::Acquire() {
    if (Released()) return DIERR_NOTINITIALIZED;
    if (!m_hasFormat) return DIERR_INVALIDPARAM;
    if (m_acquired) return DI_NOEFFECT;
    user32::PumpPlatformEvents();
    if (Foreground() && !user32::WindowHasFocus(m_window)) return DIERR_OTHERAPPHASPRIO;
    if (Exclusive()) {
        std::map<std::uint32_t, InputDevice*>& owners = ExclusiveOwners();
        if (owners.count(m_instance.Data1) != 0) return DIERR_OTHERAPPHASPRIO;
        owners[m_instance.Data1] = this;
        if (m_state->CapturesPointer()) CapturePointer(true);
    }
    m_acquired = true;
    m_inputLost = false;
    m_state->OnAcquire();
    return DI_OK;
}

HRESULT InputDevice::Unacquire() {
    if (Released()) return DIERR_NOTINITIALIZED;
    if (!m_acquired) return DI_NOEFFECT;
    StopAcquisition();
    return DI_OK;
}

HRESULT InputDevice::GetDeviceState(DWORD cbData, LPVOID lpvData) {
    if (Released()) return DIERR_NOTINITIALIZED;
    if (lpvData == nullptr) return DIERR_INVALIDPARAM;
    user32::PumpPlatformEvents();
    if (m_inputLost) {
        m_inputLost = false;
        return DIERR_INPUTLOST;
    }
    if (!m_acquired) return DIERR_NOTACQUIRED;
    if (cbData != m_format.dwDataSize) return DIERR_INVALIDPARAM;
    m_state->Read(m_format, lpvData);
    return DI_OK;
}

HRESULT InputDevice::SetDataFormat(LPCDIDATAFORMAT lpdf) {
    if (Released()) return DIERR_NOTINITIALIZED;
    if (lpdf == nullptr) return DIERR_INVALIDPARAM;
    if (m_acquired) return DIERR_ACQUIRED;
    if (!m_state->AcceptsFormat(*lpdf)) return DIERR_INVALIDPARAM;
    m_format = *lpdf;
    m_hasFormat = true;
    return DI_OK;
}

HRESULT InputDevice::SetCooperativeLevel(HWND hwnd, DWORD dwFlags) {
    if (Released()) return DIERR_NOTINITIALIZED;
    if (m_acquired) return DIERR_ACQUIRED;
    if ((dwFlags & ~kKnownCooperation) != 0 || !ExactlyOne(dwFlags, DISCL_EXCLUSIVE, DISCL_NONEXCLUSIVE) ||
        !ExactlyOne(dwFlags, DISCL_FOREGROUND, DISCL_BACKGROUND)) {
        return DIERR_INVALIDPARAM;
    }
    // The Windows key is held back only while the window is in the foreground.
    if ((dwFlags & DISCL_NOWINKEY) != 0 && (dwFlags & DISCL_BACKGROUND) != 0) return DIERR_INVALIDPARAM;
    if ((dwFlags & (DISCL_EXCLUSIVE | DISCL_BACKGROUND)) == (DISCL_EXCLUSIVE | DISCL_BACKGROUND)) {
        return DIERR_UNSUPPORTED;  // not for the system keyboard and mouse
    }
    const bool needsWindow = (dwFlags & (DISCL_EXCLUSIVE | DISCL_FOREGROUND)) != 0;
    if (needsWindow || hwnd != nullptr) {
        if (user32::NativeWindow(hwnd) == nullptr) return E_HANDLE;
    }
    m_window = hwnd;
    m_cooperation = dwFlags;
    return DI_OK;
}

HRESULT InputDevice::Poll() {
    if (Released()) return DIERR_NOTINITIALIZED;
    if (!m_acquired) return DIERR_NOTACQUIRED;
    return DI_NOEFFECT;  // the keyboard and mouse deliver their state without polling
}

}  // namespace nvesk::dinput8

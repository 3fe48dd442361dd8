#include "events/EventManager.h"

#include "lib/Logger.h"
#include "renderer/ComHelpers.h"
#include "renderer/Renderer.h"

#include <cstring>

namespace NVesk {
namespace NEvents {

EventManager TheEventManager;

namespace {

using NRenderer::HexCode;
using NRenderer::ReleaseAndClear;

constexpr DWORD kKeyboardCooperation = DISCL_EXCLUSIVE | DISCL_FOREGROUND | DISCL_NOWINKEY;
constexpr DWORD kMouseCooperation = DISCL_EXCLUSIVE | DISCL_FOREGROUND;
// Set in every failure result, DIERR_INPUTLOST and DIERR_NOTACQUIRED among them.
constexpr HRESULT kReadFailedBits = static_cast<HRESULT>(0x8007001E);

void Report(const std::wstring& text) {
    NLib::Logger::Write(L"-->NVesk::NEvents::EventManager::InitEventManager" + text, false);
}

// A set-up call whose failure does not stop the set-up still leaves a trace.
void ReportIfFailed(HRESULT result, const wchar_t* text) {
    if (FAILED(result)) Report(text + HexCode(result));
}

// Reads one device; a failed read re-acquires it and reports its state as all zero.
void ReadDevice(IDirectInputDevice8W* device, DWORD size, void* state) {
    if (device == nullptr) return;
    if ((device->GetDeviceState(size, state) & kReadFailedBits) != 0) {
        device->Acquire();
        std::memset(state, 0, size);
    }
}

}  // namespace

std::int32_t EventManager::InitEventManager() {
    EventManager& record = TheEventManager;
    const HWND window = NRenderer::Renderer::Window;
    record.useMouse = true;
    record.useKeyboard = true;
    NLib::Logger::Write(L"Setting up EventManager", true);

    HRESULT result = DirectInput8Create(GetModuleHandleW(nullptr), 0x0800, IID_IDirectInput8W,
                                        reinterpret_cast<void**>(&record.directInput), nullptr);
    if (FAILED(result)) {
        record.directInput = nullptr;
        Report(L" >> Cannot create main DirectInput object. Function \"DirectInput8Create()\" has returned: " +
               HexCode(result));
        return 1;
    }

    result = record.directInput->CreateDevice(GUID_SysKeyboard, &record.keyboard, nullptr);
    if (FAILED(result)) {
        record.keyboard = nullptr;
        ReleaseAndClear(record.directInput);
        Report(L" >> Cannot create Keyboard device. Function \"CreateDevice()\" has returned: " + HexCode(result));
        return 2;
    }
    ReportIfFailed(record.keyboard->SetDataFormat(&c_dfDIKeyboard),
                   L" >> Cannot set Keyboard data format. Function \"SetDataFormat()\" has returned: ");
    ReportIfFailed(record.keyboard->SetCooperativeLevel(window, kKeyboardCooperation),
                   L" >> Cannot set Keyboard cooperative level. Function \"SetCooperativeLevel()\" has returned: ");

    result = record.directInput->CreateDevice(GUID_SysMouse, &record.mouse, nullptr);
    if (FAILED(result)) {
        record.mouse = nullptr;
        ReleaseAndClear(record.directInput);
        Report(L" >> Cannot create Mouse device. Function \"CreateDevice()\" has returned: " + HexCode(result));
        return 3;
    }
    ReportIfFailed(record.mouse->SetDataFormat(&c_dfDIMouse),
                   L" >> Cannot set Mouse data format. Function \"SetDataFormat()\" has returned: ");
    if (FAILED(record.mouse->SetCooperativeLevel(window, kMouseCooperation))) {
        ReleaseAndClear(record.keyboard);
        ReleaseAndClear(record.mouse);
        ReleaseAndClear(record.directInput);
        Report(L" >> Failed to set up devices.");
        return 4;
    }
    record.initialised = true;
    return 0;
}

void EventManager::Update() {
    EventManager& record = TheEventManager;
    if (record.useKeyboard) ReadDevice(record.keyboard, sizeof(record.keys), record.keys);
    if (record.useMouse) ReadDevice(record.mouse, sizeof(record.mouseState), &record.mouseState);
    record.mouseDeltaX = static_cast<float>(record.mouseState.lX);
    record.mouseDeltaY = static_cast<float>(record.mouseState.lY);
    record.mouseDeltaZ = static_cast<float>(record.mouseState.lZ);
}

void EventManager::Release() {
    EventManager& record = TheEventManager;
    ReleaseAndClear(record.keyboard);
    ReleaseAndClear(record.mouse);
    ReleaseAndClear(record.directInput);
    record.initialised = false;
}

}  // namespace NEvents
}  // namespace NVesk

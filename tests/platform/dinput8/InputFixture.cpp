#include "InputFixture.h"

void InputFixture::SetUp() {
    window = std::make_unique<TestSupport::TestWindow>();
    ShowWindow(window->Handle(), SW_SHOW);
    TestSupport::PumpMessages();
    ASSERT_EQ(DirectInput8Create(GetModuleHandleW(nullptr), 0x0800, IID_IDirectInput8W,
                                 reinterpret_cast<void**>(&directInput), nullptr),
              DI_OK);
    ASSERT_NE(directInput, nullptr);
}

void InputFixture::TearDown() {
    for (IDirectInputDevice8W* device : devices_)
        device->Release();
    if (directInput != nullptr) directInput->Release();
    window.reset();
}

IDirectInputDevice8W* InputFixture::MakeDevice(REFGUID device, DWORD cooperation) {
    IDirectInputDevice8W* made = nullptr;
    EXPECT_EQ(directInput->CreateDevice(device, &made, nullptr), DI_OK);
    if (made == nullptr) return nullptr;
    devices_.push_back(made);
    EXPECT_EQ(made->SetDataFormat(device == GUID_SysKeyboard ? &c_dfDIKeyboard : &c_dfDIMouse), DI_OK);
    EXPECT_EQ(made->SetCooperativeLevel(window->Handle(), cooperation), DI_OK);
    return made;
}

IDirectInputDevice8W* InputFixture::MakeKeyboard(DWORD cooperation) {
    return MakeDevice(GUID_SysKeyboard, cooperation);
}

IDirectInputDevice8W* InputFixture::MakeMouse(DWORD cooperation) {
    return MakeDevice(GUID_SysMouse, cooperation);
}

HRESULT InputFixture::ReadKeys(IDirectInputDevice8W* keyboard, BYTE (&keys)[256]) {
    return keyboard->GetDeviceState(sizeof(keys), keys);
}

HRESULT InputFixture::ReadMouse(IDirectInputDevice8W* mouse, DIMOUSESTATE& state) {
    return mouse->GetDeviceState(sizeof(state), &state);
}

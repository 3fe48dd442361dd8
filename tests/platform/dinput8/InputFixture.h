// A shown window with the focus and a DirectInput object, as the event manager sets them up, with
// helpers to make a device in the standard format and cooperative level.
#pragma once

#include "platform/user32/TestWindow.h"

#include <dinput.h>

#include <gtest/gtest.h>

#include <memory>

class InputFixture : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Device with its standard data format and the given cooperative level; null on failure.
    IDirectInputDevice8W* MakeDevice(REFGUID device, DWORD cooperation);
    IDirectInputDevice8W* MakeKeyboard(DWORD cooperation = DISCL_EXCLUSIVE | DISCL_FOREGROUND | DISCL_NOWINKEY);
    IDirectInputDevice8W* MakeMouse(DWORD cooperation = DISCL_EXCLUSIVE | DISCL_FOREGROUND);

    HRESULT ReadKeys(IDirectInputDevice8W* keyboard, BYTE (&keys)[256]);
    HRESULT ReadMouse(IDirectInputDevice8W* mouse, DIMOUSESTATE& state);

    std::unique_ptr<TestSupport::TestWindow> window;
    IDirectInput8W* directInput = nullptr;

private:
    std::vector<IDirectInputDevice8W*> devices_;
};

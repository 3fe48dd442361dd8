// What the devices read: every key by DIK_ code for as long as it is held, mouse motion and wheel
// summed between reads, buttons while held.
#include "InputFixture.h"

#include "PlatformTesting/Input.h"

using DeviceState = InputFixture;

TEST_F(DeviceState, HeldKeyReadsDownInEveryFrameUntilReleased) {
    IDirectInputDevice8W* keyboard = MakeKeyboard();
    ASSERT_NE(keyboard, nullptr);
    ASSERT_EQ(keyboard->Acquire(), DI_OK);
    ASSERT_TRUE(PlatformTesting::PressKey(DIK_F2));
    BYTE keys[256];
    for (int frame = 0; frame < 3; ++frame) {
        SCOPED_TRACE(frame);
        ASSERT_EQ(ReadKeys(keyboard, keys), DI_OK);
        EXPECT_EQ(keys[DIK_F2], 0x80);
        EXPECT_EQ(keys[DIK_F1], 0);
        EXPECT_EQ(keys[DIK_ESCAPE], 0);
    }
    ASSERT_TRUE(PlatformTesting::ReleaseKey(DIK_F2));
    ASSERT_EQ(ReadKeys(keyboard, keys), DI_OK);
    EXPECT_EQ(keys[DIK_F2], 0);
}

TEST_F(DeviceState, WholeKeyboardIsMappedToItsScanCodes) {
    IDirectInputDevice8W* keyboard = MakeKeyboard();
    ASSERT_NE(keyboard, nullptr);
    ASSERT_EQ(keyboard->Acquire(), DI_OK);
    // Letters, digits, the extended block, keypad and modifiers, including codes the demo never reads.
    const BYTE codes[] = {DIK_ESCAPE,     DIK_1,         DIK_0,        DIK_Q,           DIK_P,        DIK_A,
                          DIK_L,          DIK_Z,         DIK_M,        DIK_SPACE,       DIK_RETURN,   DIK_LSHIFT,
                          DIK_RSHIFT,     DIK_LCONTROL,  DIK_RCONTROL, DIK_LMENU,       DIK_RMENU,    DIK_F1,
                          DIK_F10,        DIK_F11,       DIK_F12,      DIK_UP,          DIK_DOWN,     DIK_LEFT,
                          DIK_RIGHT,      DIK_HOME,      DIK_END,      DIK_PRIOR,       DIK_NEXT,     DIK_INSERT,
                          DIK_DELETE,     DIK_NUMPAD0,   DIK_NUMPAD9,  DIK_NUMPADENTER, DIK_DIVIDE,   DIK_MULTIPLY,
                          DIK_SUBTRACT,   DIK_ADD,       DIK_DECIMAL,  DIK_NUMLOCK,     DIK_CAPITAL,  DIK_SCROLL,
                          DIK_SYSRQ,      DIK_PAUSE,     DIK_LWIN,     DIK_APPS,        DIK_GRAVE,    DIK_MINUS,
                          DIK_EQUALS,     DIK_BACK,      DIK_TAB,      DIK_LBRACKET,    DIK_RBRACKET, DIK_SEMICOLON,
                          DIK_APOSTROPHE, DIK_BACKSLASH, DIK_COMMA,    DIK_PERIOD,      DIK_SLASH,    DIK_OEM_102};
    BYTE keys[256];
    for (const BYTE code : codes) {
        SCOPED_TRACE(static_cast<int>(code));
        ASSERT_TRUE(PlatformTesting::PressKey(code));
        ASSERT_EQ(ReadKeys(keyboard, keys), DI_OK);
        int down = 0;
        for (const BYTE key : keys)
            down += key == 0x80 ? 1 : 0;
        EXPECT_EQ(keys[code], 0x80);
        EXPECT_EQ(down, 1) << "exactly that key";
        ASSERT_TRUE(PlatformTesting::ReleaseKey(code));
    }
    EXPECT_FALSE(PlatformTesting::PressKey(0x00)) << "no key has code 0";
}

TEST_F(DeviceState, MouseMotionIsSummedBetweenReads) {
    IDirectInputDevice8W* mouse = MakeMouse();
    ASSERT_NE(mouse, nullptr);
    ASSERT_TRUE(PlatformTesting::MoveMouse(50, 50)) << "motion before acquisition does not count";
    ASSERT_EQ(mouse->Acquire(), DI_OK);
    DIMOUSESTATE state {};
    ASSERT_EQ(ReadMouse(mouse, state), DI_OK);
    EXPECT_EQ(state.lX, 0);

    ASSERT_TRUE(PlatformTesting::MoveMouse(3, 4));
    ASSERT_TRUE(PlatformTesting::MoveMouse(2, -1));
    ASSERT_TRUE(PlatformTesting::TurnMouseWheel(1));
    ASSERT_EQ(ReadMouse(mouse, state), DI_OK);
    EXPECT_EQ(state.lX, 5);
    EXPECT_EQ(state.lY, 3);
    EXPECT_EQ(state.lZ, WHEEL_DELTA);

    ASSERT_EQ(ReadMouse(mouse, state), DI_OK);
    EXPECT_EQ(state.lX, 0) << "each read starts again from zero";
    EXPECT_EQ(state.lY, 0);
    EXPECT_EQ(state.lZ, 0);
}

TEST_F(DeviceState, MouseButtonsReadDownWhileHeld) {
    IDirectInputDevice8W* mouse = MakeMouse();
    ASSERT_NE(mouse, nullptr);
    ASSERT_EQ(mouse->Acquire(), DI_OK);
    ASSERT_TRUE(PlatformTesting::PressMouseButton(1));
    ASSERT_TRUE(PlatformTesting::PressMouseButton(3));
    DIMOUSESTATE state {};
    ASSERT_EQ(ReadMouse(mouse, state), DI_OK);
    EXPECT_EQ(state.rgbButtons[0], 0);
    EXPECT_EQ(state.rgbButtons[1], 0x80);
    EXPECT_EQ(state.rgbButtons[2], 0);
    EXPECT_EQ(state.rgbButtons[3], 0x80);
    ASSERT_TRUE(PlatformTesting::ReleaseMouseButton(1));
    ASSERT_EQ(ReadMouse(mouse, state), DI_OK);
    EXPECT_EQ(state.rgbButtons[1], 0);
    EXPECT_EQ(state.rgbButtons[3], 0x80);
}

TEST_F(DeviceState, SecondMouseFormatReadsFiveButtons) {
    IDirectInputDevice8W* mouse = nullptr;
    ASSERT_EQ(directInput->CreateDevice(GUID_SysMouse, &mouse, nullptr), DI_OK);
    ASSERT_EQ(mouse->SetDataFormat(&c_dfDIMouse2), DI_OK);
    ASSERT_EQ(mouse->Acquire(), DI_OK);
    ASSERT_TRUE(PlatformTesting::PressMouseButton(4));
    ASSERT_TRUE(PlatformTesting::MoveMouse(-7, 0));
    DIMOUSESTATE2 state {};
    EXPECT_EQ(mouse->GetDeviceState(sizeof(DIMOUSESTATE), &state), DIERR_INVALIDPARAM);
    ASSERT_EQ(mouse->GetDeviceState(sizeof(state), &state), DI_OK);
    EXPECT_EQ(state.lX, -7);
    EXPECT_EQ(state.rgbButtons[4], 0x80);
    mouse->Release();
}

// Acquisition: data format and cooperative level first, lost with the focus, regained after it.
#include "InputFixture.h"

#include "PlatformTesting/WindowEvents.h"

#include <SDL.h>

using DeviceAcquisition = InputFixture;

TEST_F(DeviceAcquisition, FocusLossFailsReadsUntilReacquiredAfterTheFocusReturns) {
    IDirectInputDevice8W* keyboard = MakeKeyboard();
    ASSERT_NE(keyboard, nullptr);
    BYTE keys[256];
    EXPECT_EQ(ReadKeys(keyboard, keys), DIERR_NOTACQUIRED) << "not acquired yet";
    ASSERT_EQ(keyboard->Acquire(), DI_OK);
    EXPECT_EQ(keyboard->Acquire(), DI_NOEFFECT);
    EXPECT_EQ(ReadKeys(keyboard, keys), DI_OK);

    ASSERT_TRUE(PlatformTesting::LoseFocus(window->Handle()));
    EXPECT_EQ(ReadKeys(keyboard, keys), DIERR_INPUTLOST);
    EXPECT_EQ(ReadKeys(keyboard, keys), DIERR_NOTACQUIRED) << "lost once, then simply not acquired";
    EXPECT_NE(DIERR_NOTACQUIRED & static_cast<HRESULT>(0x8007001E), 0) << "what the event manager tests";
    EXPECT_EQ(keyboard->Acquire(), DIERR_OTHERAPPHASPRIO) << "a foreground device needs the focus";
    EXPECT_EQ(ReadKeys(keyboard, keys), DIERR_NOTACQUIRED);

    ASSERT_TRUE(PlatformTesting::GainFocus(window->Handle()));
    EXPECT_EQ(keyboard->Acquire(), DI_OK);
    EXPECT_EQ(ReadKeys(keyboard, keys), DI_OK);
}

TEST_F(DeviceAcquisition, BackgroundDevicesKeepReadingWithoutTheFocus) {
    IDirectInputDevice8W* mouse = MakeMouse(DISCL_NONEXCLUSIVE | DISCL_BACKGROUND);
    ASSERT_NE(mouse, nullptr);
    ASSERT_EQ(mouse->Acquire(), DI_OK);
    ASSERT_TRUE(PlatformTesting::LoseFocus(window->Handle()));
    DIMOUSESTATE state;
    EXPECT_EQ(ReadMouse(mouse, state), DI_OK);
    EXPECT_EQ(mouse->Poll(), DI_NOEFFECT);
}

TEST_F(DeviceAcquisition, DestroyingTheWindowLosesItsForegroundDevices) {
    IDirectInputDevice8W* keyboard = MakeKeyboard();
    ASSERT_NE(keyboard, nullptr);
    ASSERT_EQ(keyboard->Acquire(), DI_OK);
    ASSERT_TRUE(DestroyWindow(window->Handle()));
    BYTE keys[256];
    EXPECT_EQ(ReadKeys(keyboard, keys), DIERR_INPUTLOST);
    EXPECT_EQ(keyboard->Acquire(), DIERR_OTHERAPPHASPRIO);
}

TEST_F(DeviceAcquisition, AcquireNeedsADataFormatAndSettingsWaitForUnacquire) {
    IDirectInputDevice8W* keyboard = nullptr;
    ASSERT_EQ(directInput->CreateDevice(GUID_SysKeyboard, &keyboard, nullptr), DI_OK);
    EXPECT_EQ(keyboard->Acquire(), DIERR_INVALIDPARAM) << "no data format yet";
    EXPECT_EQ(keyboard->SetDataFormat(&c_dfDIMouse), DIERR_INVALIDPARAM) << "a keyboard reads keys";
    EXPECT_EQ(keyboard->SetDataFormat(nullptr), DIERR_INVALIDPARAM);
    ASSERT_EQ(keyboard->SetDataFormat(&c_dfDIKeyboard), DI_OK);
    ASSERT_EQ(keyboard->Acquire(), DI_OK) << "non-exclusive background by default, no window needed";
    EXPECT_EQ(keyboard->SetDataFormat(&c_dfDIKeyboard), DIERR_ACQUIRED);
    EXPECT_EQ(keyboard->SetCooperativeLevel(window->Handle(), DISCL_NONEXCLUSIVE | DISCL_FOREGROUND), DIERR_ACQUIRED);
    BYTE keys[256];
    EXPECT_EQ(keyboard->GetDeviceState(100, keys), DIERR_INVALIDPARAM) << "the size must be the format's";
    EXPECT_EQ(keyboard->GetDeviceState(sizeof(keys), nullptr), DIERR_INVALIDPARAM);
    EXPECT_EQ(keyboard->Unacquire(), DI_OK);
    EXPECT_EQ(keyboard->Unacquire(), DI_NOEFFECT);
    EXPECT_EQ(keyboard->Poll(), DIERR_NOTACQUIRED);
    keyboard->Release();
}

TEST_F(DeviceAcquisition, CooperativeLevelsFollowDirectInputRules) {
    IDirectInputDevice8W* keyboard = nullptr;
    ASSERT_EQ(directInput->CreateDevice(GUID_SysKeyboard, &keyboard, nullptr), DI_OK);
    const HWND hwnd = window->Handle();
    EXPECT_EQ(keyboard->SetCooperativeLevel(hwnd, DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_FOREGROUND),
              DIERR_INVALIDPARAM);
    EXPECT_EQ(keyboard->SetCooperativeLevel(hwnd, DISCL_EXCLUSIVE), DIERR_INVALIDPARAM);
    EXPECT_EQ(keyboard->SetCooperativeLevel(hwnd, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND | DISCL_BACKGROUND),
              DIERR_INVALIDPARAM);
    EXPECT_EQ(keyboard->SetCooperativeLevel(hwnd, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND | DISCL_NOWINKEY),
              DIERR_INVALIDPARAM);
    EXPECT_EQ(keyboard->SetCooperativeLevel(hwnd, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND | 0x100), DIERR_INVALIDPARAM);
    EXPECT_EQ(keyboard->SetCooperativeLevel(hwnd, DISCL_EXCLUSIVE | DISCL_BACKGROUND), DIERR_UNSUPPORTED);
    EXPECT_EQ(keyboard->SetCooperativeLevel(nullptr, DISCL_EXCLUSIVE | DISCL_FOREGROUND), E_HANDLE);
    EXPECT_EQ(keyboard->SetCooperativeLevel(GetDesktopWindow(), DISCL_NONEXCLUSIVE | DISCL_FOREGROUND), E_HANDLE);
    EXPECT_EQ(keyboard->SetCooperativeLevel(nullptr, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND), DI_OK);
    EXPECT_EQ(keyboard->SetCooperativeLevel(hwnd, DISCL_EXCLUSIVE | DISCL_FOREGROUND | DISCL_NOWINKEY), DI_OK);
    keyboard->Release();
}

TEST_F(DeviceAcquisition, ExclusiveMouseCapturesThePointerUntilUnacquiredOrFocusIsLost) {
    IDirectInputDevice8W* mouse = MakeMouse();
    ASSERT_NE(mouse, nullptr);
    ASSERT_EQ(mouse->Acquire(), DI_OK);
    EXPECT_TRUE(SDL_GetRelativeMouseMode());
    IDirectInputDevice8W* second = MakeMouse();
    EXPECT_EQ(second->Acquire(), DIERR_OTHERAPPHASPRIO) << "one exclusive owner at a time";

    ASSERT_EQ(mouse->Unacquire(), DI_OK);
    EXPECT_FALSE(SDL_GetRelativeMouseMode());
    ASSERT_EQ(second->Acquire(), DI_OK);
    EXPECT_TRUE(SDL_GetRelativeMouseMode());
    ASSERT_TRUE(PlatformTesting::LoseFocus(window->Handle()));
    EXPECT_FALSE(SDL_GetRelativeMouseMode()) << "freed as soon as the focus goes, before any read";

    IDirectInputDevice8W* shared = MakeMouse(DISCL_NONEXCLUSIVE | DISCL_BACKGROUND);
    ASSERT_EQ(shared->Acquire(), DI_OK);
    EXPECT_FALSE(SDL_GetRelativeMouseMode()) << "a non-exclusive mouse leaves the pointer alone";
}

// DirectInput 8 at its boundary: the device calls the event manager makes, given zero and absurd
// sizes, missing flags, a destroyed window, malformed data formats and calls out of order, fail
// with the code DirectInput gives and leave no object behind. Cases the creation, object and
// acquisition suites check already are not repeated.
#include "InputFixture.h"

#include "platform/d3d9/BoundaryCases.h"

using D3D9Test::Case;
using DirectInputBoundary = InputFixture;

TEST_F(DirectInputBoundary, BadArgumentsAndCallsOutOfOrderFailWithTheDirectInputCode) {
    IDirectInputDevice8W* bare = nullptr;
    ASSERT_EQ(directInput->CreateDevice(GUID_SysKeyboard, &bare, nullptr), DI_OK);
    IDirectInputDevice8W* keyboard = MakeKeyboard();
    IDirectInputDevice8W* mouse = MakeMouse();
    ASSERT_NE(keyboard, nullptr);
    ASSERT_NE(mouse, nullptr);
    HWND destroyed = nullptr;
    {
        TestSupport::TestWindow gone(L"GoneWindow");
        destroyed = gone.Handle();
    }
    BYTE keys[256] = {};
    DIDATAFORMAT noSize = c_dfDIKeyboard;
    noSize.dwSize = 0;
    DIDATAFORMAT oddDataSize = c_dfDIKeyboard;
    oddDataSize.dwDataSize = 257;

    D3D9Test::ExpectResults({
        Case(
            "GetDeviceState before any data format", [&] { return bare->GetDeviceState(sizeof(keys), keys); },
            DIERR_NOTACQUIRED),
        Case(
            "Unacquire before any data format", [&] { return bare->Unacquire(); }, DI_NOEFFECT),
        Case(
            "SetCooperativeLevel with no flags", [&] { return bare->SetCooperativeLevel(window->Handle(), 0); },
            DIERR_INVALIDPARAM),
        Case(
            "SetCooperativeLevel with a destroyed window",
            [&] { return bare->SetCooperativeLevel(destroyed, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND); }, E_HANDLE),
        Case(
            "SetDataFormat with dwSize 0", [&] { return bare->SetDataFormat(&noSize); }, DIERR_INVALIDPARAM),
        Case(
            "SetDataFormat with a data size not a multiple of 4", [&] { return bare->SetDataFormat(&oddDataSize); },
            DIERR_INVALIDPARAM),
        Case(
            "Acquire", [&] { return keyboard->Acquire(); }, DI_OK),
        Case(
            "GetDeviceState of 0 bytes", [&] { return keyboard->GetDeviceState(0, keys); }, DIERR_INVALIDPARAM),
        Case(
            "GetDeviceState of 0xFFFFFFFF bytes", [&] { return keyboard->GetDeviceState(0xFFFFFFFF, keys); },
            DIERR_INVALIDPARAM),
        Case(
            "Unacquire", [&] { return keyboard->Unacquire(); }, DI_OK),
        Case(
            "GetDeviceState after Unacquire", [&] { return keyboard->GetDeviceState(sizeof(keys), keys); },
            DIERR_NOTACQUIRED),
        Case(
            "Acquire the mouse", [&] { return mouse->Acquire(); }, DI_OK),
        Case(
            "mouse GetDeviceState into the keyboard's 256 bytes",
            [&] { return mouse->GetDeviceState(sizeof(keys), keys); }, DIERR_INVALIDPARAM),
    });
    // The refused settings changed nothing: the bare keyboard still takes the standard ones.
    EXPECT_EQ(bare->Acquire(), DIERR_INVALIDPARAM) << "no data format was set";
    EXPECT_EQ(bare->SetDataFormat(&c_dfDIKeyboard), DI_OK);
    EXPECT_EQ(bare->Acquire(), DI_OK) << "still non-exclusive background, needing no window";
    EXPECT_EQ(bare->Release(), 0u);
}

// Real X input from xdotool, through the X server and SDL, read by DirectInput devices.
#include "InputFixture.h"

#include "PlatformTesting/WindowEvents.h"

#include <cstdlib>
#include <string>

namespace {

int Xdotool(const std::string& arguments) {
    return std::system(("xdotool " + arguments).c_str());
}

// Reads until `done` holds for the state or a few seconds pass.
template <typename State, typename Condition>
bool ReadUntil(IDirectInputDevice8W* device, State& state, Condition done) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 5000) {
        if (device->GetDeviceState(sizeof(state), &state) == DI_OK && done(state)) return true;
        Sleep(10);
    }
    return false;
}

}  // namespace

using DirectInputRealInput = InputFixture;

TEST_F(DirectInputRealInput, XdotoolKeyAndRelativeMotionReachTheDevices) {
    const unsigned long xWindow = PlatformTesting::X11WindowOf(window->Handle());
    ASSERT_NE(xWindow, 0u) << "needs an X11 display (run under xvfb-run)";
    ASSERT_EQ(Xdotool("windowfocus --sync " + std::to_string(xWindow)), 0) << "xdotool must be installed";
    IDirectInputDevice8W* keyboard = MakeKeyboard();
    IDirectInputDevice8W* mouse = MakeMouse();
    ASSERT_NE(keyboard, nullptr);
    ASSERT_NE(mouse, nullptr);
    ASSERT_EQ(keyboard->Acquire(), DI_OK);
    ASSERT_EQ(mouse->Acquire(), DI_OK);

    ASSERT_EQ(Xdotool("keydown Escape"), 0);
    BYTE keys[256];
    EXPECT_TRUE(ReadUntil(keyboard, keys, [](const BYTE(&read)[256]) { return read[DIK_ESCAPE] == 0x80; }));
    ASSERT_EQ(Xdotool("keyup Escape"), 0);
    EXPECT_TRUE(ReadUntil(keyboard, keys, [](const BYTE(&read)[256]) { return read[DIK_ESCAPE] == 0; }));

    DIMOUSESTATE state {};
    ASSERT_EQ(mouse->GetDeviceState(sizeof(state), &state), DI_OK);
    ASSERT_EQ(Xdotool("mousemove_relative -- 7 5"), 0);
    LONG x = 0;
    LONG y = 0;
    EXPECT_TRUE(ReadUntil(mouse, state,
                          [&](const DIMOUSESTATE& read) {
                              x += read.lX;
                              y += read.lY;
                              return x == 7 && y == 5;
                          }))
        << "summed motion " << x << ", " << y;
}

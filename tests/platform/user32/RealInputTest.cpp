// Real X input from xdotool, through the X server and SDL, into window messages: checks the SDL
// path itself, not only the test hooks.
#include "platform/user32/TestWindow.h"

#include "PlatformTesting/WindowEvents.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

int Xdotool(const std::string& arguments) {
    return std::system(("xdotool " + arguments).c_str());
}

bool Received(const TestSupport::TestWindow& window, UINT message, WPARAM wParam) {
    for (const TestSupport::ReceivedMessage& received : window.Received()) {
        if (received.message == message && received.wParam == wParam) return true;
    }
    return false;
}

}  // namespace

TEST(User32RealInput, XdotoolKeysAndClicksArriveAsMessages) {
    TestSupport::TestWindow window;
    ShowWindow(window.Handle(), SW_SHOW);
    const unsigned long xWindow = PlatformTesting::X11WindowOf(window.Handle());
    ASSERT_NE(xWindow, 0u) << "needs an X11 display (run under xvfb-run)";
    ASSERT_EQ(Xdotool("windowfocus --sync " + std::to_string(xWindow)), 0) << "xdotool must be installed";
    TestSupport::PumpMessages();

    ASSERT_EQ(Xdotool("key --delay 20 b"), 0);
    EXPECT_TRUE(TestSupport::PumpUntil([&] { return Received(window, WM_KEYUP, 'B'); }));
    EXPECT_TRUE(Received(window, WM_KEYDOWN, 'B'));
    EXPECT_TRUE(Received(window, WM_CHAR, L'b')) << "the test loop translates key messages";

    ASSERT_EQ(Xdotool("mousemove --window " + std::to_string(xWindow) + " 40 50 click 1"), 0);
    EXPECT_TRUE(TestSupport::PumpUntil([&] { return Received(window, WM_LBUTTONUP, 0); }));
    bool clickedThere = false;
    for (const TestSupport::ReceivedMessage& received : window.Received()) {
        if (received.message == WM_LBUTTONDOWN) {
            clickedThere = LOWORD(received.lParam) == 40 && HIWORD(received.lParam) == 50;
            EXPECT_EQ(received.wParam & MK_LBUTTON, static_cast<WPARAM>(MK_LBUTTON));
        }
    }
    EXPECT_TRUE(clickedThere) << "the click is reported in client coordinates";
}

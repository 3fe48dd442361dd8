// Focus and activation in Windows' order: a window shown, losing the focus to another application
// and getting it back, and the focus moving between two windows of ours, message by message with
// the other window in each message.
#include "platform/user32/TestWindow.h"

#include "PlatformTesting/WindowEvents.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <ostream>

using TestSupport::TestWindow;

namespace {

struct Sent {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;

    bool operator==(const Sent& other) const {
        return window == other.window && message == other.message && wParam == other.wParam && lParam == other.lParam;
    }
};

std::ostream& operator<<(std::ostream& out, const Sent& sent) {
    const char* name = "other";
    switch (sent.message) {
    case WM_ACTIVATEAPP:
        name = "WM_ACTIVATEAPP";
        break;
    case WM_NCACTIVATE:
        name = "WM_NCACTIVATE";
        break;
    case WM_ACTIVATE:
        name = "WM_ACTIVATE";
        break;
    case WM_SETFOCUS:
        name = "WM_SETFOCUS";
        break;
    case WM_KILLFOCUS:
        name = "WM_KILLFOCUS";
        break;
    default:
        break;
    }
    return out << name << " to " << sent.window << " (" << sent.wParam << ", " << sent.lParam << ")";
}

bool AboutFocus(UINT message) {
    return message == WM_ACTIVATEAPP || message == WM_NCACTIVATE || message == WM_ACTIVATE || message == WM_SETFOCUS ||
           message == WM_KILLFOCUS;
}

// The focus and activation messages every window got so far, in order.
std::vector<Sent> FocusMessages(const TestWindow& any) {
    std::vector<Sent> sent;
    for (const TestSupport::ReceivedMessage& received : any.Received()) {
        if (AboutFocus(received.message)) {
            sent.push_back(Sent {received.window, received.message, received.wParam, received.lParam});
        }
    }
    return sent;
}

// Lets the display's own focus events for what the test just did come and go.
void Settle() {
    TestSupport::PumpUntil([] { return false; }, 0.3);
}

WPARAM W(HWND window) {
    return reinterpret_cast<WPARAM>(window);
}

LPARAM L(HWND window) {
    return reinterpret_cast<LPARAM>(window);
}

// What a window of ours gets when the focus comes from another application, and when it goes there.
std::vector<Sent> ComingFromOutside(HWND window) {
    return {{window, WM_ACTIVATEAPP, TRUE, 0},
            {window, WM_NCACTIVATE, TRUE, 0},
            {window, WM_ACTIVATE, WA_ACTIVE, 0},
            {window, WM_SETFOCUS, 0, 0}};
}

std::vector<Sent> GoingOutside(HWND window) {
    return {{window, WM_NCACTIVATE, FALSE, 0},
            {window, WM_ACTIVATE, WA_INACTIVE, 0},
            {window, WM_ACTIVATEAPP, FALSE, 0},
            {window, WM_KILLFOCUS, 0, 0}};
}

// From one window of ours to another: both are deactivated and activated first, then the old one
// loses the focus before the new one gets it.
std::vector<Sent> Moving(HWND from, HWND to) {
    return {{from, WM_NCACTIVATE, FALSE, 0}, {from, WM_ACTIVATE, WA_INACTIVE, L(to)},
            {to, WM_NCACTIVATE, TRUE, 0},    {to, WM_ACTIVATE, WA_ACTIVE, L(from)},
            {from, WM_KILLFOCUS, W(to), 0},  {to, WM_SETFOCUS, W(from), 0}};
}

}  // namespace

TEST(User32Focus, ShowingActivatesTheWindowAndFocusLossDeactivatesIt) {
    TestWindow window;
    const HWND hwnd = window.Handle();
    window.ClearMessages();

    ShowWindow(hwnd, SW_SHOW);
    EXPECT_EQ(window.Messages().front(), static_cast<UINT>(WM_SHOWWINDOW));
    EXPECT_EQ(FocusMessages(window), ComingFromOutside(hwnd)) << "sent inside ShowWindow";
    Settle();
    window.ClearMessages();

    ASSERT_TRUE(PlatformTesting::LoseFocus(hwnd));
    TestSupport::PumpMessages();
    EXPECT_EQ(FocusMessages(window), GoingOutside(hwnd));
    window.ClearMessages();

    ASSERT_TRUE(PlatformTesting::GainFocus(hwnd));
    TestSupport::PumpMessages();
    EXPECT_EQ(FocusMessages(window), ComingFromOutside(hwnd));
}

TEST(User32Focus, FocusMovesBetweenTwoWindowsAndNowhereWhenItStays) {
    TestWindow first(L"FocusFirst");
    TestWindow second(L"FocusSecond");
    const HWND a = first.Handle();
    const HWND b = second.Handle();
    ShowWindow(a, SW_SHOW);
    Settle();
    first.ClearMessages();

    ShowWindow(b, SW_SHOW);
    EXPECT_EQ(FocusMessages(first), Moving(a, b)) << "shown by this thread: sent inside ShowWindow";
    EXPECT_EQ(GetFocus(), b);
    Settle();
    first.ClearMessages();

    ASSERT_TRUE(PlatformTesting::GainFocus(a));
    EXPECT_TRUE(FocusMessages(first).empty()) << "a change from the system waits for a message call";
    TestSupport::PumpMessages();
    EXPECT_EQ(FocusMessages(first), Moving(b, a));
    EXPECT_EQ(GetFocus(), a);
    first.ClearMessages();

    ShowWindow(a, SW_SHOW);
    ASSERT_TRUE(PlatformTesting::GainFocus(a));
    Settle();
    EXPECT_TRUE(FocusMessages(first).empty()) << "nothing for the window that has the focus already";
    EXPECT_EQ(GetFocus(), a);
}

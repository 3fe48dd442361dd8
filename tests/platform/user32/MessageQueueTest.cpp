// The thread message queue: retrieval order, filters, blocking, and the input and focus messages
// the system's events become.
#include "platform/user32/TestWindow.h"

#include "PlatformTesting/Input.h"
#include "PlatformTesting/WindowEvents.h"
#include "user32/NativeWindow.h"

#include <dinput.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using TestSupport::ReceivedMessage;
using TestSupport::TestWindow;

namespace {

std::vector<MSG> TakeAll() {
    std::vector<MSG> taken;
    MSG message {};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        taken.push_back(message);
    return taken;
}

std::vector<MSG> KeyMessages(const std::vector<MSG>& messages) {
    std::vector<MSG> keys;
    for (const MSG& message : messages) {
        if (message.message >= WM_KEYFIRST && message.message <= WM_KEYLAST) keys.push_back(message);
    }
    return keys;
}

}  // namespace

TEST(User32MessageQueue, QuitComesAfterEveryPostedMessageAndCarriesTheExitCode) {
    ASSERT_TRUE(PostMessageW(nullptr, WM_USER + 1, 0, 0));
    PostQuitMessage(7);
    ASSERT_TRUE(PostMessageW(nullptr, WM_USER + 2, 0, 0));

    MSG message {};
    ASSERT_EQ(GetMessageW(&message, nullptr, 0, 0), TRUE);
    EXPECT_EQ(message.message, static_cast<UINT>(WM_USER + 1));
    EXPECT_EQ(message.hwnd, nullptr) << "a thread message";
    EXPECT_EQ(DispatchMessageW(&message), 0) << "nothing to dispatch a thread message to";
    ASSERT_EQ(GetMessageW(&message, nullptr, 0, 0), TRUE);
    EXPECT_EQ(message.message, static_cast<UINT>(WM_USER + 2));
    EXPECT_EQ(GetMessageW(&message, nullptr, 0, 0), FALSE);
    EXPECT_EQ(message.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(message.wParam, 7u);
    EXPECT_FALSE(PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE));
}

TEST(User32MessageQueue, FiltersSelectByWindowAndRangeButNeverHoldBackQuit) {
    TestWindow window;
    TakeAll();
    ASSERT_TRUE(PostMessageW(window.Handle(), WM_USER + 5, 0, 0));
    ASSERT_TRUE(PostMessageW(nullptr, WM_USER + 6, 0, 0));
    const HWND threadOnly = reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1));

    MSG message {};
    ASSERT_TRUE(PeekMessageW(&message, threadOnly, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, static_cast<UINT>(WM_USER + 6));
    EXPECT_FALSE(PeekMessageW(&message, threadOnly, 0, 0, PM_REMOVE));
    EXPECT_FALSE(PeekMessageW(&message, window.Handle(), WM_USER + 6, WM_USER + 9, PM_REMOVE));
    ASSERT_TRUE(PeekMessageW(&message, window.Handle(), WM_USER, WM_USER + 5, PM_REMOVE));
    EXPECT_EQ(message.message, static_cast<UINT>(WM_USER + 5));

    PostQuitMessage(3);
    ASSERT_TRUE(PeekMessageW(&message, window.Handle(), WM_USER, WM_USER, PM_NOREMOVE));
    EXPECT_EQ(message.message, static_cast<UINT>(WM_QUIT));
    ASSERT_EQ(GetMessageW(&message, threadOnly, WM_USER, WM_USER), FALSE);
    EXPECT_EQ(message.wParam, 3u);
}

namespace {

// A shown window with one of each kind waiting: input (a key pressed and released while it had the
// focus), a posted window message, a posted thread message, and messages sent by the system (the
// focus going to another application), the procedure not having seen any of them yet.
void FillQueueWithEveryKind(TestWindow& window) {
    ShowWindow(window.Handle(), SW_SHOW);
    TestSupport::PumpUntil([] { return false; }, 0.3);  // the display's own focus events come and go
    TakeAll();
    ASSERT_TRUE(PlatformTesting::PressKey(DIK_A));
    ASSERT_TRUE(PlatformTesting::ReleaseKey(DIK_A));
    ASSERT_TRUE(PostMessageW(window.Handle(), WM_USER + 1, 0, 0));
    ASSERT_TRUE(PostMessageW(nullptr, WM_USER + 2, 0, 0));
    window.ClearMessages();
    ASSERT_TRUE(PlatformTesting::LoseFocus(window.Handle()));
    ASSERT_TRUE(window.Messages().empty());
}

}  // namespace

TEST(User32MessageQueue, SentThenPostedThenQuitThenInput) {
    TestWindow window;
    FillQueueWithEveryKind(window);
    PostQuitMessage(4);

    MSG message {};
    std::vector<UINT> order;
    ASSERT_TRUE(PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(window.Messages().back(), static_cast<UINT>(WM_KILLFOCUS))
        << "sent messages reach the procedure inside the first call, before anything is returned";
    order.push_back(message.message);
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        order.push_back(message.message);
    EXPECT_EQ(order, (std::vector<UINT> {WM_USER + 1, WM_USER + 2, WM_QUIT, WM_KEYDOWN, WM_KEYUP}))
        << "WM_QUIT waits for the posted messages only, not for input";
}

TEST(User32MessageQueue, FiltersPickWithinEachKindButSentMessagesAndQuitPassEveryFilter) {
    TestWindow window;
    FillQueueWithEveryKind(window);
    const HWND threadOnly = reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1));

    MSG message {};
    ASSERT_TRUE(PeekMessageW(&message, threadOnly, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, static_cast<UINT>(WM_USER + 2)) << "the thread message, past the window's";
    EXPECT_EQ(window.Messages().back(), static_cast<UINT>(WM_KILLFOCUS)) << "delivered whatever the filter";
    ASSERT_TRUE(PeekMessageW(&message, window.Handle(), WM_KEYFIRST, WM_KEYLAST, PM_REMOVE));
    EXPECT_EQ(message.message, static_cast<UINT>(WM_KEYDOWN)) << "input, past a posted message out of range";

    PostQuitMessage(6);
    ASSERT_TRUE(PeekMessageW(&message, window.Handle(), WM_USER, WM_USER + 1, PM_REMOVE));
    EXPECT_EQ(message.message, static_cast<UINT>(WM_USER + 1)) << "a posted message the filter admits comes first";
    ASSERT_TRUE(PeekMessageW(&message, window.Handle(), WM_KEYFIRST, WM_KEYLAST, PM_REMOVE));
    EXPECT_EQ(message.message, static_cast<UINT>(WM_QUIT)) << "ahead of the waiting key, outside the range";
    EXPECT_EQ(message.wParam, 6u);
    ASSERT_TRUE(PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, static_cast<UINT>(WM_KEYUP));
    EXPECT_FALSE(PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE));
}

TEST(User32MessageQueue, GetMessageWaitsForAPostFromAnotherThread) {
    TestWindow window;
    TakeAll();
    std::atomic<bool> posted {false};
    std::thread poster([&] {
        Sleep(150);
        posted = true;
        PostMessageW(window.Handle(), WM_USER + 3, 33, 0);
    });
    MSG message {};
    const BOOL result = GetMessageW(&message, nullptr, WM_USER, WM_USER + 10);
    const bool postedBeforeReturn = posted;
    poster.join();
    EXPECT_EQ(result, TRUE);
    EXPECT_TRUE(postedBeforeReturn) << "GetMessageW returned before there was a message";
    EXPECT_EQ(message.message, static_cast<UINT>(WM_USER + 3));
    EXPECT_EQ(message.wParam, 33u);
}

TEST(User32MessageQueue, GetMessageWakesForTheCloseButtonAndEndsWithQuit) {
    TestWindow window;
    ShowWindow(window.Handle(), SW_SHOW);
    TakeAll();
    std::atomic<bool> clicked {false};
    std::thread user([&] {
        Sleep(150);
        clicked = true;
        PlatformTesting::ClickCloseButton(window.Handle());
    });
    MSG message {};
    BOOL result = TRUE;
    while (result > 0) {
        result = GetMessageW(&message, nullptr, 0, 0);
        if (result > 0) DispatchMessageW(&message);
    }
    user.join();
    EXPECT_EQ(result, FALSE);
    EXPECT_TRUE(clicked);
    EXPECT_FALSE(IsWindow(window.Handle()));
}

TEST(User32MessageQueue, FocusChangesFromTheSystemReachTheProcedureInTheNextMessageCall) {
    TestWindow window;
    const HWND hwnd = window.Handle();
    ShowWindow(hwnd, SW_SHOW);
    TestSupport::PumpMessages();
    window.ClearMessages();

    ASSERT_TRUE(PlatformTesting::LoseFocus(hwnd));
    EXPECT_FALSE(nvesk::user32::WindowHasFocus(hwnd)) << "the focus itself has moved";
    EXPECT_TRUE(window.Messages().empty()) << "but the window hears of it only inside a message call";
    MSG message {};
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
    ASSERT_FALSE(window.Received().empty());
    EXPECT_EQ(window.Received().back().message, static_cast<UINT>(WM_KILLFOCUS));
    EXPECT_EQ(window.Received().back().wParam, 0u) << "the focus went to another application";
    const size_t afterLoss = window.Received().size();

    ASSERT_TRUE(PlatformTesting::GainFocus(hwnd));
    EXPECT_TRUE(nvesk::user32::WindowHasFocus(hwnd));
    EXPECT_EQ(window.Received().size(), afterLoss);
    TestSupport::PumpMessages();
    EXPECT_EQ(window.Messages().back(), static_cast<UINT>(WM_SETFOCUS));
}

TEST(User32MessageQueue, KeysBecomeKeyMessagesWithScanCodesAndTranslateToCharacters) {
    TestWindow window;
    ShowWindow(window.Handle(), SW_SHOW);
    TakeAll();

    ASSERT_TRUE(PlatformTesting::PressKey(DIK_A));
    ASSERT_TRUE(PlatformTesting::ReleaseKey(DIK_A));
    std::vector<MSG> keys = KeyMessages(TakeAll());
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0].message, static_cast<UINT>(WM_KEYDOWN));
    EXPECT_EQ(keys[0].hwnd, window.Handle()) << "keys go to the window with the focus";
    EXPECT_EQ(keys[0].wParam, static_cast<WPARAM>('A'));
    EXPECT_EQ((keys[0].lParam >> 16) & 0xFF, DIK_A);
    EXPECT_EQ(keys[0].lParam & 0xFFFF, 1) << "repeat count";
    EXPECT_EQ(keys[1].message, static_cast<UINT>(WM_KEYUP));
    EXPECT_EQ(static_cast<DWORD>(keys[1].lParam) >> 30, 3u) << "previous state down, transition up";

    ASSERT_TRUE(PlatformTesting::PressKey(DIK_RCONTROL));
    keys = KeyMessages(TakeAll());
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0].wParam, static_cast<WPARAM>(VK_CONTROL));
    EXPECT_EQ((keys[0].lParam >> 24) & 1, 1) << "extended key";
    ASSERT_TRUE(PlatformTesting::ReleaseKey(DIK_RCONTROL));
    TakeAll();

    ASSERT_TRUE(PlatformTesting::PressKey(DIK_LSHIFT));
    ASSERT_TRUE(PlatformTesting::PressKey(DIK_Q));
    ASSERT_TRUE(PlatformTesting::PressKey(DIK_1));
    ASSERT_TRUE(PlatformTesting::ReleaseKey(DIK_LSHIFT));
    ASSERT_TRUE(PlatformTesting::PressKey(DIK_W));
    std::vector<WPARAM> characters;
    MSG message {};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_CHAR) characters.push_back(message.wParam);
        const BOOL translated = TranslateMessage(&message);
        if (message.message == WM_KEYDOWN || message.message == WM_KEYUP) {
            EXPECT_TRUE(translated);
        }
        DispatchMessageW(&message);
    }
    EXPECT_EQ(characters, (std::vector<WPARAM> {L'Q', L'!', L'w'}));
}

TEST(User32MessageQueue, MouseEventsBecomeMouseMessages) {
    TestWindow window;
    ShowWindow(window.Handle(), SW_SHOW);
    TakeAll();

    ASSERT_TRUE(PlatformTesting::MoveMouse(3, 4));
    ASSERT_TRUE(PlatformTesting::PressMouseButton(0));
    ASSERT_TRUE(PlatformTesting::TurnMouseWheel(-2));
    ASSERT_TRUE(PlatformTesting::ReleaseMouseButton(0));
    std::vector<MSG> mouse;
    for (const MSG& message : TakeAll()) {
        if (message.message >= WM_MOUSEFIRST && message.message <= WM_MOUSELAST) mouse.push_back(message);
    }
    ASSERT_GE(mouse.size(), 4u);
    const std::vector<MSG> last(mouse.end() - 4, mouse.end());
    EXPECT_EQ(last[0].message, static_cast<UINT>(WM_MOUSEMOVE));
    EXPECT_EQ(last[1].message, static_cast<UINT>(WM_LBUTTONDOWN));
    EXPECT_EQ(last[1].wParam & MK_LBUTTON, static_cast<WPARAM>(MK_LBUTTON));
    EXPECT_EQ(last[2].message, static_cast<UINT>(WM_MOUSEWHEEL));
    EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(last[2].wParam), -2 * WHEEL_DELTA);
    EXPECT_EQ(last[3].message, static_cast<UINT>(WM_LBUTTONUP));
    EXPECT_EQ(last[3].wParam & MK_LBUTTON, 0u);
    for (const MSG& message : last)
        EXPECT_EQ(message.hwnd, window.Handle());
}

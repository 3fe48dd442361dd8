// A window's life as the engine goes through it, message by message, and what a destroyed or
// unknown handle gets.
#include "platform/user32/TestWindow.h"

#include "PlatformTesting/WindowEvents.h"
#include "user32/NativeWindow.h"

#include <windows.h>

#include <SDL.h>
#include <gtest/gtest.h>

using TestSupport::TestWindow;

TEST(User32WindowLifecycle, MessagesArriveInWindowsOrderFromCreationToQuit) {
    TestWindow window;
    const HWND hwnd = window.Handle();
    EXPECT_EQ(window.Messages(), (std::vector<UINT> {WM_NCCREATE, WM_CREATE}));
    EXPECT_FALSE(IsWindowVisible(hwnd)) << "created hidden";
    EXPECT_NE(GetFocus(), hwnd);
    window.ClearMessages();

    EXPECT_FALSE(ShowWindow(hwnd, SW_SHOW)) << "it was hidden before";
    EXPECT_TRUE(IsWindowVisible(hwnd));
    EXPECT_EQ(GetFocus(), hwnd);
    EXPECT_TRUE(nvesk::user32::WindowHasFocus(hwnd));
    EXPECT_EQ(window.Messages(),
              (std::vector<UINT> {WM_SHOWWINDOW, WM_ACTIVATEAPP, WM_NCACTIVATE, WM_ACTIVATE, WM_SETFOCUS}))
        << "sent inside ShowWindow, before it returns";

    ASSERT_TRUE(PostMessageW(hwnd, WM_USER + 1, 11, 0));
    ASSERT_TRUE(PostMessageW(hwnd, WM_USER + 2, 22, 0));
    MSG message {};
    ASSERT_TRUE(PeekMessageW(&message, nullptr, WM_USER, WM_USER + 10, PM_NOREMOVE));
    EXPECT_EQ(message.message, static_cast<UINT>(WM_USER + 1)) << "looking leaves it in the queue";
    ASSERT_EQ(GetMessageW(&message, nullptr, WM_USER, WM_USER + 10), TRUE);
    EXPECT_EQ(message.hwnd, hwnd);
    EXPECT_EQ(message.message, static_cast<UINT>(WM_USER + 1));
    EXPECT_EQ(message.wParam, 11u);
    EXPECT_EQ(DispatchMessageW(&message), 0);
    ASSERT_TRUE(PeekMessageW(&message, nullptr, WM_USER, WM_USER + 10, PM_REMOVE));
    DispatchMessageW(&message);

    ASSERT_TRUE(PlatformTesting::ClickCloseButton(hwnd));
    EXPECT_TRUE(IsWindow(hwnd)) << "the close button only asks; the window procedure decides";
    // The class procedure passes WM_CLOSE on: DefWindowProcW destroys the window, whose procedure
    // then posts the quit message, all inside this one retrieval.
    ASSERT_TRUE(PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(message.hwnd, nullptr);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(window.Messages(),
              (std::vector<UINT> {WM_SHOWWINDOW, WM_ACTIVATEAPP, WM_NCACTIVATE, WM_ACTIVATE, WM_SETFOCUS, WM_USER + 1,
                                  WM_USER + 2, WM_CLOSE, WM_NCACTIVATE, WM_ACTIVATE, WM_ACTIVATEAPP, WM_KILLFOCUS,
                                  WM_DESTROY, WM_NCDESTROY}));
    EXPECT_FALSE(PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) << "WM_QUIT is taken once";
}

TEST(User32WindowLifecycle, WindowIsHiddenOpenGlCapableAndOfTheGivenFixedSize) {
    TestWindow window(L"Sized", 400, 300);
    SDL_Window* native = nvesk::user32::NativeWindow(window.Handle());
    ASSERT_NE(native, nullptr);
    int width = 0;
    int height = 0;
    SDL_GetWindowSize(native, &width, &height);
    EXPECT_EQ(width, 400);
    EXPECT_EQ(height, 300);
    const Uint32 flags = SDL_GetWindowFlags(native);
    EXPECT_NE(flags & SDL_WINDOW_OPENGL, 0u);
    EXPECT_NE(flags & SDL_WINDOW_HIDDEN, 0u);
    EXPECT_EQ(flags & SDL_WINDOW_RESIZABLE, 0u) << "WS_SYSMENU | WS_MINIMIZEBOX has no sizing frame";
    ShowWindow(window.Handle(), SW_SHOW);
    EXPECT_EQ(SDL_GetWindowFlags(native) & SDL_WINDOW_HIDDEN, 0u);
}

TEST(User32WindowLifecycle, DestroyingAWindowWithoutTheFocusSendsNoKillFocus) {
    TestWindow window;
    window.ClearMessages();
    ASSERT_TRUE(DestroyWindow(window.Handle()));
    EXPECT_EQ(window.Messages(), (std::vector<UINT> {WM_DESTROY, WM_NCDESTROY}));
}

TEST(User32WindowLifecycle, DestroyedAndUnknownHandlesFailWith1400) {
    TestWindow window;
    const HWND hwnd = window.Handle();
    ASSERT_TRUE(PostMessageW(hwnd, WM_USER, 0, 0));
    ASSERT_TRUE(DestroyWindow(hwnd));
    MSG message {};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        EXPECT_NE(message.hwnd, hwnd) << "a destroyed window's posted messages go with it";
    }

    const HWND bogus = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(0x5A5A0));
    for (const HWND handle : {hwnd, bogus, static_cast<HWND>(nullptr)}) {
        SCOPED_TRACE(reinterpret_cast<ULONG_PTR>(handle));
        EXPECT_FALSE(IsWindow(handle));
        SetLastError(0);
        EXPECT_FALSE(DestroyWindow(handle));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
        SetLastError(0);
        EXPECT_FALSE(ShowWindow(handle, SW_SHOW));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
        SetLastError(0);
        EXPECT_FALSE(SetWindowTextW(handle, L"x"));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
        EXPECT_EQ(nvesk::user32::NativeWindow(handle), nullptr);
        EXPECT_FALSE(nvesk::user32::WindowHasFocus(handle));
        EXPECT_FALSE(PlatformTesting::ClickCloseButton(handle));
    }
    for (const HWND handle : {hwnd, bogus}) {
        SetLastError(0);
        EXPECT_FALSE(PostMessageW(handle, WM_USER, 0, 0));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
        message = MSG {};
        message.hwnd = handle;
        message.message = WM_USER;
        SetLastError(0);
        EXPECT_EQ(DispatchMessageW(&message), 0);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
        SetLastError(0);
        EXPECT_FALSE(PeekMessageW(&message, handle, 0, 0, PM_REMOVE));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
        EXPECT_EQ(GetMessageW(&message, handle, 0, 0), -1);
    }
}

TEST(User32WindowLifecycle, DesktopIsAValidParentButNotOursToDestroy) {
    const HWND desktop = GetDesktopWindow();
    EXPECT_NE(desktop, nullptr);
    EXPECT_TRUE(IsWindow(desktop));
    SetLastError(0);
    EXPECT_FALSE(DestroyWindow(desktop));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

namespace {

LRESULT CALLBACK RefuseCreation(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) return -1;
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

TEST(User32WindowLifecycle, WindowProcedureRefusingCreationLeavesNoWindow) {
    WNDCLASSEXW windowClass {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = RefuseCreation;
    windowClass.lpszClassName = L"Refusing";
    ASSERT_NE(RegisterClassExW(&windowClass), 0);
    EXPECT_EQ(CreateWindowExW(0, L"Refusing", L"", WS_SYSMENU, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr),
              nullptr);
    EXPECT_TRUE(UnregisterClassW(L"Refusing", nullptr)) << "the refused window counts for nothing";
}

TEST(User32WindowLifecycle, TitleGoesThroughTheWindowProcedureAndReachesSdlAsUtf8) {
    TestWindow window;
    window.ClearMessages();
    // Ł, then U+1F600 as its two UTF-16 units.
    const wchar_t title[] = {L'N', L'V', L'e', L's', L'k', L' ', 0x0141, 0xD83D, 0xDE00, 0};
    ASSERT_TRUE(SetWindowTextW(window.Handle(), title));
    EXPECT_EQ(window.Messages(), (std::vector<UINT> {WM_SETTEXT}));
    EXPECT_STREQ(SDL_GetWindowTitle(nvesk::user32::NativeWindow(window.Handle())), "NVesk \xC5\x81\xF0\x9F\x98\x80");

    wchar_t read[16] = {};
    EXPECT_EQ(GetWindowTextW(window.Handle(), read, 16), 9);
    EXPECT_EQ(std::wstring(read), std::wstring(title));
    EXPECT_EQ(GetWindowTextW(window.Handle(), read, 4), 3) << "cut to the buffer, terminator included";
    EXPECT_EQ(std::wstring(read), L"NVe");
}

// Message boxes: recorded by the test hook, refused for a bad style or owner, and written to
// stderr with IDOK when there is no display or SDL cannot show them.
#include "platform/user32/TestWindow.h"

#include "PlatformTesting/Faults.h"
#include "PlatformTesting/MessageBoxes.h"
#include "support/Scenario.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>

TEST(User32MessageBox, RecorderKeepsEachBoxAndAnswersForTheUser) {
    PlatformTesting::MessageBoxRecorder recorder(IDCANCEL);
    EXPECT_EQ(MessageBoxW(nullptr, L"Cannot initialize Logger", L"Error", MB_OK), IDCANCEL);
    TestSupport::TestWindow window;
    EXPECT_EQ(MessageBoxW(window.Handle(), L"line 1\nline 2", L"Effect Compilation error", MB_OKCANCEL | MB_ICONERROR),
              IDCANCEL);

    const std::vector<PlatformTesting::RecordedMessageBox> boxes = recorder.Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].owner, nullptr);
    EXPECT_EQ(boxes[0].text, L"Cannot initialize Logger");
    EXPECT_EQ(boxes[0].caption, L"Error");
    EXPECT_EQ(boxes[0].style, static_cast<UINT>(MB_OK));
    EXPECT_EQ(boxes[1].owner, window.Handle());
    EXPECT_EQ(boxes[1].text, L"line 1\nline 2");
    EXPECT_EQ(boxes[1].style, static_cast<UINT>(MB_OKCANCEL | MB_ICONERROR));
}

TEST(User32MessageBox, BadStyleOrOwnerFailsBeforeAnythingIsShown) {
    PlatformTesting::MessageBoxRecorder recorder;
    SetLastError(0);
    EXPECT_EQ(MessageBoxW(nullptr, L"text", L"caption", 0x0F), 0);
    EXPECT_EQ(GetLastError(), 1158u) << "ERROR_INVALID_MSGBOX_STYLE";
    SetLastError(0);
    EXPECT_EQ(MessageBoxW(reinterpret_cast<HWND>(static_cast<ULONG_PTR>(0x7770)), L"text", L"caption", MB_OK), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_TRUE(recorder.Boxes().empty());
}

NVESK_SCENARIO(MessageBoxWithoutDisplay) {
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    if (MessageBoxW(nullptr, L"No display here", L"Error", MB_OKCANCEL | MB_ICONWARNING) != IDOK) return 1;
    // Windows cannot be made either, and say so instead of crashing.
    WNDCLASSEXW windowClass {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.lpszClassName = L"Headless";
    if (RegisterClassExW(&windowClass) == 0) return 2;
    SetLastError(0);
    const HWND window =
        CreateWindowExW(0, L"Headless", L"", WS_SYSMENU, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    if (window != nullptr || GetLastError() == ERROR_SUCCESS) return 3;
    return argument == "done" ? 0 : 4;
}

TEST(User32MessageBox, WithoutADisplayTheTextGoesToStderrAndTheAnswerIsOk) {
    EXPECT_EQ(TestSupport::RunScenario("MessageBoxWithoutDisplay", "done"), 0);
}

TEST(User32MessageBox, ABoxThatCannotBeShownGoesToStderrAndTheAnswerIsOk) {
    // A window first: the display is up, so the box takes the path that shows it.
    TestSupport::TestWindow window;
    PlatformTesting::FailNextCalls("SDL_ShowMessageBox", E_FAIL, 2);
    testing::internal::CaptureStderr();
    const int logger = MessageBoxW(nullptr, L"Cannot initialize Logger", L"Error", MB_OK);
    const int question = MessageBoxW(window.Handle(), L"Go on?", L"Effect Compilation error", MB_YESNO);
    const std::string written = testing::internal::GetCapturedStderr();
    PlatformTesting::ClearFailures();
    EXPECT_EQ(logger, IDOK);
    EXPECT_EQ(question, IDOK) << "as without a display";
    EXPECT_EQ(written,
              "user32: SDL cannot show a message box (an injected failure)\n"
              "Error: Cannot initialize Logger\n"
              "user32: SDL cannot show a message box (an injected failure)\n"
              "Effect Compilation error: Go on?\n");
}

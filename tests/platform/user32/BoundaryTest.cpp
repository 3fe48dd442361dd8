// user32 at its boundary: the operations the engine calls, given missing pointers, absurd sizes
// and too many posted messages, fail as Windows does. Cases the class, lifecycle, queue and
// message box suites check already are not repeated.
#include "platform/user32/TestWindow.h"

#include "PlatformTesting/MessageBoxes.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>

namespace {

struct User32Case {
    const char* call;
    // Makes the call with a fresh hidden window; true when the call reported success.
    std::function<bool(HWND window)> run;
    std::optional<DWORD> error;  // the last error after the failure, where Windows documents one
};

bool FillWindowQueue(HWND window) {
    for (std::size_t i = 0; i < 10000; ++i) {
        if (!PostMessageW(window, WM_USER, i, 0)) return false;
    }
    return true;
}

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

ATOM RegisterNamed(const std::wstring& name) {
    WNDCLASSEXW windowClass {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = Procedure;
    windowClass.lpszClassName = name.c_str();
    return RegisterClassExW(&windowClass);
}

const User32Case kCases[] = {
    {"PostMessageW past 10,000 posted messages",
     [](HWND window) { return FillWindowQueue(window) && PostMessageW(window, WM_USER + 1, 0, 0) != 0; },
     ERROR_NOT_ENOUGH_QUOTA},
    {"PostMessageW to the thread past 10,000 posted messages",
     [](HWND window) { return FillWindowQueue(window) && PostMessageW(nullptr, WM_USER + 1, 0, 0) != 0; },
     ERROR_NOT_ENOUGH_QUOTA},
    {"GetMessageW into no message",
     [](HWND) {
         PostMessageW(nullptr, WM_USER, 0, 0);
         return GetMessageW(nullptr, nullptr, 0, 0) != -1;
     },
     std::nullopt},
    {"RegisterClassExW with a name of 257 characters",
     [](HWND) {
         const std::wstring name(257, L'n');
         if (RegisterNamed(name) == 0) return false;
         UnregisterClassW(name.c_str(), nullptr);
         return true;
     },
     std::nullopt},
};

void DrainQueue() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {}
}

}  // namespace

TEST(User32Boundary, BadArgumentsFailWithTheWindowsCodeAndLeaveTheQueueUsable) {
    for (const User32Case& test : kCases) {
        {
            TestSupport::TestWindow window(L"BoundaryWindow");
            SetLastError(0);
            EXPECT_FALSE(test.run(window.Handle())) << test.call;
            if (test.error) {
                EXPECT_EQ(GetLastError(), *test.error) << test.call;
            }
        }
        DrainQueue();
        EXPECT_TRUE(PostMessageW(nullptr, WM_USER + 2, 0, 0)) << test.call;
        MSG message;
        ASSERT_TRUE(PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) << test.call;
        EXPECT_EQ(message.message, static_cast<UINT>(WM_USER + 2)) << test.call;
    }
}

TEST(User32Boundary, ClassNameOfTheLongestLengthRegisters) {
    const std::wstring name(256, L'n');
    EXPECT_NE(RegisterNamed(name), 0);
    EXPECT_TRUE(UnregisterClassW(name.c_str(), nullptr));
}

TEST(User32Boundary, MessageBoxWithoutACaptionIsTitledError) {
    PlatformTesting::MessageBoxRecorder recorder(IDOK);
    EXPECT_EQ(MessageBoxW(nullptr, L"text", nullptr, MB_OK), IDOK);
    ASSERT_EQ(recorder.Boxes().size(), 1u);
    EXPECT_EQ(recorder.Boxes()[0].caption, L"Error");
}

// The class registry: names are unique per module (case-insensitive), windows need a registered
// class, and a class in use cannot be unregistered.
#include "platform/user32/TestWindow.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

LRESULT CALLBACK PassOn(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

WNDCLASSEXW ClassNamed(const wchar_t* name) {
    WNDCLASSEXW windowClass {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_CLASSDC;
    windowClass.lpfnWndProc = PassOn;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = name;
    return windowClass;
}

HWND CreateOfClass(const wchar_t* name) {
    return CreateWindowExW(0, name, L"title", WS_SYSMENU | WS_MINIMIZEBOX, CW_USEDEFAULT, CW_USEDEFAULT, 100, 100,
                           GetDesktopWindow(), nullptr, GetModuleHandleW(nullptr), nullptr);
}

}  // namespace

TEST(User32WindowClass, RegistersOnceAndFailsWith1410AfterwardsWhateverTheCase) {
    const WNDCLASSEXW first = ClassNamed(L"Registry");
    const ATOM atom = RegisterClassExW(&first);
    ASSERT_NE(atom, 0);
    EXPECT_GE(atom, 0xC000);

    SetLastError(0);
    EXPECT_EQ(RegisterClassExW(&first), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));
    const WNDCLASSEXW otherCase = ClassNamed(L"REGISTRY");
    EXPECT_EQ(RegisterClassExW(&otherCase), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));

    EXPECT_TRUE(UnregisterClassW(L"registry", GetModuleHandleW(nullptr)));
    const ATOM again = RegisterClassExW(&first);
    EXPECT_NE(again, 0) << "the name is free again after unregistering";
    EXPECT_TRUE(UnregisterClassW(MAKEINTATOM(again), nullptr)) << "by atom, a null module being the program's";
    EXPECT_FALSE(UnregisterClassW(L"Registry", nullptr));
}

TEST(User32WindowClass, RejectsMalformedDescriptions) {
    WNDCLASSEXW wrongSize = ClassNamed(L"Malformed");
    wrongSize.cbSize = 48;  // the 32-bit size: wrong for this build, as on 64-bit Windows
    SetLastError(0);
    EXPECT_EQ(RegisterClassExW(&wrongSize), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    WNDCLASSEXW noName = ClassNamed(nullptr);
    EXPECT_EQ(RegisterClassExW(&noName), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    WNDCLASSEXW noProcedure = ClassNamed(L"Malformed");
    noProcedure.lpfnWndProc = nullptr;
    EXPECT_EQ(RegisterClassExW(&noProcedure), 0);
    EXPECT_EQ(RegisterClassExW(nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(User32WindowClass, UnknownClassesFailWithTheirErrors) {
    SetLastError(0);
    EXPECT_FALSE(UnregisterClassW(L"NeverRegistered", GetModuleHandleW(nullptr)));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_DOES_NOT_EXIST));

    SetLastError(0);
    EXPECT_EQ(CreateOfClass(L"NeverRegistered"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
}

TEST(User32WindowClass, ClassWithWindowsCannotBeUnregisteredUntilTheyAreGone) {
    const WNDCLASSEXW windowClass = ClassNamed(L"InUse");
    ASSERT_NE(RegisterClassExW(&windowClass), 0);
    const HWND window = CreateOfClass(L"inuse");
    ASSERT_NE(window, nullptr) << GetLastError();

    SetLastError(0);
    EXPECT_FALSE(UnregisterClassW(L"InUse", GetModuleHandleW(nullptr)));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_HAS_WINDOWS));

    EXPECT_TRUE(DestroyWindow(window));
    EXPECT_TRUE(UnregisterClassW(L"InUse", GetModuleHandleW(nullptr)));
    SetLastError(0);
    EXPECT_EQ(CreateOfClass(L"InUse"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
}

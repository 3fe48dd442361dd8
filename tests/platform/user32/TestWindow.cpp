#include "TestWindow.h"

#include <gtest/gtest.h>

namespace TestSupport {
namespace {

std::vector<ReceivedMessage> g_received;

bool IsInput(UINT message) {
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) || (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST);
}

LRESULT CALLBACK RecordingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    g_received.push_back(ReceivedMessage {window, message, wParam, lParam});
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

TestWindow::TestWindow(const wchar_t* className, int width, int height) : className_(className) {
    g_received.clear();
    WNDCLASSEXW windowClass {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_CLASSDC;
    windowClass.lpfnWndProc = RecordingProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = className_.c_str();
    EXPECT_NE(RegisterClassExW(&windowClass), 0) << GetLastError();
    window_ = CreateWindowExW(0, className_.c_str(), L"Test", WS_SYSMENU | WS_MINIMIZEBOX, CW_USEDEFAULT, CW_USEDEFAULT,
                              width, height, GetDesktopWindow(), nullptr, GetModuleHandleW(nullptr), nullptr);
    EXPECT_NE(window_, nullptr) << GetLastError();
}

TestWindow::~TestWindow() {
    if (IsWindow(window_)) DestroyWindow(window_);
    UnregisterClassW(className_.c_str(), GetModuleHandleW(nullptr));
}

std::vector<UINT> TestWindow::Messages(bool withInput) const {
    std::vector<UINT> messages;
    for (const ReceivedMessage& received : g_received) {
        if (received.window == window_ && (withInput || !IsInput(received.message))) {
            messages.push_back(received.message);
        }
    }
    return messages;
}

std::vector<ReceivedMessage> TestWindow::Received() const {
    return g_received;
}

void TestWindow::ClearMessages() {
    g_received.clear();
}

void PumpMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

}  // namespace TestSupport

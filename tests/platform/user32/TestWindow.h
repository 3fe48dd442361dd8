// A window whose procedure records every message it gets (and, like the engine's, posts the quit
// message on WM_DESTROY), with its class registered for the window's lifetime.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace TestSupport {

struct ReceivedMessage {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

class TestWindow {
public:
    // Created hidden; 320 x 240 unless told.
    explicit TestWindow(const wchar_t* className = L"NVeskTestWindow", int width = 320, int height = 240);
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    HWND Handle() const { return window_; }
    // Messages received so far, input messages (keyboard, mouse) left out unless asked for.
    std::vector<UINT> Messages(bool withInput = false) const;
    std::vector<ReceivedMessage> Received() const;
    void ClearMessages();

private:
    std::wstring className_;
    HWND window_ = nullptr;
};

// Takes messages (PeekMessageW, PM_REMOVE) and dispatches them until the queue is empty.
void PumpMessages();

// Pumps messages until `done` holds or `seconds` pass; whether it held.
template <typename Condition>
bool PumpUntil(Condition done, double seconds = 5.0) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > static_cast<DWORD>(seconds * 1000)) return false;
        PumpMessages();
        Sleep(5);
    }
    return true;
}

}  // namespace TestSupport

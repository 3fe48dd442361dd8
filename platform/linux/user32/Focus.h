// The keyboard focus: one window of the process, or none.
#pragma once

#include <windows.h>

namespace nvesk::user32 {

class Focus {
public:
    static HWND Current();

    // Moves the focus. The input layer hears of it at once; the window losing it gets
    // WM_KILLFOCUS, then the window getting it WM_SETFOCUS, either now (a change the thread made
    // itself, as ShowWindow) or in the thread's next message call (a change from the system).
    static void MoveTo(HWND window, bool sendNow);
};

}  // namespace nvesk::user32

// The keyboard focus: one window of the process, or none. The window with the focus is also the
// active window (the process has only top-level windows), so moving the focus moves activation too.
#pragma once

#include <windows.h>

namespace nvesk::user32 {

class Focus {
public:
    static HWND Current();

    // Moves the focus. The input layer hears of it at once; the windows hear of it in Windows'
    // order, either now (a change the thread made itself, as ShowWindow) or in the thread's next
    // message call (a change from the system):
    //   the window losing it:  WM_NCACTIVATE(FALSE), WM_ACTIVATE(WA_INACTIVE, new window),
    //                          WM_ACTIVATEAPP(FALSE) when no window of ours takes over;
    //   the window getting it: WM_ACTIVATEAPP(TRUE) when no window of ours had it,
    //                          WM_NCACTIVATE(TRUE), WM_ACTIVATE(WA_ACTIVE, old window);
    //   then WM_KILLFOCUS(new window) to the old one and WM_SETFOCUS(old window) to the new one.
    // Moving it to the window that has it sends nothing.
    static void MoveTo(HWND window, bool sendNow);
};

}  // namespace nvesk::user32

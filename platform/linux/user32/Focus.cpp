#include "Focus.h"

#include "PlatformEventListener.h"
#include "SentMessages.h"

#include <winuser.h>

#include <atomic>

namespace nvesk::user32 {
namespace {

std::atomic<HWND> g_focus {nullptr};

void Deliver(HWND window, UINT message, HWND other, bool sendNow) {
    const WPARAM wParam = reinterpret_cast<WPARAM>(other);
    if (sendNow) {
        SendNow(window, message, wParam, 0);
    } else {
        SendLater(window, message, wParam, 0);
    }
}

}  // namespace

HWND Focus::Current() {
    return g_focus;
}

void Focus::MoveTo(HWND window, bool sendNow) {
    const HWND previous = g_focus.exchange(window);
    if (previous == window) return;
    NotifyFocusChanged(previous, window);
    if (previous != nullptr) Deliver(previous, WM_KILLFOCUS, window, sendNow);
    if (window != nullptr) Deliver(window, WM_SETFOCUS, previous, sendNow);
}

}  // namespace nvesk::user32

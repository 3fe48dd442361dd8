#include "Focus.h"

#include "PlatformEventListener.h"
#include "SentMessages.h"

#include <winuser.h>

#include <atomic>

namespace nvesk::user32 {
namespace {

std::atomic<HWND> g_focus {nullptr};

void Deliver(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool sendNow) {
    if (sendNow) {
        SendNow(window, message, wParam, lParam);
    } else {
        SendLater(window, message, wParam, lParam);
    }
}

WPARAM AsWParam(HWND window) {
    return reinterpret_cast<WPARAM>(window);
}

LPARAM AsLParam(HWND window) {
    return reinterpret_cast<LPARAM>(window);
}

}  // namespace

HWND Focus::Current() {
    return g_focus;
}

void Focus::MoveTo(HWND window, bool sendNow) {
    const HWND previous = g_focus.exchange(window);
    if (previous == window) return;
    NotifyFocusChanged(previous, window);
    // The other application's thread is unknown here: WM_ACTIVATEAPP names none (0).
    if (previous != nullptr) {
        Deliver(previous, WM_NCACTIVATE, FALSE, 0, sendNow);
        Deliver(previous, WM_ACTIVATE, WA_INACTIVE, AsLParam(window), sendNow);
        if (window == nullptr) Deliver(previous, WM_ACTIVATEAPP, FALSE, 0, sendNow);
    }
    if (window != nullptr) {
        if (previous == nullptr) Deliver(window, WM_ACTIVATEAPP, TRUE, 0, sendNow);
        Deliver(window, WM_NCACTIVATE, TRUE, 0, sendNow);
        Deliver(window, WM_ACTIVATE, WA_ACTIVE, AsLParam(previous), sendNow);
    }
    if (previous != nullptr) Deliver(previous, WM_KILLFOCUS, AsWParam(window), 0, sendNow);
    if (window != nullptr) Deliver(window, WM_SETFOCUS, AsWParam(previous), 0, sendNow);
}

}  // namespace nvesk::user32

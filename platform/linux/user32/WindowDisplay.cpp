// ShowWindow and what callers ask of a window's state: validity, visibility, focus, the SDL window.
#include "Focus.h"
#include "NativeWindow.h"
#include "SentMessages.h"
#include "WindowTable.h"

#include <winuser.h>

namespace nvesk::user32 {
namespace {

void Show(HWND handle, Window& window) {
    if (window.visible) return;
    SendNow(handle, WM_SHOWWINDOW, TRUE, 0);
    SDL_ShowWindow(window.Native());
    window.visible = true;
}

void Hide(HWND handle, Window& window) {
    if (!window.visible) return;
    SendNow(handle, WM_SHOWWINDOW, FALSE, 0);
    SDL_HideWindow(window.Native());
    window.visible = false;
}

void Activate(HWND handle, const Window& window) {
    SDL_RaiseWindow(window.Native());
    SDL_SetWindowInputFocus(window.Native());
    Focus::MoveTo(handle, true);
}

void Deactivate(HWND handle) {
    if (Focus::Current() == handle) Focus::MoveTo(nullptr, true);
}

}  // namespace

SDL_Window* NativeWindow(HWND window) {
    const Window* found = WindowTable::Instance().Find(window);
    return found != nullptr ? found->Native() : nullptr;
}

bool WindowHasFocus(HWND window) {
    return window != nullptr && Focus::Current() == window;
}

}  // namespace nvesk::user32

using namespace nvesk::user32;

extern "C" BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow) {
    Window* window = WindowTable::Instance().Find(hWnd);
    if (window == nullptr || !window->OwnedByCallingThread()) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    const BOOL wasVisible = window->visible ? TRUE : FALSE;
    switch (nCmdShow) {
    case SW_HIDE:
        Hide(hWnd, *window);
        Deactivate(hWnd);
        break;
    case SW_SHOWNORMAL:
    case SW_SHOW:
    case SW_RESTORE:
    case SW_SHOWDEFAULT:
        Show(hWnd, *window);
        if (nCmdShow != SW_SHOW) SDL_RestoreWindow(window->Native());
        Activate(hWnd, *window);
        break;
    case SW_SHOWMAXIMIZED:
        Show(hWnd, *window);
        SDL_MaximizeWindow(window->Native());
        Activate(hWnd, *window);
        break;
    case SW_SHOWNOACTIVATE:
    case SW_SHOWNA:
        Show(hWnd, *window);
        break;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE:
    case SW_FORCEMINIMIZE:
        Show(hWnd, *window);
        SDL_MinimizeWindow(window->Native());
        Deactivate(hWnd);
        break;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return wasVisible;
}

extern "C" BOOL WINAPI IsWindow(HWND hWnd) {
    return hWnd == WindowTable::Desktop() || WindowTable::Instance().Find(hWnd) != nullptr ? TRUE : FALSE;
}

extern "C" BOOL WINAPI IsWindowVisible(HWND hWnd) {
    if (hWnd == WindowTable::Desktop()) return TRUE;
    const Window* window = WindowTable::Instance().Find(hWnd);
    return window != nullptr && window->visible ? TRUE : FALSE;
}

extern "C" HWND WINAPI GetDesktopWindow(void) {
    return WindowTable::Desktop();
}

extern "C" HWND WINAPI GetFocus(void) {
    return Focus::Current();
}

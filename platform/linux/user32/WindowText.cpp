// Window text: SetWindowTextW and GetWindowTextW go through the window procedure (WM_SETTEXT,
// WM_GETTEXT), and DefWindowProcW keeps the text and the native title.
#include "SentMessages.h"
#include "WindowTable.h"

#include <winuser.h>

using nvesk::user32::WindowTable;

extern "C" BOOL WINAPI SetWindowTextW(HWND hWnd, LPCWSTR lpString) {
    if (WindowTable::Instance().Find(hWnd) == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return nvesk::user32::SendNow(hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpString)) != 0 ? TRUE : FALSE;
}

extern "C" int WINAPI GetWindowTextW(HWND hWnd, LPWSTR lpString, int nMaxCount) {
    if (WindowTable::Instance().Find(hWnd) == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (lpString == nullptr || nMaxCount <= 0) return 0;
    return static_cast<int>(
        nvesk::user32::SendNow(hWnd, WM_GETTEXT, static_cast<WPARAM>(nMaxCount), reinterpret_cast<LPARAM>(lpString)));
}

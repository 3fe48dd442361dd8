// DefWindowProcW: what Windows does with the messages a window procedure passes on.
#include "WindowTable.h"

#include <winuser.h>

#include <algorithm>

namespace {

LRESULT CopyText(const std::wstring& text, WPARAM capacity, LPARAM buffer) {
    LPWSTR target = reinterpret_cast<LPWSTR>(buffer);
    if (target == nullptr || capacity == 0) return 0;
    const std::size_t count = std::min<std::size_t>(text.size(), capacity - 1);
    std::copy_n(text.begin(), count, target);
    target[count] = L'\0';
    return static_cast<LRESULT>(count);
}

}  // namespace

extern "C" LRESULT WINAPI DefWindowProcW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    nvesk::user32::Window* window = nvesk::user32::WindowTable::Instance().Find(hWnd);
    if (window == nullptr) return 0;
    switch (Msg) {
    case WM_NCCREATE:
    case WM_NCACTIVATE:  // TRUE lets the activation change go ahead
        return TRUE;
    case WM_CLOSE:
        DestroyWindow(hWnd);
        return 0;
    case WM_SETTEXT:
        window->SetText(reinterpret_cast<LPCWSTR>(lParam));
        return TRUE;
    case WM_GETTEXT:
        return CopyText(window->Text(), wParam, lParam);
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(window->Text().size());
    default:
        return 0;
    }
}

// CreateWindowExW and DestroyWindow, with the messages Windows sends on the way.
#include "Focus.h"
#include "MessageQueue.h"
#include "PlatformEventListener.h"
#include "SdlVideo.h"
#include "SentMessages.h"
#include "WindowClassRegistry.h"
#include "WindowTable.h"
#include "kernel32/FaultPoint.h"

#include <winuser.h>

namespace nvesk::user32 {
namespace {

Uint32 NativeFlags(DWORD style) {
    Uint32 flags = SDL_WINDOW_HIDDEN | SDL_WINDOW_OPENGL;
    if ((style & WS_THICKFRAME) != 0) flags |= SDL_WINDOW_RESIZABLE;
    if ((style & WS_POPUP) != 0 && (style & WS_CAPTION) != WS_CAPTION) flags |= SDL_WINDOW_BORDERLESS;
    return flags;
}

int NativePosition(int position) {
    return position == CW_USEDEFAULT ? SDL_WINDOWPOS_UNDEFINED : position;
}

// Windows picks a default size from the screen when asked to.
void DefaultSize(int& width, int& height) {
    SDL_Rect bounds {0, 0, 1024, 768};
    SDL_GetDisplayUsableBounds(0, &bounds);
    width = bounds.w * 3 / 4;
    height = bounds.h * 3 / 4;
}

HWND Fail(DWORD error) {
    SetLastError(error);
    return nullptr;
}

}  // namespace
}  // namespace nvesk::user32

using namespace nvesk::user32;

extern "C" HWND WINAPI CreateWindowExW(DWORD dwExStyle, LPCWSTR lpClassName, LPCWSTR lpWindowName, DWORD dwStyle, int X,
                                       int Y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu,
                                       HINSTANCE hInstance, LPVOID lpParam) {
    if (nvesk::kernel32::TakeFault("CreateWindowExW")) return nullptr;
    const std::optional<WindowClass> windowClass = WindowClassRegistry::Instance().Find(lpClassName, hInstance);
    if (!windowClass) return Fail(ERROR_CANNOT_FIND_WND_CLASS);
    if (hWndParent != nullptr && hWndParent != WindowTable::Desktop() &&
        WindowTable::Instance().Find(hWndParent) == nullptr) {
        return Fail(ERROR_INVALID_WINDOW_HANDLE);
    }
    // Child windows and menus are beyond this layer.
    if ((dwStyle & WS_CHILD) != 0 || hMenu != nullptr) return Fail(ERROR_NOT_SUPPORTED);
    if (!EnsureVideo()) return Fail(ERROR_NOT_ENOUGH_MEMORY);
    if (!OnVideoThread()) return Fail(ERROR_ACCESS_DENIED);

    int width = nWidth;
    int height = nHeight;
    if (width == CW_USEDEFAULT) DefaultSize(width, height);
    // The outer size as given: the frame, if any, is the window manager's.
    // A default x makes Windows ignore y as well.
    const int x = NativePosition(X);
    const int y = X == CW_USEDEFAULT ? SDL_WINDOWPOS_UNDEFINED : NativePosition(Y);
    SDL_Window* native =
        SDL_CreateWindow("", x, y, width > 0 ? width : 1, height > 0 ? height : 1, NativeFlags(dwStyle));
    if (native == nullptr) return Fail(ERROR_NOT_ENOUGH_MEMORY);

    auto window = std::make_unique<Window>(native, windowClass->procedure, windowClass->atom, MessageQueue::Current());
    window->SetText(lpWindowName);
    const HWND handle = WindowTable::Instance().Add(std::move(window));
    WindowClassRegistry::Instance().AddWindow(windowClass->atom);

    CREATESTRUCTW create {};
    create.lpCreateParams = lpParam;
    create.hInstance = ModuleOrProgram(hInstance);
    create.hwndParent = hWndParent;
    create.cx = width;
    create.cy = height;
    create.x = X;
    create.y = Y;
    create.style = static_cast<LONG>(dwStyle);
    create.lpszName = lpWindowName;
    create.lpszClass = lpClassName;
    create.dwExStyle = dwExStyle;
    const LPARAM createParam = reinterpret_cast<LPARAM>(&create);
    if (SendNow(handle, WM_NCCREATE, 0, createParam) == FALSE || SendNow(handle, WM_CREATE, 0, createParam) == -1) {
        DestroyWindow(handle);
        return nullptr;
    }
    if ((dwStyle & WS_VISIBLE) != 0) ShowWindow(handle, SW_SHOW);
    return handle;
}

extern "C" BOOL WINAPI DestroyWindow(HWND hWnd) {
    if (hWnd == WindowTable::Desktop()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    Window* window = WindowTable::Instance().Find(hWnd);
    if (window == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (!window->OwnedByCallingThread()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (window->destroying) return TRUE;
    window->destroying = true;
    if (window->visible) {
        SDL_HideWindow(window->Native());
        window->visible = false;
    }
    if (Focus::Current() == hWnd) Focus::MoveTo(nullptr, true);
    SendNow(hWnd, WM_DESTROY, 0, 0);
    SendNow(hWnd, WM_NCDESTROY, 0, 0);
    NotifyWindowDestroyed(hWnd);
    window->Queue()->RemoveWindowMessages(hWnd);
    const std::unique_ptr<Window> removed = WindowTable::Instance().Remove(hWnd);
    WindowClassRegistry::Instance().RemoveWindow(removed->ClassAtom());
    return TRUE;
}

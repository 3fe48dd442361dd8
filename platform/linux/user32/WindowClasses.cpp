// RegisterClassExW and UnregisterClassW.
#include "WindowClassRegistry.h"
#include "kernel32/FaultPoint.h"

#include <winuser.h>

using nvesk::user32::WindowClassRegistry;

extern "C" ATOM WINAPI RegisterClassExW(const WNDCLASSEXW* lpwcx) {
    if (nvesk::kernel32::TakeFault("RegisterClassExW")) return 0;
    if (lpwcx == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    DWORD error = ERROR_SUCCESS;
    const ATOM atom = WindowClassRegistry::Instance().Register(*lpwcx, error);
    if (atom == 0) SetLastError(error);
    return atom;
}

extern "C" BOOL WINAPI UnregisterClassW(LPCWSTR lpClassName, HINSTANCE hInstance) {
    DWORD error = ERROR_SUCCESS;
    if (WindowClassRegistry::Instance().Unregister(lpClassName, hInstance, error)) return TRUE;
    SetLastError(error);
    return FALSE;
}

// GetModuleHandleW: the program has one module, the executable itself.
#include <windows.h>

namespace {
HINSTANCE__ g_executableModule {};
}

extern "C" HMODULE WINAPI GetModuleHandleW(LPCWSTR lpModuleName) {
    if (lpModuleName == nullptr) return &g_executableModule;
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

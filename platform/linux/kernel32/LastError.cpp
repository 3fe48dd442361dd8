// Per-thread last-error value, as kernel32 keeps it in the thread's environment block.
#include <windows.h>

namespace {
thread_local DWORD t_lastError = ERROR_SUCCESS;
}

extern "C" DWORD WINAPI GetLastError(void) {
    return t_lastError;
}

extern "C" void WINAPI SetLastError(DWORD dwErrCode) {
    t_lastError = dwErrCode;
}

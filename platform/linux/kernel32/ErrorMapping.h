// errno -> the Windows error code a Win32 call reports for the same failure.
#pragma once

#include <windows.h>

namespace nvesk::kernel32 {

DWORD WindowsErrorFromErrno(int error);

}  // namespace nvesk::kernel32

// HRESULTs and refusal reasons as the tools print them.
#pragma once

#include <windows.h>

#include <string>

namespace NVeskTools {

// "D3DERR_NOTAVAILABLE (0x8876086A)"; the number alone for a code without a name here.
std::string ResultName(HRESULT result);

// Why the platform layer refused the last call (PlatformTesting::LastRefusal), without the
// "Interface::Method: " it starts with; empty when it recorded none.
std::string RefusalReason();

}  // namespace NVeskTools

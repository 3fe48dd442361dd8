// Files named by wide (UTF-16) names, read whole through the Windows file calls.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace nvesk::d3dx9 {

// False when the file cannot be opened or read, or is larger than `maxBytes`.
bool ReadWholeFile(LPCWSTR name, std::vector<BYTE>& bytes, std::size_t maxBytes = 256u << 20);

}  // namespace nvesk::d3dx9

// Small helpers for the engine's COM objects and their result codes.
#pragma once

#include <windows.h>

#include "lib/TextFormat.h"

#include <cstdint>
#include <string>

namespace NVesk {
namespace NRenderer {

// Releases the object if there is one and nulls the pointer.
template <typename T>
void ReleaseAndClear(T*& object) {
    if (object != nullptr) {
        object->Release();
        object = nullptr;
    }
}

// A result code as the log shows it: upper-case hexadecimal without prefix.
inline std::wstring HexCode(HRESULT code) {
    return NLib::ToHexString(static_cast<std::uint32_t>(code));
}

}  // namespace NRenderer
}  // namespace NVesk

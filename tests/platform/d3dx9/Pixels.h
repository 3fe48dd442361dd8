// Pixels read back from the device as 0xAARRGGBB, and the colour the effect tests clear to.
#pragma once

#include <windows.h>

namespace D3DX9Tests {

constexpr DWORD kClearColor = 0xFF0000FF;  // opaque blue

inline DWORD Rgb(DWORD pixel) {
    return pixel & 0x00FFFFFF;
}

inline int Channel(DWORD pixel, int shift) {
    return static_cast<int>((pixel >> shift) & 0xFF);
}

}  // namespace D3DX9Tests

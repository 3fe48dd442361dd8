// Back-buffer readback through the public Direct3D 9 interface alone, for every suite that checks
// what a device drew (the renderer's included).
#pragma once

#include <d3d9.h>

#include <vector>

namespace D3D9Test {

// The device's back buffer as 0xAARRGGBB, row by row, via GetRenderTargetData.
std::vector<DWORD> ReadBackBuffer(IDirect3DDevice9* device);

}  // namespace D3D9Test

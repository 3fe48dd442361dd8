// Back-buffer readback through the public Direct3D 9 interface alone, for every suite that checks
// what a device drew (the renderer's included).
#pragma once

#include <d3d9.h>

#include <vector>

namespace D3D9Test {

// The device's back buffer as 0xAARRGGBB, row by row, via GetRenderTargetData.
std::vector<DWORD> ReadBackBuffer(IDirect3DDevice9* device);

// The same for any A8R8G8B8 or X8R8G8B8 render target surface of the device.
std::vector<DWORD> ReadRenderTarget(IDirect3DDevice9* device, IDirect3DSurface9* target);

}  // namespace D3D9Test

// The capabilities our Direct3D 9 devices report: what this layer really does on GL 4.5.
#pragma once

#include <d3d9.h>

namespace nvesk::d3d9 {

// The largest texture, surface and back buffer side this device offers (MaxTextureWidth and Height).
inline constexpr UINT kMaxTextureSize = 8192;

void FillDeviceCaps(D3DDEVTYPE type, UINT adapter, D3DCAPS9* caps);

// Tests make the device report older shader models; 0 and 0 restore the real ones.
void OverrideShaderVersions(DWORD vertexShaderVersion, DWORD pixelShaderVersion);

}  // namespace nvesk::d3d9

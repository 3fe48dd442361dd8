// Creation rules shared by vertex and index buffers.
#pragma once

#include <d3d9.h>

namespace nvesk::d3d9 {

// D3D_OK when a buffer of this length, usage and pool may be created.
HRESULT ValidateBufferCreation(UINT length, DWORD usage, D3DPOOL pool);

}  // namespace nvesk::d3d9

// What 2D and cube textures share: the checks their Create calls make, the GL texture behind the
// DEFAULT and MANAGED pools, and the chain of Surface levels of one image (a 2D texture, a face).
#pragma once

#include <d3d9.h>

#include "PixelFormats.h"
#include "Surface.h"

#include <vector>

namespace nvesk::d3d9 {

class Device;

struct TextureRequest {
    UINT width = 0;
    UINT height = 0;
    UINT levels = 0;  // 0: the full chain
    DWORD usage = 0;
    D3DFORMAT format = D3DFMT_UNKNOWN;
    D3DPOOL pool = D3DPOOL_DEFAULT;
};

// Validates as CreateTexture does: D3D_OK with the pixel format and the level count the texture
// gets; D3DERR_NOTAVAILABLE for usages the device does not offer; D3DERR_INVALIDCALL otherwise.
HRESULT CheckTextureRequest(const TextureRequest& request, const PixelFormat** format, UINT* levels);

// Context current. A GL texture of `target` with storage for `levels` levels where the pool lives
// in GL (DEFAULT, MANAGED); 0 for the CPU-only pools.
unsigned int CreatePoolTexture(GLenum target, const PixelFormat& format, UINT width, UINT height, UINT levels,
                               D3DPOOL pool);

// The `levels` levels of one image of `container` (`face` -1 for a 2D texture), halving from
// width x height; a CPU copy where the pool or a dynamic usage needs one.
std::vector<Surface*> CreateLevelChain(Device* device, IDirect3DBaseTexture9* container, const PixelFormat& format,
                                       const TextureRequest& request, UINT levels, unsigned int glTexture, int face);

// Direct3D 9 leaves a new texture's texels undefined; ours start at zero. For tests: while on,
// every level of every new texture starts as `texel` (its bytes in memory order, repeated).
void FillNewTextures(bool on, DWORD texel);

}  // namespace nvesk::d3d9

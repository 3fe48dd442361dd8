#include "TextureChain.h"
#include "com/Diagnostics.h"

#include "DeviceCaps.h"
#include "TextureStorage.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <atomic>

namespace nvesk::d3d9 {

using com::Reject;
namespace {

// The texel new textures start as, for tests; none: zero, as the storage comes.
std::atomic<bool> g_fillNewTextures {false};
std::atomic<DWORD> g_newTextureTexel {0};

UINT FullChainLength(UINT width, UINT height) {
    UINT levels = 1;
    while (width > 1 || height > 1) {
        width = std::max(1u, width / 2);
        height = std::max(1u, height / 2);
        ++levels;
    }
    return levels;
}

}  // namespace

HRESULT CheckTextureRequest(const TextureRequest& request, const PixelFormat** format, UINT* levels) {
    const PixelFormat* pixelFormat = FindPixelFormat(request.format);
    if (request.width == 0 || request.height == 0 || request.width > kMaxTextureSize ||
        request.height > kMaxTextureSize || pixelFormat == nullptr || request.pool > D3DPOOL_SCRATCH) {
        return Reject("size %u x %u not between 1 and 8192, format not offered, or unknown pool", request.width,
                      request.height);
    }
    const DWORD usage = request.usage;
    if ((usage & ~static_cast<DWORD>(D3DUSAGE_DYNAMIC | D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL |
                                     D3DUSAGE_AUTOGENMIPMAP)) != 0) {
        return Reject("usage flags a texture cannot have");
    }
    if ((usage & D3DUSAGE_DYNAMIC) != 0 && request.pool == D3DPOOL_MANAGED) {
        return Reject("a dynamic resource cannot be MANAGED");
    }
    if ((usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL)) != 0 && request.pool != D3DPOOL_DEFAULT) {
        return Reject("render targets and depth stencils live in the DEFAULT pool");
    }
    // Render-target and depth textures and automatic mipmaps are not offered by this device.
    if ((usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL | D3DUSAGE_AUTOGENMIPMAP)) != 0) {
        return D3DERR_NOTAVAILABLE;
    }
    const UINT fullChain = FullChainLength(request.width, request.height);
    const UINT count = request.levels == 0 ? fullChain : request.levels;
    if (count > fullChain) {
        return Reject("%u levels, more than the full chain of %u", count, fullChain);
    }
    *format = pixelFormat;
    *levels = count;
    return D3D_OK;
}

unsigned int CreatePoolTexture(GLenum target, const PixelFormat& format, UINT width, UINT height, UINT levels,
                               D3DPOOL pool) {
    if (pool != D3DPOOL_DEFAULT && pool != D3DPOOL_MANAGED) {
        return 0;
    }
    GLuint texture = 0;
    glCreateTextures(target, 1, &texture);
    AllocateTextureLevels(texture, target, format, width, height, levels);
    // Without a max level matching the chain, a mip-filtered one-level texture samples black.
    glTextureParameteri(texture, GL_TEXTURE_BASE_LEVEL, 0);
    glTextureParameteri(texture, GL_TEXTURE_MAX_LEVEL, static_cast<GLint>(levels - 1));
    glTextureParameteriv(texture, GL_TEXTURE_SWIZZLE_RGBA, format.swizzle);
    return texture;
}

std::vector<Surface*> CreateLevelChain(Device* device, IDirect3DBaseTexture9* container, const PixelFormat& format,
                                       const TextureRequest& request, UINT levels, unsigned int glTexture, int face) {
    const bool cpuCopy = request.pool != D3DPOOL_DEFAULT || (request.usage & D3DUSAGE_DYNAMIC) != 0;
    std::vector<Surface*> chain;
    UINT width = request.width;
    UINT height = request.height;
    for (UINT level = 0; level < levels; ++level) {
        Surface::GlImage image;
        image.texture = glTexture;
        image.level = static_cast<int>(level);
        image.face = face;
        chain.push_back(Surface::CreateTextureLevel(device, container, width, height, format, request.usage,
                                                    request.pool, cpuCopy, image));
        width = std::max(1u, width / 2);
        height = std::max(1u, height / 2);
    }
    if (g_fillNewTextures) {
        for (Surface* level : chain)
            level->FillWith(g_newTextureTexel);
    }
    return chain;
}

void FillNewTextures(bool on, DWORD texel) {
    g_newTextureTexel = texel;
    g_fillNewTextures = on;
}

}  // namespace nvesk::d3d9

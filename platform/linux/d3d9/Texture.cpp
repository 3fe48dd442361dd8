#include "Texture.h"
#include "com/Diagnostics.h"

#include "Conversions.h"
#include "Device.h"
#include "DeviceCaps.h"
#include "Surface.h"
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

Texture::Texture(Device* device, D3DPOOL pool, const PixelFormat& format, DWORD usage)
    : Resource(device, com::Kind::Texture, D3DRTYPE_TEXTURE, pool, true, true), format_(&format), usage_(usage) {}

HRESULT Texture::Create(Device* device, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                        D3DPOOL pool, Texture** texture) {
    const PixelFormat* pixelFormat = FindPixelFormat(format);
    if (width == 0 || height == 0 || width > kMaxTextureSize || height > kMaxTextureSize || pixelFormat == nullptr ||
        pool > D3DPOOL_SCRATCH) {
        return Reject("size %u x %u not between 1 and 8192, format not offered, or unknown pool", width, height);
    }
    if ((usage & ~static_cast<DWORD>(D3DUSAGE_DYNAMIC | D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL |
                                     D3DUSAGE_AUTOGENMIPMAP)) != 0) {
        return Reject("usage flags a texture cannot have");
    }
    if ((usage & D3DUSAGE_DYNAMIC) != 0 && pool == D3DPOOL_MANAGED) {
        return Reject("a dynamic resource cannot be MANAGED");
    }
    if ((usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL)) != 0 && pool != D3DPOOL_DEFAULT) {
        return Reject("render targets and depth stencils live in the DEFAULT pool");
    }
    // Render-target and depth textures and automatic mipmaps are not offered by this device.
    if ((usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL | D3DUSAGE_AUTOGENMIPMAP)) != 0) {
        return D3DERR_NOTAVAILABLE;
    }
    const UINT fullChain = FullChainLength(width, height);
    if (levels == 0) {
        levels = fullChain;
    }
    if (levels > fullChain) {
        return Reject("%u levels, more than the full chain of %u", levels, fullChain);
    }

    Texture* created = new Texture(device, pool, *pixelFormat, usage);
    const bool onGl = pool == D3DPOOL_DEFAULT || pool == D3DPOOL_MANAGED;
    const bool cpuCopy = pool != D3DPOOL_DEFAULT || (usage & D3DUSAGE_DYNAMIC) != 0;
    if (onGl) {
        device->MakeCurrent();
        glCreateTextures(GL_TEXTURE_2D, 1, &created->glTexture_);
        AllocateTextureLevels(created->glTexture_, *pixelFormat, width, height, levels);
        // Without a max level matching the chain, a mip-filtered one-level texture samples black.
        glTextureParameteri(created->glTexture_, GL_TEXTURE_BASE_LEVEL, 0);
        glTextureParameteri(created->glTexture_, GL_TEXTURE_MAX_LEVEL, static_cast<GLint>(levels - 1));
        glTextureParameteriv(created->glTexture_, GL_TEXTURE_SWIZZLE_RGBA, pixelFormat->swizzle);
    }
    UINT levelWidth = width;
    UINT levelHeight = height;
    for (UINT level = 0; level < levels; ++level) {
        Surface::GlImage image;
        image.texture = created->glTexture_;
        image.level = static_cast<int>(level);
        created->levels_.push_back(
            Surface::CreateTextureLevel(created, levelWidth, levelHeight, *pixelFormat, usage, pool, cpuCopy, image));
        levelWidth = std::max(1u, levelWidth / 2);
        levelHeight = std::max(1u, levelHeight / 2);
    }
    if (g_fillNewTextures) {
        for (Surface* level : created->levels_)
            level->FillWith(g_newTextureTexel);
    }
    *texture = created;
    return D3D_OK;
}

void FillNewTextures(bool on, DWORD texel) {
    g_newTextureTexel = texel;
    g_fillNewTextures = on;
}

HRESULT Texture::QueryInterface(REFIID riid, void** object) {
    return QueryInterfaceAmong(riid, object,
                               {&IID_IDirect3DResource9, &IID_IDirect3DBaseTexture9, &IID_IDirect3DTexture9});
}

DWORD Texture::GetLevelCount() {
    NVESK_ENTER_OR("IDirect3DBaseTexture9::GetLevelCount", 0);
    return static_cast<DWORD>(levels_.size());
}

HRESULT Texture::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) {
    NVESK_ENTER("IDirect3DTexture9::GetLevelDesc");
    if (desc == nullptr || level >= levels_.size()) {
        return Reject("desc is null, or no such level");
    }
    *desc = levels_[level]->Desc();
    return D3D_OK;
}

HRESULT Texture::GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) {
    NVESK_ENTER("IDirect3DTexture9::GetSurfaceLevel");
    if (surface == nullptr || level >= levels_.size()) {
        return Reject("surface is null, or no such level");
    }
    *surface = levels_[level];
    AddRef();
    return D3D_OK;
}

HRESULT Texture::LockRect(UINT level, D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) {
    NVESK_ENTER("IDirect3DTexture9::LockRect");
    if (level >= levels_.size()) {
        return Reject("level %u of a %zu-level texture", level, levels_.size());
    }
    return levels_[level]->LockRect(lockedRect, rect, flags);
}

HRESULT Texture::UnlockRect(UINT level) {
    NVESK_ENTER("IDirect3DTexture9::UnlockRect");
    if (level >= levels_.size()) {
        return Reject("level %u of a %zu-level texture", level, levels_.size());
    }
    return levels_[level]->UnlockRect();
}

HRESULT Texture::AddDirtyRect(const RECT* dirtyRect) {
    NVESK_ENTER("IDirect3DTexture9::AddDirtyRect");
    const D3DSURFACE_DESC& top = levels_[0]->Desc();
    if (dirtyRect != nullptr && !RectWithin(*dirtyRect, top.Width, top.Height, true)) {
        return Reject("the dirty rectangle is inverted or outside the texture");
    }
    // UpdateTexture copies every level whole, which covers any dirty region.
    return D3D_OK;
}

void Texture::FreeResources() {
    for (Surface* level : levels_) {
        level->RetireWithContainer();
    }
    levels_.clear();
    if (glTexture_ != 0) {
        OwnerDevice()->MakeCurrent();
        glDeleteTextures(1, &glTexture_);
        glTexture_ = 0;
    }
}

}  // namespace nvesk::d3d9

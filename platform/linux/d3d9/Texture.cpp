#include "Texture.h"
#include "com/Diagnostics.h"

#include "Conversions.h"
#include "Device.h"
#include "Surface.h"
#include "TextureChain.h"

#include <epoxy/gl.h>

namespace nvesk::d3d9 {

using com::Reject;

Texture::Texture(Device* device, D3DPOOL pool, const PixelFormat& format, DWORD usage)
    : Resource(device, com::Kind::Texture, D3DRTYPE_TEXTURE, pool, true, true), format_(&format), usage_(usage) {}

HRESULT Texture::Create(Device* device, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                        D3DPOOL pool, Texture** texture) {
    const TextureRequest request {width, height, levels, usage, format, pool};
    const PixelFormat* pixelFormat = nullptr;
    UINT count = 0;
    if (HRESULT hr = CheckTextureRequest(request, &pixelFormat, &count); FAILED(hr)) {
        return hr;
    }
    Texture* created = new Texture(device, pool, *pixelFormat, usage);
    device->MakeCurrent();
    created->glTexture_ = CreatePoolTexture(GL_TEXTURE_2D, *pixelFormat, width, height, count, pool);
    created->levels_ = CreateLevelChain(device, created, *pixelFormat, request, count, created->glTexture_, -1);
    *texture = created;
    return D3D_OK;
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

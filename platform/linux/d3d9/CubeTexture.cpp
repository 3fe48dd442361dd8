#include "CubeTexture.h"
#include "com/Diagnostics.h"

#include "Conversions.h"
#include "Device.h"
#include "Surface.h"
#include "TextureChain.h"

#include <epoxy/gl.h>

namespace nvesk::d3d9 {

using com::Reject;

CubeTexture::CubeTexture(Device* device, D3DPOOL pool)
    : Resource(device, com::Kind::CubeTexture, D3DRTYPE_CUBETEXTURE, pool, true, true) {}

HRESULT CubeTexture::Create(Device* device, UINT edgeLength, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                            CubeTexture** texture) {
    const TextureRequest request {edgeLength, edgeLength, levels, usage, format, pool};
    const PixelFormat* pixelFormat = nullptr;
    UINT count = 0;
    if (HRESULT hr = CheckTextureRequest(request, &pixelFormat, &count); FAILED(hr)) {
        return hr;
    }
    CubeTexture* created = new CubeTexture(device, pool);
    device->MakeCurrent();
    // Direct3D's faces come in GL's layer order: +X, -X, +Y, -Y, +Z, -Z.
    created->glTexture_ = CreatePoolTexture(GL_TEXTURE_CUBE_MAP, *pixelFormat, edgeLength, edgeLength, count, pool);
    for (UINT face = 0; face < kFaceCount; ++face) {
        created->faces_[face] = CreateLevelChain(device, created, *pixelFormat, request, count, created->glTexture_,
                                                 static_cast<int>(face));
    }
    *texture = created;
    return D3D_OK;
}

HRESULT CubeTexture::QueryInterface(REFIID riid, void** object) {
    return QueryInterfaceAmong(riid, object,
                               {&IID_IDirect3DResource9, &IID_IDirect3DBaseTexture9, &IID_IDirect3DCubeTexture9});
}

DWORD CubeTexture::GetLevelCount() {
    NVESK_ENTER_OR("IDirect3DBaseTexture9::GetLevelCount", 0);
    return static_cast<DWORD>(faces_[0].size());
}

Surface* CubeTexture::FaceLevel(UINT face, UINT level) const {
    if (face >= kFaceCount) {
        return nullptr;
    }
    const std::vector<Surface*>& chain = faces_[face];
    return level < chain.size() ? chain[level] : nullptr;
}

HRESULT CubeTexture::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) {
    NVESK_ENTER("IDirect3DCubeTexture9::GetLevelDesc");
    const Surface* surface = FaceLevel(0, level);
    if (desc == nullptr || surface == nullptr) {
        return Reject("desc is null, or no such level");
    }
    *desc = surface->Desc();
    return D3D_OK;
}

HRESULT CubeTexture::GetCubeMapSurface(D3DCUBEMAP_FACES face, UINT level, IDirect3DSurface9** surface) {
    NVESK_ENTER("IDirect3DCubeTexture9::GetCubeMapSurface");
    Surface* found = FaceLevel(static_cast<UINT>(face), level);
    if (surface == nullptr || found == nullptr) {
        return Reject("surface is null, or no such face or level");
    }
    *surface = found;
    AddRef();
    return D3D_OK;
}

HRESULT CubeTexture::LockRect(D3DCUBEMAP_FACES face, UINT level, D3DLOCKED_RECT* lockedRect, const RECT* rect,
                              DWORD flags) {
    NVESK_ENTER("IDirect3DCubeTexture9::LockRect");
    Surface* surface = FaceLevel(static_cast<UINT>(face), level);
    if (surface == nullptr) {
        return Reject("face %d level %u of a %zu-level cube texture", static_cast<int>(face), level, faces_[0].size());
    }
    return surface->LockRect(lockedRect, rect, flags);
}

HRESULT CubeTexture::UnlockRect(D3DCUBEMAP_FACES face, UINT level) {
    NVESK_ENTER("IDirect3DCubeTexture9::UnlockRect");
    Surface* surface = FaceLevel(static_cast<UINT>(face), level);
    if (surface == nullptr) {
        return Reject("face %d level %u of a %zu-level cube texture", static_cast<int>(face), level, faces_[0].size());
    }
    return surface->UnlockRect();
}

HRESULT CubeTexture::AddDirtyRect(D3DCUBEMAP_FACES face, const RECT* dirtyRect) {
    NVESK_ENTER("IDirect3DCubeTexture9::AddDirtyRect");
    const Surface* top = FaceLevel(static_cast<UINT>(face), 0);
    if (top == nullptr) {
        return Reject("no such face");
    }
    if (dirtyRect != nullptr && !RectWithin(*dirtyRect, top->Desc().Width, top->Desc().Height, true)) {
        return Reject("the dirty rectangle is inverted or outside the face");
    }
    // Nothing copies cube textures by their dirty regions: every write reaches GL on unlock.
    return D3D_OK;
}

void CubeTexture::FreeResources() {
    for (std::vector<Surface*>& chain : faces_) {
        for (Surface* level : chain) {
            level->RetireWithContainer();
        }
        chain.clear();
    }
    if (glTexture_ != 0) {
        OwnerDevice()->MakeCurrent();
        glDeleteTextures(1, &glTexture_);
        glTexture_ = 0;
    }
}

}  // namespace nvesk::d3d9

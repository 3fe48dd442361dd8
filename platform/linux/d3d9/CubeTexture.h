// IDirect3DCubeTexture9: six faces, each a mip chain of Surface levels, over one GL cube map.
//
// Pools as for Texture: DEFAULT lives in GL (dynamic ones keep a CPU copy for LockRect); MANAGED
// keeps a CPU copy and the GL cube map; SYSTEMMEM and SCRATCH are CPU memory only.
#pragma once

#include <d3d9.h>

#include "PixelFormats.h"
#include "Resource.h"
#include "SampledTexture.h"

#include <array>
#include <vector>

namespace nvesk::d3d9 {

class Surface;

class CubeTexture final : public Resource<IDirect3DCubeTexture9>, public SampledTexture {
public:
    // Validates like CreateCubeTexture and makes the texture (context current).
    static HRESULT Create(Device* device, UINT edgeLength, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                          CubeTexture** texture);

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    // IDirect3DBaseTexture9
    DWORD STDMETHODCALLTYPE GetLevelCount() override;
    // IDirect3DCubeTexture9
    HRESULT STDMETHODCALLTYPE GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
    HRESULT STDMETHODCALLTYPE GetCubeMapSurface(D3DCUBEMAP_FACES face, UINT level,
                                                IDirect3DSurface9** surface) override;
    HRESULT STDMETHODCALLTYPE LockRect(D3DCUBEMAP_FACES face, UINT level, D3DLOCKED_RECT* lockedRect, const RECT* rect,
                                       DWORD flags) override;
    HRESULT STDMETHODCALLTYPE UnlockRect(D3DCUBEMAP_FACES face, UINT level) override;
    HRESULT STDMETHODCALLTYPE AddDirtyRect(D3DCUBEMAP_FACES face, const RECT* dirtyRect) override;

    // SampledTexture
    Device* DeviceOfTexture() const override { return OwnerDevice(); }
    IDirect3DBaseTexture9* BaseTexture() override { return this; }
    unsigned int GlTexture() const override { return glTexture_; }
    bool IsCube() const override { return true; }
    UINT FaceCount() const override { return kFaceCount; }
    UINT LevelCount() const override { return static_cast<UINT>(faces_[0].size()); }
    Surface* FaceLevel(UINT face, UINT level) const override;

private:
    static constexpr UINT kFaceCount = 6;

    CubeTexture(Device* device, D3DPOOL pool);
    void FreeResources() override;

    unsigned int glTexture_ = 0;
    std::array<std::vector<Surface*>, kFaceCount> faces_;
};

}  // namespace nvesk::d3d9

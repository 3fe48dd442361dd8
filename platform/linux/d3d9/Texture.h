// IDirect3DTexture9: a mip chain of Surface levels over one GL texture.
//
// Pools: DEFAULT lives in GL (dynamic ones keep a CPU copy for LockRect, uploaded on unlock);
// MANAGED keeps a CPU copy and a GL texture and survives Reset; SYSTEMMEM and SCRATCH are CPU
// memory only and feed UpdateSurface/UpdateTexture.
#pragma once

#include <d3d9.h>

#include "PixelFormats.h"
#include "Resource.h"
#include "SampledTexture.h"

#include <vector>

namespace nvesk::d3d9 {

class Surface;

class Texture final : public Resource<IDirect3DTexture9>, public SampledTexture {
public:
    // Validates like CreateTexture and makes the texture (context current).
    static HRESULT Create(Device* device, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                          D3DPOOL pool, Texture** texture);

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    // IDirect3DBaseTexture9
    DWORD STDMETHODCALLTYPE GetLevelCount() override;
    // IDirect3DTexture9
    HRESULT STDMETHODCALLTYPE GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
    HRESULT STDMETHODCALLTYPE GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) override;
    HRESULT STDMETHODCALLTYPE LockRect(UINT level, D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE UnlockRect(UINT level) override;
    HRESULT STDMETHODCALLTYPE AddDirtyRect(const RECT* dirtyRect) override;

    // SampledTexture
    Device* DeviceOfTexture() const override { return OwnerDevice(); }
    IDirect3DBaseTexture9* BaseTexture() override { return this; }
    unsigned int GlTexture() const override { return glTexture_; }
    bool IsCube() const override { return false; }
    UINT FaceCount() const override { return 1; }
    UINT LevelCount() const override { return static_cast<UINT>(levels_.size()); }
    Surface* FaceLevel(UINT face, UINT level) const override { return face == 0 ? Level(level) : nullptr; }

    Surface* Level(UINT level) const { return level < levels_.size() ? levels_[level] : nullptr; }
    const PixelFormat& Format() const { return *format_; }
    DWORD Usage() const { return usage_; }

private:
    Texture(Device* device, D3DPOOL pool, const PixelFormat& format, DWORD usage);
    void FreeResources() override;

    const PixelFormat* format_;
    DWORD usage_;
    unsigned int glTexture_ = 0;
    std::vector<Surface*> levels_;
};

}  // namespace nvesk::d3d9

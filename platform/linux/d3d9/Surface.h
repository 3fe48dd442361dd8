// IDirect3DSurface9: offscreen plain surfaces, texture levels and the device's back buffer.
//
// Memory: system-memory and offscreen plain surfaces, and the levels of managed and dynamic
// textures, keep their texels on the CPU (BGRA for A8R8G8B8, rows at RowPitch); GL-backed
// surfaces (texture levels, the back buffer) receive what is written there when unlocked.
#pragma once

#include <d3d9.h>

#include "PixelFormats.h"
#include "Resource.h"

#include <vector>

namespace nvesk::d3d9 {

class Surface final : public Resource<IDirect3DSurface9> {
public:
    struct GlImage {
        unsigned int texture = 0;  // GL texture name, 0 when the surface lives on the CPU only
        int level = 0;
        int face = -1;  // the layer of a cube map (D3DCUBEMAP_FACES order); -1 for a 2D texture
    };

    static Surface* CreateOffscreenPlain(Device* device, UINT width, UINT height, const PixelFormat& format,
                                         D3DPOOL pool);
    // A level of `container` (a 2D or cube texture); its references are the texture's.
    static Surface* CreateTextureLevel(Device* device, IDirect3DBaseTexture9* container, UINT width, UINT height,
                                       const PixelFormat& format, DWORD usage, D3DPOOL pool, bool cpuCopy,
                                       GlImage image);
    // Unreferenced and uncounted: the device holds it, GetBackBuffer hands it out.
    static Surface* CreateBackBuffer(Device* device, UINT width, UINT height, const PixelFormat& format, bool lockable,
                                     GlImage image);

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IDirect3DSurface9
    HRESULT STDMETHODCALLTYPE GetContainer(REFIID riid, void** container) override;
    HRESULT STDMETHODCALLTYPE GetDesc(D3DSURFACE_DESC* desc) override;
    HRESULT STDMETHODCALLTYPE LockRect(D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE UnlockRect() override;

    const D3DSURFACE_DESC& Desc() const { return desc_; }
    const PixelFormat& Format() const { return *format_; }
    bool IsLocked() const { return locked_; }
    bool IsTextureLevel() const { return container_ != nullptr; }
    bool IsBackBuffer() const { return backBuffer_; }
    bool HasCpuCopy() const { return !memory_.empty(); }
    const GlImage& Image() const { return image_; }
    UINT Pitch() const { return pitch_; }
    const BYTE* Pixels() const { return memory_.data(); }
    BYTE* Pixels() { return memory_.data(); }

    // Copies `area` of `source` (same format, CPU texels) to (x, y): the CPU copy and the GL image.
    void CopyFrom(const Surface& source, const RECT& area, LONG x, LONG y);

    // Every texel set to `texel`'s bytes, little-endian and repeated: the CPU copy and the GL image.
    void FillWith(DWORD texel);

    // Ends a texture level's life with its texture.
    void RetireWithContainer();

private:
    Surface(Device* device, IDirect3DBaseTexture9* container, bool counted, bool tiesDevice, ULONG references,
            UINT width, UINT height, const PixelFormat& format, DWORD usage, D3DPOOL pool);
    void FreeResources() override;
    void Upload(const RECT& rect);
    // Writes `width` x `height` texels at (x, y) of the GL image from rows `rowLength` texels wide.
    void WriteImage(LONG x, LONG y, UINT width, UINT height, const BYTE* first, UINT rowLength);
    bool Lockable() const;

    IDirect3DBaseTexture9* container_;
    const PixelFormat* format_;
    D3DSURFACE_DESC desc_ {};
    std::vector<BYTE> memory_;
    UINT pitch_ = 0;
    GlImage image_;
    bool backBuffer_ = false;
    bool lockableBackBuffer_ = false;
    bool locked_ = false;
    bool lockReadOnly_ = false;
    bool lockMemoryIsTemporary_ = false;
    RECT lockedRect_ {};
};

}  // namespace nvesk::d3d9

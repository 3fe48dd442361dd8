#include "Surface.h"
#include "com/Diagnostics.h"

#include "Conversions.h"
#include "Device.h"

#include <epoxy/gl.h>

#include <cstring>

namespace nvesk::d3d9 {

using com::Reject;

Surface::Surface(Device* device, IDirect3DBaseTexture9* container, bool counted, bool tiesDevice, ULONG references,
                 UINT width, UINT height, const PixelFormat& format, DWORD usage, D3DPOOL pool)
    : Resource(device, com::Kind::Surface, D3DRTYPE_SURFACE, pool, counted, tiesDevice, references),
      container_(container),
      format_(&format),
      pitch_(RowPitch(format, width)) {
    desc_.Format = format.format;
    desc_.Type = D3DRTYPE_SURFACE;
    desc_.Usage = usage;
    desc_.Pool = pool;
    desc_.MultiSampleType = D3DMULTISAMPLE_NONE;
    desc_.MultiSampleQuality = 0;
    desc_.Width = width;
    desc_.Height = height;
}

Surface* Surface::CreateOffscreenPlain(Device* device, UINT width, UINT height, const PixelFormat& format,
                                       D3DPOOL pool) {
    Surface* surface = new Surface(device, nullptr, true, true, 1, width, height, format, 0, pool);
    surface->memory_.assign(static_cast<size_t>(surface->pitch_) * height, 0);
    return surface;
}

Surface* Surface::CreateTextureLevel(Device* device, IDirect3DBaseTexture9* container, UINT width, UINT height,
                                     const PixelFormat& format, DWORD usage, D3DPOOL pool, bool cpuCopy,
                                     GlImage image) {
    Surface* surface = new Surface(device, container, false, false, 1, width, height, format, usage, pool);
    if (cpuCopy) {
        surface->memory_.assign(static_cast<size_t>(surface->pitch_) * height, 0);
    }
    surface->image_ = image;
    return surface;
}

Surface* Surface::CreateBackBuffer(Device* device, UINT width, UINT height, const PixelFormat& format, bool lockable,
                                   GlImage image) {
    Surface* surface =
        new Surface(device, nullptr, false, true, 0, width, height, format, D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT);
    surface->backBuffer_ = true;
    surface->lockableBackBuffer_ = lockable;
    surface->image_ = image;
    return surface;
}

HRESULT Surface::QueryInterface(REFIID riid, void** object) {
    return QueryInterfaceAmong(riid, object, {&IID_IDirect3DResource9, &IID_IDirect3DSurface9});
}

ULONG Surface::AddRef() {
    if (container_ != nullptr) {
        return IsAlive() ? container_->AddRef() : 0;
    }
    return AddReference();
}

ULONG Surface::Release() {
    if (container_ != nullptr) {
        return IsAlive() ? container_->Release() : 0;
    }
    return ReleaseReference();
}

HRESULT Surface::GetContainer(REFIID riid, void** container) {
    NVESK_ENTER("IDirect3DSurface9::GetContainer");
    if (container == nullptr) {
        return Reject("container is null");
    }
    if (container_ != nullptr) {
        return container_->QueryInterface(riid, container);
    }
    return static_cast<IDirect3DDevice9*>(OwnerDevice())->QueryInterface(riid, container);
}

HRESULT Surface::GetDesc(D3DSURFACE_DESC* desc) {
    NVESK_ENTER("IDirect3DSurface9::GetDesc");
    if (desc == nullptr) {
        return Reject("desc is null");
    }
    *desc = desc_;
    return D3D_OK;
}

bool Surface::Lockable() const {
    return HasCpuCopy() || (backBuffer_ && lockableBackBuffer_);
}

HRESULT Surface::LockRect(D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) {
    NVESK_ENTER("IDirect3DSurface9::LockRect");
    if (lockedRect == nullptr || locked_ || !Lockable()) {
        return Reject("lockedRect is null, the surface is locked already, or its pool cannot be locked");
    }
    if ((flags & D3DLOCK_NOOVERWRITE) != 0 ||
        ((flags & D3DLOCK_DISCARD) != 0 && (desc_.Usage & D3DUSAGE_DYNAMIC) == 0)) {
        return Reject("NOOVERWRITE on a surface, or DISCARD on a surface that is not dynamic");
    }
    RECT area {0, 0, static_cast<LONG>(desc_.Width), static_cast<LONG>(desc_.Height)};
    if (rect != nullptr) {
        if (!RectWithin(*rect, desc_.Width, desc_.Height)) {
            return Reject("the rectangle is empty or outside the surface");
        }
        area = *rect;
    }
    if (!HasCpuCopy()) {
        // A lockable back buffer: its texels come from GL for the time of the lock.
        OwnerDevice()->TakeFrameOutOfWindow();
        OwnerDevice()->MakeCurrent();
        memory_.assign(static_cast<size_t>(pitch_) * desc_.Height, 0);
        glPixelStorei(GL_PACK_ROW_LENGTH, static_cast<GLint>(desc_.Width));
        glGetTextureImage(image_.texture, image_.level, format_->uploadFormat, format_->uploadType,
                          static_cast<GLsizei>(memory_.size()), memory_.data());
        glPixelStorei(GL_PACK_ROW_LENGTH, 0);
        lockMemoryIsTemporary_ = true;
    }
    locked_ = true;
    lockReadOnly_ = (flags & D3DLOCK_READONLY) != 0;
    lockedRect_ = area;
    lockedRect->Pitch = static_cast<INT>(pitch_);
    lockedRect->pBits = memory_.data() + static_cast<size_t>(area.top) * pitch_ +
                        static_cast<size_t>(area.left) * format_->bytesPerPixel;
    return D3D_OK;
}

HRESULT Surface::UnlockRect() {
    NVESK_ENTER("IDirect3DSurface9::UnlockRect");
    if (!locked_) {
        return Reject("the surface is not locked");
    }
    locked_ = false;
    if (!lockReadOnly_) {
        Upload(lockedRect_);
    }
    if (lockMemoryIsTemporary_) {
        memory_.clear();
        memory_.shrink_to_fit();
        lockMemoryIsTemporary_ = false;
    }
    return D3D_OK;
}

void Surface::FillWith(DWORD texel) {
    std::vector<BYTE> filled(static_cast<size_t>(pitch_) * desc_.Height);
    for (size_t i = 0; i < filled.size(); ++i)
        filled[i] = static_cast<BYTE>(texel >> (8 * (i % 4)));
    if (HasCpuCopy()) memory_ = filled;
    if (image_.texture != 0) WriteImage(0, 0, desc_.Width, desc_.Height, filled.data(), desc_.Width);
}

void Surface::Upload(const RECT& rect) {
    if (image_.texture == 0) {
        return;
    }
    const BYTE* first = memory_.data() + static_cast<size_t>(rect.top) * pitch_ +
                        static_cast<size_t>(rect.left) * format_->bytesPerPixel;
    WriteImage(rect.left, rect.top, static_cast<UINT>(rect.right - rect.left),
               static_cast<UINT>(rect.bottom - rect.top), first, desc_.Width);
}

void Surface::WriteImage(LONG x, LONG y, UINT width, UINT height, const BYTE* first, UINT rowLength) {
    std::vector<BYTE> opaque;
    if (backBuffer_) {
        OwnerDevice()->TakeFrameOutOfWindow();
    }
    if (backBuffer_ && format_->format == D3DFMT_X8R8G8B8) {
        // The back buffer stores alpha, which must stay 1 under an X8 format: the X bytes written
        // here are not Direct3D's alpha.
        const size_t rowBytes = static_cast<size_t>(width) * 4;
        opaque.resize(rowBytes * height);
        for (UINT row = 0; row < height; ++row) {
            std::memcpy(opaque.data() + row * rowBytes,
                        first + static_cast<size_t>(row) * RowPitch(*format_, rowLength), rowBytes);
        }
        for (size_t alpha = 3; alpha < opaque.size(); alpha += 4) {
            opaque[alpha] = 0xFF;
        }
        first = opaque.data();
        rowLength = width;
    }
    OwnerDevice()->MakeCurrent();
    glPixelStorei(GL_UNPACK_ROW_LENGTH, static_cast<GLint>(rowLength));
    if (image_.face >= 0) {
        // Direct3D's rows run down from the upper-left texel of a face as GL's do from t = 0.
        glTextureSubImage3D(image_.texture, image_.level, x, y, image_.face, static_cast<GLsizei>(width),
                            static_cast<GLsizei>(height), 1, format_->uploadFormat, format_->uploadType, first);
    } else {
        glTextureSubImage2D(image_.texture, image_.level, x, y, static_cast<GLsizei>(width),
                            static_cast<GLsizei>(height), format_->uploadFormat, format_->uploadType, first);
    }
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
}

void Surface::CopyFrom(const Surface& source, const RECT& area, LONG x, LONG y) {
    const UINT width = static_cast<UINT>(area.right - area.left);
    const UINT height = static_cast<UINT>(area.bottom - area.top);
    const UINT bytes = format_->bytesPerPixel;
    const BYTE* first =
        source.Pixels() + static_cast<size_t>(area.top) * source.Pitch() + static_cast<size_t>(area.left) * bytes;
    if (HasCpuCopy()) {
        for (UINT row = 0; row < height; ++row) {
            std::memcpy(memory_.data() + (static_cast<size_t>(y) + row) * pitch_ + static_cast<size_t>(x) * bytes,
                        first + static_cast<size_t>(row) * source.Pitch(), static_cast<size_t>(width) * bytes);
        }
        Upload(RECT {x, y, x + static_cast<LONG>(width), y + static_cast<LONG>(height)});
        return;
    }
    if (image_.texture == 0) {
        return;
    }
    // Source rows are RowPitch apart: the source width at 4-byte row alignment.
    WriteImage(x, y, width, height, first, source.Desc().Width);
}

void Surface::RetireWithContainer() {
    FreeResources();
    Retire();
}

void Surface::FreeResources() {
    memory_.clear();
    memory_.shrink_to_fit();
    locked_ = false;
    // The GL image belongs to the texture or the device's frame target.
    image_ = GlImage {};
}

}  // namespace nvesk::d3d9

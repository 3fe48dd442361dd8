#include "BackBufferReadback.h"

#include <gtest/gtest.h>

namespace D3D9Test {

std::vector<DWORD> ReadBackBuffer(IDirect3DDevice9* device) {
    IDirect3DSurface9* backBuffer = nullptr;
    EXPECT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer), D3D_OK);
    if (backBuffer == nullptr) {
        return {};
    }
    std::vector<DWORD> pixels = ReadRenderTarget(device, backBuffer);
    backBuffer->Release();
    return pixels;
}

std::vector<DWORD> ReadRenderTarget(IDirect3DDevice9* device, IDirect3DSurface9* target) {
    std::vector<DWORD> pixels;
    IDirect3DSurface9* copy = nullptr;
    D3DSURFACE_DESC desc;
    target->GetDesc(&desc);
    EXPECT_EQ(
        device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM, &copy, nullptr),
        D3D_OK);
    if (copy == nullptr) {
        return pixels;
    }
    EXPECT_EQ(device->GetRenderTargetData(target, copy), D3D_OK);
    D3DLOCKED_RECT locked;
    EXPECT_EQ(copy->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    for (UINT y = 0; y < desc.Height; ++y) {
        const DWORD* row = reinterpret_cast<const DWORD*>(static_cast<const BYTE*>(locked.pBits) + y * locked.Pitch);
        pixels.insert(pixels.end(), row, row + desc.Width);
    }
    copy->UnlockRect();
    copy->Release();
    return pixels;
}

}  // namespace D3D9Test

// Direct3D 9 at its boundary: the object, device, texture, surface and buffer operations the engine
// calls, given null pointers, out-of-range adapters, levels, streams and stages, absurd sizes and
// calls out of order. Each refusal is D3DERR_INVALIDCALL and creates nothing; cases the validation,
// lifetime and object suites cover are not repeated.
#include "BoundaryCases.h"
#include "Direct3DTestSupport.h"

using D3D9Test::Case;
using D3D9Test::ExpectResults;
using D3D9BoundaryTest = D3D9Test::DeviceTest;

TEST_F(D3D9BoundaryTest, Direct3DObjectRefusesMissingOutputsAndAdaptersThatDoNotExist) {
    D3DDISPLAYMODE mode {};
    D3DCAPS9 caps {};
    D3DPRESENT_PARAMETERS parameters = D3D9Test::WindowedParameters(window_->Handle(), kWidth, kHeight);
    IDirect3DDevice9* device = nullptr;
    const UINT modes = d3d_->GetAdapterModeCount(D3DADAPTER_DEFAULT, D3DFMT_X8R8G8B8);
    ASSERT_GT(modes, 0u);
    EXPECT_EQ(d3d_->GetAdapterModeCount(1, D3DFMT_X8R8G8B8), 0u);
    ExpectResults({
        Case("EnumAdapterModes without a result",
             [&] { return d3d_->EnumAdapterModes(D3DADAPTER_DEFAULT, D3DFMT_X8R8G8B8, 0, nullptr); }),
        Case("EnumAdapterModes past the last mode",
             [&] { return d3d_->EnumAdapterModes(D3DADAPTER_DEFAULT, D3DFMT_X8R8G8B8, modes, &mode); }),
        Case("EnumAdapterModes of adapter 1", [&] { return d3d_->EnumAdapterModes(1, D3DFMT_X8R8G8B8, 0, &mode); }),
        Case("GetDeviceCaps without a result",
             [&] { return d3d_->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr); }),
        Case("GetDeviceCaps of adapter 1", [&] { return d3d_->GetDeviceCaps(1, D3DDEVTYPE_HAL, &caps); }),
        Case("CreateDevice without presentation parameters",
             [&] {
                 return d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window_->Handle(),
                                           D3DCREATE_HARDWARE_VERTEXPROCESSING, nullptr, &device);
             }),
        Case("CreateDevice without a result",
             [&] {
                 return d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window_->Handle(),
                                           D3DCREATE_HARDWARE_VERTEXPROCESSING, &parameters, nullptr);
             }),
        Case("CreateDevice on adapter 1",
             [&] {
                 return d3d_->CreateDevice(1, D3DDEVTYPE_HAL, window_->Handle(), D3DCREATE_HARDWARE_VERTEXPROCESSING,
                                           &parameters, &device);
             }),
    });
    EXPECT_EQ(device, nullptr);
}

TEST_F(D3D9BoundaryTest, DeviceRefusesMissingOutputsAbsurdSizesAndScenesOutOfOrder) {
    ASSERT_EQ(CreateDevice(), D3D_OK);
    IDirect3DTexture9* texture = nullptr;
    IDirect3DVertexBuffer9* buffer = nullptr;
    IDirect3DVertexBuffer9* made = nullptr;
    IDirect3DVertexDeclaration9* declaration = nullptr;
    D3DCAPS9 caps {};
    const D3DVERTEXELEMENT9 elements[] = {{0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
                                          D3DDECL_END()};
    ASSERT_EQ(device_->CreateVertexBuffer(60, D3DUSAGE_WRITEONLY, 0, D3DPOOL_MANAGED, &buffer, nullptr), D3D_OK);
    ExpectResults({
        Case("CreateTexture without a result",
             [&] { return device_->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, nullptr, nullptr); }),
        Case("CreateTexture of 100000 x 100000",
             [&] {
                 return device_->CreateTexture(100000, 100000, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture,
                                               nullptr);
             }),
        Case("CreateVertexBuffer of no bytes",
             [&] { return device_->CreateVertexBuffer(0, 0, 0, D3DPOOL_MANAGED, &made, nullptr); }),
        Case("CreateVertexBuffer without a result",
             [&] { return device_->CreateVertexBuffer(60, 0, 0, D3DPOOL_MANAGED, nullptr, nullptr); }),
        Case("CreateVertexDeclaration without elements",
             [&] { return device_->CreateVertexDeclaration(nullptr, &declaration); }),
        Case("CreateVertexDeclaration without a result",
             [&] { return device_->CreateVertexDeclaration(elements, nullptr); }),
        Case("SetStreamSource on stream 16", [&] { return device_->SetStreamSource(16, buffer, 0, 12); }),
        Case("SetTexture on stage 16", [&] { return device_->SetTexture(16, nullptr); }),
        Case("GetDeviceCaps without a result", [&] { return device_->GetDeviceCaps(nullptr); }),
        Case("Reset without presentation parameters", [&] { return device_->Reset(nullptr); }),
        Case("EndScene before BeginScene", [&] { return device_->EndScene(); }),
        Case(
            "BeginScene", [&] { return device_->BeginScene(); }, D3D_OK),
        Case("BeginScene inside a scene", [&] { return device_->BeginScene(); }),
        Case(
            "EndScene", [&] { return device_->EndScene(); }, D3D_OK),
        Case(
            "GetDeviceCaps", [&] { return device_->GetDeviceCaps(&caps); }, D3D_OK),
    });
    EXPECT_EQ(texture, nullptr);
    EXPECT_EQ(made, nullptr);
    EXPECT_EQ(declaration, nullptr);
    buffer->Release();
}

TEST_F(D3D9BoundaryTest, TexturesSurfacesAndBuffersRefuseMissingOutputsLevelsOutOfRangeAndUnlockedUnlocks) {
    ASSERT_EQ(CreateDevice(), D3D_OK);
    IDirect3DTexture9* texture = nullptr;
    IDirect3DVertexBuffer9* buffer = nullptr;
    ASSERT_EQ(device_->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
    ASSERT_EQ(device_->CreateVertexBuffer(60, D3DUSAGE_WRITEONLY, 0, D3DPOOL_MANAGED, &buffer, nullptr), D3D_OK);
    IDirect3DSurface9* surface = nullptr;
    IDirect3DSurface9* level = nullptr;
    ASSERT_EQ(texture->GetSurfaceLevel(0, &level), D3D_OK);
    D3DSURFACE_DESC description {};
    D3DLOCKED_RECT locked {};
    void* data = nullptr;
    ExpectResults({
        Case("GetSurfaceLevel past the last level", [&] { return texture->GetSurfaceLevel(1, &surface); }),
        Case("GetSurfaceLevel at an absurd level", [&] { return texture->GetSurfaceLevel(0xFFFFFFFFu, &surface); }),
        Case("GetSurfaceLevel without a result", [&] { return texture->GetSurfaceLevel(0, nullptr); }),
        Case("GetLevelDesc past the last level", [&] { return texture->GetLevelDesc(5, &description); }),
        Case("GetLevelDesc without a result", [&] { return texture->GetLevelDesc(0, nullptr); }),
        Case("LockRect without a result", [&] { return texture->LockRect(0, nullptr, nullptr, 0); }),
        Case("UnlockRect of a level never locked", [&] { return texture->UnlockRect(0); }),
        Case("UnlockRect past the last level", [&] { return texture->UnlockRect(3); }),
        Case("surface LockRect without a result", [&] { return level->LockRect(nullptr, nullptr, 0); }),
        Case("surface UnlockRect never locked", [&] { return level->UnlockRect(); }),
        Case("surface GetDesc without a result", [&] { return level->GetDesc(nullptr); }),
        Case("vertex buffer Lock without a result", [&] { return buffer->Lock(0, 0, nullptr, 0); }),
        Case("vertex buffer Lock past its end", [&] { return buffer->Lock(64, 4, &data, 0); }),
        Case(
            "LockRect", [&] { return texture->LockRect(0, &locked, nullptr, 0); }, D3D_OK),
        Case(
            "UnlockRect", [&] { return texture->UnlockRect(0); }, D3D_OK),
    });
    EXPECT_EQ(surface, nullptr);
    level->Release();
    texture->Release();
    buffer->Release();
}

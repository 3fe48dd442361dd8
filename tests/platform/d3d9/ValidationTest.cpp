// Calls the debug runtime rejects: they return D3DERR_INVALIDCALL and change nothing.
#include "Direct3DTestSupport.h"

#include <PlatformTesting/Diagnostics.h>
#include <PlatformTesting/Direct3D.h>

namespace D3D9Test {
namespace {

class ValidationTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        ASSERT_EQ(CreateDevice(), D3D_OK);
    }

    IDirect3DTexture9* Texture(DWORD usage, D3DPOOL pool, UINT size = 8, D3DFORMAT format = D3DFMT_A8R8G8B8) {
        IDirect3DTexture9* texture = nullptr;
        EXPECT_EQ(device_->CreateTexture(size, size, 1, usage, format, pool, &texture, nullptr), D3D_OK);
        return texture;
    }

    IDirect3DSurface9* Level(IDirect3DTexture9* texture) {
        IDirect3DSurface9* surface = nullptr;
        EXPECT_EQ(texture->GetSurfaceLevel(0, &surface), D3D_OK);
        return surface;
    }
};

TEST_F(ValidationTest, TextureLocksFollowPoolAndUsage) {
    IDirect3DTexture9* fixed = Texture(0, D3DPOOL_DEFAULT);
    IDirect3DTexture9* managed = Texture(0, D3DPOOL_MANAGED);
    IDirect3DTexture9* dynamic = Texture(D3DUSAGE_DYNAMIC, D3DPOOL_DEFAULT);
    D3DLOCKED_RECT locked;
    EXPECT_EQ(fixed->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(managed->LockRect(0, &locked, nullptr, D3DLOCK_DISCARD), D3DERR_INVALIDCALL);
    EXPECT_EQ(managed->UnlockRect(0), D3DERR_INVALIDCALL);
    ASSERT_EQ(managed->LockRect(0, &locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(locked.Pitch, 32);
    EXPECT_EQ(managed->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL);  // already locked
    EXPECT_EQ(managed->UnlockRect(0), D3D_OK);
    EXPECT_EQ(managed->UnlockRect(0), D3DERR_INVALIDCALL);  // double unlock
    const RECT outside {4, 4, 9, 8};
    EXPECT_EQ(managed->LockRect(0, &locked, &outside, 0), D3DERR_INVALIDCALL);
    const RECT empty {4, 4, 4, 8};
    EXPECT_EQ(managed->LockRect(0, &locked, &empty, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(managed->LockRect(1, &locked, nullptr, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(dynamic->LockRect(0, &locked, nullptr, D3DLOCK_DISCARD), D3D_OK);
    EXPECT_EQ(dynamic->UnlockRect(0), D3D_OK);
    fixed->Release();
    managed->Release();
    dynamic->Release();
}

TEST_F(ValidationTest, TextureCreationRules) {
    IDirect3DTexture9* texture = nullptr;
    EXPECT_EQ(device_->CreateTexture(0, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->CreateTexture(8, 8, 5, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->CreateTexture(8, 8, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->CreateTexture(8, 8, 1, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &texture, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(texture, nullptr);
    ASSERT_EQ(device_->CreateTexture(8, 4, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &texture, nullptr), D3D_OK);
    D3DSURFACE_DESC desc;
    ASSERT_EQ(texture->GetLevelDesc(3, &desc), D3D_OK);  // 8x4, 4x2, 2x1, 1x1
    EXPECT_EQ(desc.Width, 1u);
    EXPECT_EQ(desc.Height, 1u);
    EXPECT_EQ(desc.Pool, D3DPOOL_SYSTEMMEM);
    EXPECT_EQ(texture->GetLevelDesc(4, &desc), D3DERR_INVALIDCALL);
    // System-memory textures cannot be sampled.
    EXPECT_EQ(device_->SetTexture(0, texture), D3DERR_INVALIDCALL);
    texture->Release();
}

TEST_F(ValidationTest, UpdateSurfaceChecksPoolsFormatsAndRectangles) {
    IDirect3DTexture9* system = Texture(0, D3DPOOL_SYSTEMMEM);
    IDirect3DTexture9* systemSmall = Texture(0, D3DPOOL_SYSTEMMEM, 4);
    IDirect3DTexture9* onDevice = Texture(0, D3DPOOL_DEFAULT);
    IDirect3DTexture9* other = Texture(0, D3DPOOL_DEFAULT, 8, D3DFMT_X8R8G8B8);
    IDirect3DTexture9* managed = Texture(0, D3DPOOL_MANAGED);
    IDirect3DSurface9* source = Level(system);
    IDirect3DSurface9* smallSource = Level(systemSmall);
    IDirect3DSurface9* destination = Level(onDevice);
    IDirect3DSurface9* otherFormat = Level(other);
    IDirect3DSurface9* managedLevel = Level(managed);
    EXPECT_EQ(device_->UpdateSurface(destination, nullptr, source, nullptr), D3DERR_INVALIDCALL);  // pools swapped
    EXPECT_EQ(device_->UpdateSurface(source, nullptr, managedLevel, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->UpdateSurface(source, nullptr, otherFormat, nullptr), D3DERR_INVALIDCALL);
    const RECT tooWide {0, 0, 9, 2};
    EXPECT_EQ(device_->UpdateSurface(source, &tooWide, destination, nullptr), D3DERR_INVALIDCALL);
    const POINT late {6, 6};
    EXPECT_EQ(device_->UpdateSurface(smallSource, nullptr, destination, &late), D3DERR_INVALIDCALL);
    const POINT fits {4, 4};
    EXPECT_EQ(device_->UpdateSurface(smallSource, nullptr, destination, &fits), D3D_OK);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(source->LockRect(&locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(device_->UpdateSurface(source, nullptr, destination, nullptr), D3DERR_INVALIDCALL);  // locked
    ASSERT_EQ(source->UnlockRect(), D3D_OK);
    EXPECT_EQ(device_->UpdateSurface(nullptr, nullptr, destination, nullptr), D3DERR_INVALIDCALL);
    for (IDirect3DSurface9* surface : {source, smallSource, destination, otherFormat, managedLevel}) {
        surface->Release();
    }
    for (IDirect3DTexture9* texture : {system, systemSmall, onDevice, other, managed}) {
        texture->Release();
    }
}

TEST_F(ValidationTest, BufferLocksFollowUsageAndRange) {
    IDirect3DVertexBuffer9* fixed = nullptr;
    IDirect3DVertexBuffer9* dynamic = nullptr;
    ASSERT_EQ(device_->CreateVertexBuffer(64, D3DUSAGE_WRITEONLY, 0, D3DPOOL_MANAGED, &fixed, nullptr), D3D_OK);
    ASSERT_EQ(
        device_->CreateVertexBuffer(64, D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, 0, D3DPOOL_DEFAULT, &dynamic, nullptr),
        D3D_OK);
    void* data = nullptr;
    EXPECT_EQ(fixed->Lock(0, 0, &data, D3DLOCK_DISCARD), D3DERR_INVALIDCALL);
    EXPECT_EQ(fixed->Lock(0, 0, &data, D3DLOCK_NOOVERWRITE), D3DERR_INVALIDCALL);
    EXPECT_EQ(fixed->Lock(60, 8, &data, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(fixed->Unlock(), D3DERR_INVALIDCALL);
    ASSERT_EQ(fixed->Lock(16, 0, &data, 0), D3D_OK);  // size 0: to the end
    static_cast<BYTE*>(data)[47] = 0x5A;
    void* whole = nullptr;
    ASSERT_EQ(fixed->Lock(0, 0, &whole, D3DLOCK_READONLY), D3D_OK);  // buffer locks nest
    EXPECT_EQ(static_cast<BYTE*>(whole) + 16, data);
    EXPECT_EQ(static_cast<BYTE*>(whole)[63], 0x5A);
    EXPECT_EQ(fixed->Unlock(), D3D_OK);
    EXPECT_EQ(fixed->Unlock(), D3D_OK);
    EXPECT_EQ(fixed->Unlock(), D3DERR_INVALIDCALL);
    EXPECT_EQ(dynamic->Lock(0, 0, &data, D3DLOCK_DISCARD), D3D_OK);
    EXPECT_EQ(dynamic->Unlock(), D3D_OK);
    EXPECT_EQ(dynamic->Lock(32, 32, &data, D3DLOCK_NOOVERWRITE), D3D_OK);
    EXPECT_EQ(dynamic->Unlock(), D3D_OK);
    D3DVERTEXBUFFER_DESC desc;
    ASSERT_EQ(dynamic->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Size, 64u);
    EXPECT_EQ(desc.Usage, static_cast<DWORD>(D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY));
    fixed->Release();
    dynamic->Release();
}

TEST_F(ValidationTest, DrawsNeedAScenePipelineAndVerticesInRange) {
    const nvesk::d3d9::ShaderProgramHandle program = SolidProgram();
    ASSERT_EQ(device_->BeginScene(), D3D_OK);
    EXPECT_EQ(device_->BeginScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3DERR_INVALIDCALL);  // no declaration
    ASSERT_EQ(device_->EndScene(), D3D_OK);
    EXPECT_EQ(device_->EndScene(), D3DERR_INVALIDCALL);
    BindVertices(Quad(0, 0, 4, 4));
    EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3DERR_INVALIDCALL);  // outside a scene
    ASSERT_EQ(device_->BeginScene(), D3D_OK);
    // No program: fixed function, lighting these untransformed vertices (lighting is on by default).
    EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_LIGHTING, FALSE), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_SPECULARENABLE, TRUE), D3D_OK);  // no specular colour to add
    EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3DERR_NOTAVAILABLE);
    ASSERT_EQ(nvesk::d3d9::UseShaderProgram(device_, program), D3D_OK);
    EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
    EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 1, 2), D3DERR_INVALIDCALL);  // past the buffer
    EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL);  // inside a scene
    ASSERT_EQ(device_->EndScene(), D3D_OK);
    EXPECT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 2.0f, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->Clear(1, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3DERR_INVALIDCALL);
}

TEST_F(ValidationTest, DeclarationsAreCheckedAndGivenBack) {
    const D3DVERTEXELEMENT9 twice[] = {{0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
                                       {0, 12, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
                                       D3DDECL_END()};
    const D3DVERTEXELEMENT9 unaligned[] = {{0, 2, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
                                           D3DDECL_END()};
    const D3DVERTEXELEMENT9 good[] = {{0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
                                      {0, 12, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
                                      D3DDECL_END()};
    IDirect3DVertexDeclaration9* declaration = nullptr;
    EXPECT_EQ(device_->CreateVertexDeclaration(twice, &declaration), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->CreateVertexDeclaration(unaligned, &declaration), D3DERR_INVALIDCALL);
    ASSERT_EQ(device_->CreateVertexDeclaration(good, &declaration), D3D_OK);
    D3DVERTEXELEMENT9 copy[4];
    UINT count = 0;
    ASSERT_EQ(declaration->GetDeclaration(copy, &count), D3D_OK);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(copy[1].Usage, D3DDECLUSAGE_COLOR);
    EXPECT_EQ(copy[2].Stream, 0xFF);
    EXPECT_EQ(declaration->Release(), 0u);
}

TEST_F(ValidationTest, RenderStatesWeCannotReproduceAreRefusedOthersStored) {
    EXPECT_EQ(device_->SetRenderState(D3DRS_FOGENABLE, TRUE), D3DERR_NOTAVAILABLE);
    EXPECT_EQ(device_->SetRenderState(D3DRS_FOGENABLE, FALSE), D3D_OK);
    EXPECT_EQ(device_->SetRenderState(D3DRS_SRCBLEND, 99), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->SetRenderState(static_cast<D3DRENDERSTATETYPE>(3), 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->SetRenderState(D3DRS_LIGHTING, FALSE), D3D_OK);
    DWORD value = 7;
    ASSERT_EQ(device_->GetRenderState(D3DRS_ZFUNC, &value), D3D_OK);
    EXPECT_EQ(value, static_cast<DWORD>(D3DCMP_LESSEQUAL));
    ASSERT_EQ(device_->GetRenderState(D3DRS_CULLMODE, &value), D3D_OK);
    EXPECT_EQ(value, static_cast<DWORD>(D3DCULL_CCW));
}

TEST_F(ValidationTest, EveryRefusalNamesItsRuleAndDebugOutputShowsIt) {
    IDirect3DTexture9* texture = Texture(0, D3DPOOL_MANAGED);
    D3DLOCKED_RECT locked;
    PlatformTesting::ClearLastRefusal();
    EXPECT_EQ(texture->LockRect(1, &locked, nullptr, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(PlatformTesting::LastRefusal(), "IDirect3DTexture9::LockRect: level 1 of a 1-level texture");
    // A refusal inside another call names the innermost call.
    const RECT outside {4, 4, 12, 12};
    EXPECT_EQ(texture->LockRect(0, &locked, &outside, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(PlatformTesting::LastRefusal(),
              "IDirect3DSurface9::LockRect: the rectangle is empty or outside the surface");
    {
        PlatformTesting::DebugOutputCapture output;
        EXPECT_EQ(device_->EndScene(), D3DERR_INVALIDCALL);
        EXPECT_EQ(output.Text(), "refused IDirect3DDevice9::EndScene: EndScene without BeginScene\n");
    }
    // Live objects are listed with the call that made them and their references.
    texture->AddRef();
    const std::string report = PlatformTesting::LiveObjectReport();
    EXPECT_NE(report.find("IDirect3DDevice9 created by IDirect3D9::CreateDevice, "), std::string::npos) << report;
    EXPECT_NE(report.find("IDirect3DTexture9 created by IDirect3DDevice9::CreateTexture, 2 references\n"),
              std::string::npos)
        << report;
    texture->Release();
    texture->Release();
}

TEST_F(ValidationTest, IndexRangesAreCheckedFromEachWriteOfTheIndexBuffer) {
    // 1200 indices: whole blocks of the range summaries and partial ones at a draw's ends.
    constexpr UINT kIndices = 1200;
    BindVertices(Quad(0, 0, 8, 8));
    IDirect3DIndexBuffer9* indices = nullptr;
    ASSERT_EQ(device_->CreateIndexBuffer(kIndices * 2, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &indices, nullptr), D3D_OK);
    void* data = nullptr;
    ASSERT_EQ(indices->Lock(0, 0, &data, 0), D3D_OK);
    WORD* words = static_cast<WORD*>(data);
    for (UINT i = 0; i < kIndices; ++i) {
        words[i] = static_cast<WORD>(i % 4);
    }
    words[700] = 9;  // past the 4 vertices
    ASSERT_EQ(indices->Unlock(), D3D_OK);
    ASSERT_EQ(device_->SetIndices(indices), D3D_OK);
    const nvesk::d3d9::ShaderProgramHandle program = SolidProgram();
    ASSERT_EQ(nvesk::d3d9::UseShaderProgram(device_, program), D3D_OK);
    ASSERT_EQ(device_->BeginScene(), D3D_OK);
    EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, kIndices / 3), D3DERR_INVALIDCALL);
    EXPECT_EQ(PlatformTesting::LastRefusal(),
              "IDirect3DDevice9::DrawIndexedPrimitive: an index lies outside MinVertexIndex 0 .. 3");
    EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 233), D3D_OK);  // indices 0..698
    EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 699, 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 702, 166), D3D_OK);
    // Index 3 is outside a declared range of 3 vertices, in whole blocks and at the ends.
    EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 702, 166), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 0, 1), D3D_OK);
    EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 1, 1), D3DERR_INVALIDCALL);
    // A later write of part of the buffer brings the ranges up to date.
    ASSERT_EQ(indices->Lock(700 * 2, 2, &data, 0), D3D_OK);
    *static_cast<WORD*>(data) = 1;
    ASSERT_EQ(indices->Unlock(), D3D_OK);
    EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, kIndices / 3), D3D_OK);
    ASSERT_EQ(indices->Lock(1100 * 2, 2, &data, 0), D3D_OK);
    *static_cast<WORD*>(data) = 4;
    ASSERT_EQ(indices->Unlock(), D3D_OK);
    EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, kIndices / 3), D3DERR_INVALIDCALL);
    // Ranges that wrap around 2^32 are refused, not folded back into the buffer.
    EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0xFFFFFFF4u, 8), D3DERR_INVALIDCALL);
    EXPECT_EQ(PlatformTesting::LastRefusal(),
              "IDirect3DDevice9::DrawIndexedPrimitive: indices 4294967284 to 4294967307 lie past the index buffer");
    EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0xFFFFFFFEu, 4, 0, 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(PlatformTesting::LastRefusal(),
              "IDirect3DDevice9::DrawIndexedPrimitive: MinVertexIndex 4294967294 + NumVertices 4 is past the last "
              "vertex index");
    ASSERT_EQ(device_->EndScene(), D3D_OK);
    ASSERT_EQ(device_->SetIndices(nullptr), D3D_OK);
    EXPECT_EQ(indices->Release(), 0u);
}

}  // namespace
}  // namespace D3D9Test

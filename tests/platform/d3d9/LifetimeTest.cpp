// Object lifetime as Direct3D 9 has it: calls after the last Release fail cleanly, bindings keep
// what they bind (SetTexture with a reference the application sees, stream sources, indices and
// declarations privately), Reset and the device's end let go of them, and the back buffer counts
// only its caller's references.
#include "Direct3DTestSupport.h"

#include <PlatformTesting/Diagnostics.h>
#include <PlatformTesting/Direct3D.h>

namespace D3D9Test {
namespace {

using PlatformTesting::Direct3DObject;
using PlatformTesting::LiveDirect3DObjects;

constexpr char kAfterRelease[] = "called after the object's last Release";

class LifetimeTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        ASSERT_EQ(CreateDevice(), D3D_OK);
    }

    // The object's public count, read without changing it.
    static ULONG References(IUnknown* object) {
        object->AddRef();
        return object->Release();
    }

    IDirect3DTexture9* ManagedTexture() {
        IDirect3DTexture9* texture = nullptr;
        EXPECT_EQ(device_->CreateTexture(4, 4, 2, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
        return texture;
    }

    // One solid quad through whatever is bound; the result of the draw.
    HRESULT DrawBound() {
        const nvesk::d3d9::ShaderProgramHandle program = SolidProgram();
        SetColor(program, 1, 0, 0, 1);
        EXPECT_EQ(nvesk::d3d9::UseShaderProgram(device_, program), D3D_OK);
        EXPECT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0), D3D_OK);
        EXPECT_EQ(device_->BeginScene(), D3D_OK);
        const HRESULT drawn = device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2);
        EXPECT_EQ(device_->EndScene(), D3D_OK);
        return drawn;
    }
};

TEST_F(LifetimeTest, CallsOnAReleasedTextureAndVertexBufferFailCleanly) {
    IDirect3DTexture9* texture = ManagedTexture();
    IDirect3DSurface9* level = nullptr;
    ASSERT_EQ(texture->GetSurfaceLevel(1, &level), D3D_OK);
    IDirect3DVertexBuffer9* buffer = nullptr;
    ASSERT_EQ(device_->CreateVertexBuffer(64, 0, 0, D3DPOOL_MANAGED, &buffer, nullptr), D3D_OK);
    level->Release();
    EXPECT_EQ(texture->Release(), 0u);
    EXPECT_EQ(buffer->Release(), 0u);
    EXPECT_EQ(LiveDirect3DObjects(Direct3DObject::Texture), 0);
    EXPECT_EQ(LiveDirect3DObjects(Direct3DObject::VertexBuffer), 0);

    PlatformTesting::ClearLastRefusal();
    D3DLOCKED_RECT locked;
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(PlatformTesting::LastRefusal(), std::string("IDirect3DTexture9::LockRect: ") + kAfterRelease);
    D3DSURFACE_DESC desc;
    EXPECT_EQ(texture->GetLevelDesc(0, &desc), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture->GetLevelCount(), 0u);
    EXPECT_EQ(texture->GetPriority(), 0u);
    EXPECT_EQ(level->LockRect(&locked, nullptr, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(level->GetDesc(&desc), D3DERR_INVALIDCALL);
    IDirect3DSurface9* again = nullptr;
    EXPECT_EQ(texture->GetSurfaceLevel(0, &again), D3DERR_INVALIDCALL);
    IDirect3DDevice9* device = nullptr;
    EXPECT_EQ(texture->GetDevice(&device), D3DERR_INVALIDCALL);
    void* object = nullptr;
    EXPECT_EQ(texture->QueryInterface(IID_IDirect3DTexture9, &object), D3DERR_INVALIDCALL);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(texture->AddRef(), 0u);
    EXPECT_EQ(texture->Release(), 0u);
    EXPECT_EQ(level->Release(), 0u);
    void* data = nullptr;
    EXPECT_EQ(buffer->Lock(0, 0, &data, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(buffer->Unlock(), D3DERR_INVALIDCALL);
    D3DVERTEXBUFFER_DESC bufferDesc;
    EXPECT_EQ(buffer->GetDesc(&bufferDesc), D3DERR_INVALIDCALL);
    EXPECT_EQ(PlatformTesting::LastRefusal(), std::string("IDirect3DVertexBuffer9::GetDesc: ") + kAfterRelease);
    // A stale pointer is not a texture of the device any more.
    EXPECT_EQ(device_->SetTexture(0, texture), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->SetStreamSource(0, buffer, 0, 16), D3DERR_INVALIDCALL);
}

TEST_F(LifetimeTest, SetTextureHoldsAReferenceTheApplicationSeesUntilUnbound) {
    IDirect3DTexture9* texture = ManagedTexture();
    ASSERT_EQ(device_->SetTexture(3, texture), D3D_OK);
    EXPECT_EQ(References(texture), 2u);
    ASSERT_EQ(device_->SetTexture(3, texture), D3D_OK);  // binding it again adds nothing
    EXPECT_EQ(References(texture), 2u);
    EXPECT_EQ(texture->Release(), 1u);
    EXPECT_EQ(LiveDirect3DObjects(Direct3DObject::Texture), 1);
    // Get... hands out another reference.
    IDirect3DBaseTexture9* bound = nullptr;
    ASSERT_EQ(device_->GetTexture(3, &bound), D3D_OK);
    EXPECT_EQ(bound, texture);
    EXPECT_EQ(References(bound), 2u);
    EXPECT_EQ(bound->Release(), 1u);
    // The texture is whole while bound: a draw that samples it goes through.
    BindVertices(Quad(0, 0, 8, 8));
    EXPECT_EQ(DrawBound(), D3D_OK);
    D3DSURFACE_DESC desc;
    EXPECT_EQ(texture->GetLevelDesc(1, &desc), D3D_OK);
    // Unbinding drops the device's reference, the last one.
    ASSERT_EQ(device_->SetTexture(3, nullptr), D3D_OK);
    EXPECT_EQ(LiveDirect3DObjects(Direct3DObject::Texture), 0);
    EXPECT_EQ(texture->GetLevelDesc(1, &desc), D3DERR_INVALIDCALL);
}

TEST_F(LifetimeTest, StreamSourceIndicesAndDeclarationAreHeldPrivately) {
    BindVertices(Quad(0, 0, 8, 8));
    IDirect3DIndexBuffer9* indices = nullptr;
    ASSERT_EQ(device_->CreateIndexBuffer(12, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &indices, nullptr), D3D_OK);
    ASSERT_EQ(device_->SetIndices(indices), D3D_OK);
    // The bindings do not show in the counts.
    EXPECT_EQ(References(vertices_), 1u);
    EXPECT_EQ(References(indices), 1u);
    EXPECT_EQ(References(declaration_), 1u);
    IDirect3DVertexBuffer9* buffer = vertices_;
    EXPECT_EQ(vertices_->Release(), 0u);
    vertices_ = nullptr;
    EXPECT_EQ(indices->Release(), 0u);
    EXPECT_EQ(declaration_->Release(), 0u);
    declaration_ = nullptr;
    // Dead to the application, kept for the device: the draw reads the vertices still bound.
    void* data = nullptr;
    EXPECT_EQ(buffer->Lock(0, 0, &data, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(LiveDirect3DObjects(Direct3DObject::VertexBuffer), 1);
    EXPECT_EQ(LiveDirect3DObjects(Direct3DObject::IndexBuffer), 1);
    EXPECT_EQ(LiveDirect3DObjects(Direct3DObject::VertexDeclaration), 1);
    EXPECT_EQ(DrawBound(), D3D_OK);
    EXPECT_EQ(ReadBackBuffer()[2 * kWidth + 2], 0xFFFF0000u);
    // Get... hands the object out again with one reference.
    IDirect3DVertexBuffer9* stream = nullptr;
    UINT offset = 1;
    UINT stride = 1;
    ASSERT_EQ(device_->GetStreamSource(0, &stream, &offset, &stride), D3D_OK);
    EXPECT_EQ(stream, buffer);
    D3DVERTEXBUFFER_DESC desc;
    EXPECT_EQ(stream->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(stream->Release(), 0u);
    // Unbinding lets go of the storage.
    ASSERT_EQ(device_->SetStreamSource(0, nullptr, 0, 0), D3D_OK);
    ASSERT_EQ(device_->SetIndices(nullptr), D3D_OK);
    ASSERT_EQ(device_->SetVertexDeclaration(nullptr), D3D_OK);
    EXPECT_EQ(LiveDirect3DObjects(Direct3DObject::VertexBuffer), 0);
    EXPECT_EQ(LiveDirect3DObjects(Direct3DObject::IndexBuffer), 0);
    EXPECT_EQ(LiveDirect3DObjects(Direct3DObject::VertexDeclaration), 0);
}

TEST_F(LifetimeTest, ResetAndTheDevicesEndLetGoOfTheBindings) {
    IDirect3DTexture9* texture = ManagedTexture();
    IDirect3DVertexBuffer9* buffer = nullptr;
    ASSERT_EQ(device_->CreateVertexBuffer(64, 0, 0, D3DPOOL_MANAGED, &buffer, nullptr), D3D_OK);
    ASSERT_EQ(device_->SetTexture(0, texture), D3D_OK);
    ASSERT_EQ(device_->SetStreamSource(0, buffer, 0, 16), D3D_OK);
    EXPECT_EQ(buffer->Release(), 0u);
    D3DPRESENT_PARAMETERS parameters = WindowedParameters(window_->Handle(), kWidth, kHeight);
    ASSERT_EQ(device_->Reset(&parameters), D3D_OK);
    IDirect3DBaseTexture9* bound = texture;
    ASSERT_EQ(device_->GetTexture(0, &bound), D3D_OK);
    EXPECT_EQ(bound, nullptr);
    EXPECT_EQ(LiveDirect3DObjects(Direct3DObject::VertexBuffer), 0);
    EXPECT_EQ(texture->Release(), 0u);

    // What only bindings hold goes with the device.
    BindVertices(Quad(0, 0, 8, 8));
    vertices_->Release();
    vertices_ = nullptr;
    declaration_->Release();
    declaration_ = nullptr;
    ReleaseDevice();
    EXPECT_EQ(d3d_->Release(), 0u);
    d3d_ = nullptr;
    EXPECT_EQ(LiveDirect3DObjects(), 0);
}

TEST_F(LifetimeTest, TheBackBufferCountsOnlyItsCallersReferences) {
    IDirect3DSurface9* backBuffer = nullptr;
    ASSERT_EQ(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer), D3D_OK);
    EXPECT_EQ(References(backBuffer), 1u);
    EXPECT_EQ(LiveDirect3DObjects(Direct3DObject::Surface), 0);  // it lives in its swap chain
    EXPECT_EQ(backBuffer->Release(), 0u);
    // It lives on with the swap chain: the next caller gets the same surface, whole.
    IDirect3DSurface9* again = nullptr;
    ASSERT_EQ(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &again), D3D_OK);
    EXPECT_EQ(again, backBuffer);
    D3DSURFACE_DESC desc;
    ASSERT_EQ(again->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Width, kWidth);
    // While the caller holds it, Reset is refused; once released, Reset goes through.
    D3DPRESENT_PARAMETERS parameters = WindowedParameters(window_->Handle(), kWidth, kHeight);
    EXPECT_EQ(device_->Reset(&parameters), D3DERR_INVALIDCALL);
    EXPECT_EQ(again->Release(), 0u);
    EXPECT_EQ(device_->Reset(&parameters), D3D_OK);
}

}  // namespace
}  // namespace D3D9Test

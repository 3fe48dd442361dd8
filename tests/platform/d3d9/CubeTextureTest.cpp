// Cube textures: six faces of levels in every pool, the arguments CreateCubeTexture, the face calls
// and UpdateTexture refuse, references counted with the faces' surfaces and the device's binding,
// Reset with DEFAULT and MANAGED cubes, lookups along a direction reading the texel Direct3D's face
// rules give (a managed cube, a default one UpdateTexture filled, a dynamic one's second level),
// and the fixed-function stages' refusal to sample a cube.
#include "Direct3DTestSupport.h"

#include <PlatformTesting/Direct3D.h>

#include <initializer_list>

namespace D3D9Test {
namespace {

using PlatformTesting::Direct3DObject;
using PlatformTesting::LiveDirect3DObjects;

constexpr D3DCUBEMAP_FACES kFaces[] = {D3DCUBEMAP_FACE_POSITIVE_X, D3DCUBEMAP_FACE_NEGATIVE_X,
                                       D3DCUBEMAP_FACE_POSITIVE_Y, D3DCUBEMAP_FACE_NEGATIVE_Y,
                                       D3DCUBEMAP_FACE_POSITIVE_Z, D3DCUBEMAP_FACE_NEGATIVE_Z};

class CubeTextureTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        ASSERT_EQ(CreateDevice(), D3D_OK);
    }

    static ULONG References(IUnknown* object) {
        object->AddRef();
        return object->Release();
    }

    IDirect3DCubeTexture9* Create(UINT edge, UINT levels, DWORD usage, D3DPOOL pool) {
        IDirect3DCubeTexture9* texture = nullptr;
        EXPECT_EQ(device_->CreateCubeTexture(edge, levels, usage, D3DFMT_A8R8G8B8, pool, &texture, nullptr), D3D_OK);
        return texture;
    }
};

TEST_F(CubeTextureTest, SixFacesOfLevelsInEveryPoolAndTheCapsThatOfferThem) {
    D3DCAPS9 caps {};
    ASSERT_EQ(device_->GetDeviceCaps(&caps), D3D_OK);
    EXPECT_NE(caps.TextureCaps & D3DPTEXTURECAPS_CUBEMAP, 0u);
    EXPECT_NE(caps.TextureCaps & D3DPTEXTURECAPS_MIPCUBEMAP, 0u);
    EXPECT_EQ(d3d_->CheckDeviceFormat(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 0, D3DRTYPE_CUBETEXTURE,
                                      D3DFMT_A8R8G8B8),
              D3D_OK);
    const std::pair<D3DPOOL, DWORD> pools[] = {
        {D3DPOOL_MANAGED, 0}, {D3DPOOL_DEFAULT, D3DUSAGE_DYNAMIC}, {D3DPOOL_SYSTEMMEM, 0}, {D3DPOOL_SCRATCH, 0}};
    for (const auto& [pool, usage] : pools) {
        SCOPED_TRACE(static_cast<int>(pool));
        IDirect3DCubeTexture9* texture = Create(8, 0, usage, pool);  // 8, 4, 2, 1
        ASSERT_NE(texture, nullptr);
        EXPECT_EQ(texture->GetType(), D3DRTYPE_CUBETEXTURE);
        EXPECT_EQ(texture->GetLevelCount(), 4u);
        D3DSURFACE_DESC desc {};
        ASSERT_EQ(texture->GetLevelDesc(2, &desc), D3D_OK);
        EXPECT_EQ(desc.Width, 2u);
        EXPECT_EQ(desc.Height, 2u);
        EXPECT_EQ(desc.Pool, pool);
        EXPECT_EQ(desc.Usage, usage);
        EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
        // Each face keeps its own texels: what one lock writes, the next lock of that face reads.
        for (const D3DCUBEMAP_FACES face : kFaces) {
            D3DLOCKED_RECT locked;
            ASSERT_EQ(texture->LockRect(face, 1, &locked, nullptr, 0), D3D_OK);
            EXPECT_GE(locked.Pitch, 16);
            static_cast<DWORD*>(locked.pBits)[3] = 0xFF000000u | static_cast<DWORD>(face);
            ASSERT_EQ(texture->UnlockRect(face, 1), D3D_OK);
        }
        for (const D3DCUBEMAP_FACES face : kFaces) {
            D3DLOCKED_RECT locked;
            const RECT lastTexelsOfTheTopRow {3, 0, 4, 1};
            ASSERT_EQ(texture->LockRect(face, 1, &locked, &lastTexelsOfTheTopRow, D3DLOCK_READONLY), D3D_OK);
            EXPECT_EQ(*static_cast<DWORD*>(locked.pBits), 0xFF000000u | static_cast<DWORD>(face));
            ASSERT_EQ(texture->UnlockRect(face, 1), D3D_OK);
        }
        // The face surfaces are the texture's: of its size, answering GetContainer with it.
        IDirect3DSurface9* surface = nullptr;
        ASSERT_EQ(texture->GetCubeMapSurface(D3DCUBEMAP_FACE_NEGATIVE_Z, 3, &surface), D3D_OK);
        ASSERT_EQ(surface->GetDesc(&desc), D3D_OK);
        EXPECT_EQ(desc.Width, 1u);
        void* container = nullptr;
        ASSERT_EQ(surface->GetContainer(IID_IDirect3DCubeTexture9, &container), D3D_OK);
        EXPECT_EQ(container, texture);
        static_cast<IUnknown*>(container)->Release();
        surface->Release();
        void* other = nullptr;
        EXPECT_EQ(texture->QueryInterface(IID_IDirect3DTexture9, &other), E_NOINTERFACE);
        ASSERT_EQ(texture->QueryInterface(IID_IDirect3DBaseTexture9, &other), S_OK);
        static_cast<IUnknown*>(other)->Release();
        EXPECT_EQ(texture->Release(), 0u);
    }
}

TEST_F(CubeTextureTest, BadSizesFacesLevelsAndLocksAreRefused) {
    IDirect3DCubeTexture9* texture = nullptr;
    EXPECT_EQ(device_->CreateCubeTexture(0, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->CreateCubeTexture(8193, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->CreateCubeTexture(4, 4, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
              D3DERR_INVALIDCALL);  // 4, 2, 1: three levels at most
    EXPECT_EQ(device_->CreateCubeTexture(4, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->CreateCubeTexture(4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, nullptr, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(
        device_->CreateCubeTexture(4, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture, nullptr),
        D3DERR_NOTAVAILABLE);
    EXPECT_EQ(texture, nullptr);
    EXPECT_EQ(LiveDirect3DObjects(Direct3DObject::CubeTexture), 0);

    texture = Create(4, 2, 0, D3DPOOL_MANAGED);
    ASSERT_NE(texture, nullptr);
    const D3DCUBEMAP_FACES noFace = static_cast<D3DCUBEMAP_FACES>(6);
    D3DLOCKED_RECT locked;
    IDirect3DSurface9* surface = nullptr;
    D3DSURFACE_DESC desc;
    EXPECT_EQ(texture->LockRect(noFace, 0, &locked, nullptr, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture->LockRect(static_cast<D3DCUBEMAP_FACES>(-1), 0, &locked, nullptr, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture->LockRect(D3DCUBEMAP_FACE_POSITIVE_Y, 2, &locked, nullptr, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture->UnlockRect(noFace, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture->UnlockRect(D3DCUBEMAP_FACE_POSITIVE_Y, 0), D3DERR_INVALIDCALL);  // not locked
    EXPECT_EQ(texture->GetCubeMapSurface(noFace, 0, &surface), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture->GetCubeMapSurface(D3DCUBEMAP_FACE_POSITIVE_X, 2, &surface), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture->GetCubeMapSurface(D3DCUBEMAP_FACE_POSITIVE_X, 0, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture->GetLevelDesc(2, &desc), D3DERR_INVALIDCALL);
    const RECT outside {0, 0, 5, 4};
    EXPECT_EQ(texture->AddDirtyRect(D3DCUBEMAP_FACE_NEGATIVE_Z, &outside), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture->AddDirtyRect(noFace, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture->AddDirtyRect(D3DCUBEMAP_FACE_NEGATIVE_Z, nullptr), D3D_OK);
    EXPECT_EQ(texture->LockRect(D3DCUBEMAP_FACE_NEGATIVE_X, 0, &locked, &outside, 0), D3DERR_INVALIDCALL);
    // A face is locked once at a time; the other faces lock on their own.
    ASSERT_EQ(texture->LockRect(D3DCUBEMAP_FACE_NEGATIVE_X, 0, &locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(texture->LockRect(D3DCUBEMAP_FACE_NEGATIVE_X, 0, &locked, nullptr, 0), D3DERR_INVALIDCALL);
    ASSERT_EQ(texture->LockRect(D3DCUBEMAP_FACE_POSITIVE_X, 0, &locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(texture->UnlockRect(D3DCUBEMAP_FACE_POSITIVE_X, 0), D3D_OK);
    EXPECT_EQ(texture->UnlockRect(D3DCUBEMAP_FACE_NEGATIVE_X, 0), D3D_OK);
    EXPECT_EQ(texture->Release(), 0u);

    // A DEFAULT cube that is not dynamic has no CPU copy to lock; a SYSTEMMEM one cannot be sampled.
    IDirect3DCubeTexture9* inGl = Create(4, 1, 0, D3DPOOL_DEFAULT);
    ASSERT_NE(inGl, nullptr);
    EXPECT_EQ(inGl->LockRect(D3DCUBEMAP_FACE_POSITIVE_X, 0, &locked, nullptr, 0), D3DERR_INVALIDCALL);
    IDirect3DCubeTexture9* inMemory = Create(4, 1, 0, D3DPOOL_SYSTEMMEM);
    ASSERT_NE(inMemory, nullptr);
    EXPECT_EQ(device_->SetTexture(0, inMemory), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->SetTexture(0, inGl), D3D_OK);
    EXPECT_EQ(device_->SetTexture(0, nullptr), D3D_OK);
    // UpdateTexture copies a SYSTEMMEM cube into a DEFAULT cube of its size only.
    IDirect3DTexture9* flat = nullptr;
    ASSERT_EQ(device_->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &flat, nullptr), D3D_OK);
    IDirect3DCubeTexture9* smaller = Create(2, 1, 0, D3DPOOL_DEFAULT);
    IDirect3DCubeTexture9* managed = Create(4, 1, 0, D3DPOOL_MANAGED);
    EXPECT_EQ(device_->UpdateTexture(inMemory, flat), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->UpdateTexture(inMemory, smaller), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->UpdateTexture(managed, inGl), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->UpdateTexture(inMemory, managed), D3DERR_INVALIDCALL);
    ASSERT_EQ(inMemory->LockRect(D3DCUBEMAP_FACE_POSITIVE_Y, 0, &locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(device_->UpdateTexture(inMemory, inGl), D3DERR_INVALIDCALL);  // a face is locked
    ASSERT_EQ(inMemory->UnlockRect(D3DCUBEMAP_FACE_POSITIVE_Y, 0), D3D_OK);
    EXPECT_EQ(device_->UpdateTexture(inMemory, inGl), D3D_OK);
    EXPECT_EQ(flat->Release(), 0u);
    EXPECT_EQ(smaller->Release(), 0u);
    EXPECT_EQ(managed->Release(), 0u);
    EXPECT_EQ(inMemory->Release(), 0u);
    EXPECT_EQ(inGl->Release(), 0u);
}

TEST_F(CubeTextureTest, FacesAndTheBindingCountOnTheCubeUntilItsLastRelease) {
    IDirect3DCubeTexture9* texture = Create(4, 1, 0, D3DPOOL_MANAGED);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(LiveDirect3DObjects(Direct3DObject::CubeTexture), 1);
    EXPECT_EQ(LiveDirect3DObjects(Direct3DObject::Surface), 0);  // faces live in their container
    IDirect3DSurface9* face = nullptr;
    ASSERT_EQ(texture->GetCubeMapSurface(D3DCUBEMAP_FACE_POSITIVE_Z, 0, &face), D3D_OK);
    EXPECT_EQ(References(texture), 2u);
    EXPECT_EQ(face->Release(), 1u);
    ASSERT_EQ(device_->SetTexture(5, texture), D3D_OK);
    EXPECT_EQ(References(texture), 2u);
    IDirect3DBaseTexture9* bound = nullptr;
    ASSERT_EQ(device_->GetTexture(5, &bound), D3D_OK);
    EXPECT_EQ(bound, static_cast<IDirect3DBaseTexture9*>(texture));
    EXPECT_EQ(bound->GetType(), D3DRTYPE_CUBETEXTURE);
    EXPECT_EQ(bound->Release(), 2u);
    // The binding keeps it whole after the application lets go.
    EXPECT_EQ(texture->Release(), 1u);
    EXPECT_EQ(LiveDirect3DObjects(Direct3DObject::CubeTexture), 1);
    EXPECT_EQ(texture->GetLevelCount(), 1u);
    ASSERT_EQ(device_->SetTexture(5, nullptr), D3D_OK);
    EXPECT_EQ(LiveDirect3DObjects(Direct3DObject::CubeTexture), 0);
    D3DLOCKED_RECT locked;
    EXPECT_EQ(texture->LockRect(D3DCUBEMAP_FACE_POSITIVE_X, 0, &locked, nullptr, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(References(device_), 1u);
}

TEST_F(CubeTextureTest, ADefaultPoolCubeBlocksResetAndAManagedOneKeepsItsFacesThroughIt) {
    IDirect3DCubeTexture9* inGl = Create(4, 1, 0, D3DPOOL_DEFAULT);
    IDirect3DCubeTexture9* managed = MakeCubeTexture(2, CubeFaceTexel);
    D3DPRESENT_PARAMETERS parameters = WindowedParameters(window_->Handle(), kWidth, kHeight);
    EXPECT_EQ(device_->Reset(&parameters), D3DERR_INVALIDCALL);
    EXPECT_EQ(inGl->Release(), 0u);
    ASSERT_EQ(device_->Reset(&parameters), D3D_OK);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(managed->LockRect(D3DCUBEMAP_FACE_NEGATIVE_Z, 0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    const DWORD* secondRow = reinterpret_cast<const DWORD*>(static_cast<const BYTE*>(locked.pBits) + locked.Pitch);
    EXPECT_EQ(secondRow[1], CubeFaceTexel(D3DCUBEMAP_FACE_NEGATIVE_Z, 1, 1));
    ASSERT_EQ(managed->UnlockRect(D3DCUBEMAP_FACE_NEGATIVE_Z, 0), D3D_OK);
    EXPECT_EQ(managed->Release(), 0u);
}

TEST_F(CubeTextureTest, ALookupAlongADirectionReadsTheTexelDirect3DsFaceRulesGive) {
    static const char kCubeFragment[] = R"(#version 450
in vec2 uv;
layout(binding = 0) uniform samplerCube cube;
uniform vec3 direction;
uniform float lod;
out vec4 color;
void main() { color = textureLod(cube, direction, lod); }
)";
    // The major axis picks the face; on it u = (sc / |ma| + 1) / 2 and v = (tc / |ma| + 1) / 2 from
    // the upper-left texel, with (sc, tc): +X (-z, -y), -X (z, -y), +Y (x, z), -Y (x, -z),
    // +Z (x, -y), -Z (-x, -y). On 2 x 2 faces, 0.25 and 0.75 are the texel centres.
    struct Lookup {
        float direction[3];
        D3DCUBEMAP_FACES face;
        UINT x, y;
    };
    const Lookup lookups[] = {{{1, 0.5f, 0.5f}, D3DCUBEMAP_FACE_POSITIVE_X, 0, 0},     // u 0.25, v 0.25
                              {{-1, 0.5f, 0.5f}, D3DCUBEMAP_FACE_NEGATIVE_X, 1, 0},    // u 0.75, v 0.25
                              {{0.5f, 1, -0.5f}, D3DCUBEMAP_FACE_POSITIVE_Y, 1, 0},    // u 0.75, v 0.25
                              {{0.5f, -1, -0.5f}, D3DCUBEMAP_FACE_NEGATIVE_Y, 1, 1},   // u 0.75, v 0.75
                              {{-0.5f, -0.5f, 1}, D3DCUBEMAP_FACE_POSITIVE_Z, 0, 1},   // u 0.25, v 0.75
                              {{-0.5f, 0.5f, -1}, D3DCUBEMAP_FACE_NEGATIVE_Z, 1, 0}};  // u 0.75, v 0.25
    // Row 0 draws a managed cube, row 1 a default-pool one UpdateTexture filled, row 2 the second
    // level of a dynamic one, whose one texel per face is the (1, 1) texel of the others.
    IDirect3DCubeTexture9* staging = MakeCubeTexture(2, CubeFaceTexel, D3DPOOL_SYSTEMMEM);
    IDirect3DCubeTexture9* cubes[] = {MakeCubeTexture(2, CubeFaceTexel), Create(2, 1, 0, D3DPOOL_DEFAULT),
                                      Create(2, 2, D3DUSAGE_DYNAMIC, D3DPOOL_DEFAULT)};
    ASSERT_EQ(device_->UpdateTexture(staging, cubes[1]), D3D_OK);
    EXPECT_EQ(staging->Release(), 0u);
    for (const D3DCUBEMAP_FACES face : kFaces) {
        D3DLOCKED_RECT locked;
        ASSERT_EQ(cubes[2]->LockRect(face, 1, &locked, nullptr, 0), D3D_OK);
        *static_cast<DWORD*>(locked.pBits) = CubeFaceTexel(face, 1, 1);
        ASSERT_EQ(cubes[2]->UnlockRect(face, 1), D3D_OK);
    }
    const UINT rowLevels[] = {0, 0, 1};
    const nvesk::d3d9::ShaderProgramHandle program = ProgramWithFragment(kCubeFragment);
    ASSERT_EQ(nvesk::d3d9::UseShaderProgram(device_, program), D3D_OK);
    const int direction = nvesk::d3d9::GetUniformLocation(device_, program, "direction");
    const int lod = nvesk::d3d9::GetUniformLocation(device_, program, "lod");
    for (const D3DSAMPLERSTATETYPE filter : {D3DSAMP_MINFILTER, D3DSAMP_MAGFILTER, D3DSAMP_MIPFILTER})
        ASSERT_EQ(device_->SetSamplerState(0, filter, D3DTEXF_POINT), D3D_OK);
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device_->BeginScene(), D3D_OK);
    for (UINT row = 0; row < std::size(cubes); ++row) {
        ASSERT_EQ(device_->SetTexture(0, cubes[row]), D3D_OK);
        const float level = static_cast<float>(rowLevels[row]);
        ASSERT_EQ(nvesk::d3d9::SetUniformFloats(device_, program, lod, 1, 1, &level), D3D_OK);
        for (size_t i = 0; i < std::size(lookups); ++i) {
            ASSERT_EQ(nvesk::d3d9::SetUniformFloats(device_, program, direction, 3, 1, lookups[i].direction), D3D_OK);
            BindVertices(Quad(static_cast<float>(i * 8), static_cast<float>(row * 8), 8, 8));
            ASSERT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
        }
    }
    ASSERT_EQ(device_->EndScene(), D3D_OK);
    const std::vector<DWORD> pixels = ReadBackBuffer();
    for (UINT row = 0; row < std::size(cubes); ++row) {
        for (size_t i = 0; i < std::size(lookups); ++i) {
            SCOPED_TRACE(testing::Message() << "row " << row << ", lookup " << i);
            const bool wholeFace = rowLevels[row] == 1;
            EXPECT_EQ(pixels.at((row * 8 + 4) * kWidth + i * 8 + 4),
                      CubeFaceTexel(lookups[i].face, wholeFace ? 1 : lookups[i].x, wholeFace ? 1 : lookups[i].y));
        }
    }
    ASSERT_EQ(device_->SetTexture(0, nullptr), D3D_OK);
    for (IDirect3DCubeTexture9* cube : cubes)
        EXPECT_EQ(cube->Release(), 0u);
}

TEST_F(CubeTextureTest, FixedFunctionStagesRefuseToSampleACube) {
    IDirect3DCubeTexture9* cube = MakeCubeTexture(2, CubeFaceTexel);
    BindVertices(Quad(0, 0, 8, 8));
    ASSERT_EQ(device_->SetTexture(0, cube), D3D_OK);
    ASSERT_EQ(device_->BeginScene(), D3D_OK);
    EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3DERR_NOTAVAILABLE);
    // Stage 0 no longer reads its texture: nothing samples the cube.
    ASSERT_EQ(device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2), D3D_OK);
    ASSERT_EQ(device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2), D3D_OK);
    EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
    ASSERT_EQ(device_->EndScene(), D3D_OK);
    ASSERT_EQ(device_->SetTexture(0, nullptr), D3D_OK);
    EXPECT_EQ(cube->Release(), 0u);
}

}  // namespace
}  // namespace D3D9Test

// D3DX at its boundary: the functions the engine calls, and the effect and mesh interfaces, given
// null pointers, zero and absurd sizes, unknown names and calls out of order. Each refusal is the
// result D3DX gives and creates nothing; cases the other D3DX suites cover are not repeated.
#include "../d3d9/BoundaryCases.h"
#include "../d3d9/Direct3DTestSupport.h"
#include "BuiltInEffects.h"
#include "XFileWriter.h"
#include "support/TempDir.h"

#include <d3dx9.h>

#include <cstring>
#include <string>
#include <vector>

using D3DX9Tests::kMeshEffect;

namespace {

using D3D9Test::Case;
using D3D9Test::ExpectResults;

class D3DXBoundaryTest : public D3D9Test::DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        ASSERT_EQ(CreateDevice(), D3D_OK);
        const std::string cube = D3DX9Tests::TextXFile(D3DX9Tests::Cube(false));
        TestSupport::WriteBytes(folder_.Path() / "cube.x", std::vector<std::uint8_t>(cube.begin(), cube.end()));
        TestSupport::WriteBytes(folder_.Path() / "effect.fx",
                                std::vector<std::uint8_t>(kMeshEffect, kMeshEffect + std::strlen(kMeshEffect)));
    }

    void TearDown() override {
        if (effect_ != nullptr) effect_->Release();
        if (mesh_ != nullptr) mesh_->Release();
        DeviceTest::TearDown();
    }

    std::wstring File(const char* name) const { return folder_.File(name); }

    TestSupport::TempDir folder_;
    ID3DXEffect* effect_ = nullptr;
    ID3DXMesh* mesh_ = nullptr;
};

}  // namespace

TEST_F(D3DXBoundaryTest, FunctionsRefuseMissingArgumentsWithInvalidCall) {
    IDirect3DTexture9* texture = nullptr;
    ID3DXEffect* effect = nullptr;
    ID3DXMesh* mesh = nullptr;
    const std::wstring picture = File("missing.png");
    const std::wstring cube = File("cube.x");
    const std::wstring fx = File("effect.fx");
    const std::size_t fxLength = std::strlen(kMeshEffect);
    auto load = [&](IDirect3DDevice9* device, const wchar_t* file, IDirect3DTexture9** out) {
        return D3DXCreateTextureFromFileExW(device, file, D3DX_DEFAULT, D3DX_DEFAULT, 1, 0, D3DFMT_A8R8G8B8,
                                            D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr, out);
    };
    ExpectResults({
        Case(
            "D3DXCreateTextureFromFileExW without a device", [&] { return load(nullptr, picture.c_str(), &texture); },
            D3DERR_INVALIDCALL),
        Case(
            "D3DXCreateTextureFromFileExW without a file name", [&] { return load(device_, nullptr, &texture); },
            D3DERR_INVALIDCALL),
        Case(
            "D3DXCreateTextureFromFileExW without a result", [&] { return load(device_, picture.c_str(), nullptr); },
            D3DERR_INVALIDCALL),
        Case(
            "D3DXCreateTexture without a device",
            [&] { return D3DXCreateTexture(nullptr, 4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture); },
            D3DERR_INVALIDCALL),
        Case(
            "D3DXCreateTexture without a result",
            [&] { return D3DXCreateTexture(device_, 4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, nullptr); },
            D3DERR_INVALIDCALL),
        Case(
            "D3DXCreateEffect without a device",
            [&] {
                return D3DXCreateEffect(nullptr, kMeshEffect, static_cast<UINT>(fxLength), nullptr, nullptr, 0, nullptr,
                                        &effect, nullptr);
            },
            D3DERR_INVALIDCALL),
        Case(
            "D3DXCreateEffect without source",
            [&] { return D3DXCreateEffect(device_, nullptr, 0, nullptr, nullptr, 0, nullptr, &effect, nullptr); },
            D3DERR_INVALIDCALL),
        Case(
            "D3DXCreateEffectFromFileW without a device",
            [&] {
                return D3DXCreateEffectFromFileW(nullptr, fx.c_str(), nullptr, nullptr, 0, nullptr, &effect, nullptr);
            },
            D3DERR_INVALIDCALL),
        Case(
            "D3DXCreateEffectFromFileW without a file name",
            [&] { return D3DXCreateEffectFromFileW(device_, nullptr, nullptr, nullptr, 0, nullptr, &effect, nullptr); },
            D3DERR_INVALIDCALL),
        Case(
            "D3DXLoadMeshFromXW without a file name",
            [&] {
                return D3DXLoadMeshFromXW(nullptr, D3DXMESH_DYNAMIC, device_, nullptr, nullptr, nullptr, nullptr,
                                          &mesh);
            },
            D3DERR_INVALIDCALL),
        Case(
            "D3DXLoadMeshFromXW without a device",
            [&] {
                return D3DXLoadMeshFromXW(cube.c_str(), D3DXMESH_DYNAMIC, nullptr, nullptr, nullptr, nullptr, nullptr,
                                          &mesh);
            },
            D3DERR_INVALIDCALL),
        Case(
            "D3DXLoadMeshFromXW without a result",
            [&] {
                return D3DXLoadMeshFromXW(cube.c_str(), D3DXMESH_DYNAMIC, device_, nullptr, nullptr, nullptr, nullptr,
                                          nullptr);
            },
            D3DERR_INVALIDCALL),
        Case(
            "D3DXComputeNormals without a mesh", [&] { return D3DXComputeNormals(nullptr, nullptr); },
            D3DERR_INVALIDCALL),
    });
    EXPECT_EQ(texture, nullptr);
    EXPECT_EQ(effect, nullptr);
    EXPECT_EQ(mesh, nullptr);
}

TEST_F(D3DXBoundaryTest, EffectRefusesUnknownHandlesMissingValuesAndPassesOutOfRange) {
    ASSERT_EQ(
        D3DXCreateEffectFromFileW(device_, File("effect.fx").c_str(), nullptr, nullptr, 0, nullptr, &effect_, nullptr),
        D3D_OK);
    const D3DXMATRIX identity(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    const float light[3] = {0.0f, 1.0f, 0.0f};
    UINT passes = 0;
    ExpectResults({
        Case(
            "SetMatrix without a handle", [&] { return effect_->SetMatrix(nullptr, &identity); }, D3DERR_INVALIDCALL),
        Case(
            "SetMatrix of an unknown name", [&] { return effect_->SetMatrix("g_mNowhere", &identity); },
            D3DERR_INVALIDCALL),
        Case(
            "SetMatrix without a matrix", [&] { return effect_->SetMatrix("g_mWorld", nullptr); }, D3DERR_INVALIDCALL),
        Case(
            "SetValue without data", [&] { return effect_->SetValue("g_dirToLight", nullptr, sizeof light); },
            D3DERR_INVALIDCALL),
        Case(
            "SetValue of an unknown name", [&] { return effect_->SetValue("g_nowhere", light, sizeof light); },
            D3DERR_INVALIDCALL),
        Case(
            "SetTechnique of an unknown name", [&] { return effect_->SetTechnique("NoSuchTechnique"); },
            D3DERR_INVALIDCALL),
        Case(
            "Begin", [&] { return effect_->Begin(&passes, 0); }, D3D_OK),
        Case(
            "BeginPass past the last pass", [&] { return effect_->BeginPass(passes); }, D3DERR_INVALIDCALL),
        Case(
            "BeginPass at an absurd index", [&] { return effect_->BeginPass(0xFFFFFFFFu); }, D3DERR_INVALIDCALL),
        Case(
            "End", [&] { return effect_->End(); }, D3D_OK),
    });
    EXPECT_EQ(passes, 1u);
}

TEST_F(D3DXBoundaryTest, MeshRefusesMissingOutputsAndDevices) {
    ASSERT_EQ(D3DXLoadMeshFromXW(File("cube.x").c_str(), D3DXMESH_MANAGED, device_, nullptr, nullptr, nullptr, nullptr,
                                 &mesh_),
              D3D_OK);
    ID3DXMesh* clone = nullptr;
    void* data = nullptr;
    ExpectResults({
        Case(
            "GenerateAdjacency without an array", [&] { return mesh_->GenerateAdjacency(1e-6f, nullptr); },
            D3DERR_INVALIDCALL),
        Case(
            "CloneMeshFVF without a result",
            [&] { return mesh_->CloneMeshFVF(mesh_->GetOptions(), mesh_->GetFVF(), device_, nullptr); },
            D3DERR_INVALIDCALL),
        Case(
            "CloneMeshFVF without a device",
            [&] { return mesh_->CloneMeshFVF(mesh_->GetOptions(), mesh_->GetFVF(), nullptr, &clone); },
            D3DERR_INVALIDCALL),
        Case(
            "LockVertexBuffer without a result", [&] { return mesh_->LockVertexBuffer(0, nullptr); },
            D3DERR_INVALIDCALL),
        Case(
            "LockIndexBuffer without a result", [&] { return mesh_->LockIndexBuffer(0, nullptr); }, D3DERR_INVALIDCALL),
        Case(
            "LockVertexBuffer", [&] { return mesh_->LockVertexBuffer(0, &data); }, D3D_OK),
        Case(
            "UnlockVertexBuffer", [&] { return mesh_->UnlockVertexBuffer(); }, D3D_OK),
    });
    EXPECT_EQ(clone, nullptr);
}

// ID3DXMesh on a real device: .x loading into the pools the options name, the mesh scene's
// clone / normals / adjacency / vertex-cache sequence, subsets, refusal of bad files, and a lit
// cube drawn through an effect and compared with a reviewed golden image.
#include "ImageFiles.h"
#include "MeshSceneLoading.h"
#include "XFileWriter.h"

#include "../d3d9/Direct3DTestSupport.h"

#include "ImageDecoder.h"
#include "support/TempDir.h"

#include <PlatformTesting/Diagnostics.h>
#include <PlatformTesting/Direct3D.h>
#include <d3dx9.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>

namespace {

const char kLitEffect[] = R"(// lit mesh with the mesh scene's parameters
float4x4 g_mWorld;
float4x4 g_mWorldViewProj;
float3 g_dirToLight;
float4 g_Tint = {0.9, 0.6, 0.3, 1.0};

struct VS_OUTPUT { float4 Position : POSITION; float4 Diffuse : COLOR0; };

VS_OUTPUT LitVS(float4 vPos : POSITION, float3 vNormal : NORMAL)
{
    VS_OUTPUT Output;
    Output.Position = mul(vPos, g_mWorldViewProj);
    float3 n = normalize(mul(vNormal, (float3x3)g_mWorld));
    Output.Diffuse = g_Tint * (0.2 + 0.8 * saturate(dot(n, g_dirToLight)));
    Output.Diffuse.a = 1.0;
    return Output;
}

float4 LitPS(float4 diffuse : COLOR0) : COLOR0 { return diffuse; }

technique Lit
{
    pass P0
    {
        VertexShader = compile vs_2_0 LitVS();
        PixelShader = compile ps_2_0 LitPS();
        ZEnable = TRUE;
        ZWriteEnable = TRUE;
        CullMode = CCW;
    }
}
)";

using Triangle = std::array<std::array<float, 3>, 3>;

// The mesh's triangles as position triples, each rotated to start at its smallest corner.
std::multiset<Triangle> Triangles(ID3DXMesh* mesh) {
    std::multiset<Triangle> triangles;
    BYTE* vertices = nullptr;
    void* indices = nullptr;
    EXPECT_EQ(mesh->LockVertexBuffer(D3DLOCK_READONLY, reinterpret_cast<void**>(&vertices)), D3D_OK);
    EXPECT_EQ(mesh->LockIndexBuffer(D3DLOCK_READONLY, &indices), D3D_OK);
    const bool wide = (mesh->GetOptions() & D3DXMESH_32BIT) != 0;
    for (DWORD f = 0; f < mesh->GetNumFaces(); ++f) {
        Triangle triangle;
        for (int k = 0; k < 3; ++k) {
            const DWORD index = wide ? static_cast<DWORD*>(indices)[f * 3 + k] : static_cast<WORD*>(indices)[f * 3 + k];
            std::memcpy(triangle[k].data(), vertices + index * mesh->GetNumBytesPerVertex(), 12);
        }
        std::rotate(triangle.begin(), std::min_element(triangle.begin(), triangle.end()), triangle.end());
        triangles.insert(triangle);
    }
    mesh->UnlockIndexBuffer();
    mesh->UnlockVertexBuffer();
    return triangles;
}

// Each subset's vertex range spans exactly the vertices its faces use, as the index buffer holds them.
void ExpectRangesFollowTheIndexBuffer(ID3DXMesh* mesh) {
    DWORD size = 0;
    ASSERT_EQ(mesh->GetAttributeTable(nullptr, &size), D3D_OK);
    std::vector<D3DXATTRIBUTERANGE> table(size);
    ASSERT_EQ(mesh->GetAttributeTable(table.data(), &size), D3D_OK);
    void* data = nullptr;
    ASSERT_EQ(mesh->LockIndexBuffer(D3DLOCK_READONLY, &data), D3D_OK);
    const bool wide = (mesh->GetOptions() & D3DXMESH_32BIT) != 0;
    for (const D3DXATTRIBUTERANGE& range : table) {
        DWORD low = 0xFFFFFFFFu;
        DWORD high = 0;
        for (DWORD i = range.FaceStart * 3; i < (range.FaceStart + range.FaceCount) * 3; ++i) {
            const DWORD index = wide ? static_cast<const DWORD*>(data)[i] : static_cast<const WORD*>(data)[i];
            low = std::min(low, index);
            high = std::max(high, index);
        }
        EXPECT_EQ(range.VertexStart, low) << "subset " << range.AttribId;
        EXPECT_EQ(range.VertexCount, high - low + 1) << "subset " << range.AttribId;
    }
    EXPECT_EQ(mesh->UnlockIndexBuffer(), D3D_OK);
}

class MeshTest : public D3D9Test::DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        ASSERT_EQ(CreateDevice(), D3D_OK);
    }

    void TearDown() override {
        if (mesh_ != nullptr) {
            EXPECT_EQ(mesh_->Release(), 0u);
        }
        DeviceTest::TearDown();
    }

    std::wstring WriteFile(const std::string& name, const std::string& contents) {
        std::ofstream(folder_.Path() / name, std::ios::binary) << contents;
        return folder_.File(name);
    }

    // The mesh scene's restore: load dynamic, add normals when missing, adjacency, vertex cache.
    void LoadAsTheMeshSceneDoes(const std::wstring& file) { D3DX9Tests::LoadAsTheMeshSceneDoes(device_, file, &mesh_); }

    TestSupport::TempDir folder_;
    ID3DXMesh* mesh_ = nullptr;
};

TEST_F(MeshTest, LoadingWithDynamicOptionsPutsBothBuffersInTheDefaultPoolAsDynamic) {
    const std::wstring file = WriteFile("cube.x", D3DX9Tests::TextXFile(D3DX9Tests::Cube(false)));
    ASSERT_EQ(D3DXLoadMeshFromXW(file.c_str(), D3DXMESH_DYNAMIC, device_, nullptr, nullptr, nullptr, nullptr, &mesh_),
              D3D_OK);
    EXPECT_EQ(mesh_->GetFVF(), static_cast<DWORD>(D3DFVF_XYZ));  // the file has neither normals nor coordinates
    EXPECT_EQ(mesh_->GetOptions(), static_cast<DWORD>(D3DXMESH_DYNAMIC));
    EXPECT_EQ(mesh_->GetNumFaces(), 12u);
    EXPECT_EQ(mesh_->GetNumVertices(), 8u);
    EXPECT_EQ(mesh_->GetNumBytesPerVertex(), 12u);
    IDirect3DVertexBuffer9* vertices = nullptr;
    IDirect3DIndexBuffer9* indices = nullptr;
    ASSERT_EQ(mesh_->GetVertexBuffer(&vertices), D3D_OK);
    ASSERT_EQ(mesh_->GetIndexBuffer(&indices), D3D_OK);
    D3DVERTEXBUFFER_DESC vertexDesc;
    D3DINDEXBUFFER_DESC indexDesc;
    vertices->GetDesc(&vertexDesc);
    indices->GetDesc(&indexDesc);
    EXPECT_EQ(vertexDesc.Pool, D3DPOOL_DEFAULT);
    EXPECT_EQ(indexDesc.Pool, D3DPOOL_DEFAULT);
    EXPECT_NE(vertexDesc.Usage & D3DUSAGE_DYNAMIC, 0u);
    EXPECT_NE(indexDesc.Usage & D3DUSAGE_DYNAMIC, 0u);
    EXPECT_EQ(indexDesc.Format, D3DFMT_INDEX16);
    EXPECT_EQ(vertexDesc.Size, 8u * 12u);
    vertices->Release();
    indices->Release();

    // A file with normals and texture coordinates keeps them, and is used without cloning.
    D3DX9Tests::XMeshSource textured = D3DX9Tests::Cube(false);
    textured.normals.assign(textured.positions.size(), {0.0f, 1.0f, 0.0f});
    textured.uvs.assign(textured.positions.size(), {0.5f, 0.25f});
    ID3DXMesh* full = nullptr;
    const std::wstring fullFile = WriteFile("full.x", D3DX9Tests::TextXFile(textured));
    ASSERT_EQ(
        D3DXLoadMeshFromXW(fullFile.c_str(), D3DXMESH_MANAGED, device_, nullptr, nullptr, nullptr, nullptr, &full),
        D3D_OK);
    EXPECT_EQ(full->GetFVF(), static_cast<DWORD>(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1));
    EXPECT_EQ(full->GetNumBytesPerVertex(), 32u);
    full->Release();
}

TEST_F(MeshTest, TheMeshScenesSequenceGivesOutwardNormalsAndKeepsEveryTriangle) {
    const std::wstring file = WriteFile("cube.x", D3DX9Tests::TextXFile(D3DX9Tests::Cube(false)));
    ASSERT_EQ(D3DXLoadMeshFromXW(file.c_str(), D3DXMESH_DYNAMIC, device_, nullptr, nullptr, nullptr, nullptr, &mesh_),
              D3D_OK);
    const std::multiset<Triangle> loaded = Triangles(mesh_);
    mesh_->Release();
    mesh_ = nullptr;
    LoadAsTheMeshSceneDoes(file);
    EXPECT_EQ(mesh_->GetFVF(), static_cast<DWORD>(D3DFVF_XYZ | D3DFVF_NORMAL));
    EXPECT_EQ(mesh_->GetOptions(), static_cast<DWORD>(D3DXMESH_DYNAMIC));
    EXPECT_EQ(Triangles(mesh_), loaded);
    // Corners shared by three faces: the summed face normals point away from the centre.
    float* vertex = nullptr;
    ASSERT_EQ(mesh_->LockVertexBuffer(D3DLOCK_READONLY, reinterpret_cast<void**>(&vertex)), D3D_OK);
    for (DWORD v = 0; v < mesh_->GetNumVertices(); ++v, vertex += 6) {
        const float* p = vertex;
        const float* n = vertex + 3;
        EXPECT_NEAR(n[0] * n[0] + n[1] * n[1] + n[2] * n[2], 1.0f, 1e-5f);
        for (int axis = 0; axis < 3; ++axis) {
            EXPECT_GT(n[axis] * p[axis], 0.0f) << "vertex " << v << " normal points inward on axis " << axis;
        }
    }
    mesh_->UnlockVertexBuffer();
}

TEST_F(MeshTest, MaterialsBecomeSubsetsWithAnAttributeTable) {
    D3DX9Tests::XMeshSource cube = D3DX9Tests::Cube(true);
    for (std::size_t f = 0; f < cube.faces.size(); ++f)
        cube.faceMaterials.push_back(f % 2 == 0 ? 1 : 0);
    const std::wstring file = WriteFile("materials.x", D3DX9Tests::TextXFile(cube));
    ID3DXBuffer* materials = nullptr;
    ID3DXBuffer* adjacency = nullptr;
    DWORD count = 0;
    ASSERT_EQ(
        D3DXLoadMeshFromXW(file.c_str(), D3DXMESH_MANAGED, device_, &adjacency, &materials, nullptr, &count, &mesh_),
        D3D_OK);
    EXPECT_EQ(count, 2u);
    ASSERT_NE(materials, nullptr);
    EXPECT_EQ(materials->GetBufferSize(), 2u * sizeof(D3DXMATERIAL));
    ASSERT_NE(adjacency, nullptr);
    EXPECT_EQ(adjacency->GetBufferSize(), 12u * 3u * sizeof(DWORD));
    materials->Release();
    adjacency->Release();
    D3DXATTRIBUTERANGE table[4];
    DWORD size = 0;
    ASSERT_EQ(mesh_->GetAttributeTable(nullptr, &size), D3D_OK);
    ASSERT_EQ(size, 2u);
    ASSERT_EQ(mesh_->GetAttributeTable(table, &size), D3D_OK);
    EXPECT_EQ(table[0].AttribId, 0u);
    EXPECT_EQ(table[0].FaceStart, 0u);
    EXPECT_EQ(table[0].FaceCount, 6u);
    EXPECT_EQ(table[1].AttribId, 1u);
    EXPECT_EQ(table[1].FaceStart, 6u);
    EXPECT_EQ(table[1].FaceCount, 6u);
    DWORD* attributes = nullptr;
    ASSERT_EQ(mesh_->LockAttributeBuffer(D3DLOCK_READONLY, &attributes), D3D_OK);
    EXPECT_EQ(std::count(attributes, attributes + 12, 1u), 6);
    EXPECT_EQ(mesh_->UnlockAttributeBuffer(), D3D_OK);
    ExpectRangesFollowTheIndexBuffer(mesh_);
    // The ranges follow the indices through a clone and a reorder as well.
    ID3DXMesh* clone = nullptr;
    ASSERT_EQ(mesh_->CloneMeshFVF(D3DXMESH_MANAGED, mesh_->GetFVF() | D3DFVF_NORMAL, device_, &clone), D3D_OK);
    ExpectRangesFollowTheIndexBuffer(clone);
    std::vector<DWORD> cloneAdjacency(12 * 3);
    ASSERT_EQ(clone->GenerateAdjacency(0.0f, cloneAdjacency.data()), D3D_OK);
    ASSERT_EQ(clone->OptimizeInplace(D3DXMESHOPT_VERTEXCACHE, cloneAdjacency.data(), nullptr, nullptr, nullptr),
              D3D_OK);
    ExpectRangesFollowTheIndexBuffer(clone);
    EXPECT_EQ(clone->Release(), 0u);
}

TEST_F(MeshTest, MaterialsKeepTheFilesVerticesAndAFileWithoutThemGetsTheDefaultMaterial) {
    // Eight shared corners, faces in two materials: still eight vertices, two subsets.
    D3DX9Tests::XMeshSource cube = D3DX9Tests::Cube(false);
    for (std::size_t f = 0; f < cube.faces.size(); ++f)
        cube.faceMaterials.push_back(f % 3 == 0 ? 1 : 0);
    const std::wstring file = WriteFile("two-materials.x", D3DX9Tests::TextXFile(cube));
    DWORD count = 0;
    ASSERT_EQ(D3DXLoadMeshFromXW(file.c_str(), D3DXMESH_MANAGED, device_, nullptr, nullptr, nullptr, &count, &mesh_),
              D3D_OK);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(mesh_->GetNumVertices(), 8u);
    EXPECT_EQ(mesh_->GetNumFaces(), 12u);
    DWORD subsets = 0;
    ASSERT_EQ(mesh_->GetAttributeTable(nullptr, &subsets), D3D_OK);
    EXPECT_EQ(subsets, 2u);
    mesh_->Release();
    mesh_ = nullptr;

    const std::wstring plain = WriteFile("plain.x", D3DX9Tests::TextXFile(D3DX9Tests::Cube(false)));
    ID3DXBuffer* materials = nullptr;
    ASSERT_EQ(
        D3DXLoadMeshFromXW(plain.c_str(), D3DXMESH_MANAGED, device_, nullptr, &materials, nullptr, &count, &mesh_),
        D3D_OK);
    ASSERT_EQ(count, 1u);
    ASSERT_NE(materials, nullptr);
    const D3DMATERIAL9& material = static_cast<const D3DXMATERIAL*>(materials->GetBufferPointer())->MatD3D;
    const D3DCOLORVALUE& d = material.Diffuse;
    EXPECT_EQ(std::vector<float>({d.r, d.g, d.b, d.a}), std::vector<float>({0.5f, 0.5f, 0.5f, 0.0f}));
    EXPECT_EQ(std::vector<float>({material.Specular.r, material.Specular.g, material.Specular.b}),
              std::vector<float>({0.5f, 0.5f, 0.5f}));
    EXPECT_EQ(std::vector<float>({material.Emissive.r, material.Emissive.g, material.Emissive.b}),
              std::vector<float>({0.0f, 0.0f, 0.0f}));
    EXPECT_EQ(material.Power, 0.0f);
    EXPECT_EQ(static_cast<const D3DXMATERIAL*>(materials->GetBufferPointer())->pTextureFilename, nullptr);
    materials->Release();
}

TEST_F(MeshTest, VertexColoursSurviveTheMeshScenesCloneNormalsAndVertexCacheOrder) {
    // The skull's shape of file: colours (baked occlusion), no normals, loaded dynamic.
    D3DX9Tests::XMeshSource cube = D3DX9Tests::Cube(false);
    for (std::uint32_t v = 0; v < cube.positions.size(); ++v)
        cube.colours.push_back(0xFF000000u | (v * 0x20) << 16 | (0xE0 - v * 0x20) << 8 | (v * 7));
    const std::wstring file = WriteFile("coloured.x", D3DX9Tests::TextXFile(cube));
    ASSERT_EQ(D3DXLoadMeshFromXW(file.c_str(), D3DXMESH_DYNAMIC, device_, nullptr, nullptr, nullptr, nullptr, &mesh_),
              D3D_OK);
    EXPECT_EQ(mesh_->GetFVF(), static_cast<DWORD>(D3DFVF_XYZ | D3DFVF_DIFFUSE));
    mesh_->Release();
    mesh_ = nullptr;
    LoadAsTheMeshSceneDoes(file);
    ASSERT_EQ(mesh_->GetFVF(), static_cast<DWORD>(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE));
    ASSERT_EQ(mesh_->GetNumBytesPerVertex(), 28u);
    ASSERT_EQ(mesh_->GetNumVertices(), 8u);
    BYTE* vertex = nullptr;
    ASSERT_EQ(mesh_->LockVertexBuffer(D3DLOCK_READONLY, reinterpret_cast<void**>(&vertex)), D3D_OK);
    std::set<std::size_t> found;
    for (DWORD v = 0; v < mesh_->GetNumVertices(); ++v, vertex += 28) {
        std::array<float, 3> position;
        std::memcpy(position.data(), vertex, 12);
        const auto source = std::find(cube.positions.begin(), cube.positions.end(), position);
        ASSERT_NE(source, cube.positions.end()) << "vertex " << v;
        const std::size_t index = static_cast<std::size_t>(source - cube.positions.begin());
        found.insert(index);
        DWORD colour;
        std::memcpy(&colour, vertex + 24, 4);
        EXPECT_EQ(colour, cube.colours[index]) << "vertex " << v;
        float normal[3];
        std::memcpy(normal, vertex + 12, 12);
        for (int axis = 0; axis < 3; ++axis)
            EXPECT_NEAR(normal[axis], position[axis] > 0 ? 0.57735f : -0.57735f, 1e-4f) << "vertex " << v;
    }
    mesh_->UnlockVertexBuffer();
    EXPECT_EQ(found.size(), 8u);
}

TEST_F(MeshTest, MissingAndMalformedFilesFailAndCreateNothing) {
    const int liveBefore = PlatformTesting::LiveDirect3DObjects();
    std::string text = D3DX9Tests::TextXFile(D3DX9Tests::Cube(false));
    const std::vector<std::string> broken = {
        "",
        "xof 0303txt 0032",
        "not an x file at all, just text",
        text.substr(0, text.size() / 2),                      // cut off
        std::string(text).replace(text.find("8;"), 2, "9;"),  // more vertices declared than given
        std::string(text).replace(text.find("Mesh Body {"), 11, "Mesh Body \xff{"),  // a byte no .x text holds
    };
    for (std::size_t i = 0; i < broken.size(); ++i) {
        SCOPED_TRACE(i);
        const std::wstring file = WriteFile("broken" + std::to_string(i) + ".x", broken[i]);
        ID3DXMesh* mesh = reinterpret_cast<ID3DXMesh*>(0x1);
        EXPECT_TRUE(FAILED(D3DXLoadMeshFromXW(file.c_str(), 0, device_, nullptr, nullptr, nullptr, nullptr, &mesh)));
        EXPECT_EQ(mesh, nullptr);
    }
    ID3DXMesh* mesh = nullptr;
    EXPECT_EQ(
        D3DXLoadMeshFromXW(folder_.File("missing.x").c_str(), 0, device_, nullptr, nullptr, nullptr, nullptr, &mesh),
        D3DXERR_INVALIDDATA);
    EXPECT_EQ(PlatformTesting::LiveDirect3DObjects(), liveBefore);
}

TEST_F(MeshTest, ARefusedFileSaysWhyWithTheLineAndColumnOfATextFile) {
    const std::string triangle = "xof 0303txt 0032\nMesh {\n 3;\n 0;0;0;,\n 1;0;0;,\n 0;1;0;;\n 1;\n 3;0,1,5;;\n}\n";
    ID3DXMesh* mesh = nullptr;
    EXPECT_EQ(D3DXLoadMeshFromXW(WriteFile("corner.x", triangle).c_str(), 0, device_, nullptr, nullptr, nullptr,
                                 nullptr, &mesh),
              D3DXERR_INVALIDDATA);
    EXPECT_EQ(PlatformTesting::LastRefusal(), "D3DXLoadMeshFromXW: line 8, column 8: index out of range in 'Mesh'");
    EXPECT_EQ(D3DXLoadMeshFromXW(WriteFile("empty.x", "xof 0303txt 0032\n").c_str(), 0, device_, nullptr, nullptr,
                                 nullptr, nullptr, &mesh),
              D3DXERR_INVALIDDATA);
    EXPECT_EQ(PlatformTesting::LastRefusal(), "D3DXLoadMeshFromXW: the file holds no mesh");
    EXPECT_EQ(
        D3DXLoadMeshFromXW(folder_.File("missing.x").c_str(), 0, device_, nullptr, nullptr, nullptr, nullptr, &mesh),
        D3DXERR_INVALIDDATA);
    EXPECT_EQ(PlatformTesting::LastRefusal(), "D3DXLoadMeshFromXW: the file cannot be read");
    EXPECT_EQ(mesh, nullptr);
}

// Golden images live next to this file; NVESK_UPDATE_GOLDEN=1 rewrites them from this build.
std::filesystem::path GoldenFile(const char* name) {
    return std::filesystem::path(D3DX9_TEST_DATA_DIR) / name;
}

void WritePng(const std::filesystem::path& file, const std::vector<DWORD>& pixels, int width, int height) {
    TestSupport::WriteBytes(file, D3DX9Tests::EncodeImage("frame.png", width, height, 3,
                                                          std::vector<std::uint32_t>(pixels.begin(), pixels.end())));
}

TEST_F(MeshTest, ALitCubeThroughAnEffectMatchesItsGoldenImage) {
    const std::wstring file = WriteFile("cube.x", D3DX9Tests::TextXFile(D3DX9Tests::Cube(true)));
    LoadAsTheMeshSceneDoes(file);
    ID3DXEffect* effect = nullptr;
    ID3DXBuffer* errors = nullptr;
    ASSERT_EQ(
        D3DXCreateEffect(device_, kLitEffect, sizeof(kLitEffect) - 1, nullptr, nullptr, 0, nullptr, &effect, &errors),
        D3D_OK)
        << (errors ? static_cast<const char*>(errors->GetBufferPointer()) : "");

    // The mesh scene's camera and light, the cube turned so that three faces show.
    D3DXMATRIX view, projection, rotateX, rotateY, world, worldView, worldViewProjection;
    const D3DXVECTOR3 eye(0.0f, 1.5f, -3.0f), at(0.0f, 0.0f, 0.0f), up(0.0f, 1.0f, 0.0f);
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    D3DXMatrixPerspectiveFovLH(&projection, D3DX_PI / 4, static_cast<float>(kWidth) / kHeight, 1.0f, 100.0f);
    D3DXMatrixMultiply(&world, D3DXMatrixRotationX(&rotateX, 0.3f), D3DXMatrixRotationY(&rotateY, 0.6f));
    D3DXMatrixMultiply(&worldView, &world, &view);
    D3DXMatrixMultiply(&worldViewProjection, &worldView, &projection);
    D3DXVECTOR3 light(0.0f, 10.0f, -5.0f);
    D3DXVec3Normalize(&light, &light);

    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF202020, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device_->BeginScene(), D3D_OK);
    EXPECT_EQ(effect->SetValue("g_dirToLight", &light, sizeof(light)), D3D_OK);
    EXPECT_EQ(effect->SetMatrix("g_mWorldViewProj", &worldViewProjection), D3D_OK);
    EXPECT_EQ(effect->SetMatrix("g_mWorld", &world), D3D_OK);
    EXPECT_EQ(effect->Begin(nullptr, 0), D3D_OK);
    EXPECT_EQ(effect->BeginPass(0), D3D_OK);
    EXPECT_EQ(mesh_->DrawSubset(0), D3D_OK);
    EXPECT_EQ(effect->EndPass(), D3D_OK);
    EXPECT_EQ(effect->End(), D3D_OK);
    ASSERT_EQ(device_->EndScene(), D3D_OK);
    effect->Release();
    const std::vector<DWORD> pixels = ReadBackBuffer();
    ASSERT_EQ(pixels.size(), static_cast<std::size_t>(kWidth * kHeight));

    // Independent of the golden image: the cube covers the centre, the top face (towards the
    // light) is brighter than the front face, and the corners show the background.
    const DWORD centre = pixels[(kHeight / 2) * kWidth + kWidth / 2] & 0xFFFFFF;
    EXPECT_NE(centre, 0x202020u);
    EXPECT_EQ(pixels[0] & 0xFFFFFF, 0x202020u);
    EXPECT_EQ(pixels[kWidth * kHeight - 1] & 0xFFFFFF, 0x202020u);

    const std::filesystem::path golden = GoldenFile("lit-cube.png");
    const char* update = std::getenv("NVESK_UPDATE_GOLDEN");
    if (update != nullptr && std::string(update) == "1") {
        WritePng(golden, pixels, kWidth, kHeight);
        GTEST_SKIP() << "golden image rewritten: " << golden;
    }
    std::vector<std::uint8_t> bytes = TestSupport::ReadBytes(golden);
    const nvesk::d3dx9::ImageDecodeResult expected = nvesk::d3dx9::DecodeImage(bytes.data(), bytes.size());
    ASSERT_TRUE(expected.ok) << "cannot read " << golden;
    ASSERT_EQ(expected.image.width, kWidth);
    ASSERT_EQ(expected.image.height, kHeight);
    std::vector<DWORD> difference(pixels.size());
    int wrong = 0;
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        int worst = 0;
        DWORD diff = 0;
        for (int channel = 0; channel < 3; ++channel) {
            const int actual = static_cast<int>((pixels[i] >> (8 * channel)) & 0xFF);
            const int wanted = expected.image.bgra[i * 4 + static_cast<std::size_t>(channel)];
            const int delta = std::abs(actual - wanted);
            worst = std::max(worst, delta);
            diff |= static_cast<DWORD>(std::min(255, delta * 8)) << (8 * channel);
        }
        difference[i] = diff;
        if (worst > 4) ++wrong;
    }
    if (wrong > 2) {  // a couple of edge pixels may round differently
        WritePng("lit-cube.actual.png", pixels, kWidth, kHeight);
        WritePng("lit-cube.difference.png", difference, kWidth, kHeight);
        ADD_FAILURE() << wrong << " pixels differ from " << golden << "; actual and difference images written to "
                      << std::filesystem::current_path();
    }
}

TEST_F(MeshTest, AReleasedMeshFailsCleanlyAndItsBuffersStayOnlyWhileBound) {
    const std::wstring file = WriteFile("cube.x", D3DX9Tests::TextXFile(D3DX9Tests::Cube(false)));
    ASSERT_EQ(D3DXLoadMeshFromXW(file.c_str(), D3DXMESH_MANAGED, device_, nullptr, nullptr, nullptr, nullptr, &mesh_),
              D3D_OK);
    EXPECT_EQ(PlatformTesting::LiveDirect3DObjects(PlatformTesting::Direct3DObject::Mesh), 1);
    // Outside a scene the draw is refused, but the mesh has bound its buffers and declaration.
    EXPECT_EQ(mesh_->DrawSubset(0), D3DERR_INVALIDCALL);
    ID3DXMesh* mesh = mesh_;
    mesh_ = nullptr;
    EXPECT_EQ(mesh->Release(), 0u);
    EXPECT_EQ(PlatformTesting::LiveDirect3DObjects(PlatformTesting::Direct3DObject::Mesh), 0);
    EXPECT_EQ(PlatformTesting::LiveDirect3DObjects(PlatformTesting::Direct3DObject::VertexBuffer), 1);
    EXPECT_EQ(PlatformTesting::LiveDirect3DObjects(PlatformTesting::Direct3DObject::IndexBuffer), 1);

    EXPECT_EQ(mesh->GetNumFaces(), 0u);
    EXPECT_EQ(mesh->GetFVF(), 0u);
    EXPECT_EQ(mesh->DrawSubset(0), D3DERR_INVALIDCALL);
    EXPECT_EQ(PlatformTesting::LastRefusal(), "ID3DXMesh::DrawSubset: called after the object's last Release");
    void* data = nullptr;
    EXPECT_EQ(mesh->LockVertexBuffer(0, &data), D3DERR_INVALIDCALL);
    DWORD size = 0;
    EXPECT_EQ(mesh->GetAttributeTable(nullptr, &size), D3DERR_INVALIDCALL);
    ID3DXMesh* clone = reinterpret_cast<ID3DXMesh*>(1);
    EXPECT_EQ(mesh->CloneMeshFVF(D3DXMESH_MANAGED, D3DFVF_XYZ | D3DFVF_NORMAL, device_, &clone), D3DERR_INVALIDCALL);
    EXPECT_EQ(clone, nullptr);
    EXPECT_EQ(D3DXComputeNormals(mesh, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(mesh->Release(), 0u);

    ASSERT_EQ(device_->SetStreamSource(0, nullptr, 0, 0), D3D_OK);
    ASSERT_EQ(device_->SetIndices(nullptr), D3D_OK);
    ASSERT_EQ(device_->SetVertexDeclaration(nullptr), D3D_OK);
    EXPECT_EQ(PlatformTesting::LiveDirect3DObjects(PlatformTesting::Direct3DObject::VertexBuffer), 0);
    EXPECT_EQ(PlatformTesting::LiveDirect3DObjects(PlatformTesting::Direct3DObject::IndexBuffer), 0);
    EXPECT_EQ(PlatformTesting::LiveDirect3DObjects(PlatformTesting::Direct3DObject::VertexDeclaration), 0);
}

}  // namespace

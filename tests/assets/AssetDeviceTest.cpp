// The generated assets through our D3DX on a device, loaded the way the demo loads them: the cursor
// strip, the water's picture, the mesh scene's effect and skull, the skull drawn with the scene's
// camera.
#include "../platform/d3d9/Direct3DTestSupport.h"
#include "../platform/d3dx9/ImageFiles.h"
#include "../platform/d3dx9/MeshSceneLoading.h"

#include "support/TempDir.h"

#include <d3dx9.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace {

std::wstring DemoFile(const char* name) {
    return (std::filesystem::path(NVESK_DEMO_DIR) / name).wstring();
}

struct Texel {
    int r, g, b, a;
};

Texel Unpack(DWORD argb) {
    return {static_cast<int>((argb >> 16) & 0xFF), static_cast<int>((argb >> 8) & 0xFF), static_cast<int>(argb & 0xFF),
            static_cast<int>(argb >> 24)};
}

// The file's description as D3DX reads it, checked for size and container.
D3DXIMAGE_INFO ExpectImage(const char* name, UINT width, UINT height, D3DXIMAGE_FILEFORMAT container) {
    D3DXIMAGE_INFO info {};
    EXPECT_EQ(D3DXGetImageInfoFromFileW(DemoFile(name).c_str(), &info), D3D_OK) << name;
    EXPECT_EQ(info.Width, width) << name;
    EXPECT_EQ(info.Height, height) << name;
    EXPECT_EQ(info.ImageFileFormat, container) << name;
    return info;
}

class AssetDeviceTest : public D3D9Test::DeviceTest {
protected:
    static constexpr UINT kFrameWidth = 320;
    static constexpr UINT kFrameHeight = 240;

    void SetUp() override {
        DeviceTest::SetUp();
        D3DPRESENT_PARAMETERS parameters = D3D9Test::WindowedParameters(window_->Handle(), kFrameWidth, kFrameHeight);
        ASSERT_EQ(d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window_->Handle(),
                                     D3DCREATE_HARDWARE_VERTEXPROCESSING, &parameters, &device_),
                  D3D_OK);
    }

    // Loads an image file into a system-memory A8R8G8B8 texture and returns its texels.
    std::vector<DWORD> LoadTexels(const wchar_t* file, UINT size, UINT& width, UINT& height) {
        IDirect3DTexture9* texture = nullptr;
        EXPECT_EQ(D3DXCreateTextureFromFileExW(device_, file, size, size, size == D3DX_DEFAULT ? D3DX_DEFAULT : 1, 0,
                                               D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                               nullptr, nullptr, &texture),
                  D3D_OK);
        std::vector<DWORD> texels;
        if (texture == nullptr) return texels;
        D3DSURFACE_DESC description {};
        EXPECT_EQ(texture->GetLevelDesc(0, &description), D3D_OK);
        width = description.Width;
        height = description.Height;
        D3DLOCKED_RECT locked {};
        EXPECT_EQ(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
        for (UINT y = 0; y < height; ++y) {
            const DWORD* row =
                reinterpret_cast<const DWORD*>(static_cast<const BYTE*>(locked.pBits) + y * locked.Pitch);
            texels.insert(texels.end(), row, row + width);
        }
        texture->UnlockRect(0);
        texture->Release();
        return texels;
    }
};

TEST_F(AssetDeviceTest, CursorStripIsTenAnimatedFramesWithSoftEdges) {
    EXPECT_EQ(ExpectImage("mushrum.png", 660, 70, D3DXIFF_PNG).Format, D3DFMT_A8R8G8B8);

    // As the cursor animation loads its strip.
    UINT width = 0, height = 0;
    const std::vector<DWORD> strip = LoadTexels(DemoFile("mushrum.png").c_str(), D3DX_DEFAULT_NONPOW2, width, height);
    ASSERT_EQ(width, 660u);
    ASSERT_EQ(height, 70u);
    std::vector<std::vector<DWORD>> frames(10);
    for (int frame = 0; frame < 10; ++frame) {
        int opaque = 0, partial = 0, red = 0, white = 0, dark = 0;
        int edge = 0;  // strongest alpha on the frame's border: nothing may bleed into a neighbour
        for (UINT y = 0; y < 70; ++y) {
            for (UINT x = 0; x < 66; ++x) {
                const DWORD argb = strip[y * 660 + frame * 66 + x];
                frames[frame].push_back(argb);
                const Texel t = Unpack(argb);
                if (x == 0 || x == 65 || y == 0 || y == 69) edge = std::max(edge, t.a);
                if (t.a == 255) {
                    ++opaque;
                    if (t.r > 180 && t.g < 80 && t.b < 80) ++red;
                    if (t.r > 200 && t.g > 200 && t.b > 180) ++white;
                    if (t.r + t.g + t.b < 150) ++dark;
                } else if (t.a > 0) {
                    ++partial;
                }
            }
        }
        SCOPED_TRACE("frame " + std::to_string(frame));
        EXPECT_GT(opaque, 66 * 70 / 4);      // a solid body, not a speck
        EXPECT_LT(opaque, 66 * 70 * 3 / 4);  // and see-through around it
        EXPECT_GT(partial, 200);             // anti-aliased edges and glow
        EXPECT_GT(red, 300);                 // the cap
        EXPECT_GT(white, 60);                // spots and stem
        EXPECT_GT(dark, 80);                 // the outline that keeps it readable over fire
        EXPECT_LT(edge, 48);
    }
    for (int frame = 0; frame < 10; ++frame) {
        EXPECT_NE(frames[frame], frames[(frame + 1) % 10]) << "frame " << frame << " equals the next";
    }
}

TEST_F(AssetDeviceTest, EarthPictureIsADetailedGlobeOnDarkSpace) {
    const D3DXIMAGE_INFO info = ExpectImage("ziemia.bmp", 256, 256, D3DXIFF_BMP);
    EXPECT_TRUE(info.Format == D3DFMT_R8G8B8 || info.Format == D3DFMT_X8R8G8B8) << "no alpha: " << info.Format;
    // 24 bits per pixel, uncompressed, in the file's own header.
    const std::vector<std::uint8_t> bytes =
        TestSupport::ReadBytes(std::filesystem::path(NVESK_DEMO_DIR) / "ziemia.bmp");
    ASSERT_GT(bytes.size(), 34u);
    EXPECT_EQ(bytes[28] | bytes[29] << 8, 24);
    EXPECT_EQ(bytes[30] | bytes[31] << 8 | bytes[32] << 16 | bytes[33] << 24, 0);

    // As the water scene loads its source: default size, so the power of two it already is.
    UINT width = 0, height = 0;
    const std::vector<DWORD> picture = LoadTexels(DemoFile("ziemia.bmp").c_str(), D3DX_DEFAULT, width, height);
    ASSERT_EQ(width, 256u);
    ASSERT_EQ(height, 256u);
    int ocean = 0, land = 0, cloud = 0, space = 0;
    double contrast = 0;
    for (UINT y = 0; y < 256; ++y) {
        for (UINT x = 0; x < 256; ++x) {
            const Texel t = Unpack(picture[y * 256 + x]);
            EXPECT_EQ(t.a, 255);
            if (t.b > t.r + 30 && t.b > t.g && t.b > 60) ++ocean;
            if ((t.g > t.b + 10 && t.g > 50) || (t.r > t.b + 40 && t.r > 90)) ++land;
            if (t.r > 200 && t.g > 200 && t.b > 200) ++cloud;
            if (t.r + t.g + t.b < 45) ++space;
            if (x > 0) {
                const Texel left = Unpack(picture[y * 256 + x - 1]);
                contrast += std::abs(t.r - left.r) + std::abs(t.g - left.g) + std::abs(t.b - left.b);
            }
        }
    }
    const int all = 256 * 256;
    EXPECT_GT(ocean, all / 12);
    EXPECT_GT(land, all / 20);
    EXPECT_GT(cloud, all / 40);
    EXPECT_GT(space, all / 4);
    // Ripples bend what is there: neighbouring pixels must differ for the bending to show.
    EXPECT_GT(contrast / (256.0 * 255), 12.0);
    for (DWORD corner : {picture[0], picture[255], picture[255 * 256], picture[256 * 256 - 1]}) {
        const Texel t = Unpack(corner);
        EXPECT_LT(t.r + t.g + t.b, 120);
    }
}

TEST_F(AssetDeviceTest, EffectCreatesWithTheMeshScenesParameters) {
    ID3DXEffect* effect = nullptr;
    ID3DXBuffer* errors = nullptr;
    const HRESULT result = D3DXCreateEffectFromFileW(device_, DemoFile("effect.fx").c_str(), nullptr, nullptr, 0,
                                                     nullptr, &effect, &errors);
    ASSERT_EQ(result, D3D_OK) << (errors ? static_cast<const char*>(errors->GetBufferPointer()) : "");
    EXPECT_EQ(errors, nullptr);
    // Rows and columns of each; matrices may be described by rows or by columns.
    const std::map<std::string, std::array<UINT, 2>> expected {
        {"g_mWorld", {4, 4}}, {"g_mWorldViewProj", {4, 4}}, {"g_dirToLight", {1, 3}}};
    for (const auto& [name, shape] : expected) {
        const D3DXHANDLE parameter = effect->GetParameterByName(nullptr, name.c_str());
        ASSERT_NE(parameter, nullptr) << name;
        D3DXPARAMETER_DESC description {};
        ASSERT_EQ(effect->GetParameterDesc(parameter, &description), D3D_OK);
        if (shape[0] == 1) {
            EXPECT_EQ(description.Class, D3DXPC_VECTOR) << name;
        } else {
            EXPECT_TRUE(description.Class == D3DXPC_MATRIX_ROWS || description.Class == D3DXPC_MATRIX_COLUMNS) << name;
        }
        EXPECT_EQ(description.Type, D3DXPT_FLOAT) << name;
        EXPECT_EQ(description.Rows, shape[0]) << name;
        EXPECT_EQ(description.Columns, shape[1]) << name;
    }
    // The scene never picks a technique: the first one must be valid and have one pass.
    EXPECT_EQ(effect->ValidateTechnique(effect->GetCurrentTechnique()), D3D_OK);
    UINT passes = 0;
    ASSERT_EQ(effect->Begin(&passes, 0), D3D_OK);
    EXPECT_EQ(passes, 1u);
    EXPECT_EQ(effect->End(), D3D_OK);
    EXPECT_EQ(effect->Release(), 0u);
}

// The skull as the mesh scene loads and draws it, at its starting pose.
class SkullTest : public AssetDeviceTest {
protected:
    void TearDown() override {
        if (effect_ != nullptr) effect_->Release();
        if (mesh_ != nullptr) {
            EXPECT_EQ(mesh_->Release(), 0u);
        }
        AssetDeviceTest::TearDown();
    }

    void Load() {
        D3DX9Tests::LoadAsTheMeshSceneDoes(device_, DemoFile("skullocc.x"), &mesh_, &loadedFvf_);
        ASSERT_NE(mesh_, nullptr);
        ID3DXBuffer* errors = nullptr;
        const HRESULT created = D3DXCreateEffectFromFileW(device_, DemoFile("effect.fx").c_str(), nullptr, nullptr, 0,
                                                          nullptr, &effect_, &errors);
        if (errors != nullptr) errors->Release();
        ASSERT_EQ(created, D3D_OK);
    }

    // The scene's starting world matrix, then `turn` radians about the vertical as its updates add.
    static D3DXMATRIX World(float turn) {
        D3DXMATRIX x, z, y, spin, world;
        D3DXMatrixRotationX(&x, D3DX_PI / 2 + 0.9f);
        D3DXMatrixRotationZ(&z, D3DX_PI);
        D3DXMatrixRotationY(&y, D3DX_PI + 0.2f);
        D3DXMatrixMultiply(&world, &x, &z);
        D3DXMatrixMultiply(&world, &world, &y);
        D3DXMatrixRotationY(&spin, turn);
        D3DXMatrixMultiply(&world, &world, &spin);
        return world;
    }

    std::vector<DWORD> Draw(const D3DXMATRIX& world) {
        D3DXMATRIX view, projection, worldViewProjection;
        const D3DXVECTOR3 eye(0.0f, 5.0f, -20.0f), at(0.0f, 0.0f, 0.0f), up(0.0f, 1.0f, 0.0f);
        D3DXMatrixLookAtLH(&view, &eye, &at, &up);
        D3DXMatrixPerspectiveFovLH(&projection, D3DX_PI / 4, static_cast<float>(kFrameWidth) / kFrameHeight, 1.0f,
                                   100.0f);
        D3DXMatrixMultiply(&worldViewProjection, &world, &view);
        D3DXMatrixMultiply(&worldViewProjection, &worldViewProjection, &projection);
        D3DXVECTOR3 light(0.0f, 10.0f, -5.0f);
        D3DXVec3Normalize(&light, &light);
        EXPECT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBackground, 1.0f, 0), D3D_OK);
        EXPECT_EQ(device_->BeginScene(), D3D_OK);
        effect_->SetValue("g_dirToLight", &light, sizeof(light));
        effect_->SetMatrix("g_mWorldViewProj", &worldViewProjection);
        effect_->SetMatrix("g_mWorld", &world);
        EXPECT_EQ(effect_->Begin(nullptr, 0), D3D_OK);
        EXPECT_EQ(effect_->BeginPass(0), D3D_OK);
        EXPECT_EQ(mesh_->DrawSubset(0), D3D_OK);
        EXPECT_EQ(effect_->EndPass(), D3D_OK);
        EXPECT_EQ(effect_->End(), D3D_OK);
        EXPECT_EQ(device_->EndScene(), D3D_OK);
        return ReadBackBuffer();
    }

    static constexpr D3DCOLOR kBackground = 0xFF000080;
    ID3DXMesh* mesh_ = nullptr;
    ID3DXEffect* effect_ = nullptr;
    DWORD loadedFvf_ = 0;
};

TEST_F(SkullTest, LoadsWithVertexColoursAndWithoutNormals) {
    Load();
    ASSERT_NE(mesh_, nullptr);
    EXPECT_EQ(loadedFvf_ & D3DFVF_NORMAL, 0u) << "the file must leave the normals to the scene";
    EXPECT_NE(loadedFvf_ & D3DFVF_DIFFUSE, 0u) << "the baked occlusion must arrive as vertex colours";
    EXPECT_GE(mesh_->GetNumFaces(), 5000u);
    EXPECT_LE(mesh_->GetNumFaces(), 40000u);
    EXPECT_LT(mesh_->GetNumVertices(), 65536u);  // 16-bit indices, as the scene loads it
}

TEST_F(SkullTest, IsClosedWithFacesClockwiseFromOutside) {
    Load();
    ASSERT_NE(mesh_, nullptr);
    BYTE* vertices = nullptr;
    WORD* indices = nullptr;
    ASSERT_EQ(mesh_->LockVertexBuffer(D3DLOCK_READONLY, reinterpret_cast<void**>(&vertices)), D3D_OK);
    ASSERT_EQ(mesh_->LockIndexBuffer(D3DLOCK_READONLY, reinterpret_cast<void**>(&indices)), D3D_OK);
    ASSERT_EQ(mesh_->GetOptions() & D3DXMESH_32BIT, 0u);
    const DWORD stride = mesh_->GetNumBytesPerVertex();
    auto position = [&](WORD index) { return *reinterpret_cast<const D3DXVECTOR3*>(vertices + index * stride); };
    // Positions, not indices, identify corners: the loader may have split vertices.
    std::map<std::array<float, 3>, int> ids;
    auto id = [&](WORD index) {
        const D3DXVECTOR3 p = position(index);
        return ids.emplace(std::array<float, 3> {p.x, p.y, p.z}, static_cast<int>(ids.size())).first->second;
    };
    std::map<std::pair<int, int>, int> edges;  // directed edge -> uses
    double volume = 0;
    D3DXVECTOR3 low(1e9f, 1e9f, 1e9f), high(-1e9f, -1e9f, -1e9f);
    const D3DXMATRIX world = World(0.0f);
    for (DWORD f = 0; f < mesh_->GetNumFaces(); ++f) {
        const WORD* corner = indices + f * 3;
        const int a = id(corner[0]), b = id(corner[1]), c = id(corner[2]);
        ++edges[{a, b}], ++edges[{b, c}], ++edges[{c, a}];
        const D3DXVECTOR3 pa = position(corner[0]), pb = position(corner[1]), pc = position(corner[2]);
        D3DXVECTOR3 cross;
        D3DXVec3Cross(&cross, &pb, &pc);
        volume += D3DXVec3Dot(&pa, &cross) / 6.0;  // positive when (b - a) x (c - a) points outwards
        for (const D3DXVECTOR3* p : {&pa, &pb, &pc}) {
            D3DXVECTOR3 w;
            D3DXVec3TransformCoord(&w, p, &world);
            low = D3DXVECTOR3(std::min(low.x, w.x), std::min(low.y, w.y), std::min(low.z, w.z));
            high = D3DXVECTOR3(std::max(high.x, w.x), std::max(high.y, w.y), std::max(high.z, w.z));
        }
    }
    mesh_->UnlockIndexBuffer();
    mesh_->UnlockVertexBuffer();
    int unmatched = 0;
    for (const auto& [edge, uses] : edges) {
        const auto reverse = edges.find({edge.second, edge.first});
        if (reverse == edges.end() || reverse->second != uses) ++unmatched;
    }
    EXPECT_EQ(unmatched, 0) << "edges not met by a face turning the other way";
    EXPECT_GT(volume, 100.0);
    // Upright at the scene's starting pose, sized for the camera 20 units away.
    EXPECT_GT(high.y - low.y, 8.0f);
    EXPECT_LT(high.y - low.y, 10.5f);
    EXPECT_LT(high.x - low.x, high.y - low.y);
    EXPECT_LT(std::fabs(high.y + low.y), 1.5f);  // centred on the origin the camera looks at
}

TEST_F(SkullTest, DrawnAtTheStartingPoseItFillsTheMiddleAndShowsItsSockets) {
    Load();
    ASSERT_NE(mesh_, nullptr);
    const std::vector<DWORD> frame = Draw(World(0.0f));
    ASSERT_EQ(frame.size(), static_cast<std::size_t>(kFrameWidth * kFrameHeight));
    TestSupport::WriteBytes("skull-start.png",
                            D3DX9Tests::EncodeImage("frame.png", kFrameWidth, kFrameHeight, 3,
                                                    std::vector<std::uint32_t>(frame.begin(), frame.end())));
    int covered = 0, bright = 0, dim = 0;
    UINT top = kFrameHeight, bottom = 0, left = kFrameWidth, right = 0;
    for (UINT y = 0; y < kFrameHeight; ++y) {
        for (UINT x = 0; x < kFrameWidth; ++x) {
            const DWORD pixel = frame[y * kFrameWidth + x] & 0xFFFFFF;
            if (pixel == (kBackground & 0xFFFFFF)) continue;
            ++covered;
            top = std::min(top, y), bottom = std::max(bottom, y);
            left = std::min(left, x), right = std::max(right, x);
            const Texel t = Unpack(pixel);
            if (t.r > 170 && t.r >= t.b) ++bright;  // lit ivory
            if (t.r + t.g + t.b < 120) ++dim;       // sockets, nose, the gaps between teeth
        }
    }
    const int all = static_cast<int>(kFrameWidth * kFrameHeight);
    EXPECT_GT(covered, all / 10);
    EXPECT_LT(covered, all / 2);
    // About half the screen high, horizontally in the middle.
    EXPECT_GT(bottom - top, kFrameHeight * 4 / 10);
    EXPECT_LT(bottom - top, kFrameHeight * 7 / 10);
    EXPECT_LT(std::abs(static_cast<int>(left + right) - static_cast<int>(kFrameWidth)), 30);
    EXPECT_GT(bright, covered / 5);
    EXPECT_GT(dim, covered / 50);
}

}  // namespace

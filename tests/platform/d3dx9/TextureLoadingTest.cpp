// Texture loading on a real device: sizes, mip levels, pools, colour keys, the source's
// D3DXIMAGE_INFO, and refusal of missing or corrupt files without creating anything.
#include "ImageFiles.h"

#include "../d3d9/Direct3DTestSupport.h"

#include "support/TempDir.h"

#include <PlatformTesting/Direct3D.h>
#include <PlatformTesting/Faults.h>
#include <d3dx9.h>

#include <string>
#include <vector>

namespace {

class TextureLoadingTest : public D3D9Test::DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        ASSERT_EQ(CreateDevice(), D3D_OK);
    }

    void TearDown() override {
        if (texture_ != nullptr) {
            EXPECT_EQ(texture_->Release(), 0u);
        }
        DeviceTest::TearDown();
    }

    // `texel(x, y)` gives 0xAARRGGBB; `channels` 3 drops alpha from the file.
    template <typename Texel>
    std::wstring WriteImage(const std::string& name, int width, int height, int channels, Texel texel) {
        std::vector<std::uint32_t> texels;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x)
                texels.push_back(texel(x, y));
        }
        const std::vector<std::uint8_t> file = D3DX9Tests::EncodeImage(name, width, height, channels, texels);
        TestSupport::WriteBytes(folder_.Path() / name, file);
        return folder_.File(name);
    }

    HRESULT Load(const std::wstring& file, UINT size, UINT levels, D3DPOOL pool, D3DCOLOR key, D3DXIMAGE_INFO* info) {
        return D3DXCreateTextureFromFileExW(device_, file.c_str(), size, size, levels, 0, D3DFMT_A8R8G8B8, pool,
                                            D3DX_DEFAULT, D3DX_DEFAULT, key, info, nullptr, &texture_);
    }

    DWORD Texel(UINT level, UINT x, UINT y) {
        D3DLOCKED_RECT locked;
        EXPECT_EQ(texture_->LockRect(level, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
        const DWORD value =
            reinterpret_cast<const DWORD*>(static_cast<const BYTE*>(locked.pBits) + y * locked.Pitch)[x];
        texture_->UnlockRect(level);
        return value;
    }

    TestSupport::TempDir folder_;
    IDirect3DTexture9* texture_ = nullptr;
};

TEST_F(TextureLoadingTest, TheImageManagersLoadKeepsTheFileSizeInTheDefaultPoolAndDescribesTheFile) {
    const std::wstring file =
        WriteImage("picture.png", 3, 5, 4, [](int x, int y) { return 0x80000000u | (x * 40u << 16) | y; });
    D3DXIMAGE_INFO info {};
    ASSERT_EQ(Load(file, D3DX_DEFAULT_NONPOW2, 1, D3DPOOL_DEFAULT, 0, &info), D3D_OK);
    EXPECT_EQ(texture_->GetLevelCount(), 1u);
    D3DSURFACE_DESC desc;
    ASSERT_EQ(texture_->GetLevelDesc(0, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, 3u);
    EXPECT_EQ(desc.Height, 5u);
    EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(desc.Pool, D3DPOOL_DEFAULT);
    EXPECT_EQ(info.Width, 3u);
    EXPECT_EQ(info.Height, 5u);
    EXPECT_EQ(info.Depth, 1u);
    EXPECT_EQ(info.MipLevels, 1u);
    EXPECT_EQ(info.Format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(info.ResourceType, D3DRTYPE_TEXTURE);
    EXPECT_EQ(info.ImageFileFormat, D3DXIFF_PNG);
}

TEST_F(TextureLoadingTest, DefaultSizesRoundUpToPowersOfTwoWithAFullMipChain) {
    const std::wstring file = WriteImage("strip.bmp", 3, 5, 3, [](int, int) { return 0xFF336699u; });
    D3DXIMAGE_INFO info {};
    ASSERT_EQ(Load(file, D3DX_DEFAULT, D3DX_DEFAULT, D3DPOOL_SYSTEMMEM, 0, &info), D3D_OK);
    ASSERT_EQ(texture_->GetLevelCount(), 4u);  // 4x8, 2x4, 1x2, 1x1
    const UINT sizes[4][2] = {{4, 8}, {2, 4}, {1, 2}, {1, 1}};
    for (UINT level = 0; level < 4; ++level) {
        D3DSURFACE_DESC desc;
        ASSERT_EQ(texture_->GetLevelDesc(level, &desc), D3D_OK);
        EXPECT_EQ(desc.Width, sizes[level][0]);
        EXPECT_EQ(desc.Height, sizes[level][1]);
        EXPECT_EQ(desc.Pool, D3DPOOL_SYSTEMMEM);
        EXPECT_EQ(Texel(level, 0, 0), 0xFF336699u) << "level " << level;  // one colour stays one colour
    }
    EXPECT_EQ(info.Width, 3u);              // the file, not the texture
    EXPECT_EQ(info.Format, D3DFMT_R8G8B8);  // the file's 24-bit texels; the texture has 32
    EXPECT_EQ(info.ImageFileFormat, D3DXIFF_BMP);
}

TEST_F(TextureLoadingTest, TexelsMatchingTheColourKeyBecomeTransparentBlack) {
    const std::wstring file =
        WriteImage("keyed.tga", 4, 2, 3, [](int x, int) { return x % 2 == 0 ? 0xFFFF00FFu : 0xFF10A020u; });
    D3DXIMAGE_INFO info {};
    ASSERT_EQ(Load(file, D3DX_DEFAULT_NONPOW2, 1, D3DPOOL_SYSTEMMEM, 0xFFFF00FF, &info), D3D_OK);
    EXPECT_EQ(info.ImageFileFormat, D3DXIFF_TGA);
    for (UINT x = 0; x < 4; ++x) {
        EXPECT_EQ(Texel(0, x, 1), x % 2 == 0 ? 0x00000000u : 0xFF10A020u) << x;
    }
    texture_->Release();
    texture_ = nullptr;
    // Without a key (0) the same texels stay.
    ASSERT_EQ(Load(file, D3DX_DEFAULT_NONPOW2, 1, D3DPOOL_SYSTEMMEM, 0, nullptr), D3D_OK);
    EXPECT_EQ(Texel(0, 0, 0), 0xFFFF00FFu);
}

TEST_F(TextureLoadingTest, MissingOrCorruptFilesAreInvalidDataAndCreateNothing) {
    const int liveBefore = PlatformTesting::LiveDirect3DObjects();
    std::vector<std::uint8_t> corrupt = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 1, 2, 3, 4, 5};
    TestSupport::WriteBytes(folder_.Path() / "corrupt.png", corrupt);
    TestSupport::WriteBytes(folder_.Path() / "empty.png", {});
    for (const char* name : {"missing.png", "corrupt.png", "empty.png"}) {
        SCOPED_TRACE(name);
        texture_ = reinterpret_cast<IDirect3DTexture9*>(0x1);
        D3DXIMAGE_INFO info {};
        EXPECT_EQ(Load(folder_.File(name), D3DX_DEFAULT_NONPOW2, 1, D3DPOOL_DEFAULT, 0, &info), D3DXERR_INVALIDDATA);
        EXPECT_EQ(texture_, nullptr);
        EXPECT_EQ(info.Width, 0u);
    }
    EXPECT_EQ(D3DXERR_INVALIDDATA, static_cast<HRESULT>(0x88760B59));
    EXPECT_EQ(PlatformTesting::LiveDirect3DObjects(), liveBefore);
    // Absurd sizes are refused before anything is allocated.
    const std::wstring file = WriteImage("small.png", 2, 2, 4, [](int, int) { return 0xFFFFFFFFu; });
    EXPECT_EQ(Load(file, 1u << 20, 1, D3DPOOL_SYSTEMMEM, 0, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture_, nullptr);
    EXPECT_EQ(PlatformTesting::LiveDirect3DObjects(), liveBefore);
}

TEST_F(TextureLoadingTest, CreateTextureMakesTheAnimationsFrameTextures) {
    ASSERT_EQ(D3DXCreateTexture(device_, 66, 70, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture_),
              D3D_OK);
    D3DSURFACE_DESC desc;
    ASSERT_EQ(texture_->GetLevelDesc(0, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, 66u);
    EXPECT_EQ(desc.Height, 70u);
    EXPECT_EQ(desc.Usage, static_cast<DWORD>(D3DUSAGE_DYNAMIC));
    EXPECT_EQ(desc.Pool, D3DPOOL_DEFAULT);
    EXPECT_EQ(texture_->GetLevelCount(), 1u);
    texture_->Release();
    texture_ = nullptr;
    // 0 means 1 texel; 0 levels means the full chain.
    ASSERT_EQ(D3DXCreateTexture(device_, 0, 8, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture_), D3D_OK);
    ASSERT_EQ(texture_->GetLevelDesc(0, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, 1u);
    EXPECT_EQ(texture_->GetLevelCount(), 4u);
}

TEST_F(TextureLoadingTest, CreateCubeTextureReadsItsSizeAndLevelsAsCreateTextureDoes) {
    IDirect3DCubeTexture9* cube = nullptr;
    ASSERT_EQ(D3DXCreateCubeTexture(device_, 0, 1, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, &cube), D3D_OK);
    D3DSURFACE_DESC desc;
    ASSERT_EQ(cube->GetLevelDesc(0, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, 1u);
    EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(cube->Release(), 0u);
    // More levels than the chain holds are cut to it; D3DX_DEFAULT is 256 a side.
    ASSERT_EQ(D3DXCreateCubeTexture(device_, 16, 9, D3DUSAGE_DYNAMIC, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &cube), D3D_OK);
    EXPECT_EQ(cube->GetLevelCount(), 5u);
    EXPECT_EQ(cube->Release(), 0u);
    ASSERT_EQ(D3DXCreateCubeTexture(device_, D3DX_DEFAULT, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &cube), D3D_OK);
    ASSERT_EQ(cube->GetLevelDesc(0, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, 256u);
    EXPECT_EQ(cube->Release(), 0u);
    EXPECT_EQ(D3DXCreateCubeTexture(nullptr, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &cube), D3DERR_INVALIDCALL);
    EXPECT_EQ(cube, nullptr);
    EXPECT_EQ(D3DXCreateCubeTexture(device_, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, nullptr), D3DERR_INVALIDCALL);
}

TEST_F(TextureLoadingTest, ADefaultPoolTextureDrawsTheFilesTexels) {
    // The default pool cannot be locked, so look at the texels by drawing them 1:1.
    const std::wstring file =
        WriteImage("quad.jpg", 8, 8, 3, [](int x, int) { return x < 4 ? 0xFFFF0000u : 0xFF0000FFu; });
    D3DXIMAGE_INFO info {};
    ASSERT_EQ(Load(file, D3DX_DEFAULT_NONPOW2, 1, D3DPOOL_DEFAULT, 0, &info), D3D_OK);
    EXPECT_EQ(info.ImageFileFormat, D3DXIFF_JPG);
    const nvesk::d3d9::ShaderProgramHandle program = TexturedProgram();
    ASSERT_EQ(nvesk::d3d9::UseShaderProgram(device_, program), D3D_OK);
    BindVertices(Quad(0, 0, 8, 8));
    ASSERT_EQ(device_->SetTexture(0, texture_), D3D_OK);
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device_->BeginScene(), D3D_OK);
    ASSERT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
    ASSERT_EQ(device_->EndScene(), D3D_OK);
    device_->SetTexture(0, nullptr);
    const std::vector<DWORD> pixels = ReadBackBuffer();
    auto near = [](DWORD pixel, DWORD colour) {
        for (int shift : {0, 8, 16}) {
            if (std::abs(static_cast<int>((pixel >> shift) & 0xFF) - static_cast<int>((colour >> shift) & 0xFF)) > 24) {
                return false;
            }
        }
        return true;
    };
    EXPECT_TRUE(near(pixels[1 * kWidth + 1], 0xFF0000)) << std::hex << pixels[1 * kWidth + 1];
    EXPECT_TRUE(near(pixels[1 * kWidth + 6], 0x0000FF)) << std::hex << pixels[1 * kWidth + 6];
}

}  // namespace

TEST_F(TextureLoadingTest, InjectedFailuresReachTheD3DXFunctionsAndLoadsAreCounted) {
    const std::wstring file = WriteImage("counted.png", 4, 4, 4, [](int, int) { return 0xFF00FF00u; });
    PlatformTesting::CallCounter calls;
    PlatformTesting::FailNextCalls("D3DXCreateTextureFromFileExW", E_OUTOFMEMORY, 1, 1);
    ASSERT_EQ(Load(file, D3DX_DEFAULT_NONPOW2, 1, D3DPOOL_DEFAULT, 0, nullptr), D3D_OK);
    EXPECT_EQ(texture_->Release(), 0u);
    texture_ = reinterpret_cast<IDirect3DTexture9*>(1);
    EXPECT_EQ(Load(file, D3DX_DEFAULT_NONPOW2, 1, D3DPOOL_DEFAULT, 0, nullptr), E_OUTOFMEMORY);
    EXPECT_EQ(texture_, nullptr);
    EXPECT_EQ(PlatformTesting::LiveDirect3DObjects(PlatformTesting::Direct3DObject::Texture), 0);
    EXPECT_EQ(calls.Count("D3DXCreateTextureFromFileExW"), 2);

    PlatformTesting::FailNextCalls("D3DXCreateTexture", D3DERR_OUTOFVIDEOMEMORY, 1);
    EXPECT_EQ(D3DXCreateTexture(device_, 8, 8, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture_),
              D3DERR_OUTOFVIDEOMEMORY);
    EXPECT_EQ(texture_, nullptr);
    EXPECT_EQ(calls.Count("D3DXCreateTexture"), 1);
}

TEST_F(TextureLoadingTest, ReportedShaderVersionsReachNewDevicesCaps) {
    PlatformTesting::ReportShaderVersions(D3DVS_VERSION(1, 1), D3DPS_VERSION(1, 4));
    D3DCAPS9 caps {};
    ASSERT_EQ(d3d_->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, &caps), D3D_OK);
    EXPECT_EQ(caps.VertexShaderVersion, D3DVS_VERSION(1, 1));
    EXPECT_EQ(caps.PixelShaderVersion, D3DPS_VERSION(1, 4));
    PlatformTesting::ReportShaderVersions(0, 0);
    ASSERT_EQ(device_->GetDeviceCaps(&caps), D3D_OK);
    EXPECT_EQ(caps.VertexShaderVersion, D3DVS_VERSION(3, 0));
    EXPECT_EQ(caps.PixelShaderVersion, D3DPS_VERSION(3, 0));
}

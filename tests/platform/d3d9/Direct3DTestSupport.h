// What the Direct3D 9 suites share: a window from the window layer, devices on it, two small
// effect programs (through the effect layer's entry), and back-buffer readback.
#pragma once

#include "BackBufferReadback.h"

#include <d3d9.h>
#include <windows.h>

#include <d3d9/ShaderProgramBinding.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace D3D9Test {

// A hidden window of the window layer, its class registered for its lifetime.
class Window {
public:
    Window(int width = 200, int height = 150);
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    HWND Handle() const { return handle_; }

private:
    HWND handle_ = nullptr;
};

D3DPRESENT_PARAMETERS WindowedParameters(HWND window, UINT width, UINT height);

// Where a device's draws go: the back buffer's own image (what every unusual Present needs), or
// straight into the window (the usual windowed frame, after the first Presents).
enum class FramePath { BackBufferImage, Window };
std::string FramePathName(const ::testing::TestParamInfo<FramePath>& info);
// Whether `device` draws into its window now.
bool DrawsIntoWindow(IDirect3DDevice9* device);
// A Direct3D object and a windowed 64 x 48 HAL device on `window`, for scenarios in a process of
// their own; false, with nothing left to release, when either cannot be made.
bool CreateWindowedDevice(HWND window, IDirect3D9** d3d, IDirect3DDevice9** device);

// GLSL vertex stage mapping pixel positions (uniform screenSize) to clip space, passing `uv` on.
extern const char kPixelQuadVertexShader[];

// Quad vertex as the engine's image box writes it: pixel position, z, texture coordinate.
struct QuadVertex {
    float x, y, z;
    float u, v;
};

// A cube texel that tells where it lies (0xAARRGGBB): its face in red, its column in green, its row
// in blue, each of the last two 0 or 0xFF.
inline DWORD CubeFaceTexel(D3DCUBEMAP_FACES face, UINT x, UINT y) {
    return 0xFF000000u | (static_cast<DWORD>(face + 1) * 0x20u) << 16 | (x != 0 ? 0xFF00u : 0u) | (y != 0 ? 0xFFu : 0u);
}

// Fixture: Direct3D object, a windowed 64 x 48 HAL device with a D24S8 depth buffer, and
// programs that map pixel coordinates to clip space as the engine's orthographic projection does.
class DeviceTest : public ::testing::Test {
protected:
    static constexpr UINT kWidth = 64;
    static constexpr UINT kHeight = 48;

    void SetUp() override;
    void TearDown() override;

    // Creates `device_` (released again by TearDown).
    HRESULT CreateDevice(D3DDEVTYPE type = D3DDEVTYPE_HAL);
    void ReleaseDevice();
    // Presents unlike frames until the device draws into the window (a frame read back after its
    // swap tells that a swap keeps the image, as D3DSWAPEFFECT_COPY needs).
    void MoveDrawingIntoWindow();

    // Program sampling unit 0 at the vertex's texture coordinate.
    nvesk::d3d9::ShaderProgramHandle TexturedProgram();
    // Program writing one colour (SetColor) everywhere.
    nvesk::d3d9::ShaderProgramHandle SolidProgram();
    void SetColor(nvesk::d3d9::ShaderProgramHandle program, float r, float g, float b, float a);
    // Program with the pixel-quad vertex stage and this GLSL pixel stage (output `color`).
    nvesk::d3d9::ShaderProgramHandle ProgramWithFragment(const char* fragment);

    // Declaration + dynamic vertex buffer for `vertices`, bound to stream 0.
    void BindVertices(const std::vector<QuadVertex>& vertices);
    // A 1:1 screen quad (triangle strip) covering [x, x+w) x [y, y+h).
    static std::vector<QuadVertex> Quad(float x, float y, float w, float h, float z = 0.5f);

    // A managed A8R8G8B8 texture filled by `texel(x, y)` (0xAARRGGBB).
    template <typename Texel>
    IDirect3DTexture9* MakeTexture(UINT width, UINT height, Texel texel);
    // An A8R8G8B8 cube texture of one level, face `face` filled by `texel(face, x, y)`.
    template <typename Texel>
    IDirect3DCubeTexture9* MakeCubeTexture(UINT edgeLength, Texel texel, D3DPOOL pool = D3DPOOL_MANAGED);

    // The back buffer's pixels as 0xAARRGGBB, row by row, via GetRenderTargetData.
    std::vector<DWORD> ReadBackBuffer();

    // The window SetUp makes: larger than the back buffer unless a suite sets these first.
    int windowWidth_ = 200;
    int windowHeight_ = 150;
    IDirect3D9* d3d_ = nullptr;
    IDirect3DDevice9* device_ = nullptr;
    Window* window_ = nullptr;
    IDirect3DVertexDeclaration9* declaration_ = nullptr;
    IDirect3DVertexBuffer9* vertices_ = nullptr;
    std::vector<nvesk::d3d9::ShaderProgramHandle> programs_;
};

// Fixture: the device of DeviceTest, created, on a window of the back buffer's size (so that the
// device can draw into the window).
class WindowSizedDeviceTest : public DeviceTest {
protected:
    void SetUp() override;
};

template <typename Texel>
IDirect3DTexture9* DeviceTest::MakeTexture(UINT width, UINT height, Texel texel) {
    IDirect3DTexture9* texture = nullptr;
    EXPECT_EQ(device_->CreateTexture(width, height, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
    D3DLOCKED_RECT locked;
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    for (UINT y = 0; y < height; ++y) {
        DWORD* row = reinterpret_cast<DWORD*>(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch);
        for (UINT x = 0; x < width; ++x) {
            row[x] = texel(x, y);
        }
    }
    EXPECT_EQ(texture->UnlockRect(0), D3D_OK);
    return texture;
}

template <typename Texel>
IDirect3DCubeTexture9* DeviceTest::MakeCubeTexture(UINT edgeLength, Texel texel, D3DPOOL pool) {
    IDirect3DCubeTexture9* texture = nullptr;
    EXPECT_EQ(device_->CreateCubeTexture(edgeLength, 1, 0, D3DFMT_A8R8G8B8, pool, &texture, nullptr), D3D_OK);
    for (int face = D3DCUBEMAP_FACE_POSITIVE_X; face <= D3DCUBEMAP_FACE_NEGATIVE_Z; ++face) {
        const D3DCUBEMAP_FACES which = static_cast<D3DCUBEMAP_FACES>(face);
        D3DLOCKED_RECT locked;
        EXPECT_EQ(texture->LockRect(which, 0, &locked, nullptr, 0), D3D_OK);
        for (UINT y = 0; y < edgeLength; ++y) {
            DWORD* row = reinterpret_cast<DWORD*>(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch);
            for (UINT x = 0; x < edgeLength; ++x) {
                row[x] = texel(which, x, y);
            }
        }
        EXPECT_EQ(texture->UnlockRect(which, 0), D3D_OK);
    }
    return texture;
}

}  // namespace D3D9Test

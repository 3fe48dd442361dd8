// Device loss as Direct3D 9 has it: lost on demand or when a full-screen window loses the focus,
// Reset refused while a default-pool resource lives, accepted once they are released.
#include "Direct3DTestSupport.h"

#include <PlatformTesting/Direct3D.h>
#include <PlatformTesting/WindowEvents.h>

namespace D3D9Test {
namespace {

using PlatformTesting::LoseDevice;

class DeviceLossTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        ASSERT_EQ(CreateDevice(), D3D_OK);
    }
};

TEST_F(DeviceLossTest, ResetIsRefusedWhileADefaultPoolTextureLivesAndDrawingResumesAfterIt) {
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(device_->CreateTexture(8, 8, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture, nullptr),
              D3D_OK);
    ASSERT_TRUE(LoseDevice(device_, 2));
    EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICELOST);
    EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICELOST);
    EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    // Rendering while lost is dropped without an error.
    EXPECT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0), D3D_OK);

    D3DPRESENT_PARAMETERS parameters = WindowedParameters(window_->Handle(), kWidth, kHeight);
    EXPECT_EQ(device_->Reset(&parameters), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    texture->Release();
    // Bindings do not keep resources alive, and a held back buffer blocks Reset like a texture.
    IDirect3DSurface9* backBuffer = nullptr;
    ASSERT_EQ(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer), D3D_OK);
    EXPECT_EQ(device_->Reset(&parameters), D3DERR_INVALIDCALL);
    backBuffer->Release();
    ASSERT_EQ(device_->Reset(&parameters), D3D_OK);
    EXPECT_EQ(parameters.BackBufferFormat, D3DFMT_X8R8G8B8);
    EXPECT_EQ(device_->TestCooperativeLevel(), D3D_OK);

    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0), D3D_OK);
    const nvesk::d3d9::ShaderProgramHandle program = SolidProgram();
    SetColor(program, 0, 1, 1, 1);
    ASSERT_EQ(nvesk::d3d9::UseShaderProgram(device_, program), D3D_OK);
    BindVertices(Quad(0, 0, 10, 10));
    ASSERT_EQ(device_->BeginScene(), D3D_OK);
    ASSERT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
    ASSERT_EQ(device_->EndScene(), D3D_OK);
    EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(ReadBackBuffer()[5 * kWidth + 5], 0xFF00FFFFu);
}

TEST_F(DeviceLossTest, ResetPutsEveryStateBackToItsDefault) {
    ASSERT_EQ(device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE), D3D_OK);
    ASSERT_EQ(device_->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR), D3D_OK);
    D3DVIEWPORT9 small {1, 1, 5, 5, 0.0f, 1.0f};
    ASSERT_EQ(device_->SetViewport(&small), D3D_OK);
    D3DPRESENT_PARAMETERS parameters = WindowedParameters(window_->Handle(), 40, 30);
    ASSERT_EQ(device_->Reset(&parameters), D3D_OK);
    DWORD value = 0;
    ASSERT_EQ(device_->GetRenderState(D3DRS_ALPHABLENDENABLE, &value), D3D_OK);
    EXPECT_EQ(value, static_cast<DWORD>(FALSE));
    ASSERT_EQ(device_->GetSamplerState(0, D3DSAMP_MINFILTER, &value), D3D_OK);
    EXPECT_EQ(value, static_cast<DWORD>(D3DTEXF_POINT));
    D3DVIEWPORT9 viewport {};
    ASSERT_EQ(device_->GetViewport(&viewport), D3D_OK);
    EXPECT_EQ(viewport.Width, 40u);
    EXPECT_EQ(viewport.Height, 30u);
}

TEST_F(DeviceLossTest, ResetWhileStillLostReportsTheLoss) {
    ASSERT_TRUE(LoseDevice(device_, 5));
    D3DPRESENT_PARAMETERS parameters = WindowedParameters(window_->Handle(), kWidth, kHeight);
    EXPECT_EQ(device_->Reset(&parameters), D3DERR_DEVICELOST);
}

TEST(DeviceLossFullScreen, FocusLossLosesAFullScreenDeviceWithoutAnyMessagePumping) {
    Window window;
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(d3d, nullptr);
    D3DDISPLAYMODE mode;
    ASSERT_EQ(d3d->EnumAdapterModes(D3DADAPTER_DEFAULT, D3DFMT_X8R8G8B8, 0, &mode), D3D_OK);
    D3DPRESENT_PARAMETERS parameters = WindowedParameters(window.Handle(), mode.Width, mode.Height);
    parameters.Windowed = FALSE;
    parameters.BackBufferFormat = D3DFMT_X8R8G8B8;
    parameters.FullScreen_RefreshRateInHz = mode.RefreshRate;
    IDirect3DDevice9* device = nullptr;
    ASSERT_EQ(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window.Handle(),
                                D3DCREATE_HARDWARE_VERTEXPROCESSING, &parameters, &device),
              D3D_OK);
    ASSERT_TRUE(PlatformTesting::GainFocus(window.Handle()));
    EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);
    ASSERT_TRUE(PlatformTesting::LoseFocus(window.Handle()));
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICELOST);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICELOST);
    ASSERT_TRUE(PlatformTesting::GainFocus(window.Handle()));
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    ASSERT_EQ(device->Reset(&parameters), D3D_OK);
    EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(device->Release(), 0u);
    EXPECT_EQ(d3d->Release(), 0u);
}

TEST(DeviceLossFullScreen, AWindowedDeviceIgnoresFocusLoss) {
    Window window;
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(d3d, nullptr);
    D3DPRESENT_PARAMETERS parameters = WindowedParameters(window.Handle(), 32, 32);
    IDirect3DDevice9* device = nullptr;
    ASSERT_EQ(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window.Handle(),
                                D3DCREATE_HARDWARE_VERTEXPROCESSING, &parameters, &device),
              D3D_OK);
    ASSERT_TRUE(PlatformTesting::LoseFocus(window.Handle()));
    EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(device->Release(), 0u);
    EXPECT_EQ(d3d->Release(), 0u);
}

}  // namespace
}  // namespace D3D9Test

// The Direct3D object: display modes, caps, device creation rules, reference counting, and the
// test hooks for injected failures and live-object counts.
#include "Direct3DTestSupport.h"

#include <PlatformTesting/Direct3D.h>

namespace D3D9Test {
namespace {

using PlatformTesting::Direct3DObject;
using PlatformTesting::LiveDirect3DObjects;

TEST(Direct3DCreate, RefusesAnotherSdkVersion) {
    EXPECT_EQ(Direct3DCreate9(31), nullptr);
    EXPECT_EQ(LiveDirect3DObjects(Direct3DObject::Direct3D), 0);
}

using Direct3DObjectTest = DeviceTest;

TEST_F(Direct3DObjectTest, ListsTheDisplayModesAsX8R8G8B8Only) {
    const UINT count = d3d_->GetAdapterModeCount(D3DADAPTER_DEFAULT, D3DFMT_X8R8G8B8);
    ASSERT_GT(count, 0u);
    EXPECT_EQ(d3d_->GetAdapterModeCount(D3DADAPTER_DEFAULT, D3DFMT_A8R8G8B8), 0u);
    D3DDISPLAYMODE desktop;
    ASSERT_EQ(d3d_->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &desktop), D3D_OK);
    bool desktopListed = false;
    for (UINT index = 0; index < count; ++index) {
        D3DDISPLAYMODE mode;
        ASSERT_EQ(d3d_->EnumAdapterModes(D3DADAPTER_DEFAULT, D3DFMT_X8R8G8B8, index, &mode), D3D_OK);
        EXPECT_EQ(mode.Format, D3DFMT_X8R8G8B8);
        EXPECT_GT(mode.RefreshRate, 0u);
        desktopListed = desktopListed || (mode.Width == desktop.Width && mode.Height == desktop.Height);
    }
    EXPECT_TRUE(desktopListed);
    D3DDISPLAYMODE mode;
    EXPECT_EQ(d3d_->EnumAdapterModes(D3DADAPTER_DEFAULT, D3DFMT_X8R8G8B8, count, &mode), D3DERR_INVALIDCALL);
    EXPECT_EQ(d3d_->EnumAdapterModes(D3DADAPTER_DEFAULT, D3DFMT_A8R8G8B8, 0, &mode), D3DERR_INVALIDCALL);
    EXPECT_EQ(d3d_->EnumAdapterModes(1, D3DFMT_X8R8G8B8, 0, &mode), D3DERR_INVALIDCALL);
}

TEST_F(Direct3DObjectTest, CapsReportShaderModelThree) {
    D3DCAPS9 caps;
    ASSERT_EQ(d3d_->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, &caps), D3D_OK);
    EXPECT_EQ(caps.VertexShaderVersion, static_cast<DWORD>(D3DVS_VERSION(3, 0)));
    EXPECT_EQ(caps.PixelShaderVersion, static_cast<DWORD>(D3DPS_VERSION(3, 0)));
    ASSERT_EQ(CreateDevice(), D3D_OK);
    D3DCAPS9 deviceCaps;
    ASSERT_EQ(device_->GetDeviceCaps(&deviceCaps), D3D_OK);
    EXPECT_GE(deviceCaps.PixelShaderVersion, static_cast<DWORD>(D3DPS_VERSION(2, 0)));
    EXPECT_EQ(deviceCaps.DeviceType, D3DDEVTYPE_HAL);
}

TEST_F(Direct3DObjectTest, CreateDeviceChecksTheVertexProcessingFlags) {
    D3DPRESENT_PARAMETERS parameters = WindowedParameters(window_->Handle(), 32, 32);
    const HWND window = window_->Handle();
    for (DWORD flags :
         {0ul, static_cast<unsigned long>(D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_SOFTWARE_VERTEXPROCESSING),
          static_cast<unsigned long>(D3DCREATE_PUREDEVICE | D3DCREATE_SOFTWARE_VERTEXPROCESSING)}) {
        EXPECT_EQ(d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, flags, &parameters, &device_),
                  D3DERR_INVALIDCALL)
            << flags;
        EXPECT_EQ(device_, nullptr);
    }
    for (DWORD flags :
         {D3DCREATE_HARDWARE_VERTEXPROCESSING, D3DCREATE_MIXED_VERTEXPROCESSING, D3DCREATE_SOFTWARE_VERTEXPROCESSING}) {
        parameters = WindowedParameters(window, 32, 32);
        ASSERT_EQ(d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, flags, &parameters, &device_), D3D_OK);
        D3DDEVICE_CREATION_PARAMETERS creation;
        ASSERT_EQ(device_->GetCreationParameters(&creation), D3D_OK);
        EXPECT_EQ(creation.BehaviorFlags, flags);
        ReleaseDevice();
    }
}

TEST_F(Direct3DObjectTest, CreateDeviceCompletesAndChecksThePresentationParameters) {
    D3DPRESENT_PARAMETERS parameters = WindowedParameters(window_->Handle(), 0, 0);
    parameters.BackBufferCount = 0;
    ASSERT_EQ(d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window_->Handle(),
                                 D3DCREATE_HARDWARE_VERTEXPROCESSING, &parameters, &device_),
              D3D_OK);
    EXPECT_EQ(parameters.BackBufferWidth, 200u);  // the window's client area
    EXPECT_EQ(parameters.BackBufferHeight, 150u);
    EXPECT_EQ(parameters.BackBufferFormat, D3DFMT_X8R8G8B8);
    EXPECT_EQ(parameters.BackBufferCount, 1u);
    ReleaseDevice();

    struct Case {
        const char* what;
        void (*change)(D3DPRESENT_PARAMETERS&);
    };
    const Case refused[] = {
        {"refresh rate in a window", [](D3DPRESENT_PARAMETERS& p) { p.FullScreen_RefreshRateInHz = 60; }},
        {"swap effect", [](D3DPRESENT_PARAMETERS& p) { p.SwapEffect = static_cast<D3DSWAPEFFECT>(7); }},
        {"copy with two buffers", [](D3DPRESENT_PARAMETERS& p) { p.BackBufferCount = 2; }},
        {"interval two in a window",
         [](D3DPRESENT_PARAMETERS& p) { p.PresentationInterval = D3DPRESENT_INTERVAL_TWO; }},
        {"depth format", [](D3DPRESENT_PARAMETERS& p) { p.AutoDepthStencilFormat = D3DFMT_A8R8G8B8; }},
        {"back buffer format", [](D3DPRESENT_PARAMETERS& p) { p.BackBufferFormat = D3DFMT_R5G6B5; }},
        {"full screen without a matching mode",
         [](D3DPRESENT_PARAMETERS& p) {
             p.Windowed = FALSE;
             p.BackBufferFormat = D3DFMT_X8R8G8B8;
             p.BackBufferWidth = 123;
             p.BackBufferHeight = 45;
         }},
        {"no window", [](D3DPRESENT_PARAMETERS& p) { p.hDeviceWindow = nullptr; }},
    };
    for (const Case& c : refused) {
        parameters = WindowedParameters(window_->Handle(), 32, 32);
        c.change(parameters);
        const HWND focus = parameters.hDeviceWindow;
        EXPECT_EQ(d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, focus, D3DCREATE_HARDWARE_VERTEXPROCESSING,
                                     &parameters, &device_),
                  D3DERR_INVALIDCALL)
            << c.what;
        EXPECT_EQ(device_, nullptr) << c.what;
    }
    EXPECT_EQ(LiveDirect3DObjects(Direct3DObject::Device), 0);
}

TEST_F(Direct3DObjectTest, FullScreenNeedsTheExactMode) {
    D3DDISPLAYMODE mode;
    ASSERT_EQ(d3d_->EnumAdapterModes(D3DADAPTER_DEFAULT, D3DFMT_X8R8G8B8, 0, &mode), D3D_OK);
    D3DPRESENT_PARAMETERS parameters = WindowedParameters(window_->Handle(), mode.Width, mode.Height);
    parameters.Windowed = FALSE;
    parameters.BackBufferFormat = D3DFMT_X8R8G8B8;
    parameters.FullScreen_RefreshRateInHz = mode.RefreshRate + 1;
    EXPECT_EQ(d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window_->Handle(),
                                 D3DCREATE_HARDWARE_VERTEXPROCESSING, &parameters, &device_),
              D3DERR_INVALIDCALL);
    parameters.FullScreen_RefreshRateInHz = mode.RefreshRate;
    ASSERT_EQ(d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window_->Handle(),
                                 D3DCREATE_HARDWARE_VERTEXPROCESSING, &parameters, &device_),
              D3D_OK);
    D3DDISPLAYMODE current;
    ASSERT_EQ(device_->GetDisplayMode(0, &current), D3D_OK);
    EXPECT_EQ(current.Width, mode.Width);
    EXPECT_EQ(current.Height, mode.Height);
}

TEST_F(Direct3DObjectTest, ObjectsCountReferencesAndLeaveNothingBehind) {
    ASSERT_EQ(CreateDevice(), D3D_OK);
    EXPECT_EQ(LiveDirect3DObjects(Direct3DObject::Device), 1);
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(device_->CreateTexture(4, 4, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
    EXPECT_EQ(texture->GetLevelCount(), 3u);
    IDirect3DSurface9* level = nullptr;
    ASSERT_EQ(texture->GetSurfaceLevel(1, &level), D3D_OK);
    EXPECT_EQ(texture->AddRef(), 3u);  // the level's reference is the texture's
    EXPECT_EQ(texture->Release(), 2u);
    IDirect3DTexture9* container = nullptr;
    ASSERT_EQ(level->GetContainer(IID_IDirect3DTexture9, reinterpret_cast<void**>(&container)), D3D_OK);
    EXPECT_EQ(container, texture);
    container->Release();
    IDirect3DBaseTexture9* base = nullptr;
    ASSERT_EQ(texture->QueryInterface(IID_IDirect3DBaseTexture9, reinterpret_cast<void**>(&base)), D3D_OK);
    base->Release();
    void* none = nullptr;
    EXPECT_EQ(texture->QueryInterface(IID_IDirect3DVertexBuffer9, &none), E_NOINTERFACE);
    EXPECT_EQ(LiveDirect3DObjects(Direct3DObject::Texture), 1);
    // A resource holds its device: releasing the application's device reference keeps it alive.
    EXPECT_EQ(device_->AddRef(), 3u);
    EXPECT_EQ(device_->Release(), 2u);
    level->Release();
    EXPECT_EQ(texture->Release(), 0u);
    EXPECT_EQ(LiveDirect3DObjects(Direct3DObject::Texture), 0);
    ReleaseDevice();
    EXPECT_EQ(d3d_->Release(), 0u);
    d3d_ = nullptr;
    EXPECT_EQ(LiveDirect3DObjects(), 0);
}

TEST_F(Direct3DObjectTest, InjectedFailuresHitTheNamedOperationForTheGivenCount) {
    ASSERT_EQ(CreateDevice(), D3D_OK);
    PlatformTesting::FailNextDirect3DCalls("IDirect3DDevice9::CreateTexture", E_OUTOFMEMORY, 2);
    IDirect3DTexture9* texture = nullptr;
    EXPECT_EQ(device_->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), E_OUTOFMEMORY);
    EXPECT_EQ(device_->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), E_OUTOFMEMORY);
    EXPECT_EQ(LiveDirect3DObjects(Direct3DObject::Texture), 0);
    ASSERT_EQ(device_->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);

    PlatformTesting::FailNextDirect3DCalls("IDirect3DSurface9::LockRect", D3DERR_WASSTILLDRAWING, 1);
    D3DLOCKED_RECT locked;
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3DERR_WASSTILLDRAWING);
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(texture->UnlockRect(0), D3D_OK);

    PlatformTesting::FailNextDirect3DCalls("IDirect3D9::CreateDevice", D3DERR_NOTAVAILABLE, 5);
    PlatformTesting::ClearDirect3DFailures();
    IDirect3DDevice9* second = nullptr;
    D3DPRESENT_PARAMETERS parameters = WindowedParameters(window_->Handle(), 16, 16);
    EXPECT_EQ(d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window_->Handle(),
                                 D3DCREATE_HARDWARE_VERTEXPROCESSING, &parameters, &second),
              D3D_OK);
    if (second != nullptr) {
        second->Release();
    }
    texture->Release();
}

}  // namespace
}  // namespace D3D9Test

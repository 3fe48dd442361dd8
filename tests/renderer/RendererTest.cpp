// The renderer on the real platform layer: start-up results and log lines, the loop's call order,
// focus, device loss and recovery, and the cleared back buffer.
#include "renderer/Renderer.h"

#include "../platform/d3d9/Direct3DTestSupport.h"
#include "RecordingScreen.h"
#include "lib/TextFormat.h"
#include "renderer/DeviceConfig.h"
#include "support/LogCapture.h"
#include "support/Scenario.h"
#include "support/TempDir.h"

#include <PlatformTesting/Direct3D.h>
#include <PlatformTesting/WindowEvents.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

using NVesk::NRenderer::Renderer;
using RendererTest::RecordingScreen;
using RendererTest::WithoutPauses;
using TestSupport::LogCapture;
using Lines = std::vector<std::wstring>;
using Calls = std::vector<std::string>;

namespace {

void UseWindowedConfig(std::uint32_t width = 64, std::uint32_t height = 48) {
    DeviceConfig = DeviceConfigRecord {};
    DeviceConfig.Width = width;
    DeviceConfig.Height = height;
    DeviceConfig.BackBufferFormat = D3DFMT_X8R8G8B8;
}

// A window title (and so class name) of its own for every test: a failed start leaves its window.
std::wstring UniqueTitle() {
    static int counter = 0;
    return L"RendererTest" + NLib::Int64ToString(++counter);
}

class RendererFixture : public ::testing::Test {
protected:
    void SetUp() override { UseWindowedConfig(); }

    void TearDown() override {
        PlatformTesting::ClearDirect3DFailures();
        if (Renderer::current != nullptr) {
            // A loop that ended on a failed frame leaves the device and window to its owner.
            Renderer::current->screen = nullptr;
            Renderer::current->ReleaseDirect3D();
            DestroyWindow(Renderer::current->hwnd);
        }
        Renderer::Release();
        EXPECT_EQ(PlatformTesting::LiveDirect3DObjects(), 0);
        // A window destroyed here posts its quit message: drop it, or the next run would end at once.
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {}
    }

    // Initialize + SetScreen + StartLoop.
    std::int32_t Run(RecordingScreen& screen) {
        EXPECT_EQ(Renderer::Initialize(UniqueTitle()), 0);
        if (Renderer::current == nullptr) return -1;
        Renderer::SetScreen(&screen);
        return Renderer::current->StartLoop();
    }

    static void CloseAfter(RecordingScreen& screen, int frames) {
        screen.onUpdate = [frames](int frame) {
            if (frame == frames) PostMessageW(Renderer::Window, WM_CLOSE, 0, 0);
        };
    }
};

struct StartFailure {
    const char* what;
    std::function<void()> arrange;
    std::int32_t code;
    std::wstring line;
};

}  // namespace

TEST_F(RendererFixture, EachStartFailureHasItsCodeAndLineAndLeavesNothingAlive) {
    const StartFailure failures[] = {
        {"no Direct3D", [] { PlatformTesting::FailNextDirect3DCalls("Direct3DCreate9", E_FAIL, 1); }, 3,
         L"-->NVesk::NRenderer::Renderer::CreateD3DObject >> Function \"Direct3DCreate9\" returned NULL"},
        {"full screen, no such mode",
         [] {
             DeviceConfig.FullScreen = true;
             DeviceConfig.Width = 1234;
             DeviceConfig.Height = 999;
             DeviceConfig.RefreshRate = 60;
         },
         4, L"-->NVesk::NRenderer::Renderer::CheckAndSetParameters >> Noone display mode match to config"},
        {"full screen, format 21",
         [] {
             DeviceConfig.FullScreen = true;
             DeviceConfig.BackBufferFormat = D3DFMT_A8R8G8B8;
         },
         4, L"-->NVesk::NRenderer::Renderer::CheckAndSetParameters >> Noone display mode match to config"},
        {"device refused",
         [] { PlatformTesting::FailNextDirect3DCalls("IDirect3D9::CreateDevice", D3DERR_NOTAVAILABLE, 1); }, 5,
         L"-->NVesk::NRenderer::Renderer::CreateDevice >> Function \"CreateDevice\" failed."},
        {"device type 2", [] { DeviceConfig.DeviceType = 2; }, 6,
         L"-->NVesk::NRenderer::Renderer::CreateDevice >> Bad device type."},
        {"vertex processing 3", [] { DeviceConfig.VertexProcessing = 3; }, 7,
         L"-->NVesk::NRenderer::Renderer::CreateDevice >> Bad vertex processing."},
    };
    for (const StartFailure& failure : failures) {
        SCOPED_TRACE(failure.what);
        UseWindowedConfig();
        failure.arrange();
        const LogCapture log;
        EXPECT_EQ(Renderer::Initialize(UniqueTitle()), failure.code);
        EXPECT_EQ(log.Messages(), (Lines {L"Initializing Renderer", failure.line}));
        EXPECT_EQ(Renderer::instance, nullptr);
        EXPECT_EQ(Renderer::current, nullptr);
        EXPECT_EQ(Renderer::Device, nullptr);
        EXPECT_EQ(PlatformTesting::LiveDirect3DObjects(), 0);
        PlatformTesting::ClearDirect3DFailures();
    }
}

TEST_F(RendererFixture, FullScreenRefreshRateMustMatchExactly) {
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(d3d, nullptr);
    ASSERT_GT(d3d->GetAdapterModeCount(D3DADAPTER_DEFAULT, D3DFMT_X8R8G8B8), 0u);
    D3DDISPLAYMODE mode;
    ASSERT_EQ(d3d->EnumAdapterModes(D3DADAPTER_DEFAULT, D3DFMT_X8R8G8B8, 0, &mode), D3D_OK);
    d3d->Release();

    UseWindowedConfig(mode.Width, mode.Height);
    DeviceConfig.FullScreen = true;
    DeviceConfig.RefreshRate = mode.RefreshRate + 1;
    EXPECT_EQ(Renderer::Initialize(UniqueTitle()), 4);

    DeviceConfig.RefreshRate = mode.RefreshRate;
    DeviceConfig.VSync = true;
    ASSERT_EQ(Renderer::Initialize(UniqueTitle()), 0);
    const D3DPRESENT_PARAMETERS& p = Renderer::current->presentParams;
    EXPECT_FALSE(p.Windowed);
    EXPECT_EQ(p.BackBufferWidth, mode.Width);
    EXPECT_EQ(p.BackBufferHeight, mode.Height);
    EXPECT_EQ(p.BackBufferFormat, D3DFMT_X8R8G8B8);
    EXPECT_EQ(p.FullScreen_RefreshRateInHz, mode.RefreshRate);
    EXPECT_EQ(p.PresentationInterval, static_cast<UINT>(D3DPRESENT_INTERVAL_DEFAULT));
    Renderer::current->ReleaseDirect3D();
    DestroyWindow(Renderer::current->hwnd);
}

TEST_F(RendererFixture, DeviceTypeTwoNeverAsksForADevice) {
    // An armed failure that is still armed afterwards proves that no device was asked for.
    PlatformTesting::FailNextDirect3DCalls("IDirect3D9::CreateDevice", D3DERR_NOTAVAILABLE, 1);
    DeviceConfig.DeviceType = 2;
    EXPECT_EQ(Renderer::Initialize(UniqueTitle()), 6);
    DeviceConfig.DeviceType = 0;
    EXPECT_EQ(Renderer::Initialize(UniqueTitle()), 5);
}

TEST_F(RendererFixture, WindowedParametersPublishedStateAndSecondInitialize) {
    UseWindowedConfig(80, 40);
    for (bool vsync : {false, true}) {
        SCOPED_TRACE(vsync);
        DeviceConfig.VSync = vsync;
        ASSERT_EQ(Renderer::Initialize(UniqueTitle()), 0);
        const D3DPRESENT_PARAMETERS& p = Renderer::current->presentParams;
        EXPECT_TRUE(p.Windowed);
        EXPECT_EQ(p.BackBufferWidth, 80u);
        EXPECT_EQ(p.BackBufferHeight, 40u);
        EXPECT_EQ(p.BackBufferCount, 1u);
        EXPECT_EQ(p.SwapEffect, D3DSWAPEFFECT_COPY);
        EXPECT_TRUE(p.EnableAutoDepthStencil);
        EXPECT_EQ(p.AutoDepthStencilFormat, D3DFMT_D24X8);
        EXPECT_EQ(p.FullScreen_RefreshRateInHz, 0u);
        EXPECT_EQ(p.hDeviceWindow, Renderer::current->hwnd);
        EXPECT_EQ(p.PresentationInterval, vsync ? static_cast<UINT>(D3DPRESENT_INTERVAL_DEFAULT)
                                                : static_cast<UINT>(D3DPRESENT_INTERVAL_IMMEDIATE));
        EXPECT_EQ(Renderer::ScreenWidth, 80);
        EXPECT_EQ(Renderer::ScreenHeight, 40);
        EXPECT_FLOAT_EQ(Renderer::AspectRatio, 2.0f);
        EXPECT_EQ(Renderer::Device, Renderer::current->device);
        EXPECT_EQ(Renderer::Window, Renderer::current->hwnd);
        EXPECT_EQ(Renderer::Caps.VertexShaderVersion, D3DVS_VERSION(3, 0));

        Renderer* first = Renderer::current;
        Renderer::current = nullptr;
        const LogCapture log;
        EXPECT_EQ(Renderer::Initialize(L"Another"), 2);
        EXPECT_TRUE(log.Messages().empty());
        EXPECT_EQ(Renderer::current, first);

        Renderer::current->ReleaseDirect3D();
        EXPECT_EQ(Renderer::Device, nullptr);
        DestroyWindow(Renderer::current->hwnd);
        Renderer::Release();
    }
}

TEST_F(RendererFixture, FailedInitResourcesReleasesAndDestroysTheUnshownWindow) {
    for (bool initFails : {true, false}) {
        SCOPED_TRACE(initFails ? "InitResources fails" : "RestoreResources fails");
        RecordingScreen screen;
        (initFails ? screen.initResult : screen.restoreResult) = 3;
        const LogCapture log;
        ASSERT_EQ(Renderer::Initialize(UniqueTitle()), 0);
        const HWND window = Renderer::current->hwnd;
        Renderer::SetScreen(&screen);
        EXPECT_EQ(Renderer::current->StartLoop(), 8);
        EXPECT_EQ(screen.calls, initFails ? (Calls {"Init", "Invalidate", "Release"})
                                          : (Calls {"Init", "Restore", "Invalidate", "Release"}));
        const std::wstring failed = initFails ? L"InitResources()" : L"RestoreResources()";
        EXPECT_EQ(log.Messages(),
                  (Lines {L"Initializing Renderer", L"NVesk::NRenderer::Renderer::StartLoop >> Function \"" + failed +
                                                        L"\" has returned NONZERO value."}));
        // Destroyed already, and never shown (showing gives the focus, which reaches Pause).
        SetLastError(0);
        EXPECT_FALSE(DestroyWindow(window));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
        EXPECT_EQ(Renderer::current->device, nullptr);
        EXPECT_EQ(PlatformTesting::LiveDirect3DObjects(), 0);
        Renderer::Release();
    }
}

TEST_F(RendererFixture, ReleaseFailuresAreLoggedWithTheirCodesAndDoNotStopTheRelease) {
    RecordingScreen screen;
    screen.invalidateResult = -2;
    screen.releaseResult = 17;
    CloseAfter(screen, 1);
    const LogCapture log;
    EXPECT_EQ(Run(screen), 0);
    const std::wstring prefix =
        L"NVesk::NRenderer::Renderer::ReleaseDirect3D >> Function \"ReleaseResources\" has returned NONZERO value. "
        L"Error code: ";
    EXPECT_EQ(log.Messages(), (Lines {L"Initializing Renderer", prefix + L"-2", prefix + L"17"}));
    EXPECT_EQ(PlatformTesting::LiveDirect3DObjects(), 0);
}

TEST_F(RendererFixture, NormalRunEndsOnWmCloseWithNoFrameAfterTheRelease) {
    RecordingScreen screen;
    CloseAfter(screen, 3);
    EXPECT_EQ(Run(screen), 0);
    EXPECT_EQ(WithoutPauses(screen.calls), (Calls {"Init", "Restore", "Draw", "Update", "Draw", "Update", "Draw",
                                                   "Update", "Invalidate", "Release"}));
    EXPECT_FALSE(Renderer::current->running);
    EXPECT_EQ(Renderer::current->device, nullptr);
    EXPECT_EQ(PlatformTesting::LiveDirect3DObjects(), 0);
}

TEST_F(RendererFixture, CloseRequestedInsideAFrameTakesEffectWhenTheFrameIsOver) {
    RecordingScreen screen;
    bool deviceKeptThroughTheDispatch = false;
    screen.onUpdate = [&](int frame) {
        if (frame != 2) return;
        // A message box's own loop inside the frame takes the close request and dispatches it.
        PostMessageW(Renderer::Window, WM_CLOSE, 0, 0);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
        deviceKeptThroughTheDispatch = Renderer::Device != nullptr && Renderer::current->device != nullptr;
    };
    EXPECT_EQ(Run(screen), 0);
    EXPECT_TRUE(deviceKeptThroughTheDispatch);
    EXPECT_EQ(WithoutPauses(screen.calls),
              (Calls {"Init", "Restore", "Draw", "Update", "Draw", "Update", "Invalidate", "Release"}));
    EXPECT_FALSE(Renderer::current->running);
    EXPECT_EQ(PlatformTesting::LiveDirect3DObjects(), 0);
}

TEST_F(RendererFixture, WithoutAConfiguredSizeTheBackBuffersOwnSizeIsPublished) {
    UseWindowedConfig(0, 0);
    ASSERT_EQ(Renderer::Initialize(UniqueTitle()), 0);
    const D3DPRESENT_PARAMETERS& p = Renderer::current->presentParams;
    EXPECT_GT(p.BackBufferWidth, 0u);
    EXPECT_GT(p.BackBufferHeight, 0u);
    EXPECT_EQ(Renderer::ScreenWidth, static_cast<std::int32_t>(p.BackBufferWidth));
    EXPECT_EQ(Renderer::ScreenHeight, static_cast<std::int32_t>(p.BackBufferHeight));
    EXPECT_FLOAT_EQ(Renderer::AspectRatio,
                    static_cast<float>(p.BackBufferWidth) / static_cast<float>(p.BackBufferHeight));
    Renderer::current->ReleaseDirect3D();
    DestroyWindow(Renderer::current->hwnd);
}

TEST_F(RendererFixture, LosingTheFocusPausesDrawingUntilItReturns) {
    RecordingScreen screen;
    int framesWhenPaused = -1;
    screen.onUpdate = [&](int frame) {
        if (frame == 2) PlatformTesting::LoseFocus(Renderer::Window);
        if (frame == 4) PostMessageW(Renderer::Window, WM_CLOSE, 0, 0);
    };
    screen.onPause = [&](bool paused) {
        if (!paused || framesWhenPaused >= 0) return;
        framesWhenPaused = screen.frames;
        // Give the focus back and wake the blocked wait with a message of our own.
        PlatformTesting::GainFocus(Renderer::Window);
        PostMessageW(Renderer::Window, WM_APP, 0, 0);
    };
    EXPECT_EQ(Run(screen), 0);
    EXPECT_EQ(framesWhenPaused, 2);
    // Nothing is drawn between losing the focus and getting it back.
    const auto lost = std::find(screen.calls.begin(), screen.calls.end(), "Pause(true)");
    ASSERT_NE(lost, screen.calls.end());
    const auto regained = std::find(lost, screen.calls.end(), "Pause(false)");
    ASSERT_NE(regained, screen.calls.end());
    EXPECT_EQ(std::find(lost, regained, "Draw"), regained);
    EXPECT_EQ(screen.frames, 4);
}

TEST_F(RendererFixture, LostDeviceIsResetAndDrawingGoesOn) {
    RecordingScreen screen;
    screen.makesDefaultPoolTexture = true;
    screen.onUpdate = [](int frame) {
        if (frame == 2) PlatformTesting::LoseDevice(Renderer::Device, 3);
        if (frame == 4) PostMessageW(Renderer::Window, WM_CLOSE, 0, 0);
    };
    const LogCapture log;
    EXPECT_EQ(Run(screen), 0);
    EXPECT_EQ(WithoutPauses(screen.calls),
              (Calls {"Init", "Restore", "Draw", "Update", "Draw", "Update", "Invalidate", "Restore", "Draw", "Update",
                      "Draw", "Update", "Invalidate", "Release"}));
    EXPECT_EQ(log.Messages(), (Lines {L"Initializing Renderer", L"Resetting device"}));
}

TEST_F(RendererFixture, FailedResetEndsTheLoopWithTheDevicesCode) {
    const std::wstring s3 = L"NVesk::NRenderer::Renderer::StartLoop >> Function \"Draw\" returned nonzero value";
    const std::wstring s4 = L"NVesk::NRenderer::Renderer::Draw >> Function \"Reset\" has returned an error: ";
    {
        RecordingScreen screen;
        screen.onUpdate = [](int frame) {
            if (frame != 1) return;
            PlatformTesting::FailNextDirect3DCalls("IDirect3DDevice9::Reset", D3DERR_DRIVERINTERNALERROR, 1);
            PlatformTesting::LoseDevice(Renderer::Device);
        };
        const LogCapture log;
        EXPECT_EQ(Run(screen), D3DERR_DRIVERINTERNALERROR);
        EXPECT_EQ(log.Messages(), (Lines {L"Initializing Renderer", L"Resetting device", s4 + L"88760827", s3}));
        // The loop's end still releases the screen, the device and the window.
        EXPECT_EQ(WithoutPauses(screen.calls),
                  (Calls {"Init", "Restore", "Draw", "Update", "Invalidate", "Invalidate", "Release"}));
        EXPECT_EQ(Renderer::current->device, nullptr);
        EXPECT_EQ(Renderer::current->d3d, nullptr);
        EXPECT_EQ(PlatformTesting::LiveDirect3DObjects(), 0);
        SetLastError(0);
        EXPECT_FALSE(DestroyWindow(Renderer::current->hwnd));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
        TearDown();
    }
    {
        // A screen that keeps a default-pool texture through InvalidateResources: Direct3D refuses the reset.
        RecordingScreen screen;
        screen.makesDefaultPoolTexture = true;
        screen.forgetsTexture = true;
        screen.onUpdate = [](int frame) {
            if (frame == 1) PlatformTesting::LoseDevice(Renderer::Device);
        };
        const LogCapture log;
        EXPECT_EQ(Run(screen), D3DERR_INVALIDCALL);
        EXPECT_EQ(log.Messages(), (Lines {L"Initializing Renderer", L"Resetting device", s4 + L"8876086C", s3}));
        // Its release freed the texture before the device went.
        EXPECT_EQ(PlatformTesting::LiveDirect3DObjects(), 0);
    }
}

TEST_F(RendererFixture, ScreenThatDrawsNothingShowsTheClearColour) {
    RecordingScreen screen;
    std::vector<DWORD> pixels;
    screen.onUpdate = [&](int frame) {
        pixels = D3D9Test::ReadBackBuffer(Renderer::Device);
        if (frame == 2) PostMessageW(Renderer::Window, WM_CLOSE, 0, 0);
    };
    EXPECT_EQ(Run(screen), 0);
    ASSERT_EQ(pixels.size(), 64u * 48u);
    for (size_t i = 0; i < pixels.size(); ++i) {
        ASSERT_EQ(pixels[i] & 0x00FFFFFF, 0x000080u) << "pixel " << i;
    }
}

NVESK_SCENARIO(renderer_without_display) {
    // No display: the window cannot be made.
    const TestSupport::WorkingDirectory here(argument);
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    NLib::Logger::Init(L"myLog.log");
    UseWindowedConfig();
    return Renderer::Initialize(L"NoDisplay") == 1 && Renderer::instance == nullptr ? 0 : 1;
}

TEST(RendererWindow, NoWindowMeansResultOneAndItsLine) {
    TestSupport::TempDir dir;
    ASSERT_EQ(TestSupport::RunScenario("renderer_without_display", dir.Path().string()), 0);
    const std::vector<std::uint8_t> bytes = TestSupport::ReadBytes(dir.Path() / "myLog.log");
    std::wstring text;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2)
        text += static_cast<wchar_t>(bytes[i] | (bytes[i + 1] << 8));
    EXPECT_NE(text.find(L"    Initializing Renderer\r\n"), std::wstring::npos);
    EXPECT_NE(text.find(L"    -->NVesk::NRenderer::Renderer::InitWindow >> Cannot create Window, hwnd is NULL\r\n"),
              std::wstring::npos);
}

NVESK_SCENARIO(renderer_alive_at_exit) {
    // The static owner destroys a renderer nobody released, after the window layer's own statics.
    const TestSupport::WorkingDirectory here(argument);
    NLib::Logger::Init(L"myLog.log");
    UseWindowedConfig();
    return Renderer::Initialize(L"AliveAtExit");
}

TEST(RendererWindow, RendererStillAliveAtExitIsDestroyedCleanly) {
    TestSupport::TempDir dir;
    EXPECT_EQ(TestSupport::RunScenario("renderer_alive_at_exit", dir.Path().string()), 0);
}

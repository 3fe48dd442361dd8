#include "renderer/Renderer.h"

#include "lib/Logger.h"
#include "lib/TextFormat.h"
#include "renderer/DeviceConfig.h"
#include "renderer/RendererScreen.h"

#include <cstring>

namespace NVesk {
namespace NRenderer {

using NLib::Logger;

Renderer* Renderer::instance = nullptr;
Renderer* Renderer::current = nullptr;
IDirect3DDevice9* Renderer::Device = nullptr;
HWND Renderer::Window = nullptr;
std::int32_t Renderer::ScreenWidth = 0;
std::int32_t Renderer::ScreenHeight = 0;
float Renderer::AspectRatio = 0.0f;
D3DCAPS9 Renderer::Caps;

// Deletes a renderer still alive at process exit, without logging (the log may be gone by then).
class RendererOwner {
public:
    ~RendererOwner() {
        delete Renderer::instance;
        Renderer::instance = nullptr;
        Renderer::current = nullptr;
    }
};

namespace {

RendererOwner g_rendererOwner;

void LogReleaseFailure(std::int32_t result) {
    if (result == 0) return;
    Logger::Write(
        L"NVesk::NRenderer::Renderer::ReleaseDirect3D >> Function \"ReleaseResources\" has returned "
        L"NONZERO value. Error code: " +
            NLib::Int64ToString(result),
        true);
}

}  // namespace

Renderer::Renderer()
    : d3d(nullptr),
      device(nullptr),
      hwnd(nullptr),
      paused(false),
      running(false),
      lastError(0),
      screen(nullptr),
      m_inFrame(false),
      m_closeRequested(false) {
    std::memset(&caps, 0, sizeof caps);
    std::memset(&presentParams, 0, sizeof presentParams);
}

Renderer::~Renderer() {
    UnregisterClassW(windowName.c_str(), GetModuleHandleW(nullptr));
}

std::int32_t Renderer::Initialize(const std::wstring& title) {
    if (instance != nullptr) {
        current = instance;
        return 2;
    }
    Logger::Write(L"Initializing Renderer", false);
    instance = new Renderer();

    std::int32_t result = instance->InitWindow(title, static_cast<std::int32_t>(DeviceConfig.Width),
                                               static_cast<std::int32_t>(DeviceConfig.Height));
    if (result == 0) result = instance->CreateD3DObject();
    D3DPRESENT_PARAMETERS parameters;
    std::memset(&parameters, 0, sizeof parameters);
    if (result == 0) result = instance->CheckAndSetParameters(parameters);
    if (result == 0) result = instance->CreateDevice(parameters);
    if (result == 0) {
        current = instance;
        return 0;
    }

    // Nothing survives a failed start but the window (if made) and the log lines.
    instance->ReleaseDirect3D();
    delete instance;
    instance = nullptr;
    return result;
}

std::int32_t Renderer::Release() {
    Logger::Write(L"Releasing Renderer", false);
    delete instance;
    instance = nullptr;
    current = nullptr;
    return 0;
}

void Renderer::SetScreen(RendererScreen* screen) {
    if (current != nullptr) current->screen = screen;
}

std::int32_t Renderer::InitWindow(const std::wstring& title, std::int32_t width, std::int32_t height) {
    windowName = title;

    WNDCLASSEXW windowClass;
    std::memset(&windowClass, 0, sizeof windowClass);
    windowClass.cbSize = sizeof(WNDCLASSEXW);
    windowClass.style = CS_CLASSDC;
    windowClass.lpfnWndProc = RendererWindowProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = windowName.c_str();
    RegisterClassExW(&windowClass);

    hwnd =
        CreateWindowExW(0, windowName.c_str(), windowName.c_str(), WS_SYSMENU | WS_MINIMIZEBOX, CW_USEDEFAULT,
                        CW_USEDEFAULT, width, height, GetDesktopWindow(), nullptr, GetModuleHandleW(nullptr), nullptr);
    if (hwnd == nullptr) {
        Logger::Write(L"-->NVesk::NRenderer::Renderer::InitWindow >> Cannot create Window, hwnd is NULL", true);
        return 1;
    }
    return 0;
}

std::int32_t Renderer::CreateD3DObject() {
    d3d = Direct3DCreate9(D3D_SDK_VERSION);
    if (d3d == nullptr) {
        Logger::Write(L"-->NVesk::NRenderer::Renderer::CreateD3DObject >> Function \"Direct3DCreate9\" returned NULL",
                      false);
        return 3;
    }
    // Newest modes first within each format: A8R8G8B8 (none on a real adapter), then X8R8G8B8.
    for (D3DFORMAT format : {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8}) {
        const UINT count = d3d->GetAdapterModeCount(D3DADAPTER_DEFAULT, format);
        for (UINT index = count; index-- > 0;) {
            D3DDISPLAYMODE mode;
            std::memset(&mode, 0, sizeof mode);
            d3d->EnumAdapterModes(D3DADAPTER_DEFAULT, format, index, &mode);
            displayModes.push_back(mode);
        }
    }
    return 0;
}

std::int32_t Renderer::CheckAndSetParameters(D3DPRESENT_PARAMETERS& parameters) {
    if (DeviceConfig.FullScreen) {
        bool matched = false;
        for (const D3DDISPLAYMODE& mode : displayModes) {
            if (static_cast<std::uint32_t>(mode.Format) == DeviceConfig.BackBufferFormat &&
                mode.RefreshRate == DeviceConfig.RefreshRate && mode.Width == DeviceConfig.Width &&
                mode.Height == DeviceConfig.Height) {
                if (DeviceConfig.BackBufferFormat == D3DFMT_A8R8G8B8 ||
                    DeviceConfig.BackBufferFormat == D3DFMT_X8R8G8B8) {
                    parameters.BackBufferFormat = mode.Format;
                }
                parameters.FullScreen_RefreshRateInHz = DeviceConfig.RefreshRate;
                parameters.BackBufferWidth = DeviceConfig.Width;
                parameters.BackBufferHeight = DeviceConfig.Height;
                matched = true;
            }
        }
        if (!matched) {
            Logger::Write(L"-->NVesk::NRenderer::Renderer::CheckAndSetParameters >> Noone display mode match to config",
                          false);
            return 4;
        }
    } else {
        parameters.BackBufferWidth = DeviceConfig.Width;
        parameters.BackBufferHeight = DeviceConfig.Height;
        parameters.BackBufferFormat = D3DFMT_UNKNOWN;
        parameters.FullScreen_RefreshRateInHz = 0;
    }
    parameters.EnableAutoDepthStencil = TRUE;
    parameters.AutoDepthStencilFormat = D3DFMT_D24X8;
    parameters.BackBufferCount = 1;
    parameters.SwapEffect = D3DSWAPEFFECT_COPY;
    parameters.hDeviceWindow = hwnd;
    parameters.Windowed = DeviceConfig.FullScreen ? FALSE : TRUE;
    parameters.PresentationInterval = DeviceConfig.VSync ? D3DPRESENT_INTERVAL_DEFAULT : D3DPRESENT_INTERVAL_IMMEDIATE;
    return 0;
}

std::int32_t Renderer::CreateDevice(D3DPRESENT_PARAMETERS& parameters) {
    D3DDEVTYPE deviceType = D3DDEVTYPE_HAL;
    switch (DeviceConfig.DeviceType) {
    case 0:
        deviceType = D3DDEVTYPE_HAL;
        break;
    case 1:
        deviceType = D3DDEVTYPE_REF;
        break;
    default:
        Logger::Write(L"-->NVesk::NRenderer::Renderer::CreateDevice >> Bad device type.", false);
        return 6;
    }
    DWORD behaviour = 0;
    switch (DeviceConfig.VertexProcessing) {
    case 0:
        behaviour = D3DCREATE_HARDWARE_VERTEXPROCESSING;
        break;
    case 1:
        behaviour = D3DCREATE_MIXED_VERTEXPROCESSING;
        break;
    case 2:
        behaviour = D3DCREATE_SOFTWARE_VERTEXPROCESSING;
        break;
    default:
        // No behaviour flag fits: no device is asked for, and the start fails with its own code.
        Logger::Write(L"-->NVesk::NRenderer::Renderer::CreateDevice >> Bad vertex processing.", false);
        return 7;
    }
    if (FAILED(d3d->CreateDevice(D3DADAPTER_DEFAULT, deviceType, hwnd, behaviour, &parameters, &device))) {
        device = nullptr;
        Logger::Write(L"-->NVesk::NRenderer::Renderer::CreateDevice >> Function \"CreateDevice\" failed.", false);
        return 5;
    }
    device->GetDeviceCaps(&caps);
    presentParams = parameters;

    // The size the device actually got: the configured one, or the window's client area when the
    // configuration left it 0 (no config.cfg), so that nothing divides by a zero height.
    ScreenWidth = static_cast<std::int32_t>(parameters.BackBufferWidth);
    ScreenHeight = static_cast<std::int32_t>(parameters.BackBufferHeight);
    AspectRatio = static_cast<float>(parameters.BackBufferWidth) / static_cast<float>(parameters.BackBufferHeight);
    Device = device;
    Window = hwnd;
    Caps = caps;
    return 0;
}

namespace {
constexpr DWORD kSamplerStages = 16;  // pixel shader samplers of shader model 2.0 and 3.0
}  // namespace

void Renderer::ReleaseDirect3D() {
    if (screen != nullptr) {
        LogReleaseFailure(screen->InvalidateResources());
        LogReleaseFailure(screen->ReleaseResources());
    }
    if (device != nullptr) {
        // A texture still set on the device holds a reference to it, and the device one to the
        // texture: a drawing call that failed half-way must not keep both alive.
        for (DWORD stage = 0; stage < kSamplerStages; ++stage)
            device->SetTexture(stage, nullptr);
        device->Release();
        device = nullptr;
        // The published pointer would dangle: nothing may draw through it after the release.
        Device = nullptr;
    }
    if (d3d != nullptr) {
        d3d->Release();
        d3d = nullptr;
    }
}

}  // namespace NRenderer
}  // namespace NVesk

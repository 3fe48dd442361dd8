#include "ToolDevice.h"

namespace NVeskTools {

namespace {

const wchar_t kClassName[] = L"NVeskCheckingTool";

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

ToolDevice::~ToolDevice() {
    Release();
}

bool ToolDevice::Create() {
    WNDCLASSEXW windowClass {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = WindowProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kClassName;
    registered_ = RegisterClassExW(&windowClass) != 0;
    // Never shown: the device draws nothing, it only compiles and holds what the tools load.
    window_ = CreateWindowExW(0, kClassName, L"NVesk check", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 64, 48,
                              nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    d3d_ = window_ != nullptr ? Direct3DCreate9(D3D_SDK_VERSION) : nullptr;
    if (d3d_ != nullptr) {
        // The window's size and the display's format; a depth buffer, which passes may enable.
        D3DPRESENT_PARAMETERS parameters {};
        parameters.Windowed = TRUE;
        parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
        parameters.hDeviceWindow = window_;
        parameters.EnableAutoDepthStencil = TRUE;
        parameters.AutoDepthStencilFormat = D3DFMT_D24S8;
        if (FAILED(d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window_, D3DCREATE_HARDWARE_VERTEXPROCESSING,
                                      &parameters, &device_))) {
            device_ = nullptr;
        }
    }
    if (device_ == nullptr) Release();
    return device_ != nullptr;
}

void ToolDevice::Release() {
    if (device_ != nullptr) device_->Release();
    if (d3d_ != nullptr) d3d_->Release();
    if (window_ != nullptr) DestroyWindow(window_);
    if (registered_) UnregisterClassW(kClassName, GetModuleHandleW(nullptr));
    device_ = nullptr;
    d3d_ = nullptr;
    window_ = nullptr;
    registered_ = false;
}

}  // namespace NVeskTools

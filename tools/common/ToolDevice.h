// The Direct3D device the checking tools create effects and meshes on: a small hidden window of
// the window layer and a windowed HAL device, both given back when the object goes.
#pragma once

#include <d3d9.h>
#include <windows.h>

namespace NVeskTools {

class ToolDevice {
public:
    ToolDevice() = default;
    ~ToolDevice();
    ToolDevice(const ToolDevice&) = delete;
    ToolDevice& operator=(const ToolDevice&) = delete;

    // False, with nothing left to release, when no window or device can be made (no display).
    bool Create();
    IDirect3DDevice9* Get() const { return device_; }

private:
    void Release();

    HWND window_ = nullptr;
    bool registered_ = false;
    IDirect3D9* d3d_ = nullptr;
    IDirect3DDevice9* device_ = nullptr;
};

}  // namespace NVeskTools

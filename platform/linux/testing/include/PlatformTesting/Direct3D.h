// Test hooks for the Direct3D 9 layer: injected failures, device loss on demand, and live objects of
// the Direct3D 9, D3DX 9 and DirectInput 8 layers.
#pragma once

#include <d3d9.h>

#include <functional>

namespace PlatformTesting {

// The next `count` calls of `operation` ("IDirect3DDevice9::CreateTexture",
// "IDirect3DVertexBuffer9::Lock", "IDirect3D9::CreateDevice", ...) return `result` without doing
// anything. count 0 disarms the operation.
void FailNextDirect3DCalls(const char* operation, HRESULT result, int count);
void ClearDirect3DFailures();

// The device is lost now, as if its full-screen window had lost the focus: Present reports
// D3DERR_DEVICELOST, and TestCooperativeLevel reports it for `lostPolls` more calls (and for as
// long as a full-screen device's window has no focus) before D3DERR_DEVICENOTRESET.
// False when `device` is not a live device of ours.
bool LoseDevice(IDirect3DDevice9* device, UINT lostPolls = 0);

// Devices created from now on report these shader versions in their caps (D3DVS_VERSION(1, 1),
// D3DPS_VERSION(1, 4), ...); 0 and 0 bring back the real ones.
void ReportShaderVersions(DWORD vertexShaderVersion, DWORD pixelShaderVersion);

// How many programs with a generated fixed-function stage the device has linked: drawing again
// with the same fixed-function state links none. -1 when `device` is not a live device of ours.
int FixedFunctionProgramLinks(IDirect3DDevice9* device);

// While a watcher lives, `onPresent` runs at the start of every IDirect3DDevice9::Present, with the
// device and the finished frame still in its back buffer: a test reads the frame back there, or
// injects the input that the next frame will see. One watcher at a time.
class PresentWatcher {
public:
    explicit PresentWatcher(std::function<void(IDirect3DDevice9* device)> onPresent);
    ~PresentWatcher();
    PresentWatcher(const PresentWatcher&) = delete;
    PresentWatcher& operator=(const PresentWatcher&) = delete;

private:
    std::function<void(IDirect3DDevice9* device)> onPresent_;
};

// Direct3D 9 leaves the texels of a new texture undefined; ours start at zero. While a fill lives,
// every level of every new texture starts as `texel` (0xAARRGGBB for A8R8G8B8) instead, so a test
// sees what a texture that nothing wrote would show. One at a time.
class NewTextureFill {
public:
    explicit NewTextureFill(DWORD texel);
    ~NewTextureFill();
    NewTextureFill(const NewTextureFill&) = delete;
    NewTextureFill& operator=(const NewTextureFill&) = delete;
};

enum class Direct3DObject {
    Direct3D,
    Device,
    Texture,
    CubeTexture,
    Surface,  // offscreen plain surfaces (texture levels and back buffers live in their container)
    VertexBuffer,
    IndexBuffer,
    VertexDeclaration,
    // D3DX 9
    Effect,
    Mesh,
    Buffer,
    // DirectInput 8
    DirectInput,
    InputDevice
};

// Objects of a kind that exist: held by the application, or only by a device's binding.
int LiveDirect3DObjects(Direct3DObject type);
// All kinds together, D3DX and DirectInput objects included.
int LiveDirect3DObjects();

}  // namespace PlatformTesting

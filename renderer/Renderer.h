// The program's one window, Direct3D object and device, the main loop and the window procedure.
#pragma once

#include <d3d9.h>
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace NVesk {
namespace NRenderer {

class RendererScreen;

class Renderer {
public:
    // Creates the renderer, its window and its device from DeviceConfig. 0; 2 a renderer already
    // exists; otherwise the code of the failing step: 1 window, 3 Direct3D object, 4 no display mode
    // matches, 5 device refused, 6 bad device type, 7 bad vertex processing.
    static std::int32_t Initialize(const std::wstring& title);
    // Destroys the renderer (its window class is unregistered). Always 0.
    static std::int32_t Release();
    // Borrows the screen the loop will run; never deleted by the renderer.
    static void SetScreen(RendererScreen* screen);

    // Runs the screen until the window is destroyed: 0; 8 the screen's resources failed at start;
    // otherwise the code of the failed frame step. However the loop ends, the screen's resources,
    // the device, the Direct3D object and the window are gone when it returns.
    std::int32_t StartLoop();
    // One frame: clear, draw, update, present, and recovery when the device was lost.
    std::int32_t Draw();

    std::int32_t InitWindow(const std::wstring& title, std::int32_t width, std::int32_t height);
    std::int32_t CreateD3DObject();
    std::int32_t CheckAndSetParameters(D3DPRESENT_PARAMETERS& parameters);
    std::int32_t CreateDevice(D3DPRESENT_PARAMETERS& parameters);
    // Releases the screen's resources, the device and the Direct3D object.
    void ReleaseDirect3D();

    // The owning pointer (the window procedure's way in) and the published one.
    static Renderer* instance;
    static Renderer* current;

    // Device state published for the rest of the engine; zero or null until a device exists.
    static IDirect3DDevice9* Device;
    static HWND Window;
    static std::int32_t ScreenWidth;
    static std::int32_t ScreenHeight;
    static float AspectRatio;
    static D3DCAPS9 Caps;

    IDirect3D9* d3d;
    IDirect3DDevice9* device;
    D3DCAPS9 caps;
    std::vector<D3DDISPLAYMODE> displayModes;
    D3DPRESENT_PARAMETERS presentParams;
    HWND hwnd;
    std::wstring windowName;
    bool paused;
    bool running;
    std::int32_t lastError;
    RendererScreen* screen;

private:
    friend LRESULT CALLBACK RendererWindowProcedure(HWND, UINT, WPARAM, LPARAM);
    friend class RendererOwner;

    // Releases everything the run holds and destroys the window, which ends the loop.
    void EndRun();

    // A frame is being drawn; a close request meanwhile waits in m_closeRequested for its end.
    bool m_inFrame;
    bool m_closeRequested;

    Renderer();
    ~Renderer();
    Renderer(const Renderer&) = delete;
    Renderer& operator=(const Renderer&) = delete;
};

// The window class's procedure: ends the run on WM_CLOSE / WM_DESTROY and pauses drawing while the
// window has no keyboard focus.
LRESULT CALLBACK RendererWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace NRenderer
}  // namespace NVesk

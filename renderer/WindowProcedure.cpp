// The renderer's window procedure: the end of the run and pausing while the focus is elsewhere.
#include "renderer/Renderer.h"

#include "renderer/RendererScreen.h"

namespace NVesk {
namespace NRenderer {

LRESULT CALLBACK RendererWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Renderer* renderer = Renderer::instance;
    // Without a renderer (after Renderer::Release, while the window still exists) the window is
    // left to the system's defaults.
    if (renderer == nullptr) return DefWindowProcW(window, message, wParam, lParam);

    switch (message) {
    case WM_DESTROY:
        PostQuitMessage(0);
        renderer->running = false;
        return 0;
    case WM_SETFOCUS:
        renderer->paused = false;
        if (renderer->screen != nullptr) renderer->screen->Pause(false);
        return 0;
    case WM_KILLFOCUS:
        renderer->paused = true;
        if (renderer->screen != nullptr) renderer->screen->Pause(true);
        return DefWindowProcW(window, message, wParam, lParam);
    case WM_CLOSE:
        // Inside a frame (a message box's own loop dispatches the request) the frame still uses
        // the device and the screen: the release waits for the frame's end.
        if (renderer->m_inFrame) {
            renderer->m_closeRequested = true;
            return 0;
        }
        renderer->ReleaseDirect3D();
        DestroyWindow(window);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace NRenderer
}  // namespace NVesk

#include "PresentParameters.h"

#include "PixelFormats.h"

namespace nvesk::d3d9 {
namespace {

bool IsBackBufferFormat(D3DFORMAT format) {
    return format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8;
}

bool IsOfferedInterval(UINT interval) {
    return interval == D3DPRESENT_INTERVAL_DEFAULT || interval == D3DPRESENT_INTERVAL_ONE ||
           interval == static_cast<UINT>(D3DPRESENT_INTERVAL_IMMEDIATE);
}

}  // namespace

HRESULT CheckPresentParameters(D3DPRESENT_PARAMETERS* parameters, HWND focusWindow,
                               const std::vector<DisplayMode>& modes, UINT clientWidth, UINT clientHeight,
                               PresentationChoice* choice) {
    D3DPRESENT_PARAMETERS completed = *parameters;
    choice->window = completed.hDeviceWindow != nullptr ? completed.hDeviceWindow : focusWindow;
    if (choice->window == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    if (completed.SwapEffect < D3DSWAPEFFECT_DISCARD || completed.SwapEffect > D3DSWAPEFFECT_COPY) {
        return D3DERR_INVALIDCALL;
    }
    if (completed.BackBufferCount == 0) {
        completed.BackBufferCount = 1;
    }
    if (completed.BackBufferCount > D3DPRESENT_BACK_BUFFERS_MAX ||
        (completed.SwapEffect == D3DSWAPEFFECT_COPY && completed.BackBufferCount != 1)) {
        return D3DERR_INVALIDCALL;
    }
    const DWORD knownFlags = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER | D3DPRESENTFLAG_DISCARD_DEPTHSTENCIL |
                             D3DPRESENTFLAG_DEVICECLIP | D3DPRESENTFLAG_VIDEO;
    if ((completed.Flags & ~knownFlags) != 0) {
        return D3DERR_INVALIDCALL;
    }
    if (completed.MultiSampleType != D3DMULTISAMPLE_NONE) {
        if (completed.SwapEffect != D3DSWAPEFFECT_DISCARD ||
            (completed.Flags & D3DPRESENTFLAG_LOCKABLE_BACKBUFFER) != 0) {
            return D3DERR_INVALIDCALL;
        }
        return D3DERR_NOTAVAILABLE;
    }
    if (completed.MultiSampleQuality != 0) {
        return D3DERR_INVALIDCALL;
    }
    if (!IsOfferedInterval(completed.PresentationInterval)) {
        return D3DERR_INVALIDCALL;
    }
    if (completed.EnableAutoDepthStencil) {
        GLenum ignoredFormat;
        bool ignoredStencil;
        if (!DepthStencilFormat(completed.AutoDepthStencilFormat, &ignoredFormat, &ignoredStencil)) {
            return D3DERR_INVALIDCALL;
        }
    }
    choice->fullScreenMode = nullptr;
    if (completed.Windowed) {
        if (completed.FullScreen_RefreshRateInHz != 0) {
            return D3DERR_INVALIDCALL;
        }
        if (completed.BackBufferFormat == D3DFMT_UNKNOWN) {
            completed.BackBufferFormat = D3DFMT_X8R8G8B8;
        }
        if (!IsBackBufferFormat(completed.BackBufferFormat)) {
            return D3DERR_INVALIDCALL;
        }
        if (completed.BackBufferWidth == 0) {
            completed.BackBufferWidth = clientWidth > 0 ? clientWidth : 1;
        }
        if (completed.BackBufferHeight == 0) {
            completed.BackBufferHeight = clientHeight > 0 ? clientHeight : 1;
        }
    } else {
        if (!IsBackBufferFormat(completed.BackBufferFormat)) {
            return D3DERR_INVALIDCALL;
        }
        for (const DisplayMode& mode : modes) {
            if (mode.mode.Width == completed.BackBufferWidth && mode.mode.Height == completed.BackBufferHeight &&
                (completed.FullScreen_RefreshRateInHz == D3DPRESENT_RATE_DEFAULT ||
                 mode.mode.RefreshRate == completed.FullScreen_RefreshRateInHz)) {
                choice->fullScreenMode = &mode;
                break;
            }
        }
        if (choice->fullScreenMode == nullptr) {
            return D3DERR_INVALIDCALL;
        }
    }
    if (completed.BackBufferWidth > 8192 || completed.BackBufferHeight > 8192) {
        return D3DERR_INVALIDCALL;
    }
    // One back buffer is all this device renders into.
    if (completed.BackBufferCount != 1) {
        return D3DERR_NOTAVAILABLE;
    }
    choice->swapInterval = completed.PresentationInterval == static_cast<UINT>(D3DPRESENT_INTERVAL_IMMEDIATE) ? 0 : 1;
    *parameters = completed;
    return D3D_OK;
}

}  // namespace nvesk::d3d9

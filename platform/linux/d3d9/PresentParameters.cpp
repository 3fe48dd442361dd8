#include "PresentParameters.h"
#include "com/Diagnostics.h"

#include "DeviceCaps.h"
#include "PixelFormats.h"

namespace nvesk::d3d9 {

using com::Reject;
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
        return Reject("there is no device window");
    }
    if (completed.SwapEffect < D3DSWAPEFFECT_DISCARD || completed.SwapEffect > D3DSWAPEFFECT_COPY) {
        return Reject("unknown swap effect");
    }
    if (completed.BackBufferCount == 0) {
        completed.BackBufferCount = 1;
    }
    if (completed.BackBufferCount > D3DPRESENT_BACK_BUFFERS_MAX ||
        (completed.SwapEffect == D3DSWAPEFFECT_COPY && completed.BackBufferCount != 1)) {
        return Reject("too many back buffers, or COPY with other than one");
    }
    const DWORD knownFlags = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER | D3DPRESENTFLAG_DISCARD_DEPTHSTENCIL |
                             D3DPRESENTFLAG_DEVICECLIP | D3DPRESENTFLAG_VIDEO;
    if ((completed.Flags & ~knownFlags) != 0) {
        return Reject("unknown presentation flags");
    }
    if (completed.MultiSampleType != D3DMULTISAMPLE_NONE) {
        if (completed.SwapEffect != D3DSWAPEFFECT_DISCARD ||
            (completed.Flags & D3DPRESENTFLAG_LOCKABLE_BACKBUFFER) != 0) {
            return Reject("multisampling needs DISCARD and no lockable back buffer");
        }
        return D3DERR_NOTAVAILABLE;
    }
    if (completed.MultiSampleQuality != 0) {
        return Reject("multisampling is not offered");
    }
    if (!IsOfferedInterval(completed.PresentationInterval)) {
        return Reject("presentation interval other than DEFAULT, ONE and IMMEDIATE");
    }
    if (completed.EnableAutoDepthStencil) {
        GLenum ignoredFormat;
        bool ignoredStencil;
        if (!DepthStencilFormat(completed.AutoDepthStencilFormat, &ignoredFormat, &ignoredStencil)) {
            return Reject("the automatic depth-stencil format is not a depth format this device offers");
        }
    }
    choice->fullScreenMode = nullptr;
    if (completed.Windowed) {
        if (completed.FullScreen_RefreshRateInHz != 0) {
            return Reject("a windowed device has refresh rate 0");
        }
        if (completed.BackBufferFormat == D3DFMT_UNKNOWN) {
            completed.BackBufferFormat = D3DFMT_X8R8G8B8;
        }
        if (!IsBackBufferFormat(completed.BackBufferFormat)) {
            return Reject("the back-buffer format is not A8R8G8B8 or X8R8G8B8");
        }
        if (completed.BackBufferWidth == 0) {
            completed.BackBufferWidth = clientWidth > 0 ? clientWidth : 1;
        }
        if (completed.BackBufferHeight == 0) {
            completed.BackBufferHeight = clientHeight > 0 ? clientHeight : 1;
        }
    } else {
        if (!IsBackBufferFormat(completed.BackBufferFormat)) {
            return Reject("the back-buffer format is not A8R8G8B8 or X8R8G8B8");
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
            return Reject("the full-screen mode is not one of the adapter's modes");
        }
    }
    if (completed.BackBufferWidth > kMaxTextureSize || completed.BackBufferHeight > kMaxTextureSize) {
        return Reject("the back buffer is larger than 8192 a side");
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

#include "Direct3D.h"
#include "com/Diagnostics.h"

#include "../user32/SdlVideo.h"
#include "Device.h"
#include "DeviceCaps.h"
#include "PixelFormats.h"
#include "StartupWork.h"
#include "com/Object.h"

#include <SDL.h>

namespace nvesk::d3d9 {

using com::Reject;
namespace {

bool IsDeviceType(D3DDEVTYPE type) {
    return type == D3DDEVTYPE_HAL || type == D3DDEVTYPE_REF;
}

}  // namespace

Direct3D::Direct3D() : ComObject(com::Kind::Direct3D) {}

Direct3D* Direct3D::Create() {
    // Video is started once for the process, as the windows start it: starting and stopping it
    // around each Direct3D object restarted SDL video mid-process, which could come back headless.
    if (!user32::EnsureVideo()) {
        return nullptr;
    }
    Direct3D* direct3D = new Direct3D();
    direct3D->modes_ = EnumerateDisplayModes();
    return direct3D;
}

void Direct3D::OnFinalRelease() {
    modes_.clear();
}

HRESULT Direct3D::QueryInterface(REFIID riid, void** object) {
    return QueryInterfaceAmong(riid, object, {&IID_IDirect3D9});
}

UINT Direct3D::GetAdapterCount() {
    NVESK_ENTER_OR("IDirect3D9::GetAdapterCount", 0);
    return 1;
}

UINT Direct3D::GetAdapterModeCount(UINT adapter, D3DFORMAT format) {
    NVESK_ENTER_OR("IDirect3D9::GetAdapterModeCount", 0);
    if (adapter != D3DADAPTER_DEFAULT) {
        return 0;
    }
    // Display modes are X8R8G8B8 only: no adapter scans out an alpha channel.
    return format == D3DFMT_X8R8G8B8 ? static_cast<UINT>(modes_.size()) : 0;
}

HRESULT Direct3D::EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT mode, D3DDISPLAYMODE* result) {
    NVESK_ENTER("IDirect3D9::EnumAdapterModes");
    if (adapter != D3DADAPTER_DEFAULT || result == nullptr || format != D3DFMT_X8R8G8B8 || mode >= modes_.size()) {
        return Reject("adapter other than the default one, result null, a format other than X8R8G8B8, or no such mode");
    }
    *result = modes_[mode].mode;
    return D3D_OK;
}

HRESULT Direct3D::GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) {
    NVESK_ENTER("IDirect3D9::GetAdapterDisplayMode");
    if (adapter != D3DADAPTER_DEFAULT || mode == nullptr) {
        return Reject("adapter other than the default one, or mode is null");
    }
    return DesktopDisplayMode(mode) ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT Direct3D::CheckDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, D3DFORMAT backBufferFormat,
                                  BOOL windowed) {
    NVESK_ENTER("IDirect3D9::CheckDeviceType");
    if (adapter != D3DADAPTER_DEFAULT || !IsDeviceType(type)) {
        return Reject("adapter other than the default one, or device type other than HAL and REF");
    }
    if (adapterFormat != D3DFMT_X8R8G8B8) {
        return D3DERR_NOTAVAILABLE;
    }
    const bool validBackBuffer = backBufferFormat == D3DFMT_A8R8G8B8 || backBufferFormat == D3DFMT_X8R8G8B8 ||
                                 (windowed && backBufferFormat == D3DFMT_UNKNOWN);
    return validBackBuffer ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT Direct3D::CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, DWORD usage,
                                    D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat) {
    NVESK_ENTER("IDirect3D9::CheckDeviceFormat");
    if (adapter != D3DADAPTER_DEFAULT || !IsDeviceType(type)) {
        return Reject("adapter other than the default one, or device type other than HAL and REF");
    }
    if (adapterFormat != D3DFMT_X8R8G8B8) {
        return D3DERR_NOTAVAILABLE;
    }
    if ((usage & D3DUSAGE_DEPTHSTENCIL) != 0) {
        GLenum ignoredFormat;
        bool ignoredStencil;
        return resourceType == D3DRTYPE_SURFACE && DepthStencilFormat(checkFormat, &ignoredFormat, &ignoredStencil)
                   ? D3D_OK
                   : D3DERR_NOTAVAILABLE;
    }
    if ((usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_AUTOGENMIPMAP)) != 0) {
        return D3DERR_NOTAVAILABLE;
    }
    if (resourceType != D3DRTYPE_TEXTURE && resourceType != D3DRTYPE_CUBETEXTURE && resourceType != D3DRTYPE_SURFACE) {
        return D3DERR_NOTAVAILABLE;
    }
    return FindPixelFormat(checkFormat) != nullptr ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT Direct3D::GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) {
    NVESK_ENTER("IDirect3D9::GetDeviceCaps");
    if (adapter != D3DADAPTER_DEFAULT || caps == nullptr || !IsDeviceType(type)) {
        return Reject("adapter other than the default one, caps null, or device type other than HAL and REF");
    }
    FillDeviceCaps(type, adapter, caps);
    return D3D_OK;
}

HRESULT Direct3D::CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags,
                               D3DPRESENT_PARAMETERS* parameters, IDirect3DDevice9** device) {
    NVESK_ENTER("IDirect3D9::CreateDevice");
    if (device == nullptr) {
        return Reject("device is null");
    }
    *device = nullptr;
    if (adapter != D3DADAPTER_DEFAULT || parameters == nullptr) {
        return Reject("adapter other than the default one, or parameters is null");
    }
    if (type == D3DDEVTYPE_NULLREF) {
        return D3DERR_NOTAVAILABLE;
    }
    if (!IsDeviceType(type)) {
        return Reject("device type other than HAL and REF");
    }
    const DWORD processing = behaviorFlags & (D3DCREATE_SOFTWARE_VERTEXPROCESSING |
                                              D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_MIXED_VERTEXPROCESSING);
    if (processing != D3DCREATE_SOFTWARE_VERTEXPROCESSING && processing != D3DCREATE_HARDWARE_VERTEXPROCESSING &&
        processing != D3DCREATE_MIXED_VERTEXPROCESSING) {
        return Reject("exactly one of SOFTWARE, HARDWARE and MIXED vertex processing");
    }
    if ((behaviorFlags & D3DCREATE_PUREDEVICE) != 0 && processing != D3DCREATE_HARDWARE_VERTEXPROCESSING) {
        return Reject("a pure device needs hardware vertex processing");
    }
    Device* created = nullptr;
    const HRESULT hr = Device::Create(this, type, focusWindow, behaviorFlags, parameters, &created);
    if (SUCCEEDED(hr)) {
        *device = created;
    }
    return hr;
}

}  // namespace nvesk::d3d9

extern "C" IDirect3D9* WINAPI Direct3DCreate9(UINT SDKVersion) {
    if (SDKVersion != D3D_SDK_VERSION) {
        return nullptr;
    }
    // An injected failure stands for a system without Direct3D 9: no object at all.
    const nvesk::com::Entry entry(nullptr, "Direct3DCreate9");
    if (FAILED(entry.Result())) {
        return nullptr;
    }
    nvesk::d3d9::StartStartupWork();
    return nvesk::d3d9::Direct3D::Create();
}

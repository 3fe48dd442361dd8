// IDirect3D9: the one adapter (the display SDL drives), its modes, caps and device creation.
#pragma once

#include <d3d9.h>

#include "DisplayModes.h"
#include "com/Object.h"

#include <vector>

namespace nvesk::d3d9 {

class Direct3D final : public com::ComObject<IDirect3D9> {
public:
    // Null when there is no display to drive.
    static Direct3D* Create();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;

    UINT STDMETHODCALLTYPE GetAdapterCount() override;
    UINT STDMETHODCALLTYPE GetAdapterModeCount(UINT adapter, D3DFORMAT format) override;
    HRESULT STDMETHODCALLTYPE EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT mode,
                                               D3DDISPLAYMODE* result) override;
    HRESULT STDMETHODCALLTYPE GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) override;
    HRESULT STDMETHODCALLTYPE CheckDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                              D3DFORMAT backBufferFormat, BOOL windowed) override;
    HRESULT STDMETHODCALLTYPE CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, DWORD usage,
                                                D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat) override;
    HRESULT STDMETHODCALLTYPE GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) override;
    HRESULT STDMETHODCALLTYPE CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags,
                                           D3DPRESENT_PARAMETERS* parameters, IDirect3DDevice9** device) override;

    const std::vector<DisplayMode>& Modes() const { return modes_; }

private:
    Direct3D();
    void OnFinalRelease() override;

    std::vector<DisplayMode> modes_;
};

}  // namespace nvesk::d3d9

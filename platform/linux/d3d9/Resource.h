// The IUnknown and IDirect3DResource9 half of every resource class, written once.
#pragma once

#include <d3d9.h>

#include "ResourceCore.h"
#include "com/Object.h"

namespace nvesk::d3d9 {

template <class Interface>
class Resource : public com::ComObject<Interface> {
public:
    HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** device) override {
        NVESK_ENTER("IDirect3DResource9::GetDevice");
        return core_.GetDevice(device);
    }
    DWORD STDMETHODCALLTYPE SetPriority(DWORD priority) override {
        NVESK_ENTER_OR("IDirect3DResource9::SetPriority", 0);
        return core_.SetPriority(priority);
    }
    DWORD STDMETHODCALLTYPE GetPriority() override {
        NVESK_ENTER_OR("IDirect3DResource9::GetPriority", 0);
        return core_.GetPriority();
    }
    // Resources are always resident on the GL side already.
    void STDMETHODCALLTYPE PreLoad() override { NVESK_ENTER_OR("IDirect3DResource9::PreLoad", void()); }
    D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override {
        NVESK_ENTER_OR("IDirect3DResource9::GetType", core_.Type());
        return core_.Type();
    }

    Device* OwnerDevice() const { return core_.OwnerDevice(); }
    D3DPOOL Pool() const { return core_.Pool(); }

protected:
    // tiesDevice: while the application holds the resource, it holds the device and counts among
    // its default-pool resources; false for texture levels and the back buffer, which live
    // inside their container. references: 0 for a back buffer, which its swap chain holds.
    Resource(Device* device, com::Kind kind, D3DRESOURCETYPE type, D3DPOOL pool, bool counted, bool tiesDevice,
             ULONG references = 1)
        : com::ComObject<Interface>(kind, counted, references), core_(device, type, pool, tiesDevice) {
        if (references > 0) {
            core_.Attach();
        }
    }

    // Frees GL objects and memory.
    virtual void FreeResources() = 0;

    void OnFinalRelease() override { FreeResources(); }
    void OnPublicRelease() override { core_.Detach(); }
    void OnPublicRevival() override { core_.Attach(); }

    ResourceCore core_;
};

}  // namespace nvesk::d3d9

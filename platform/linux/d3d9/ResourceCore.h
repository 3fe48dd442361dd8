// What every Direct3D resource shares: its device, pool, type and priority.
//
// A resource holds a reference on its device (as Direct3D's do), counts itself among the
// device's default-pool resources (which make Reset fail while alive), and unbinds itself from
// the device's state when its last reference goes, so bindings never keep it alive.
#pragma once

#include <d3d9.h>

namespace nvesk::d3d9 {

class Device;

class ResourceCore {
public:
    // holdsDevice: false for objects the device itself owns (its back buffer) and for texture
    // levels, which live inside their texture.
    ResourceCore(Device* device, D3DRESOURCETYPE type, D3DPOOL pool, bool holdsDevice);

    Device* OwnerDevice() const { return device_; }
    D3DPOOL Pool() const { return pool_; }
    D3DRESOURCETYPE Type() const { return type_; }

    HRESULT GetDevice(IDirect3DDevice9** device) const;
    DWORD SetPriority(DWORD priority);
    DWORD GetPriority() const;

    // Called once when the resource dies: unbinds it, uncounts it, lets go of the device.
    // `self` is the identity the device may have bound.
    void Detach(IUnknown* self);

private:
    Device* device_;
    D3DRESOURCETYPE type_;
    D3DPOOL pool_;
    bool holdsDevice_;
    DWORD priority_ = 0;
};

}  // namespace nvesk::d3d9

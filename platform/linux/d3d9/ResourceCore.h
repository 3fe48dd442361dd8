// What every Direct3D resource shares: its device, pool, type and priority.
//
// While the application holds a resource, the resource holds a reference on its device (as
// Direct3D's do) and counts among the device's default-pool resources, which make Reset fail.
// A binding that outlives the application's last reference (a stream source, the indices) keeps
// only the resource's storage, not the device.
#pragma once

#include <d3d9.h>

namespace nvesk::d3d9 {

class Device;

class ResourceCore {
public:
    // tiesDevice: false for objects inside a container (texture levels, the back buffer).
    ResourceCore(Device* device, D3DRESOURCETYPE type, D3DPOOL pool, bool tiesDevice);

    Device* OwnerDevice() const { return device_; }
    D3DPOOL Pool() const { return pool_; }
    D3DRESOURCETYPE Type() const { return type_; }

    HRESULT GetDevice(IDirect3DDevice9** device) const;
    DWORD SetPriority(DWORD priority);
    DWORD GetPriority() const;

    // The application's hold begins (creation, a hand-out after its last Release) and ends.
    void Attach();
    void Detach();

private:
    Device* device_;
    D3DRESOURCETYPE type_;
    D3DPOOL pool_;
    bool tiesDevice_;
    DWORD priority_ = 0;
};

}  // namespace nvesk::d3d9

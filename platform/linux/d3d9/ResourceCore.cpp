#include "ResourceCore.h"

#include "Device.h"
#include "com/Diagnostics.h"

namespace nvesk::d3d9 {

ResourceCore::ResourceCore(Device* device, D3DRESOURCETYPE type, D3DPOOL pool, bool tiesDevice)
    : device_(device), type_(type), pool_(pool), tiesDevice_(tiesDevice) {}

HRESULT ResourceCore::GetDevice(IDirect3DDevice9** device) const {
    if (device == nullptr) {
        return com::Reject("the device pointer is null");
    }
    *device = device_;
    device_->AddRef();
    return D3D_OK;
}

DWORD ResourceCore::SetPriority(DWORD priority) {
    // Only managed resources have an eviction priority.
    if (pool_ != D3DPOOL_MANAGED) {
        return 0;
    }
    const DWORD previous = priority_;
    priority_ = priority;
    return previous;
}

DWORD ResourceCore::GetPriority() const {
    return pool_ == D3DPOOL_MANAGED ? priority_ : 0;
}

void ResourceCore::Attach() {
    if (!tiesDevice_) {
        return;
    }
    device_->AddRef();
    if (pool_ == D3DPOOL_DEFAULT) {
        device_->AddDefaultPoolResource();
    }
}

void ResourceCore::Detach() {
    if (!tiesDevice_) {
        return;
    }
    if (pool_ == D3DPOOL_DEFAULT) {
        device_->RemoveDefaultPoolResource();
    }
    device_->Release();
}

}  // namespace nvesk::d3d9

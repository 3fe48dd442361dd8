#include <PlatformTesting/Direct3D.h>

#include "../d3d9/Device.h"
#include "../d3d9/DeviceCaps.h"
#include "../d3d9/LiveObject.h"
#include "com/FaultInjection.h"

#include <utility>

namespace PlatformTesting {

using nvesk::d3d9::ObjectKind;

void FailNextDirect3DCalls(const char* operation, HRESULT result, int count) {
    nvesk::com::InjectFailure(operation, result, count);
}

void ClearDirect3DFailures() {
    nvesk::com::ClearInjectedFailures();
}

bool LoseDevice(IDirect3DDevice9* device, UINT lostPolls) {
    nvesk::d3d9::Device* ours = nvesk::d3d9::Device::FromInterface(device);
    if (ours == nullptr) {
        return false;
    }
    ours->LoseNow(lostPolls);
    return true;
}

void ReportShaderVersions(DWORD vertexShaderVersion, DWORD pixelShaderVersion) {
    nvesk::d3d9::OverrideShaderVersions(vertexShaderVersion, pixelShaderVersion);
}

PresentWatcher::PresentWatcher(std::function<void(IDirect3DDevice9* device)> onPresent)
    : onPresent_(std::move(onPresent)) {
    nvesk::d3d9::Device::SetPresentHook(
        [](IDirect3DDevice9* device, void* data) { (*static_cast<PresentWatcher*>(data)).onPresent_(device); }, this);
}

PresentWatcher::~PresentWatcher() {
    nvesk::d3d9::Device::SetPresentHook(nullptr, nullptr);
}

int LiveDirect3DObjects(Direct3DObject type) {
    switch (type) {
    case Direct3DObject::Direct3D:
        return nvesk::d3d9::LiveObject::Count(ObjectKind::Direct3D);
    case Direct3DObject::Device:
        return nvesk::d3d9::LiveObject::Count(ObjectKind::Device);
    case Direct3DObject::Texture:
        return nvesk::d3d9::LiveObject::Count(ObjectKind::Texture);
    case Direct3DObject::Surface:
        return nvesk::d3d9::LiveObject::Count(ObjectKind::Surface);
    case Direct3DObject::VertexBuffer:
        return nvesk::d3d9::LiveObject::Count(ObjectKind::VertexBuffer);
    case Direct3DObject::IndexBuffer:
        return nvesk::d3d9::LiveObject::Count(ObjectKind::IndexBuffer);
    case Direct3DObject::VertexDeclaration:
        return nvesk::d3d9::LiveObject::Count(ObjectKind::VertexDeclaration);
    }
    return 0;
}

int LiveDirect3DObjects() {
    int total = 0;
    for (int kind = 0; kind < static_cast<int>(ObjectKind::Count); ++kind) {
        total += nvesk::d3d9::LiveObject::Count(static_cast<ObjectKind>(kind));
    }
    return total;
}

}  // namespace PlatformTesting

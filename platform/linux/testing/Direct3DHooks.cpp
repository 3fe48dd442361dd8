#include <PlatformTesting/Direct3D.h>

#include "../d3d9/Device.h"
#include "../d3d9/DeviceCaps.h"
#include "com/FaultInjection.h"

namespace PlatformTesting {

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

}  // namespace PlatformTesting

#include <PlatformTesting/Direct3D.h>

#include "../d3d9/Device.h"
#include "../d3d9/DeviceCaps.h"
#include "../d3d9/TextureChain.h"
#include "com/FaultInjection.h"

#include <utility>

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

int FixedFunctionProgramLinks(IDirect3DDevice9* device) {
    nvesk::d3d9::Device* ours = nvesk::d3d9::Device::FromInterface(device);
    return ours == nullptr ? -1 : static_cast<int>(ours->Programs().FixedFunctionLinks());
}

void ReportShaderVersions(DWORD vertexShaderVersion, DWORD pixelShaderVersion) {
    nvesk::d3d9::OverrideShaderVersions(vertexShaderVersion, pixelShaderVersion);
}

NewTextureFill::NewTextureFill(DWORD texel) {
    nvesk::d3d9::FillNewTextures(true, texel);
}

NewTextureFill::~NewTextureFill() {
    nvesk::d3d9::FillNewTextures(false, 0);
}

PresentWatcher::PresentWatcher(std::function<void(IDirect3DDevice9* device)> onPresent)
    : onPresent_(std::move(onPresent)) {
    nvesk::d3d9::Device::SetPresentHook(
        [](IDirect3DDevice9* device, void* data) { (*static_cast<PresentWatcher*>(data)).onPresent_(device); }, this);
}

PresentWatcher::~PresentWatcher() {
    nvesk::d3d9::Device::SetPresentHook(nullptr, nullptr);
}

}  // namespace PlatformTesting

#include "DemoRun.h"

#include "DemoAssets.h"
#include "app/WaterTexture.h"
#include "renderer/DeviceConfig.h"
#include "renderer/Renderer.h"

#include <PlatformTesting/Direct3D.h>
#include <PlatformTesting/Input.h>
#include <dinput.h>

#include <cstdlib>

namespace DemoTest {

DemoRun::DemoRun(std::uint32_t width, std::uint32_t height, const std::filesystem::path& runFolder) {
    const std::filesystem::path& path = runFolder.empty() ? folder.Path() : runFolder;
    WriteConfig(path, width, height);
    WriteAssets(path);
    m_workingDirectory = std::make_unique<TestSupport::WorkingDirectory>(path);
    // As in a fresh process: the configuration all zero, the generator unseeded and no water
    // update counted yet.
    DeviceConfig = DeviceConfigRecord {};
    std::srand(1);
    WaterTexture::dropCounter = 0;
}

DemoRun::~DemoRun() {
    // Keys a script left down would reach the next run.
    for (BYTE key : {DIK_ESCAPE, DIK_F1, DIK_F2, DIK_F3, DIK_F4})
        PlatformTesting::ReleaseKey(key);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {}
}

TestScreen* DemoRun::Screen() {
    NVesk::NRenderer::Renderer* renderer = NVesk::NRenderer::Renderer::current;
    return renderer != nullptr ? static_cast<TestScreen*>(renderer->screen) : nullptr;
}

int DemoRun::Run(const std::function<void(int frame)>& atPresent, int maxFrames) {
    framesPresented = 0;
    const PlatformTesting::PresentWatcher watcher([&](IDirect3DDevice9*) {
        ++framesPresented;
        atPresent(framesPresented);
        if (framesPresented == maxFrames) PostMessageW(NVesk::NRenderer::Renderer::Window, WM_CLOSE, 0, 0);
        clock.AdvanceMilliseconds(20.0);
    });
    char commandLine[] = "";
    return WinMain(GetModuleHandleW(nullptr), nullptr, commandLine, SW_SHOW);
}

}  // namespace DemoTest

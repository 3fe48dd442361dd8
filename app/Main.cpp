// The program's entry: logger, configuration, renderer, the test screen's run, and tear-down in
// the reverse order.
#include "app/TestScreen.h"
#include "lib/Logger.h"
#include "lib/TextFormat.h"
#include "renderer/DeviceConfig.h"
#include "renderer/Renderer.h"

#include <windows.h>

using NVesk::NRenderer::Renderer;

// The arguments are not used: the module handle is fetched where it is needed, and the window is
// always shown with SW_SHOW.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    if (NLib::Logger::Init(L"myLog.log") != 0) {
        // The run goes on without a log.
        MessageBoxW(nullptr, L"Cannot initialize Logger", L"Error", MB_OK);
    }
    LoadDeviceConfig();

    const std::int32_t result = Renderer::Initialize(L"HelloWorld");
    if (result != 0) {
        // No renderer is left to run a screen on.
        NLib::Logger::Write(
            L"WinMain >> Function \"Renderer::Initialize\" returned an error code: " + NLib::Int64ToString(result),
            true);
        return 0;
    }
    TestScreen* screen = new TestScreen();
    Renderer::SetScreen(screen);
    // However the loop ends, the screen's resources, the device and the window are released by then.
    Renderer::current->StartLoop();
    Renderer::Release();
    delete screen;
    return 0;
}

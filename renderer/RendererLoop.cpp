// The run phase: the message-and-draw loop and the frame step with device-loss recovery.
#include "renderer/Renderer.h"

#include "lib/Logger.h"
#include "lib/TextFormat.h"
#include "renderer/RendererScreen.h"

namespace NVesk {
namespace NRenderer {

using NLib::Logger;

namespace {
constexpr D3DCOLOR kClearColour = 0xFF000080;  // opaque dark blue

// Marks the frame step as running for as long as it lives.
class FrameScope {
public:
    explicit FrameScope(bool& inFrame) : m_inFrame(inFrame) { m_inFrame = true; }
    ~FrameScope() { m_inFrame = false; }
    FrameScope(const FrameScope&) = delete;
    FrameScope& operator=(const FrameScope&) = delete;

private:
    bool& m_inFrame;
};

}  // namespace

void Renderer::EndRun() {
    m_closeRequested = false;
    ReleaseDirect3D();
    DestroyWindow(hwnd);
}

std::int32_t Renderer::StartLoop() {
    if (screen->InitResources() != 0) {
        Logger::Write(
            L"NVesk::NRenderer::Renderer::StartLoop >> Function \"InitResources()\" has returned NONZERO value.", true);
        EndRun();
        return 8;
    }
    if (screen->RestoreResources() != 0) {
        Logger::Write(
            L"NVesk::NRenderer::Renderer::StartLoop >> Function \"RestoreResources()\" has returned NONZERO value.",
            true);
        EndRun();
        return 8;
    }
    ShowWindow(hwnd, SW_SHOW);
    running = true;

    MSG message;
    for (;;) {
        bool taken = false;
        if (paused) {
            // Blocks until a message arrives; the quit message here is consumed and the loop goes on.
            taken = GetMessageW(&message, nullptr, 0, 0) != 0;
        } else if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            taken = true;
        } else {
            const std::int32_t result = Draw();
            if (result != 0) {
                lastError = result;
                Logger::Write(L"NVesk::NRenderer::Renderer::StartLoop >> Function \"Draw\" returned nonzero value",
                              true);
                // Nothing of the run may outlive it: the window's procedure would reach a renderer
                // that the entry is about to destroy.
                EndRun();
                return lastError;
            }
            // A close requested during the frame takes effect now that the frame is over.
            if (m_closeRequested) EndRun();
        }
        if (taken) {
            if (message.message == WM_QUIT) return 0;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (!running) return 0;
    }
}

std::int32_t Renderer::Draw() {
    const FrameScope frame(m_inFrame);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kClearColour, 1.0f, 0);
    device->BeginScene();
    screen->Draw();
    device->EndScene();
    screen->Update();
    if (device->Present(nullptr, nullptr, nullptr, nullptr) != D3DERR_DEVICELOST) return 0;

    Logger::Write(L"Resetting device", true);
    lastError = screen->InvalidateResources();
    if (lastError != 0) return lastError;
    while (device->TestCooperativeLevel() == D3DERR_DEVICELOST)
        Sleep(10);
    lastError = device->Reset(&presentParams);
    if (lastError < 0) {
        Logger::Write(L"NVesk::NRenderer::Renderer::Draw >> Function \"Reset\" has returned an error: " +
                          NLib::ToHexString(static_cast<std::uint32_t>(lastError)),
                      true);
        return lastError;
    }
    lastError = screen->RestoreResources();
    return lastError;
}

}  // namespace NRenderer
}  // namespace NVesk

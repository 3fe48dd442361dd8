// A screen that records what the renderer asks of it, with chosen results and per-frame actions.
#pragma once

#include "renderer/RendererScreen.h"

#include <d3d9.h>

#include <functional>
#include <string>
#include <vector>

namespace RendererTest {

class RecordingScreen final : public NVesk::NRenderer::RendererScreen {
public:
    std::int32_t Draw() override;
    void Update() override;
    std::int32_t InvalidateResources() override;
    std::int32_t RestoreResources() override;
    std::int32_t InitResources() override;
    std::int32_t ReleaseResources() override;
    void Pause(bool paused) override;

    // The calls in order: "Draw", "Update", "Invalidate", "Restore", "Init", "Release",
    // "Pause(true)", "Pause(false)".
    std::vector<std::string> calls;
    int frames = 0;  // completed Update calls
    // A loop still running after this many frames has missed the event meant to end it (a Reset
    // that should have failed, a close that never came): the frame that reaches the cap records a
    // test failure and closes the window, so the run ends at once instead of at the CTest timeout.
    int frameCap = 100;

    std::int32_t initResult = 0;
    std::int32_t restoreResult = 0;
    std::int32_t invalidateResult = 0;
    std::int32_t releaseResult = 0;
    // Runs at the end of every Update with the number of the frame just finished (1, 2, ...).
    std::function<void(int frame)> onUpdate;
    std::function<void(bool paused)> onPause;
    // A default-pool texture made in RestoreResources; forgetsTexture keeps it through InvalidateResources.
    bool makesDefaultPoolTexture = false;
    bool forgetsTexture = false;

private:
    void StopAtTheCap(int count, const char* what);

    IDirect3DTexture9* m_texture = nullptr;
    int m_draws = 0;
    bool m_capped = false;
};

// The calls without the Pause entries.
std::vector<std::string> WithoutPauses(const std::vector<std::string>& calls);

}  // namespace RendererTest

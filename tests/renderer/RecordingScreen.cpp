#include "RecordingScreen.h"

#include "renderer/Renderer.h"

#include <gtest/gtest.h>

namespace RendererTest {

using NVesk::NRenderer::Renderer;

std::int32_t RecordingScreen::Draw() {
    calls.push_back("Draw");
    StopAtTheCap(++m_draws, "drawn");
    return 0;
}

void RecordingScreen::Update() {
    calls.push_back("Update");
    ++frames;
    if (onUpdate) onUpdate(frames);
    StopAtTheCap(frames, "updated");
}

void RecordingScreen::StopAtTheCap(int count, const char* what) {
    if (count != frameCap || m_capped) return;
    m_capped = true;
    ADD_FAILURE() << "the loop " << what << " " << frameCap << " frames without ending: frame cap reached";
    PostMessageW(Renderer::Window, WM_CLOSE, 0, 0);
}

std::int32_t RecordingScreen::InvalidateResources() {
    calls.push_back("Invalidate");
    if (m_texture != nullptr && !forgetsTexture) {
        m_texture->Release();
        m_texture = nullptr;
    }
    return invalidateResult;
}

std::int32_t RecordingScreen::RestoreResources() {
    calls.push_back("Restore");
    if (makesDefaultPoolTexture && m_texture == nullptr) {
        Renderer::Device->CreateTexture(16, 16, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &m_texture,
                                        nullptr);
    }
    return restoreResult;
}

std::int32_t RecordingScreen::InitResources() {
    calls.push_back("Init");
    return initResult;
}

std::int32_t RecordingScreen::ReleaseResources() {
    calls.push_back("Release");
    if (m_texture != nullptr) {
        m_texture->Release();
        m_texture = nullptr;
    }
    return releaseResult;
}

void RecordingScreen::Pause(bool paused) {
    calls.push_back(paused ? "Pause(true)" : "Pause(false)");
    if (onPause) onPause(paused);
}

std::vector<std::string> WithoutPauses(const std::vector<std::string>& calls) {
    std::vector<std::string> kept;
    for (const std::string& call : calls) {
        if (call.rfind("Pause", 0) != 0) kept.push_back(call);
    }
    return kept;
}

}  // namespace RendererTest

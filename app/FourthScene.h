// The empty scene: only the clear colour, with the cursor on top.
#pragma once

#include "renderer/Scene.h"

class FourthScene final : public NVesk::NRenderer::Scene {
public:
    void Draw() override {}
    void DrawImages() override {}
    void Update() override {}
    std::int32_t InvalidateResources() override { return 0; }
    std::int32_t RestoreResources() override { return 0; }
    std::int32_t InitResources() override { return 0; }
    std::int32_t ReleaseResources() override { return 0; }
};

// The fire scene: the fire simulation shown as one 800 x 600 image.
#pragma once

#include "app/FireTexture.h"
#include "app/StepFailureLog.h"
#include "renderer/Scene.h"

namespace NVesk {
namespace NRenderer {
class Image;
}
}  // namespace NVesk

class FirstScene final : public NVesk::NRenderer::Scene {
public:
    FirstScene();
    ~FirstScene() override;
    FirstScene(const FirstScene&) = delete;
    FirstScene& operator=(const FirstScene&) = delete;

    void Draw() override {}
    // Draws the image while it has a texture.
    void DrawImages() override;
    // One fire step; its texture becomes the image's.
    void Update() override;
    std::int32_t InvalidateResources() override;
    // The fire's texture (logged when refused), then one step.
    std::int32_t RestoreResources() override;
    std::int32_t InitResources() override { return 0; }
    std::int32_t ReleaseResources() override { return 0; }

    FireTexture fire;
    NVesk::NRenderer::Image* image;

private:
    StepFailureLog textureFailure;
};

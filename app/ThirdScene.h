// The water scene: a picture seen through rippling water, shown as one 800 x 600 image.
#pragma once

#include "app/StepFailureLog.h"
#include "app/WaterTexture.h"
#include "renderer/Scene.h"

#include <string>

namespace NVesk {
namespace NRenderer {
class Image;
}
}  // namespace NVesk

class ThirdScene final : public NVesk::NRenderer::Scene {
public:
    explicit ThirdScene(const std::wstring& fileName);
    ~ThirdScene() override;
    ThirdScene(const ThirdScene&) = delete;
    ThirdScene& operator=(const ThirdScene&) = delete;

    void Draw() override {}
    // Draws the image while it has a texture.
    void DrawImages() override;
    // One water step; its texture becomes the image's.
    void Update() override;
    std::int32_t InvalidateResources() override;
    // The water's textures (logged when refused), then one step.
    std::int32_t RestoreResources() override;
    std::int32_t InitResources() override { return 0; }
    std::int32_t ReleaseResources() override { return 0; }

    WaterTexture water;
    NVesk::NRenderer::Image* image;

private:
    StepFailureLog textureFailure;
    StepFailureLog pictureFailure;
};

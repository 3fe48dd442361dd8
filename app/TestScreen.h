// The demo's screen: four scenes, one of them current, with the frame timer, the input, the cursor
// and the image box around them. F1 to F4 choose the scene, Escape ends the program.
#pragma once

#include "renderer/RendererScreen.h"
#include "renderer/Scene.h"

// Final: the entry deletes it through this type, and the screen interface has no virtual destructor.
class TestScreen final : public NVesk::NRenderer::RendererScreen {
public:
    TestScreen();
    TestScreen(const TestScreen&) = delete;
    TestScreen& operator=(const TestScreen&) = delete;

    // The current scene's 3D content, then its images and the cursor in the image box's pass.
    std::int32_t Draw() override;
    // Timer, input, cursor, scene step, keys, image changes and the frame rate in the title.
    void Update() override;
    std::int32_t InvalidateResources() override;
    std::int32_t RestoreResources() override;
    // Image box, input, cursor, the four scenes; the first becomes current.
    std::int32_t InitResources() override;
    std::int32_t ReleaseResources() override;
    // Restarts the frame time from the focus change.
    void Pause(bool paused) override;

    // FirstScene, SecondScene, ThirdScene, FourthScene; owned, null until InitResources.
    NVesk::NRenderer::Scene* scenes[4];
};

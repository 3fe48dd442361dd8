#include "renderer/Scene.h"

#include "events/EventManager.h"
#include "renderer/ImageBox.h"
#include "renderer/Renderer.h"
#include "renderer/Timer.h"

namespace NVesk {
namespace NRenderer {

namespace {
const ScreenSizeRecord g_screenSize = {&Renderer::ScreenWidth, &Renderer::ScreenHeight};
}

SceneContextRecord SceneContext = {nullptr, &TheImageBox, &FrameTimer, &NEvents::TheEventManager, &g_screenSize};
SceneManagerRecord SceneManager = {&Renderer::Device,         &TheImageBox,  &FrameTimer,
                                   &NEvents::TheEventManager, &g_screenSize, nullptr};

Scene::~Scene() = default;

std::int32_t SwitchScene(Scene* next) {
    SceneContext.device = Renderer::Device;
    Scene* const current = SceneManager.current;
    // Without a current scene (all released) there is nothing to leave.
    if (current != nullptr) {
        std::int32_t result = current->InvalidateResources();
        if (result != 0) return result;
        result = current->ReleaseResources();
        if (result != 0) return result;
    }
    SceneManager.current = next;
    const std::int32_t result = next->InitResources();
    if (result != 0) return result;
    return next->RestoreResources();
}

}  // namespace NRenderer
}  // namespace NVesk

// The scene interface, the records through which scenes reach the engine, and scene switching.
#pragma once

#include <d3d9.h>

#include <cstdint>

namespace NVesk {
namespace NEvents {
struct EventManager;
}

namespace NRenderer {

class ImageBox;
struct Timer;

// One piece of content the screen can show; exactly one is current at a time.
class Scene {
public:
    virtual ~Scene();
    // 3D content, inside the device's scene and before the image pass.
    virtual void Draw() = 0;
    // 2D images, inside the image box's pass.
    virtual void DrawImages() = 0;
    // One frame's step.
    virtual void Update() = 0;
    // Releases the device objects; harmless when nothing is left. 0 on success.
    virtual std::int32_t InvalidateResources() = 0;
    // Creates the device objects. 0 on success.
    virtual std::int32_t RestoreResources() = 0;
    // Prepares the scene when it becomes current. 0 on success.
    virtual std::int32_t InitResources() = 0;
    // Undoes InitResources when the scene stops being current. 0 on success.
    virtual std::int32_t ReleaseResources() = 0;
};

// The renderer's back-buffer size, as published.
struct ScreenSizeRecord {
    const std::int32_t* width;
    const std::int32_t* height;
};

// What scenes reach the engine through. All but `device` are set before the entry runs.
struct SceneContextRecord {
    IDirect3DDevice9* device;  // a copy of Renderer::Device, refreshed before a scene is initialised or restored
    ImageBox* imageBox;
    Timer* timer;
    NEvents::EventManager* events;
    const ScreenSizeRecord* screenSize;
};

// The current scene, with the same references as the context (the device by address).
struct SceneManagerRecord {
    IDirect3DDevice9* const* device;
    ImageBox* imageBox;
    Timer* timer;
    NEvents::EventManager* events;
    const ScreenSizeRecord* screenSize;
    Scene* current;
};

extern SceneContextRecord SceneContext;
extern SceneManagerRecord SceneManager;

// Makes `next` current: the current scene is invalidated and released, `next` initialised and
// restored; the first failing step's result is returned and the steps after it are not made.
// `next` may be the current scene itself.
std::int32_t SwitchScene(Scene* next);

}  // namespace NRenderer
}  // namespace NVesk

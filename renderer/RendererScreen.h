// The screen the renderer drives: draws and updates every frame, and owns device resources
// through the init / restore / invalidate / release protocol.
#pragma once

#include <cstdint>

namespace NVesk {
namespace NRenderer {

// No virtual destructor: the owner deletes a screen through its concrete type.
class RendererScreen {
public:
    // Between BeginScene and EndScene; the result is not examined.
    virtual std::int32_t Draw() = 0;
    // After EndScene, before Present.
    virtual void Update() = 0;
    // Releases what a device reset destroys; 0 on success.
    virtual std::int32_t InvalidateResources() = 0;
    // Creates what a device reset destroys; runs at start and after every reset. 0 on success.
    virtual std::int32_t RestoreResources() = 0;
    // Once, first thing in the loop. 0 on success.
    virtual std::int32_t InitResources() = 0;
    // Once, in the final release, right after InvalidateResources. 0 on success.
    virtual std::int32_t ReleaseResources() = 0;
    // true when the window lost the keyboard focus, false when it got it back. Must not depend on
    // the screen's resources: it is also called while the window is being destroyed.
    virtual void Pause(bool paused) = 0;

protected:
    ~RendererScreen() = default;
};

}  // namespace NRenderer
}  // namespace NVesk

// The demo's cursor description: frames of 66 x 70 pixels, 10 frames of 0.08 s, sensitivity 2.0,
// starting at (400, 300), visible.
#pragma once

#include "events/CursorSprite.h"

#include <string>

namespace EngineTest {

inline NVesk::NEvents::CursorDesc DemoCursorDesc(const std::wstring& fileName) {
    NVesk::NEvents::CursorDesc desc;
    desc.fileName = fileName;
    desc.frameWidth = 66.0f;
    desc.frameHeight = 70.0f;
    desc.frameCount = 10;
    desc.frameDuration = 0.08;
    desc.sensitivity = 2.0f;
    desc.x = 400.0f;
    desc.y = 300.0f;
    desc.visible = true;
    return desc;
}

}  // namespace EngineTest

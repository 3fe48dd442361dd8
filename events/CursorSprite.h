// The mouse cursor: a point moved by the mouse over the back buffer, with an animation centred on it.
#pragma once

#include "events/EventManager.h"
#include "renderer/Animation.h"
#include "renderer/Image.h"
#include "renderer/ImageBox.h"

#include <cstdint>

namespace NVesk {
namespace NEvents {

struct CursorDesc : NRenderer::AnimationDesc {
    float sensitivity;  // cursor pixels per unit of mouse motion
    float x;            // start point
    float y;
    bool visible;
};

struct CursorSprite {
    // Fills the record from the description for a screen of width x height pixels, and creates the
    // cursor animation and registers it with the image box.
    static void Create(float width, float height, const CursorDesc& desc);
    // Moves the point by the last mouse motion, clamps it to the screen and centres the sprite on it.
    static void Update();

    NRenderer::ImageBox* box;
    EventManager* events;
    NRenderer::Animation* sprite;
    NRenderer::Image* holder;
    float sensitivity;
    float x;
    float y;
    float maxX;
    float maxY;
    bool visible;
};

// The process's one cursor record; box and events are set at program load.
extern CursorSprite TheCursorSprite;

}  // namespace NEvents
}  // namespace NVesk

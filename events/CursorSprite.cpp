#include "events/CursorSprite.h"

namespace NVesk {
namespace NEvents {

CursorSprite TheCursorSprite = {
    &NRenderer::TheImageBox, &TheEventManager, nullptr, nullptr, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, false};

void CursorSprite::Create(float width, float height, const CursorDesc& desc) {
    CursorSprite& cursor = TheCursorSprite;
    cursor.x = desc.x;
    cursor.y = desc.y;
    cursor.maxX = width - 1.0f;
    cursor.maxY = height - 1.0f;
    cursor.sensitivity = desc.sensitivity;
    cursor.visible = desc.visible;
    NRenderer::Animation* animation = new NRenderer::Animation(desc);
    cursor.holder = animation;
    cursor.box->AddImage(animation);
    cursor.sprite = animation;
}

void CursorSprite::Update() {
    CursorSprite& cursor = TheCursorSprite;
    if (!cursor.visible) return;
    cursor.x += cursor.sensitivity * cursor.events->mouseDeltaX;
    cursor.y += cursor.sensitivity * cursor.events->mouseDeltaY;
    if (cursor.x < 0.0f) {
        cursor.x = 0.0f;
    } else if (cursor.x > cursor.maxX) {
        cursor.x = cursor.maxX;
    }
    if (cursor.y < 0.0f) {
        cursor.y = 0.0f;
    } else if (cursor.y > cursor.maxY) {
        cursor.y = cursor.maxY;
    }
    NRenderer::Image& sprite = *cursor.sprite;
    sprite.x += (cursor.x - sprite.x) - sprite.width * 0.5f;
    sprite.y += (cursor.y - sprite.y) - sprite.height * 0.5f;
}

}  // namespace NEvents
}  // namespace NVesk

#include "app/SceneImage.h"

#include "renderer/Image.h"
#include "renderer/ImageBox.h"
#include "renderer/Scene.h"

using NVesk::NRenderer::Image;
using NVesk::NRenderer::SceneContext;

Image* CreateSceneImage() {
    Image* image = nullptr;
    SceneContext.imageBox->CreateImage(image);
    // Fixed, whatever the back buffer's size.
    image->width = 800.0f;
    image->height = 600.0f;
    return image;
}

void RemoveSceneImage(Image*& image) {
    SceneContext.imageBox->RemoveImage(image);
}

void DrawSceneImage(Image* image) {
    if (image != nullptr && image->texture != nullptr) image->Draw();
}

void ShowStep(Image* image, IDirect3DTexture9* step) {
    if (step != nullptr && image != nullptr) image->texture = step;
}

void ReleaseSceneTexture(Image* image, IDirect3DTexture9*& texture) {
    if (texture == nullptr) return;
    if (image != nullptr && image->texture == texture) image->texture = nullptr;
    texture->Release();
    texture = nullptr;
}

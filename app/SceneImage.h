// What the fire and water scenes do alike with their one image: an 800 x 600 image of the image
// box that shows the texture of the last step.
#pragma once

#include <d3d9.h>

namespace NVesk {
namespace NRenderer {
class Image;
}
}  // namespace NVesk

// Registers a plain image of 800 x 600 pixels with the image box.
NVesk::NRenderer::Image* CreateSceneImage();
// Unlists and destroys it (the image box keeps it while it is shut down).
void RemoveSceneImage(NVesk::NRenderer::Image*& image);
// Draws it while it has a texture to show.
void DrawSceneImage(NVesk::NRenderer::Image* image);
// A step's texture, when the step made one, becomes the image's.
void ShowStep(NVesk::NRenderer::Image* image, IDirect3DTexture9* step);
// Releases a texture of the scene; the image stops showing it, so it is never drawn released.
void ReleaseSceneTexture(NVesk::NRenderer::Image* image, IDirect3DTexture9*& texture);

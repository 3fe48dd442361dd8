#include "app/ThirdScene.h"

#include "app/SceneImage.h"

ThirdScene::ThirdScene(const std::wstring& fileName) : water(fileName), image(CreateSceneImage()) {}

ThirdScene::~ThirdScene() {
    RemoveSceneImage(image);
}

void ThirdScene::DrawImages() {
    DrawSceneImage(image);
}

void ThirdScene::Update() {
    ShowStep(image, water.Update());
}

std::int32_t ThirdScene::InvalidateResources() {
    ReleaseSceneTexture(image, water.texture);
    ReleaseSceneTexture(image, water.source);
    return 0;
}

std::int32_t ThirdScene::RestoreResources() {
    // The output texture is made first; the picture is loaded only once it exists.
    const std::int32_t result = water.Restore();
    if (result == 1) {
        textureFailure.Failed(L"ThirdScene::RestoreResources >> Cannot create the water texture.");
    } else {
        textureFailure.Succeeded();
        if (result == 2) {
            pictureFailure.Failed(L"ThirdScene::RestoreResources >> Cannot load the picture: " + water.fileName);
        } else {
            pictureFailure.Succeeded();
        }
    }
    // Without both textures the water waits, unchanged, for the next restore.
    Update();
    return 0;
}

#include "app/ThirdScene.h"

#include "app/SceneImage.h"
#include "lib/Logger.h"
#include "lib/TextFormat.h"

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
    const std::int32_t result = water.Restore();
    if (result == 1) {
        NLib::Logger::Write(L"ThirdScene::RestoreResources >> Cannot create the water texture.", true);
    } else if (result == 2) {
        NLib::Logger::Write(L"ThirdScene::RestoreResources >> Cannot load the picture: " + water.fileName, true);
    }
    // Without both textures the water waits, unchanged, for the next restore.
    Update();
    return 0;
}

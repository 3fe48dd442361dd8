#include "app/FirstScene.h"

#include "app/SceneImage.h"
#include "lib/TextFormat.h"

FirstScene::FirstScene() : image(CreateSceneImage()) {}

FirstScene::~FirstScene() {
    RemoveSceneImage(image);
}

void FirstScene::DrawImages() {
    DrawSceneImage(image);
}

void FirstScene::Update() {
    ShowStep(image, fire.Update());
}

std::int32_t FirstScene::InvalidateResources() {
    ReleaseSceneTexture(image, fire.texture);
    return 0;
}

std::int32_t FirstScene::RestoreResources() {
    const HRESULT result = fire.context->device->CreateTexture(
        fire.size, fire.size, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &fire.texture, nullptr);
    if (FAILED(result)) {
        // The fire then waits, unchanged, for the next restore.
        fire.texture = nullptr;
        textureFailure.Failed(
            L"FirstScene::RestoreResources >> Cannot create the fire texture. Function \"CreateTexture\" returned an "
            L"error code: " +
            NLib::ToHexString(static_cast<std::uint32_t>(result)));
    } else {
        textureFailure.Succeeded();
    }
    Update();
    return 0;
}

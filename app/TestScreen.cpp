#include "app/TestScreen.h"

#include "app/FirstScene.h"
#include "app/FourthScene.h"
#include "app/SecondScene.h"
#include "app/ThirdScene.h"
#include "events/CursorSprite.h"
#include "events/EventManager.h"
#include "lib/Logger.h"
#include "lib/TextFormat.h"
#include "renderer/ImageBox.h"
#include "renderer/Renderer.h"
#include "renderer/Timer.h"

#include <dinput.h>
#include <windows.h>

using NVesk::NEvents::CursorDesc;
using NVesk::NEvents::CursorSprite;
using NVesk::NEvents::EventManager;
using NVesk::NEvents::TheCursorSprite;
using NVesk::NEvents::TheEventManager;
using NVesk::NRenderer::FrameTimer;
using NVesk::NRenderer::Renderer;
using NVesk::NRenderer::Scene;
using NVesk::NRenderer::SceneContext;
using NVesk::NRenderer::SceneManager;
using NVesk::NRenderer::TheImageBox;

namespace {

bool KeyDown(BYTE code) {
    return (TheEventManager.keys[code] & 0x80) != 0;
}

}  // namespace

TestScreen::TestScreen() : scenes {nullptr, nullptr, nullptr, nullptr} {}

std::int32_t TestScreen::InitResources() {
    std::int32_t result = TheImageBox.InitImageBox(L"");
    if (result != 0) {
        MessageBoxW(nullptr, L"Your graphic card doesn't support Shader Model 2.0", L"Error", MB_ICONEXCLAMATION);
        return result;
    }
    result = EventManager::InitEventManager();
    if (result != 0) return result;

    CursorDesc cursor;
    cursor.fileName = L"mushrum.png";
    cursor.frameWidth = 66.0f;
    cursor.frameHeight = 70.0f;
    cursor.frameCount = 10;
    cursor.frameDuration = 0.08;
    cursor.sensitivity = 2.0f;
    cursor.x = static_cast<float>(Renderer::ScreenWidth / 2);
    cursor.y = static_cast<float>(Renderer::ScreenHeight / 2);
    cursor.visible = true;
    CursorSprite::Create(static_cast<float>(Renderer::ScreenWidth), static_cast<float>(Renderer::ScreenHeight), cursor);

    scenes[0] = new FirstScene();
    scenes[1] = new SecondScene(&Renderer::AspectRatio);
    scenes[2] = new ThirdScene(L"ziemia.bmp");
    scenes[3] = new FourthScene();

    SceneContext.device = Renderer::Device;
    SceneManager.current = scenes[0];
    SceneManager.current->InitResources();
    return 0;
}

std::int32_t TestScreen::RestoreResources() {
    SceneContext.device = Renderer::Device;
    if (SceneManager.current != nullptr) SceneManager.current->RestoreResources();
    const std::int32_t result =
        TheImageBox.RestoreBox(static_cast<float>(Renderer::ScreenWidth), static_cast<float>(Renderer::ScreenHeight));
    if (result != 0) {
        NLib::Logger::Write(L"TestScreen::RestoreResources >> Function \"RestoreBox\" returned an error. Code: " +
                                NLib::Int64ToString(result),
                            true);
        return result;
    }
    return 0;
}

void TestScreen::Update() {
    FrameTimer.Tick();
    EventManager::Update();
    CursorSprite::Update();
    if (SceneManager.current != nullptr) SceneManager.current->Update();

    if (KeyDown(DIK_ESCAPE)) PostMessageW(Renderer::Window, WM_CLOSE, 0, 0);
    const BYTE sceneKeys[4] = {DIK_F1, DIK_F2, DIK_F3, DIK_F4};
    for (int i = 0; i < 4; ++i) {
        if (KeyDown(sceneKeys[i]) && scenes[i] != nullptr) NVesk::NRenderer::SwitchScene(scenes[i]);
    }

    TheImageBox.ApplyChanges();
    SetWindowTextW(Renderer::Window, (L"NVesk, FPS: " + NLib::Int64ToString(FrameTimer.fps)).c_str());
}

std::int32_t TestScreen::Draw() {
    Scene* const current = SceneManager.current;
    if (current != nullptr) current->Draw();
    // Without the image effect (its restore failed) there is no pass to draw the images in.
    if (TheImageBox.effect == nullptr) return 0;
    TheImageBox.BeginDraw();
    if (current != nullptr) current->DrawImages();
    if (TheCursorSprite.visible && TheCursorSprite.sprite != nullptr) TheCursorSprite.sprite->Draw();
    TheImageBox.effect->EndPass();
    return TheImageBox.effect->End();
}

std::int32_t TestScreen::InvalidateResources() {
    if (SceneManager.current != nullptr) SceneManager.current->InvalidateResources();
    TheImageBox.ReleaseBox();
    return 0;
}

std::int32_t TestScreen::ReleaseResources() {
    Scene* const current = SceneManager.current;
    if (current != nullptr && current->InvalidateResources() == 0 && current->ReleaseResources() == 0) {
        SceneManager.current = nullptr;
    }
    for (Scene*& scene : scenes) {
        delete scene;
        scene = nullptr;
    }
    // A scene whose release failed stayed current; it is gone now all the same.
    SceneManager.current = nullptr;
    // No cursor exists when the input failed to start.
    if (TheCursorSprite.holder != nullptr) TheImageBox.RemoveImage(TheCursorSprite.holder);
    if (TheCursorSprite.holder == nullptr) TheCursorSprite.sprite = nullptr;
    TheImageBox.ShutdownBox();
    EventManager::Release();
    return 0;
}

void TestScreen::Pause(bool) {
    FrameTimer.Tick();
}

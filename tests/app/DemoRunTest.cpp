// The demo from its entry to its end, in this process: scene keys, Escape, the log, the released
// Direct3D objects, and a golden image of every scene.
#include "DemoRun.h"
#include "GoldenImage.h"

#include "app/FirstScene.h"
#include "app/SecondScene.h"
#include "app/ThirdScene.h"
#include "events/CursorSprite.h"
#include "platform/d3d9/BackBufferReadback.h"
#include "renderer/ImageBox.h"
#include "renderer/Renderer.h"
#include "renderer/Timer.h"
#include "support/LogCapture.h"

#include <PlatformTesting/Direct3D.h>
#include <PlatformTesting/Faults.h>
#include <PlatformTesting/Input.h>
#include <dinput.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>

using DemoTest::DemoRun;
using NVesk::NRenderer::Renderer;
using NVesk::NRenderer::SceneManager;
using PlatformTesting::Direct3DObject;
using PlatformTesting::LiveDirect3DObjects;
using Lines = std::vector<std::wstring>;

namespace {

template <typename SceneType>
SceneType* Current() {
    return dynamic_cast<SceneType*>(SceneManager.current);
}

// The vertex buffer's bytes.
std::vector<std::uint8_t> MeshVertices(ID3DXMesh* mesh) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(mesh->GetNumVertices()) * mesh->GetNumBytesPerVertex());
    void* data = nullptr;
    if (FAILED(mesh->LockVertexBuffer(D3DLOCK_READONLY, &data))) return {};
    std::memcpy(bytes.data(), data, bytes.size());
    mesh->UnlockVertexBuffer();
    return bytes;
}

// The cursor point pinned to (x, y): first pushed into the top-left corner, then moved out of it.
void PinCursor(int frame, int firstFrame, LONG x, LONG y) {
    if (frame == firstFrame) PlatformTesting::MoveMouse(-4000, -4000);
    if (frame == firstFrame + 1) PlatformTesting::MoveMouse(x / 2, y / 2);
}

bool TheImageBoxIsEmpty() {
    return NVesk::NRenderer::TheImageBox.images.empty() && !NVesk::NRenderer::TheImageBox.initialized;
}

}  // namespace

TEST(DemoRunTest, EscapeEndsTheRunWithTheLogInOrderAndNothingLeftAlive) {
    DemoRun demo(320, 240);
    const TestSupport::LogCapture log;
    bool firstSceneRan = false;
    const int result = demo.Run([&](int frame) {
        if (frame == 2) firstSceneRan = Current<FirstScene>() != nullptr && Current<FirstScene>()->fire.texture;
        if (frame == 3) PlatformTesting::PressKey(DIK_ESCAPE);
    });
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(firstSceneRan);
    // Escape is seen by frame 4's update, which still completes; the next pass ends the run.
    EXPECT_EQ(demo.framesPresented, 4);
    EXPECT_EQ(log.Messages(), (Lines {L"Loading config file: config.cfg", L"Initializing Renderer",
                                      L"Setting up EventManager", L"Releasing Renderer"}));
    // The test's own logger holds the log file, so the entry's logger cannot start.
    const auto boxes = demo.boxes.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, L"Cannot initialize Logger");
    EXPECT_EQ(boxes[0].caption, L"Error");
    EXPECT_EQ(boxes[0].style, static_cast<UINT>(MB_OK));
    EXPECT_EQ(Renderer::instance, nullptr);
    EXPECT_EQ(SceneManager.current, nullptr);
    EXPECT_EQ(LiveDirect3DObjects(), 0);
}

TEST(DemoRunTest, FTwoAndFThreeInOneFrameEndOnTheThirdSceneAfterTheSecondCameAndWent) {
    DemoRun demo(320, 240);
    PlatformTesting::CallCounter calls;
    int meshLoadsBefore = -1;
    bool endedOnThird = false;
    bool secondHoldsNothing = false;
    demo.Run([&](int frame) {
        if (frame == 3) {
            meshLoadsBefore = calls.Count("D3DXLoadMeshFromXW");
            PlatformTesting::PressKey(DIK_F2);
            PlatformTesting::PressKey(DIK_F3);
        }
        if (frame == 4) {
            PlatformTesting::ReleaseKey(DIK_F2);
            PlatformTesting::ReleaseKey(DIK_F3);
            endedOnThird = Current<ThirdScene>() != nullptr && Current<ThirdScene>()->water.texture != nullptr;
            const SecondScene* second = static_cast<SecondScene*>(DemoRun::Screen()->scenes[1]);
            secondHoldsNothing = second->mesh == nullptr && second->effect == nullptr;
        }
        if (frame == 6) PostMessageW(Renderer::Window, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(meshLoadsBefore, 0);
    EXPECT_EQ(calls.Count("D3DXLoadMeshFromXW"), 1);
    EXPECT_EQ(calls.Count("D3DXCreateEffectFromFileW"), 1);
    EXPECT_TRUE(endedOnThird);
    EXPECT_TRUE(secondHoldsNothing);
    EXPECT_EQ(LiveDirect3DObjects(), 0);
}

TEST(DemoRunTest, HoldingFOneRecreatesTheFireTextureEveryFrameWithoutLeaking) {
    DemoRun demo(320, 240);
    PlatformTesting::CallCounter calls;
    std::vector<int> created;
    std::vector<int> liveTextures;
    demo.Run([&](int frame) {
        if (frame == 3) PlatformTesting::PressKey(DIK_F1);
        if (frame >= 4 && frame <= 8) {
            created.push_back(calls.Count("IDirect3DDevice9::CreateTexture"));
            liveTextures.push_back(LiveDirect3DObjects(Direct3DObject::Texture));
        }
        if (frame == 8) {
            PlatformTesting::ReleaseKey(DIK_F1);
            PostMessageW(Renderer::Window, WM_CLOSE, 0, 0);
        }
    });
    ASSERT_EQ(created.size(), 5u);
    for (std::size_t i = 1; i < created.size(); ++i) {
        EXPECT_EQ(created[i] - created[i - 1], 1) << i;
        EXPECT_EQ(liveTextures[i], liveTextures[0]) << i;
    }
    EXPECT_EQ(LiveDirect3DObjects(), 0);
}

TEST(DemoRunTest, HoldingFTwoReloadsTheMeshAndEffectEveryFrameWithTheSameResult) {
    // Reloads served from what earlier loads worked out still create and release the objects, and
    // each frame's mesh holds the same vertices.
    DemoRun demo(320, 240);
    PlatformTesting::CallCounter calls;
    std::vector<int> meshLoads;
    std::vector<int> effectCreations;
    std::vector<int> liveMeshes;
    std::vector<int> liveEffects;
    std::vector<std::vector<std::uint8_t>> frames;
    demo.Run([&](int frame) {
        if (frame == 3) PlatformTesting::PressKey(DIK_F2);
        if (frame >= 4 && frame <= 8) {
            meshLoads.push_back(calls.Count("D3DXLoadMeshFromXW"));
            effectCreations.push_back(calls.Count("D3DXCreateEffectFromFileW"));
            liveMeshes.push_back(LiveDirect3DObjects(Direct3DObject::Mesh));
            liveEffects.push_back(LiveDirect3DObjects(Direct3DObject::Effect));
            SecondScene* scene = Current<SecondScene>();
            ASSERT_NE(scene, nullptr);
            ASSERT_NE(scene->mesh, nullptr);
            frames.push_back(MeshVertices(scene->mesh));
        }
        if (frame == 8) {
            PlatformTesting::ReleaseKey(DIK_F2);
            PostMessageW(Renderer::Window, WM_CLOSE, 0, 0);
        }
    });
    ASSERT_EQ(meshLoads.size(), 5u);
    for (std::size_t i = 1; i < meshLoads.size(); ++i) {
        EXPECT_EQ(meshLoads[i] - meshLoads[i - 1], 1) << i;
        EXPECT_EQ(effectCreations[i] - effectCreations[i - 1], 1) << i;
        EXPECT_EQ(liveMeshes[i], 1) << i;
        EXPECT_EQ(liveEffects[i], liveEffects[0]) << i;
        EXPECT_TRUE(!frames[i].empty() && frames[i] == frames[0]) << i;
    }
    EXPECT_EQ(LiveDirect3DObjects(), 0);
}

TEST(DemoRunTest, EveryScenesFrameMatchesItsGoldenImage) {
    const int width = 800;
    const int height = 600;
    DemoRun demo(width, height);
    struct Shot {
        int frame;
        const char* name;
        BYTE nextKey;
    };
    const Shot shots[] = {{60, "fire", DIK_F2}, {80, "mesh", DIK_F3}, {150, "water", DIK_F4}, {160, "empty", 0}};
    demo.Run([&](int frame) {
        PinCursor(frame, 2, 500, 200);
        for (const Shot& shot : shots) {
            if (frame == shot.frame) {
                SCOPED_TRACE(shot.name);
                DemoTest::ExpectMatchesGolden(D3D9Test::ReadBackBuffer(Renderer::Device), width, height, shot.name);
                PlatformTesting::PressKey(shot.nextKey != 0 ? shot.nextKey : DIK_ESCAPE);
            }
            if (frame == shot.frame + 1) PlatformTesting::ReleaseKey(shot.nextKey != 0 ? shot.nextKey : DIK_ESCAPE);
        }
    });
    EXPECT_EQ(demo.framesPresented, 161);
    EXPECT_EQ(LiveDirect3DObjects(), 0);
}

TEST(DemoRunTest, InputThatCannotStartEndsTheRunCleanlyWithoutACursorToRemove) {
    DemoRun demo(320, 240);
    PlatformTesting::FailNextCalls("DirectInput8Create", E_FAIL, 1);
    const TestSupport::LogCapture log;
    EXPECT_EQ(demo.Run([](int) {}), 0);
    PlatformTesting::ClearFailures();
    EXPECT_EQ(demo.framesPresented, 0);
    EXPECT_EQ(log.Messages(),
              (Lines {L"Loading config file: config.cfg", L"Initializing Renderer", L"Setting up EventManager",
                      L"-->NVesk::NEvents::EventManager::InitEventManager >> Cannot create main DirectInput object. "
                      L"Function \"DirectInput8Create()\" has returned: 80004005",
                      L"NVesk::NRenderer::Renderer::StartLoop >> Function \"InitResources()\" has returned NONZERO "
                      L"value.",
                      L"Releasing Renderer"}));
    EXPECT_TRUE(TheImageBoxIsEmpty());
    EXPECT_EQ(LiveDirect3DObjects(), 0);
}

TEST(DemoRunTest, RendererThatCannotStartSkipsTheRunAndSaysWhy) {
    DemoRun demo(320, 240);
    PlatformTesting::FailNextCalls("IDirect3D9::CreateDevice", D3DERR_NOTAVAILABLE, 1);
    const TestSupport::LogCapture log;
    EXPECT_EQ(demo.Run([](int) {}), 0);
    PlatformTesting::ClearFailures();
    EXPECT_EQ(demo.framesPresented, 0);
    EXPECT_EQ(log.Messages(),
              (Lines {L"Loading config file: config.cfg", L"Initializing Renderer",
                      L"-->NVesk::NRenderer::Renderer::CreateDevice >> Function \"CreateDevice\" failed.",
                      L"WinMain >> Function \"Renderer::Initialize\" returned an error code: 5"}));
    EXPECT_EQ(Renderer::instance, nullptr);
    EXPECT_EQ(LiveDirect3DObjects(), 0);
}

TEST(DemoRunTest, DeviceWithoutShaderModelTwoShowsItsBoxAndEnds) {
    DemoRun demo(320, 240);
    PlatformTesting::ReportShaderVersions(D3DVS_VERSION(1, 1), D3DPS_VERSION(1, 4));
    EXPECT_EQ(demo.Run([](int) {}), 0);
    PlatformTesting::ReportShaderVersions(0, 0);
    const auto boxes = demo.boxes.Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text, L"Your graphic card doesn't support Shader Model 2.0");
    EXPECT_EQ(boxes[1].caption, L"Error");
    EXPECT_EQ(boxes[1].style, static_cast<UINT>(MB_ICONEXCLAMATION));
    EXPECT_EQ(demo.framesPresented, 0);
    EXPECT_EQ(LiveDirect3DObjects(), 0);
}

TEST(DemoRunTest, WithoutAConfigurationTheRunUsesTheRealBackBufferAndTheTitleShowsTheFrameRate) {
    DemoRun demo(320, 240);
    std::filesystem::remove(demo.folder.Path() / "config.cfg");
    std::vector<std::wstring> titles;
    std::vector<std::wstring> expectedTitles;
    bool projectionFinite = false;
    int width = 0;
    int height = 0;
    demo.Run([&](int frame) {
        wchar_t title[64] = {};
        GetWindowTextW(Renderer::Window, title, 64);
        titles.push_back(title);
        expectedTitles.push_back(L"NVesk, FPS: " + std::to_wstring(NVesk::NRenderer::FrameTimer.fps));
        if (frame == 2) PlatformTesting::PressKey(DIK_F2);
        if (frame == 3) {
            PlatformTesting::ReleaseKey(DIK_F2);
            const SecondScene* scene = Current<SecondScene>();
            projectionFinite = scene != nullptr && std::isfinite(scene->projection._11) &&
                               std::isfinite(scene->projection._22) && std::isfinite(scene->projection._33);
            width = Renderer::ScreenWidth;
            height = Renderer::ScreenHeight;
        }
        if (frame == 60) PostMessageW(Renderer::Window, WM_CLOSE, 0, 0);
    });
    EXPECT_TRUE(projectionFinite);
    EXPECT_GT(width, 0);
    EXPECT_GT(height, 0);
    // Every frame's title, whether the rate changed or not; after a second of frames the rate is known.
    ASSERT_EQ(titles.size(), 60u);
    EXPECT_EQ(titles, expectedTitles);
    EXPECT_NE(titles.back(), L"NVesk, FPS: 0");
    EXPECT_EQ(LiveDirect3DObjects(), 0);
}

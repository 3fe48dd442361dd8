// The event manager on the real input layer: set-up results and log lines, acquisition on the first
// update, held keys, focus loss and re-acquisition, mouse deltas and the cursor they move.
#include "../renderer/EngineFixture.h"

#include "CursorDescs.h"
#include "events/CursorSprite.h"
#include "events/EventManager.h"
#include "renderer/ImageBox.h"
#include "renderer/Renderer.h"
#include "support/LogCapture.h"

#include <PlatformTesting/Faults.h>
#include <PlatformTesting/Input.h>
#include <PlatformTesting/WindowEvents.h>

#include <gtest/gtest.h>

#include <algorithm>

using EngineTest::EngineFixture;
using NVesk::NEvents::CursorDesc;
using NVesk::NEvents::CursorSprite;
using NVesk::NEvents::EventManager;
using NVesk::NEvents::TheCursorSprite;
using NVesk::NEvents::TheEventManager;
using NVesk::NRenderer::Renderer;
using NVesk::NRenderer::TheImageBox;
using TestSupport::LogCapture;
using Lines = std::vector<std::wstring>;

namespace {

class EventManagerTest : public EngineFixture {
protected:
    int Width() const override { return 800; }
    int Height() const override { return 600; }

    void SetUp() override {
        EngineFixture::SetUp();
        // The loop would show the window; input goes to the window with the focus.
        ShowWindow(Renderer::Window, SW_SHOW);
        ASSERT_TRUE(PlatformTesting::GainFocus(Renderer::Window));
        Pump();
    }
    static void Pump() {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    static bool AllKeysUp() {
        return std::all_of(std::begin(TheEventManager.keys), std::end(TheEventManager.keys),
                           [](BYTE key) { return key == 0; });
    }
    static bool Down(BYTE key) { return (TheEventManager.keys[key] & 0x80) != 0; }
};

TEST_F(EventManagerTest, SetUpCreatesBothDevicesWithoutAcquiringThem) {
    LogCapture log;
    ASSERT_EQ(EventManager::InitEventManager(), 0);
    EXPECT_EQ(log.Messages(), Lines {L"Setting up EventManager"});
    EXPECT_NE(TheEventManager.directInput, nullptr);
    EXPECT_NE(TheEventManager.keyboard, nullptr);
    EXPECT_NE(TheEventManager.mouse, nullptr);
    EXPECT_TRUE(TheEventManager.useKeyboard);
    EXPECT_TRUE(TheEventManager.useMouse);
    EXPECT_TRUE(TheEventManager.initialised);
    BYTE keys[256];
    EXPECT_EQ(TheEventManager.keyboard->GetDeviceState(sizeof(keys), keys), DIERR_NOTACQUIRED);

    EventManager::Release();
    EXPECT_EQ(TheEventManager.directInput, nullptr);
    EXPECT_EQ(TheEventManager.keyboard, nullptr);
    EXPECT_EQ(TheEventManager.mouse, nullptr);
    EXPECT_FALSE(TheEventManager.initialised);
    EXPECT_TRUE(TheEventManager.useKeyboard) << "the flags stay";
    EXPECT_EQ(EventManager::InitEventManager(), 0) << "and the set-up may run again";
}

struct SetUpFailure {
    const char* operation;
    int passingFirst;
    std::int32_t result;
    bool keyboardKept;
    const wchar_t* line;
};

TEST_F(EventManagerTest, EachSetUpFailureHasItsCodeAndLine) {
    const SetUpFailure failures[] = {
        {"DirectInput8Create", 0, 1, false,
         L"-->NVesk::NEvents::EventManager::InitEventManager >> Cannot create main DirectInput object. Function "
         L"\"DirectInput8Create()\" has returned: 80004005"},
        {"IDirectInput8W::CreateDevice", 0, 2, false,
         L"-->NVesk::NEvents::EventManager::InitEventManager >> Cannot create Keyboard device. Function "
         L"\"CreateDevice()\" has returned: 80004005"},
        {"IDirectInput8W::CreateDevice", 1, 3, true,
         L"-->NVesk::NEvents::EventManager::InitEventManager >> Cannot create Mouse device. Function "
         L"\"CreateDevice()\" has returned: 80004005"},
        {"IDirectInputDevice8W::SetCooperativeLevel", 1, 4, false,
         L"-->NVesk::NEvents::EventManager::InitEventManager >> Failed to set up devices."},
    };
    for (const SetUpFailure& failure : failures) {
        SCOPED_TRACE(failure.result);
        PlatformTesting::FailNextCalls(failure.operation, E_FAIL, 1, failure.passingFirst);
        LogCapture log;
        EXPECT_EQ(EventManager::InitEventManager(), failure.result);
        EXPECT_EQ(log.Messages(), (Lines {L"Setting up EventManager", failure.line}));
        EXPECT_EQ(TheEventManager.directInput, nullptr);
        EXPECT_EQ(TheEventManager.keyboard != nullptr, failure.keyboardKept);
        EXPECT_EQ(TheEventManager.mouse, nullptr);
        EXPECT_FALSE(TheEventManager.initialised);
        PlatformTesting::ClearFailures();
        EventManager::Release();
        EXPECT_EQ(TheEventManager.keyboard, nullptr);
    }
}

TEST_F(EventManagerTest, IgnoredSetUpFailuresStillLeaveALine) {
    PlatformTesting::FailNextCalls("IDirectInputDevice8W::SetDataFormat", E_FAIL, 1);
    PlatformTesting::FailNextCalls("IDirectInputDevice8W::SetCooperativeLevel", E_FAIL, 1);
    LogCapture log;
    EXPECT_EQ(EventManager::InitEventManager(), 0);
    EXPECT_EQ(log.Messages(),
              (Lines {L"Setting up EventManager",
                      L"-->NVesk::NEvents::EventManager::InitEventManager >> Cannot set Keyboard data "
                      L"format. Function \"SetDataFormat()\" has returned: 80004005",
                      L"-->NVesk::NEvents::EventManager::InitEventManager >> Cannot set Keyboard "
                      L"cooperative level. Function \"SetCooperativeLevel()\" has returned: 80004005"}));
}

TEST_F(EventManagerTest, FirstUpdateAcquiresAndReportsNothingThenHeldKeysAreDownEveryFrame) {
    ASSERT_EQ(EventManager::InitEventManager(), 0);
    ASSERT_TRUE(PlatformTesting::PressKey(DIK_F2));
    ASSERT_TRUE(PlatformTesting::MoveMouse(5, 5));
    EventManager::Update();
    EXPECT_TRUE(AllKeysUp()) << "not acquired yet";
    EXPECT_EQ(TheEventManager.mouseDeltaX, 0.0f);

    for (int frame = 0; frame < 3; ++frame) {
        ASSERT_TRUE(PlatformTesting::MoveMouse(3, -2));
        EventManager::Update();
        EXPECT_TRUE(Down(DIK_F2)) << "frame " << frame;
        EXPECT_FALSE(Down(DIK_F1));
        EXPECT_EQ(TheEventManager.mouseDeltaX, 3.0f);
        EXPECT_EQ(TheEventManager.mouseDeltaY, -2.0f);
    }
    ASSERT_TRUE(PlatformTesting::ReleaseKey(DIK_F2));
    EventManager::Update();
    EXPECT_FALSE(Down(DIK_F2));
    EXPECT_EQ(TheEventManager.mouseDeltaX, 0.0f);
}

TEST_F(EventManagerTest, FocusLossZeroesTheStateAndTheDevicesAreAcquiredAgainAfterwards) {
    ASSERT_EQ(EventManager::InitEventManager(), 0);
    EventManager::Update();
    ASSERT_TRUE(PlatformTesting::PressKey(DIK_ESCAPE));
    EventManager::Update();
    ASSERT_TRUE(Down(DIK_ESCAPE));

    ASSERT_TRUE(PlatformTesting::LoseFocus(Renderer::Window));
    Pump();
    PlatformTesting::CallCounter calls;
    for (int frame = 0; frame < 2; ++frame) {
        EventManager::Update();
        EXPECT_TRUE(AllKeysUp());
        EXPECT_EQ(TheEventManager.mouseDeltaX, 0.0f);
        EXPECT_EQ(TheEventManager.mouseState.rgbButtons[0], 0);
    }
    EXPECT_EQ(calls.Count("IDirectInputDevice8W::Acquire"), 4) << "every failed read tries again";

    ASSERT_TRUE(PlatformTesting::GainFocus(Renderer::Window));
    Pump();
    EventManager::Update();
    EXPECT_TRUE(AllKeysUp()) << "acquired on the way; live from the next frame";
    EventManager::Update();
    EXPECT_TRUE(Down(DIK_ESCAPE));
    ASSERT_TRUE(PlatformTesting::ReleaseKey(DIK_ESCAPE));
}

TEST_F(EventManagerTest, UpdateWithoutDevicesChangesNothing) {
    TheEventManager.useKeyboard = TheEventManager.useMouse = true;
    TheEventManager.keys[DIK_F1] = 0x80;
    EventManager::Update();
    EXPECT_EQ(TheEventManager.keys[DIK_F1], 0x80);
    EXPECT_EQ(TheEventManager.mouseDeltaX, 0.0f);
}

TEST_F(EventManagerTest, TheMouseMovesTheRestoredCursorSprite) {
    ASSERT_EQ(TheImageBox.InitImageBox(L""), 0);
    ASSERT_EQ(EventManager::InitEventManager(), 0);
    const CursorDesc desc =
        EngineTest::DemoCursorDesc(WriteImage("cursor.png", 660, 70, std::vector<std::uint32_t>(660 * 70, 0xFFFFFFFF)));
    CursorSprite::Create(800.0f, 600.0f, desc);
    ASSERT_EQ(TheImageBox.RestoreBox(800.0f, 600.0f), 0);
    ASSERT_EQ(TheCursorSprite.sprite->frames.size(), 10u);

    EventManager::Update();
    CursorSprite::Update();
    EXPECT_EQ(TheCursorSprite.sprite->x, 367.0f);
    EXPECT_EQ(TheCursorSprite.sprite->y, 265.0f);
    ASSERT_TRUE(PlatformTesting::MoveMouse(3, 0));
    EventManager::Update();
    CursorSprite::Update();
    EXPECT_EQ(TheCursorSprite.x, 406.0f);
    TheImageBox.ApplyChanges();
    const std::vector<NVesk::NRenderer::ImageVertex> quad = BoxVertices();
    ASSERT_EQ(quad.size(), 4u);
    EXPECT_EQ(quad[0].x, 373.0f);
    EXPECT_EQ(quad[3].y, 335.0f);
}

}  // namespace

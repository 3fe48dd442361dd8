// The cursor record: set-up from its description, movement by the mouse deltas, clamping to the
// screen and centring of the sprite. No device: the sprite's size is set as its restore would.
#include "CursorDescs.h"
#include "events/CursorSprite.h"

#include <gtest/gtest.h>

using NVesk::NEvents::CursorDesc;
using NVesk::NEvents::CursorSprite;
using NVesk::NEvents::TheCursorSprite;
using NVesk::NEvents::TheEventManager;
using NVesk::NRenderer::TheImageBox;

namespace {

class Cursor : public ::testing::Test {
protected:
    void SetUp() override {
        const CursorDesc desc = EngineTest::DemoCursorDesc(L"mushrum.png");
        CursorSprite::Create(800.0f, 600.0f, desc);
        TheCursorSprite.sprite->width = 66.0f;
        TheCursorSprite.sprite->height = 70.0f;
    }
    void TearDown() override {
        TheImageBox.images.clear();
        delete TheCursorSprite.holder;
        TheCursorSprite.sprite = nullptr;
        TheCursorSprite.holder = nullptr;
        TheEventManager.mouseDeltaX = TheEventManager.mouseDeltaY = 0.0f;
    }
    static void Move(float dx, float dy) {
        TheEventManager.mouseDeltaX = dx;
        TheEventManager.mouseDeltaY = dy;
        CursorSprite::Update();
    }
};

TEST_F(Cursor, CreateFillsTheRecordAndRegistersTheSprite) {
    EXPECT_EQ(TheCursorSprite.box, &TheImageBox);
    EXPECT_EQ(TheCursorSprite.events, &TheEventManager);
    EXPECT_EQ(TheCursorSprite.x, 400.0f);
    EXPECT_EQ(TheCursorSprite.y, 300.0f);
    EXPECT_EQ(TheCursorSprite.maxX, 799.0f);
    EXPECT_EQ(TheCursorSprite.maxY, 599.0f);
    EXPECT_EQ(TheCursorSprite.sensitivity, 2.0f);
    EXPECT_TRUE(TheCursorSprite.visible);
    ASSERT_EQ(TheImageBox.images.size(), 1u);
    EXPECT_EQ(TheImageBox.images[0], TheCursorSprite.holder);
    EXPECT_EQ(static_cast<NVesk::NRenderer::Image*>(TheCursorSprite.sprite), TheCursorSprite.holder);
    EXPECT_EQ(TheCursorSprite.sprite->x, 0.0f) << "centred only by the first update";
    EXPECT_EQ(TheCursorSprite.sprite->frameCount, 10);
}

TEST_F(Cursor, SpriteIsCentredOnThePoint) {
    Move(0.0f, 0.0f);
    EXPECT_EQ(TheCursorSprite.sprite->x, 367.0f);
    EXPECT_EQ(TheCursorSprite.sprite->y, 265.0f);
}

TEST_F(Cursor, SensitivityScalesTheMotion) {
    Move(3.0f, -2.0f);
    EXPECT_EQ(TheCursorSprite.x, 406.0f);
    EXPECT_EQ(TheCursorSprite.y, 296.0f);
    EXPECT_EQ(TheCursorSprite.sprite->x, 373.0f);
}

TEST_F(Cursor, ThePointStaysOnTheScreen) {
    Move(-1000.0f, -1000.0f);
    EXPECT_EQ(TheCursorSprite.x, 0.0f);
    EXPECT_EQ(TheCursorSprite.y, 0.0f);
    Move(-1.0f, -1.0f);
    EXPECT_EQ(TheCursorSprite.x, 0.0f);
    EXPECT_EQ(TheCursorSprite.sprite->x, -33.0f) << "the sprite itself may hang over the edge";
    Move(1000.0f, 1000.0f);
    EXPECT_EQ(TheCursorSprite.x, 799.0f);
    EXPECT_EQ(TheCursorSprite.y, 599.0f);
    Move(1.0f, 1.0f);
    EXPECT_EQ(TheCursorSprite.x, 799.0f);
    EXPECT_EQ(TheCursorSprite.y, 599.0f);
}

TEST_F(Cursor, AnInvisibleCursorDoesNotMove) {
    TheCursorSprite.visible = false;
    Move(10.0f, 10.0f);
    EXPECT_EQ(TheCursorSprite.x, 400.0f);
    EXPECT_EQ(TheCursorSprite.sprite->x, 0.0f);
}

}  // namespace

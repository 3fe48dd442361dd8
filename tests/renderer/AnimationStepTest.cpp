// Frame stepping of an animation by the frame timer's time, without a device: the frames are
// stand-in pointers that are never dereferenced.
#include "renderer/Animation.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>

using NVesk::NRenderer::Animation;
using NVesk::NRenderer::AnimationDesc;

namespace {

class AnimationStep : public ::testing::Test {
protected:
    // An animation that has (stand-in) frames as a restored one would.
    void Make(std::int32_t frameCount, double frameDuration = 0.08) {
        animation = std::make_unique<Animation>(AnimationDesc {L"strip.png", 66.0f, 70.0f, frameCount, frameDuration});
        for (std::int32_t frame = 0; frame < frameCount; ++frame)
            animation->frames.push_back(reinterpret_cast<IDirect3DTexture9*>(&fakeTextures[frame]));
        animation->texture = animation->frames[0];
    }
    void TearDown() override {
        // The stand-ins are not textures: nothing to release.
        if (animation) animation->frames.clear();
    }
    IDirect3DTexture9* Frame(int frame) { return reinterpret_cast<IDirect3DTexture9*>(&fakeTextures[frame]); }

    std::array<int, 4> fakeTextures {};
    std::unique_ptr<Animation> animation;
};

TEST_F(AnimationStep, DescriptionAndImagePartOfANewAnimation) {
    Make(4);
    EXPECT_EQ(animation->fileName, L"strip.png");
    EXPECT_FALSE(animation->ownsFileTexture) << "the texture manager is never used for frames";
    EXPECT_EQ(animation->colorKey, 0u);
    EXPECT_EQ(animation->index, -1);
    EXPECT_EQ(animation->frameWidth, 66.0f);
    EXPECT_EQ(animation->frameCount, 4);
    EXPECT_EQ(animation->currentFrame, 0);
    EXPECT_EQ(animation->elapsed, 0.0);
    EXPECT_EQ(animation->width, 0.0f) << "the quad takes the frame size at restore";
}

TEST_F(AnimationStep, SteppingKeepsTheRemainder) {
    Make(4);
    animation->Advance(0.05);
    EXPECT_EQ(animation->currentFrame, 0);
    EXPECT_DOUBLE_EQ(animation->elapsed, 0.05);
    EXPECT_EQ(animation->texture, Frame(0));
    animation->Advance(0.05);
    EXPECT_EQ(animation->currentFrame, 1);
    EXPECT_NEAR(animation->elapsed, 0.02, 1e-12);
    EXPECT_EQ(animation->texture, Frame(1));
}

TEST_F(AnimationStep, ExactlyOneFrameDurationDoesNotStep) {
    Make(4, 0.25);
    animation->Advance(0.25);
    EXPECT_EQ(animation->currentFrame, 0) << "the step needs strictly more than a frame's duration";
}

TEST_F(AnimationStep, ABacklogStepsOnceAndIsDropped) {
    Make(4);
    animation->Advance(0.3);
    EXPECT_EQ(animation->currentFrame, 1);
    EXPECT_EQ(animation->elapsed, 0.0);
}

TEST_F(AnimationStep, AfterTheLastFrameComesFrameZero) {
    Make(3);
    for (int step = 1; step <= 3; ++step)
        animation->Advance(0.1);
    EXPECT_EQ(animation->currentFrame, 0);
    EXPECT_EQ(animation->texture, Frame(0));
}

TEST_F(AnimationStep, ASingleFrameNeverChanges) {
    Make(1);
    for (int step = 0; step < 5; ++step)
        animation->Advance(0.1);
    EXPECT_EQ(animation->currentFrame, 0);
    EXPECT_EQ(animation->texture, Frame(0));
}

TEST_F(AnimationStep, DrawWithoutASlotLetsNoTimePass) {
    Make(2);
    NVesk::NRenderer::Timer clock;
    clock.frameTime = 0.5;
    NVesk::NRenderer::Timer* const shared = Animation::timer;
    Animation::timer = &clock;
    EXPECT_EQ(animation->Draw(), D3DERR_INVALIDCALL);
    Animation::timer = shared;
    EXPECT_EQ(animation->currentFrame, 0);
    EXPECT_EQ(animation->elapsed, 0.0);
}

TEST_F(AnimationStep, FewerFramesThanCountedNeverReadPastTheList) {
    // What a restore that failed part-way leaves: one frame of three.
    Make(3);
    animation->frames.resize(1);
    animation->Advance(0.1);
    EXPECT_EQ(animation->currentFrame, 1);
    EXPECT_EQ(animation->texture, Frame(0)) << "no frame 1 to show";
}

}  // namespace

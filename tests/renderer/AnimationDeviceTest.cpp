// Animations on the real device: the strip cut into default-pool frame textures, release and
// restore, drawing steps, and every failure on the way (nothing may be left alive after one).
#include "EngineFixture.h"

#include "renderer/Animation.h"
#include "renderer/ImageBox.h"
#include "renderer/Renderer.h"
#include "support/LogCapture.h"

#include <PlatformTesting/Direct3D.h>
#include <PlatformTesting/Faults.h>

#include <gtest/gtest.h>

using EngineTest::EngineFixture;
using NVesk::NRenderer::Animation;
using NVesk::NRenderer::AnimationDesc;
using NVesk::NRenderer::TheImageBox;
using PlatformTesting::Direct3DObject;
using PlatformTesting::LiveDirect3DObjects;
using TestSupport::LogCapture;
using Lines = std::vector<std::wstring>;

namespace {

constexpr std::uint32_t kFrameColours[3] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF};

class AnimationDeviceTest : public EngineFixture {
protected:
    void SetUp() override {
        EngineFixture::SetUp();
        ASSERT_EQ(TheImageBox.InitImageBox(L""), 0);
        // Three 4 x 2 frames side by side, one colour each, and a spare column at the right.
        std::vector<std::uint32_t> texels;
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 13; ++x)
                texels.push_back(x < 12 ? kFrameColours[x / 4] : 0xFFFFFFFF);
        strip = WriteImage("strip.png", 13, 2, texels);
    }
    Animation* Add(float frameWidth = 4.9f, std::int32_t frameCount = 3) {
        auto* animation = new Animation(AnimationDesc {strip, frameWidth, 2.0f, frameCount, 0.08});
        TheImageBox.AddImage(animation);
        return animation;
    }
    // The top-left texel of a frame texture and its size.
    static std::uint32_t FirstTexel(IDirect3DTexture9* frame, D3DSURFACE_DESC& desc) {
        frame->GetLevelDesc(0, &desc);
        D3DLOCKED_RECT locked;
        EXPECT_EQ(frame->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
        const std::uint32_t texel = *static_cast<const std::uint32_t*>(locked.pBits);
        frame->UnlockRect(0);
        return texel;
    }
    std::wstring strip;
};

TEST_F(AnimationDeviceTest, TheStripIsCutIntoOneDefaultPoolTexturePerFrame) {
    Animation* animation = Add();
    ASSERT_EQ(TheImageBox.RestoreBox(64.0f, 48.0f), 0);
    ASSERT_EQ(animation->frames.size(), 3u);
    EXPECT_EQ(animation->texture, animation->frames[0]);
    EXPECT_EQ(animation->width, 4.9f) << "the quad keeps the fractional frame width";
    EXPECT_EQ(LiveDirect3DObjects(Direct3DObject::Texture), 3) << "the strip is gone";
    for (int frame = 0; frame < 3; ++frame) {
        D3DSURFACE_DESC desc;
        EXPECT_EQ(FirstTexel(animation->frames[frame], desc), kFrameColours[frame]);
        EXPECT_EQ(desc.Width, 4u) << "frames are cut 4 pixels wide";
        EXPECT_EQ(desc.Height, 2u);
        EXPECT_EQ(desc.Pool, D3DPOOL_DEFAULT);
        EXPECT_EQ(desc.Usage, static_cast<DWORD>(D3DUSAGE_DYNAMIC));
        EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
    }
    const std::vector<NVesk::NRenderer::ImageVertex> quad = BoxVertices();
    EXPECT_FLOAT_EQ(quad[1].x - quad[0].x, 4.9f);

    animation->currentFrame = 1;
    TheImageBox.ReleaseBox();
    EXPECT_TRUE(animation->frames.empty());
    EXPECT_EQ(animation->index, -1);
    EXPECT_EQ(LiveDirect3DObjects(Direct3DObject::Texture), 0);
    ASSERT_EQ(TheImageBox.RestoreBox(64.0f, 48.0f), 0);
    EXPECT_EQ(animation->frames.size(), 3u);
    EXPECT_EQ(animation->texture, animation->frames[0]);
    EXPECT_EQ(animation->currentFrame, 1) << "the frame count goes on from where it was";
}

TEST_F(AnimationDeviceTest, DrawingStepsByTheTimersFrameTime) {
    Animation* animation = Add();
    ASSERT_EQ(TheImageBox.RestoreBox(64.0f, 48.0f), 0);
    NVesk::NRenderer::Timer clock;
    clock.frameTime = 0.05;
    NVesk::NRenderer::Timer* const shared = Animation::timer;
    Animation::timer = &clock;
    PlatformTesting::CallCounter calls;
    NVesk::NRenderer::Renderer::Device->BeginScene();
    TheImageBox.BeginDraw();
    EXPECT_EQ(animation->Draw(), D3D_OK);
    EXPECT_EQ(animation->texture, animation->frames[0]);
    EXPECT_EQ(animation->Draw(), D3D_OK);
    EXPECT_EQ(animation->texture, animation->frames[1]);
    TheImageBox.effect->EndPass();
    TheImageBox.effect->End();
    NVesk::NRenderer::Renderer::Device->EndScene();
    Animation::timer = shared;
    EXPECT_EQ(calls.Count("IDirect3DDevice9::DrawPrimitive"), 2);
}

TEST_F(AnimationDeviceTest, AFrameWidthOf66Point9Cuts66PixelFrames) {
    strip = WriteImage("wide.png", 140, 70, std::vector<std::uint32_t>(140 * 70, 0xFF808080));
    auto* animation = new Animation(AnimationDesc {strip, 66.9f, 70.0f, 2, 0.08});
    TheImageBox.AddImage(animation);
    ASSERT_EQ(TheImageBox.RestoreBox(800.0f, 600.0f), 0);
    ASSERT_EQ(animation->frames.size(), 2u);
    D3DSURFACE_DESC desc;
    FirstTexel(animation->frames[1], desc);
    EXPECT_EQ(desc.Width, 66u);
    EXPECT_EQ(desc.Height, 70u);
    EXPECT_EQ(animation->width, 66.9f);
}

struct FrameFailure {
    const char* what;
    const char* operation;
    int passingFirst;
    std::int32_t result;
    size_t framesKept;
    const wchar_t* line;
};

TEST_F(AnimationDeviceTest, EveryFailureIsLoggedAndLeavesNothingAlive) {
    const FrameFailure failures[] = {
        {"second frame texture", "D3DXCreateTexture", 1, 4, 1,
         L"NVesk::NRenderer::Animation::Restore >> Cannot create texture. Function \"D3DXCreateTexture\" returned an "
         L"error code: -2147024882"},
        {"strip surface", "IDirect3DTexture9::GetSurfaceLevel", 0, 4, 0,
         L"NVesk::NRenderer::Animation::Restore >> Cannot get Surface from source texture. Function "
         L"\"GetSurfaceLevel\" returned an error code: 8007000E"},
        {"third frame's surface", "IDirect3DTexture9::GetSurfaceLevel", 3, 4, 2,
         L"NVesk::NRenderer::Animation::Restore >> Cannot get Surface from destination texture. Function "
         L"\"GetSurfaceLevel\" returned an error code: 8007000E"},
        {"strip", "D3DXCreateTextureFromFileExW", 0, 3, 0,
         L"NVesk::NRenderer::Animation::Restore >> Cannot load texture: {strip}. Function "
         L"\"D3DXCreateTextureFromFile\" "
         L"returned an error code: 8007000E"},
    };
    Animation* animation = Add();
    for (const FrameFailure& failure : failures) {
        SCOPED_TRACE(failure.what);
        PlatformTesting::FailNextCalls(failure.operation, E_OUTOFMEMORY, 1, failure.passingFirst);
        LogCapture log;
        EXPECT_EQ(TheImageBox.RestoreBox(64.0f, 48.0f), 4);
        std::wstring line = failure.line;
        const size_t placeholder = line.find(L"{strip}");
        if (placeholder != std::wstring::npos) line.replace(placeholder, 7, strip);
        EXPECT_EQ(log.Messages(),
                  (Lines {line,
                          L"NVesk::NRenderer::ImageBox::RestoreBox >> Function \"Restore()\" returned an error "
                          L"code: " +
                              std::to_wstring(failure.result)}));
        EXPECT_EQ(animation->frames.size(), failure.framesKept);
        EXPECT_EQ(LiveDirect3DObjects(Direct3DObject::Texture), static_cast<int>(failure.framesKept))
            << "neither the strip nor a half-made frame survives";
        PlatformTesting::ClearFailures();
        TheImageBox.ReleaseBox();
        EXPECT_EQ(LiveDirect3DObjects(Direct3DObject::Texture), 0);
    }
}

// Every texel of a frame texture.
std::vector<std::uint32_t> Texels(IDirect3DTexture9* frame) {
    D3DSURFACE_DESC desc;
    frame->GetLevelDesc(0, &desc);
    D3DLOCKED_RECT locked;
    std::vector<std::uint32_t> texels;
    if (FAILED(frame->LockRect(0, &locked, nullptr, D3DLOCK_READONLY))) return texels;
    for (UINT y = 0; y < desc.Height; ++y) {
        const auto* row =
            reinterpret_cast<const std::uint32_t*>(static_cast<const BYTE*>(locked.pBits) + y * locked.Pitch);
        texels.insert(texels.end(), row, row + desc.Width);
    }
    frame->UnlockRect(0);
    return texels;
}

TEST_F(AnimationDeviceTest, FramesThatCannotBeCopiedShowNothingAndTheRestoreGoesOn) {
    Animation* animation = Add();
    // What a texture that nothing wrote may hold on Windows; it must never show.
    const PlatformTesting::NewTextureFill undefined(0xFFFF00FF);
    PlatformTesting::FailNextCalls("IDirect3DDevice9::UpdateSurface", E_OUTOFMEMORY, 2, 1);
    LogCapture log;
    ASSERT_EQ(TheImageBox.RestoreBox(64.0f, 48.0f), 0);
    EXPECT_EQ(log.Messages(),
              Lines {L"NVesk::NRenderer::Animation::Restore >> Cannot copy 2 of 3 frames; they are "
                     L"shown transparent. Function \"UpdateSurface\" returned an error code: 8007000E"});
    ASSERT_EQ(animation->frames.size(), 3u);
    EXPECT_EQ(animation->texture, animation->frames[0]);
    EXPECT_EQ(Texels(animation->frames[0]), std::vector<std::uint32_t>(8, kFrameColours[0]));
    for (int frame = 1; frame < 3; ++frame)
        EXPECT_EQ(Texels(animation->frames[frame]), std::vector<std::uint32_t>(8, 0u)) << "frame " << frame;
    EXPECT_EQ(LiveDirect3DObjects(Direct3DObject::Texture), 3) << "the strip is gone";

    // After a device reset the same failure gives the same frames.
    TheImageBox.ReleaseBox();
    PlatformTesting::FailNextCalls("IDirect3DDevice9::UpdateSurface", D3DERR_INVALIDCALL, 1);
    ASSERT_EQ(TheImageBox.RestoreBox(64.0f, 48.0f), 0);
    ASSERT_EQ(animation->frames.size(), 3u);
    EXPECT_EQ(Texels(animation->frames[0]), std::vector<std::uint32_t>(8, 0u));
    EXPECT_EQ(Texels(animation->frames[1]), std::vector<std::uint32_t>(8, kFrameColours[1]));
}

TEST_F(AnimationDeviceTest, AFrameThatCanBeNeitherCopiedNorClearedIsNotMade) {
    Animation* animation = Add();
    // The strip's loading locks textures of its own: a clean restore counts those locks.
    int loadingLocks = 0;
    {
        PlatformTesting::CallCounter calls;
        ASSERT_EQ(TheImageBox.RestoreBox(64.0f, 48.0f), 0);
        loadingLocks = calls.Count("IDirect3DTexture9::LockRect");
        TheImageBox.ReleaseBox();
    }
    PlatformTesting::FailNextCalls("IDirect3DDevice9::UpdateSurface", E_OUTOFMEMORY, 1, 1);
    PlatformTesting::FailNextCalls("IDirect3DTexture9::LockRect", D3DERR_INVALIDCALL, 1, loadingLocks);
    LogCapture log;
    EXPECT_EQ(TheImageBox.RestoreBox(64.0f, 48.0f), 4);
    EXPECT_EQ(log.Messages(),
              (Lines {L"NVesk::NRenderer::Animation::Restore >> Cannot copy a frame nor clear it. Function "
                      L"\"UpdateSurface\" returned an error code: 8007000E, then \"LockRect\": 8876086C",
                      L"NVesk::NRenderer::ImageBox::RestoreBox >> Function \"Restore()\" returned an error code: 4"}));
    EXPECT_EQ(animation->frames.size(), 1u) << "the frame before it stays, for the next Release";
    EXPECT_EQ(LiveDirect3DObjects(Direct3DObject::Texture), 1);
}

TEST_F(AnimationDeviceTest, AnAnimationWithoutFramesIsRefused) {
    Animation* animation = Add(4.0f, 0);
    PlatformTesting::CallCounter calls;
    LogCapture log;
    EXPECT_EQ(TheImageBox.RestoreBox(64.0f, 48.0f), 4);
    EXPECT_EQ(log.Messages(),
              (Lines {L"NVesk::NRenderer::Animation::Restore >> Bad frame count: 0",
                      L"NVesk::NRenderer::ImageBox::RestoreBox >> Function \"Restore()\" returned an error code: 5"}));
    EXPECT_EQ(calls.Count("D3DXCreateTextureFromFileExW"), 0);
    EXPECT_EQ(animation->index, -1);
    EXPECT_EQ(animation->Draw(), D3DERR_INVALIDCALL);
}

}  // namespace

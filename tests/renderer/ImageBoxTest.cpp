// The image box on the real device: shader-model refusal, effect and buffer creation and their
// failures, slots across release and restore, per-frame rewrites, and images drawn through the
// built-in effects.
#include "EngineFixture.h"

#include "../platform/d3d9/Direct3DTestSupport.h"
#include "renderer/Image.h"
#include "renderer/ImageBox.h"
#include "renderer/Renderer.h"
#include "support/LogCapture.h"

#include <PlatformTesting/Direct3D.h>
#include <PlatformTesting/Faults.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

using EngineTest::EngineFixture;
using NVesk::NRenderer::Image;
using NVesk::NRenderer::ImageVertex;
using NVesk::NRenderer::Renderer;
using NVesk::NRenderer::TheImageBox;
using PlatformTesting::Direct3DObject;
using PlatformTesting::LiveDirect3DObjects;
using TestSupport::LogCapture;
using Lines = std::vector<std::wstring>;

namespace {

using ImageBoxTest = EngineFixture;

struct ShaderCase {
    DWORD vertexShader;
    DWORD pixelShader;
    std::int32_t result;
    const wchar_t* line;
};

TEST_F(ImageBoxTest, RefusesDevicesBelowShaderModelTwoPixelShadersFirst) {
    const ShaderCase cases[] = {
        {D3DVS_VERSION(1, 1), D3DPS_VERSION(1, 4), 6,
         L"NVesk::NRenderer::ImageBox::InitImageBox >> The device doesn't support Pixel Shader 2.0"},
        {D3DVS_VERSION(3, 0), D3DPS_VERSION(1, 4), 6,
         L"NVesk::NRenderer::ImageBox::InitImageBox >> The device doesn't support Pixel Shader 2.0"},
        {D3DVS_VERSION(1, 1), D3DPS_VERSION(3, 0), 5,
         L"NVesk::NRenderer::ImageBox::InitImageBox >> The device doesn't support Vertex Shader 2.0"},
    };
    for (const ShaderCase& shaderCase : cases) {
        PlatformTesting::ReportShaderVersions(shaderCase.vertexShader, shaderCase.pixelShader);
        StartRenderer();
        LogCapture log;
        EXPECT_EQ(TheImageBox.InitImageBox(L""), shaderCase.result);
        EXPECT_EQ(log.Messages(), Lines {shaderCase.line});
        EXPECT_FALSE(TheImageBox.initialized);
        EXPECT_EQ(TheImageBox.vertexDeclaration, nullptr);
        EXPECT_EQ(TheImageBox.blendEffect, 0);
    }
    PlatformTesting::ReportShaderVersions(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0));
    StartRenderer();
    EXPECT_EQ(TheImageBox.InitImageBox(L""), 0) << "exactly 2.0 is enough";
}

TEST_F(ImageBoxTest, InitialisedBoxPublishesTheDeviceAndPicksTheBlendText) {
    EXPECT_EQ(TheImageBox.device, &Renderer::Device);
    EXPECT_EQ(TheImageBox.caps, &Renderer::Caps);
    ASSERT_EQ(TheImageBox.InitImageBox(L""), 0);
    EXPECT_NE(TheImageBox.vertexDeclaration, nullptr);
    EXPECT_EQ(TheImageBox.blendEffect, 1);
    EXPECT_TRUE(TheImageBox.useBuiltInEffect);
    EXPECT_TRUE(TheImageBox.initialized);
    EXPECT_EQ(Image::device, Renderer::Device);
    EXPECT_EQ(Image::TextureManager::device, Renderer::Device);
}

TEST_F(ImageBoxTest, WithoutImagesThereIsAnEffectAndAProjectionButNoBuffer) {
    ASSERT_EQ(TheImageBox.InitImageBox(L""), 0);
    LogCapture log;
    ASSERT_EQ(TheImageBox.RestoreBox(64.0f, 48.0f), 0);
    EXPECT_NE(TheImageBox.effect, nullptr);
    EXPECT_EQ(TheImageBox.vertexBuffer, nullptr);
    EXPECT_EQ(LiveDirect3DObjects(Direct3DObject::VertexBuffer), 0);
    // Pixel (0, 0) is the top-left corner and y grows downward.
    D3DXVECTOR3 corner(0.0f, 0.0f, 0.5f), opposite(64.0f, 48.0f, 0.5f);
    D3DXVec3TransformCoord(&corner, &corner, &TheImageBox.projection);
    D3DXVec3TransformCoord(&opposite, &opposite, &TheImageBox.projection);
    EXPECT_FLOAT_EQ(corner.x, -1.0f);
    EXPECT_FLOAT_EQ(corner.y, 1.0f);
    EXPECT_FLOAT_EQ(opposite.x, 1.0f);
    EXPECT_FLOAT_EQ(opposite.y, -1.0f);
    EXPECT_FLOAT_EQ(corner.z, 0.5f);
    TheImageBox.ApplyChanges();
    EXPECT_TRUE(log.Messages().empty());
}

TEST_F(ImageBoxTest, SlotsSurviveReleaseAndRestoreAndLateImagesWaitForTheNextRestore) {
    ASSERT_EQ(TheImageBox.InitImageBox(L""), 0);
    Image* first = nullptr;
    Image* second = nullptr;
    TheImageBox.CreateImage(first);
    TheImageBox.CreateImage(second);
    first->x = 1.0f;
    first->width = 10.0f;
    first->height = 10.0f;
    second->x = 20.0f;
    second->y = 5.0f;
    second->width = 4.0f;
    second->height = 2.0f;
    ASSERT_EQ(TheImageBox.RestoreBox(64.0f, 48.0f), 0);
    EXPECT_EQ(first->index, 0);
    EXPECT_EQ(second->index, 1);
    EXPECT_EQ(TheImageBox.currentIndex, 0u);
    EXPECT_EQ(Image::vertexData, nullptr) << "published only while locked";
    std::vector<ImageVertex> vertices = BoxVertices();
    ASSERT_EQ(vertices.size(), 8u);
    EXPECT_EQ(vertices[0].x, 1.0f);
    EXPECT_EQ(vertices[3].x, 11.0f);
    EXPECT_EQ(vertices[4].x, 20.0f);
    EXPECT_EQ(vertices[7].y, 7.0f);

    Image* late = nullptr;
    TheImageBox.CreateImage(late);
    late->width = 30.0f;
    late->height = 30.0f;
    EXPECT_EQ(late->index, -1);
    TheImageBox.ApplyChanges();
    EXPECT_EQ(BoxVertices().size(), 8u);
    {
        PlatformTesting::CallCounter calls;
        EXPECT_EQ(late->Draw(), D3DERR_INVALIDCALL);
        EXPECT_EQ(calls.Count("IDirect3DDevice9::DrawPrimitive"), 0);
    }

    TheImageBox.ReleaseBox();
    EXPECT_EQ(TheImageBox.effect, nullptr);
    EXPECT_EQ(TheImageBox.vertexBuffer, nullptr);
    EXPECT_EQ(first->index, -1);
    EXPECT_EQ(second->index, -1);
    EXPECT_NE(TheImageBox.vertexDeclaration, nullptr);
    EXPECT_EQ(LiveDirect3DObjects(Direct3DObject::VertexBuffer), 0);
    ASSERT_EQ(TheImageBox.RestoreBox(64.0f, 48.0f), 0);
    EXPECT_EQ(first->index, 0);
    EXPECT_EQ(second->index, 1);
    EXPECT_EQ(late->index, 2);
    EXPECT_EQ(BoxVertices().size(), 12u);
}

TEST_F(ImageBoxTest, ApplyChangesRewritesOnlyWhatMoved) {
    ASSERT_EQ(TheImageBox.InitImageBox(L""), 0);
    Image* still = nullptr;
    Image* moving = nullptr;
    TheImageBox.CreateImage(still);
    TheImageBox.CreateImage(moving);
    still->width = still->height = moving->width = moving->height = 8.0f;
    ASSERT_EQ(TheImageBox.RestoreBox(64.0f, 48.0f), 0);
    const std::vector<ImageVertex> restored = BoxVertices();
    TheImageBox.ApplyChanges();
    std::vector<ImageVertex> now = BoxVertices();
    ASSERT_EQ(now.size(), restored.size());
    EXPECT_EQ(std::memcmp(now.data(), restored.data(), now.size() * sizeof(ImageVertex)), 0);

    moving->y = 3.0f;
    TheImageBox.ApplyChanges();
    now = BoxVertices();
    EXPECT_EQ(std::memcmp(now.data(), restored.data(), 4 * sizeof(ImageVertex)), 0) << "the still image's quad";
    for (int vertex = 4; vertex < 8; ++vertex) {
        EXPECT_EQ(now[vertex].y, restored[vertex].y + 3.0f);
        EXPECT_EQ(now[vertex].u, restored[vertex].u);
        EXPECT_EQ(now[vertex].v, restored[vertex].v);
    }
}

TEST_F(ImageBoxTest, EffectFailuresAreLoggedWithTheCompilerOutput) {
    ASSERT_EQ(TheImageBox.InitImageBox(L""), 0);
    Image* image = nullptr;
    TheImageBox.CreateImage(image);
    {
        PlatformTesting::FailNextCalls("D3DXCreateEffect", E_FAIL, 1);
        LogCapture log;
        EXPECT_EQ(TheImageBox.RestoreBox(64.0f, 48.0f), 1);
        EXPECT_EQ(log.Messages(),
                  Lines {L"NVesk::NRenderer::ImageBox::RestoreBox >> Cannot compile an effect. Function "
                         L"\"D3DXCreateEffectFromFile()\" returned an error code: .80004005"});
        EXPECT_EQ(TheImageBox.effect, nullptr);
        EXPECT_EQ(TheImageBox.vertexBuffer, nullptr);
        EXPECT_EQ(image->index, -1);
    }

    TheImageBox.ShutdownBox();
    const std::wstring broken = folder.File("broken.fx");
    TestSupport::WriteBytes(folder.Path() / "broken.fx",
                            TestSupport::SingleBytes("float4 f(){return undefinedName\xE9;}technique{pass{}}"));
    ASSERT_EQ(TheImageBox.InitImageBox(broken), 0);
    EXPECT_FALSE(TheImageBox.useBuiltInEffect);
    LogCapture log;
    EXPECT_EQ(TheImageBox.RestoreBox(64.0f, 48.0f), 1);
    const Lines lines = log.Messages();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].rfind(L"NVesk::NRenderer::ImageBox::RestoreBox >> Cannot compile an effect. Function "
                             L"\"D3DXCreateEffectFromFile()\" returned an error code: .",
                             0),
              0u);
    EXPECT_EQ(lines[1].rfind(L"Compile log:", 0), 0u);
    EXPECT_NE(lines[1].find(L"error"), std::wstring::npos) << std::string(lines[1].begin(), lines[1].end());
}

TEST_F(ImageBoxTest, BufferFailuresGiveThreeWithTheEffectKept) {
    ASSERT_EQ(TheImageBox.InitImageBox(L""), 0);
    Image* image = nullptr;
    TheImageBox.CreateImage(image);
    {
        PlatformTesting::FailNextCalls("IDirect3DDevice9::CreateVertexBuffer", E_OUTOFMEMORY, 1);
        LogCapture log;
        EXPECT_EQ(TheImageBox.RestoreBox(64.0f, 48.0f), 3);
        EXPECT_EQ(log.Messages(),
                  (Lines {L"NVesk::NRenderer::ImageBox::RestoreBox >> Cannot create Vertex Buffer. Function "
                          L"\"CreateVertexBuffer()\" returned an error code: .8007000E",
                          L"NVesk::NRenderer::ImageBox::RestoreBox >> Failed to lock VertexBuffer"}));
        EXPECT_NE(TheImageBox.effect, nullptr);
    }
    {
        // No buffer: the per-frame write is a failed lock, not a write through null.
        LogCapture log;
        image->x = 4.0f;
        TheImageBox.ApplyChanges();
        EXPECT_EQ(log.Messages(), Lines {L"NVesk::NRenderer::ImageBox::ApplyChanges >> Failed to lock VertexBuffer"});
    }
    TheImageBox.ReleaseBox();
    {
        PlatformTesting::FailNextCalls("IDirect3DVertexBuffer9::Lock", D3DERR_INVALIDCALL, 1);
        LogCapture log;
        EXPECT_EQ(TheImageBox.RestoreBox(64.0f, 48.0f), 3);
        EXPECT_EQ(log.Messages(), Lines {L"NVesk::NRenderer::ImageBox::RestoreBox >> Failed to lock VertexBuffer"});
    }
    {
        PlatformTesting::FailNextCalls("IDirect3DVertexBuffer9::Lock", D3DERR_INVALIDCALL, 1);
        LogCapture log;
        TheImageBox.ApplyChanges();
        EXPECT_EQ(log.Messages(), Lines {L"NVesk::NRenderer::ImageBox::ApplyChanges >> Failed to lock VertexBuffer"});
    }
}

TEST_F(ImageBoxTest, DeclarationFailureIsLoggedAndTheBoxStillStarts) {
    PlatformTesting::FailNextCalls("IDirect3DDevice9::CreateVertexDeclaration", E_OUTOFMEMORY, 1);
    LogCapture log;
    EXPECT_EQ(TheImageBox.InitImageBox(L""), 0);
    EXPECT_EQ(log.Messages(), Lines {L"NVesk::NRenderer::ImageBox::InitImageBox >> Function "
                                     L"\"CreateVertexDeclaration()\" returned an error code: 8007000E"});
    EXPECT_EQ(TheImageBox.vertexDeclaration, nullptr);
}

TEST_F(ImageBoxTest, RemoveImageActsOnlyWhileInitialised) {
    ASSERT_EQ(TheImageBox.InitImageBox(L""), 0);
    Image* kept = nullptr;
    Image* removed = nullptr;
    TheImageBox.CreateImage(removed);
    TheImageBox.CreateImage(kept);
    TheImageBox.RemoveImage(removed);
    EXPECT_EQ(removed, nullptr);
    ASSERT_EQ(TheImageBox.images.size(), 1u);
    EXPECT_EQ(TheImageBox.images[0], kept);
    TheImageBox.ShutdownBox();
    Image* holder = kept;
    TheImageBox.RemoveImage(holder);
    EXPECT_EQ(holder, kept);
    EXPECT_EQ(TheImageBox.images.size(), 1u);
}

// Draws the box's images over the renderer's clear colour and reads the frame back.
class ImageBoxPixels : public EngineFixture {
protected:
    static constexpr DWORD kClear = 0xFF000080;
    static constexpr DWORD kRed = 0xFFFF0000;

    // 8 x 8: the left half opaque red, the right half green at alpha `alpha`.
    std::wstring HalfTransparentImage(std::uint32_t alpha) {
        std::vector<std::uint32_t> texels(64);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                texels[y * 8 + x] = x < 4 ? kRed : (alpha << 24) | 0x00FF00u;
        return WriteImage("half.png", 8, 8, texels);
    }

    std::vector<DWORD> DrawFrame(const std::vector<Image*>& shown) {
        IDirect3DDevice9* device = Renderer::Device;
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kClear, 1.0f, 0);
        device->BeginScene();
        TheImageBox.BeginDraw();
        for (Image* image : shown)
            EXPECT_EQ(image->Draw(), D3D_OK);
        TheImageBox.effect->EndPass();
        TheImageBox.effect->End();
        device->EndScene();
        return D3D9Test::ReadBackBuffer(device);
    }

    static DWORD At(const std::vector<DWORD>& pixels, int x, int y) { return pixels[static_cast<size_t>(y * 64 + x)]; }

    static void ExpectNear(DWORD actual, DWORD expected) {
        for (int shift = 0; shift < 32; shift += 8) {
            EXPECT_LE(
                std::abs(static_cast<int>((actual >> shift) & 0xFF) - static_cast<int>((expected >> shift) & 0xFF)), 2)
                << std::hex << actual << " vs " << expected;
        }
    }
};

TEST_F(ImageBoxPixels, BlendTextBlendsHalfTransparentTexelsOverTheClearColour) {
    ASSERT_EQ(TheImageBox.InitImageBox(L""), 0);
    const std::wstring file = HalfTransparentImage(0x80);
    Image* corner = new Image(file);
    Image* moved = new Image(file);
    moved->x = 20.0f;
    moved->y = 10.0f;
    TheImageBox.AddImage(corner);
    TheImageBox.AddImage(moved);
    ASSERT_EQ(TheImageBox.RestoreBox(64.0f, 48.0f), 0);
    EXPECT_EQ(corner->width, 8.0f);
    const std::vector<DWORD> pixels = DrawFrame({corner, moved});
    ASSERT_EQ(pixels.size(), 64u * 48u);
    // 0x80 / 255 of green over the clear colour's blue. Pixel 4 samples between a red and a green
    // texel (Direct3D 9 pixel centres) and is left out.
    const DWORD blended = 0xFF008040;
    EXPECT_EQ(At(pixels, 0, 0), kRed) << "pixel (0, 0) is the top-left corner";
    EXPECT_EQ(At(pixels, 3, 7), kRed);
    ExpectNear(At(pixels, 5, 0), blended);
    ExpectNear(At(pixels, 7, 7), blended);
    EXPECT_EQ(At(pixels, 8, 0), kClear);
    EXPECT_EQ(At(pixels, 0, 8), kClear);
    EXPECT_EQ(At(pixels, 19, 10), kClear);
    EXPECT_EQ(At(pixels, 20, 9), kClear);
    EXPECT_EQ(At(pixels, 20, 10), kRed);
    ExpectNear(At(pixels, 27, 17), blended);
    EXPECT_EQ(At(pixels, 28, 17), kClear);
    EXPECT_EQ(At(pixels, 63, 47), kClear);
}

TEST_F(ImageBoxPixels, TestTextDrawsTexelsAboveHalfAlphaUnblendedAndDropsTheRest) {
    ASSERT_EQ(TheImageBox.InitImageBox(L""), 0);
    TheImageBox.blendEffect = 0;
    Image* above = new Image(HalfTransparentImage(0x80));
    TheImageBox.AddImage(above);
    ASSERT_EQ(TheImageBox.RestoreBox(64.0f, 48.0f), 0);
    std::vector<DWORD> pixels = DrawFrame({above});
    EXPECT_EQ(At(pixels, 0, 0), kRed);
    EXPECT_EQ(At(pixels, 5, 5) & 0x00FFFFFF, 0x00FF00u) << "alpha 128 passes unblended";

    TheImageBox.ReleaseBox();
    Image* first = above;
    TheImageBox.RemoveImage(first);
    Image* below = new Image(HalfTransparentImage(0x7F));
    TheImageBox.AddImage(below);
    ASSERT_EQ(TheImageBox.RestoreBox(64.0f, 48.0f), 0);
    pixels = DrawFrame({below});
    EXPECT_EQ(At(pixels, 0, 0), kRed);
    EXPECT_EQ(At(pixels, 5, 5), kClear) << "alpha 127 is discarded";
}

}  // namespace

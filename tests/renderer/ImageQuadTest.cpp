// Image quads written into a plain memory block as the image box's lock would hand it out: the
// vertex layout, the built-in effect texts, corner positions, rotation, and positions-only rewrites.
#include "renderer/Image.h"
#include "renderer/ImageBox.h"
#include "renderer/ImageVertex.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstring>
#include <vector>

using NVesk::NRenderer::Image;
using NVesk::NRenderer::ImageBox;
using NVesk::NRenderer::ImageVertex;

namespace {

TEST(ImageVertexLayout, TwentyPackedBytesAndTheirDeclaration) {
    EXPECT_EQ(offsetof(ImageVertex, x), 0u);
    EXPECT_EQ(offsetof(ImageVertex, z), 8u);
    EXPECT_EQ(offsetof(ImageVertex, u), 12u);
    EXPECT_EQ(offsetof(ImageVertex, v), 16u);
    const D3DVERTEXELEMENT9* elements = NVesk::NRenderer::ImageVertexElements;
    EXPECT_EQ(elements[0].Stream, 0);
    EXPECT_EQ(elements[0].Offset, 0);
    EXPECT_EQ(elements[0].Type, D3DDECLTYPE_FLOAT3);
    EXPECT_EQ(elements[0].Method, D3DDECLMETHOD_DEFAULT);
    EXPECT_EQ(elements[0].Usage, D3DDECLUSAGE_POSITION);
    EXPECT_EQ(elements[0].UsageIndex, 0);
    EXPECT_EQ(elements[1].Stream, 0);
    EXPECT_EQ(elements[1].Offset, 12);
    EXPECT_EQ(elements[1].Type, D3DDECLTYPE_FLOAT2);
    EXPECT_EQ(elements[1].Method, D3DDECLMETHOD_DEFAULT);
    EXPECT_EQ(elements[1].Usage, D3DDECLUSAGE_TEXCOORD);
    EXPECT_EQ(elements[1].UsageIndex, 0);
    EXPECT_EQ(elements[2].Stream, 0xFF);
    EXPECT_EQ(elements[2].Offset, 0);
    EXPECT_EQ(elements[2].Type, D3DDECLTYPE_UNUSED);
}

TEST(ImageEffectTexts, BothTextsCharacterForCharacterWithTheirTerminatingZero) {
    static const char kBlend[] =
        "texture g_Texture;float4x4 g_mProj;sampler MeshTextureSampler=sampler_state{Texture = "
        "<g_Texture>;MipFilter=LINEAR;MinFilter=LINEAR;MagFilter=LINEAR;AddressU=CLAMP;AddressV=CLAMP;};struct "
        "VS_OUTPUT{float4 Position:POSITION;float2 TextureUV:TEXCOORD0;};VS_OUTPUT RenderSceneVS(float4 "
        "vPos:POSITION,float2 vTexCoord0:TEXCOORD0){VS_OUTPUT Output;Output.Position=mul(vPos, "
        "g_mProj);Output.TextureUV=vTexCoord0;return Output;}struct PS_OUTPUT{float4 RGBColor:COLOR0;};PS_OUTPUT "
        "RenderScenePS(VS_OUTPUT In){PS_OUTPUT "
        "Output;Output.RGBColor=tex2D(MeshTextureSampler,In.TextureUV);return Output;}technique{pass{VertexShader = "
        "compile vs_2_0 RenderSceneVS();PixelShader = compile ps_2_0 RenderScenePS();AlphaBlendEnable=TRUE;"
        "SrcBlend=SRCALPHA;DestBlend=INVSRCALPHA;}}";
    EXPECT_EQ(sizeof(ImageBox::AlphaBlendEffectSource), 759u);
    EXPECT_EQ(sizeof(ImageBox::AlphaTestEffectSource), 756u);
    EXPECT_EQ(std::strlen(ImageBox::AlphaBlendEffectSource), 758u);
    EXPECT_EQ(std::strlen(ImageBox::AlphaTestEffectSource), 755u);
    EXPECT_EQ(std::string(ImageBox::AlphaBlendEffectSource), kBlend);

    std::string test = kBlend;
    const std::string blendStates = "AlphaBlendEnable=TRUE;SrcBlend=SRCALPHA;DestBlend=INVSRCALPHA;";
    test.replace(test.find(blendStates), blendStates.size(),
                 "AlphaTestEnable=TRUE;AlphaFunc=GREATER;AlphaRef=0x0000007F;");
    EXPECT_EQ(std::string(ImageBox::AlphaTestEffectSource), test);
}

// Three slots of memory with a recognisable filler; the image under test writes through vertexData.
class ImageQuad : public ::testing::Test {
protected:
    static constexpr float kFiller = -777.0f;

    void SetUp() override {
        memory.assign(12, ImageVertex {kFiller, kFiller, kFiller, kFiller, kFiller});
        Image::vertexData = memory.data();
        image.x = 10.0f;
        image.y = 20.0f;
        image.width = 40.0f;
        image.height = 30.0f;
    }
    void TearDown() override { Image::vertexData = nullptr; }

    std::vector<std::byte> Bytes() const {
        std::vector<std::byte> bytes(memory.size() * sizeof(ImageVertex));
        std::memcpy(bytes.data(), memory.data(), bytes.size());
        return bytes;
    }
    static void ExpectVertex(const ImageVertex& vertex, float x, float y, float u, float v) {
        EXPECT_NEAR(vertex.x, x, 1e-4f);
        EXPECT_NEAR(vertex.y, y, 1e-4f);
        EXPECT_EQ(vertex.z, 0.5f);
        EXPECT_EQ(vertex.u, u);
        EXPECT_EQ(vertex.v, v);
    }

    std::vector<ImageVertex> memory;
    Image image {std::wstring()};
};

TEST_F(ImageQuad, RestoreWritesExactCornersIntoItsOwnSlotOnly) {
    ASSERT_EQ(image.Restore(1), 0);
    EXPECT_EQ(image.index, 1);
    // Exact at rotation 0: no transform is applied.
    EXPECT_EQ(memory[4].x, 10.0f);
    EXPECT_EQ(memory[4].y, 20.0f);
    ExpectVertex(memory[4], 10.0f, 20.0f, 0.0f, 0.0f);
    ExpectVertex(memory[5], 50.0f, 20.0f, 1.0f, 0.0f);
    ExpectVertex(memory[6], 10.0f, 50.0f, 0.0f, 1.0f);
    ExpectVertex(memory[7], 50.0f, 50.0f, 1.0f, 1.0f);
    for (int vertex : {0, 1, 2, 3, 8, 9, 10, 11}) {
        EXPECT_EQ(memory[vertex].x, kFiller) << "vertex " << vertex;
        EXPECT_EQ(memory[vertex].v, kFiller) << "vertex " << vertex;
    }
    EXPECT_EQ(image.lastX, 10.0f);
    EXPECT_EQ(image.lastWidth, 40.0f);
}

TEST_F(ImageQuad, QuarterTurnAboutTheCentre) {
    image.rotation = 1.57079632679489662f;  // a quarter turn
    ASSERT_EQ(image.Restore(0), 0);
    // Centre (30, 35); the top-left offset (-20, -15) becomes (15, -20), turning clockwise on screen.
    ExpectVertex(memory[0], 45.0f, 15.0f, 0.0f, 0.0f);
    ExpectVertex(memory[1], 45.0f, 55.0f, 1.0f, 0.0f);
    ExpectVertex(memory[2], 15.0f, 15.0f, 0.0f, 1.0f);
    ExpectVertex(memory[3], 15.0f, 55.0f, 1.0f, 1.0f);
}

TEST_F(ImageQuad, UpdateRewritesPositionsOnlyAndOnlyAfterAChange) {
    ASSERT_EQ(image.Restore(2), 0);
    const std::vector<std::byte> restored = Bytes();
    image.UpdateVertices();
    EXPECT_EQ(Bytes(), restored) << "nothing changed, nothing written";

    // Texture coordinates scribbled over must survive a position rewrite.
    for (int vertex = 8; vertex < 12; ++vertex)
        memory[vertex].u = memory[vertex].v = 9.0f;
    image.x += 5.0f;
    image.UpdateVertices();
    ExpectVertex(memory[8], 15.0f, 20.0f, 9.0f, 9.0f);
    ExpectVertex(memory[9], 55.0f, 20.0f, 9.0f, 9.0f);
    ExpectVertex(memory[10], 15.0f, 50.0f, 9.0f, 9.0f);
    ExpectVertex(memory[11], 55.0f, 50.0f, 9.0f, 9.0f);
    EXPECT_EQ(image.lastX, 15.0f);

    // A NaN rotation never equals the remembered one: every update rewrites the quad.
    image.rotation = std::nanf("");
    image.UpdateVertices();
    memory[8].x = kFiller;
    image.UpdateVertices();
    EXPECT_TRUE(std::isnan(memory[8].x));
}

TEST_F(ImageQuad, AnImageWithoutASlotWritesAndDrawsNothing) {
    const std::vector<std::byte> untouched = Bytes();
    image.x = 99.0f;
    image.UpdateVertices();
    EXPECT_EQ(Bytes(), untouched);
    EXPECT_EQ(image.Draw(), D3DERR_INVALIDCALL);
    EXPECT_EQ(image.index, -1);
}

TEST_F(ImageQuad, ReleaseWithoutAFileLeavesTheTextureAlone) {
    auto* owned = reinterpret_cast<IDirect3DTexture9*>(&memory);
    image.texture = owned;
    ASSERT_EQ(image.Restore(0), 0);
    image.Release();
    EXPECT_EQ(image.index, -1);
    EXPECT_EQ(image.texture, owned);
    EXPECT_FALSE(image.ownsFileTexture);
    EXPECT_TRUE(Image(L"a.png").ownsFileTexture);
}

}  // namespace

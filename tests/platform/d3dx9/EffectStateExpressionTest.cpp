// State values written as expressions and parameters given to compiled shaders, on a real device:
// constant expressions folded when the effect is created, expressions over parameters evaluated
// at BeginPass and CommitChanges, matrix states given a scalar, and compile arguments that read a
// parameter's current value.
#include "EffectPassFixture.h"
#include "Pixels.h"

#include <d3dx9.h>

#include <cstring>
#include <string>

namespace {

using D3DX9Tests::kClearColor;
using D3DX9Tests::Rgb;

class EffectStateExpressionTest : public D3DX9Tests::EffectPassFixture {
protected:
    DWORD RenderState(D3DRENDERSTATETYPE state) {
        DWORD value = 0xDEADBEEF;
        EXPECT_EQ(device_->GetRenderState(state, &value), D3D_OK);
        return value;
    }

    D3DMATRIX Transform(D3DTRANSFORMSTATETYPE state) {
        D3DMATRIX matrix {};
        EXPECT_EQ(device_->GetTransform(state, &matrix), D3D_OK);
        return matrix;
    }

    // Begins pass 0 of `technique` in a scene, with the quad's vertices bound.
    void BeginPass(const char* technique) {
        BindVertices(Quad(0, 0, 64, 48));
        ASSERT_EQ(effect_->SetTechnique(technique), D3D_OK);
        ASSERT_EQ(device_->BeginScene(), D3D_OK);
        ASSERT_EQ(effect_->Begin(nullptr, 0), D3D_OK);
        ASSERT_EQ(effect_->BeginPass(0), D3D_OK);
    }

    void EndPass() {
        EXPECT_EQ(effect_->EndPass(), D3D_OK);
        EXPECT_EQ(effect_->End(), D3D_OK);
        EXPECT_EQ(device_->EndScene(), D3D_OK);
    }

    // Draws `quad` inside the pass begun.
    void Draw(const std::vector<D3D9Test::QuadVertex>& quad) {
        BindVertices(quad);
        EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
    }
};

const char kSolidPixelShader[] = "float4 Solid() : COLOR { return float4(1, 1, 0, 1); }\n";

// The fixture's quads wind clockwise on screen: CullMode CW removes them, NONE and CCW keep them.
TEST_F(EffectStateExpressionTest, ACullModeExpressionFollowsABoolParameterAtBeginPassAndCommitChanges) {
    CreateOk(std::string(kSolidPixelShader) +
             "bool doubleSided = false;\n"
             "technique T { pass {\n"
             "  CullMode = (doubleSided ? NONE : CW);\n"
             "  VertexShader = compile vs_2_0 PixelVS(); PixelShader = compile ps_2_0 Solid();\n"
             "} }\n");
    Clear();
    BeginPass("T");
    EXPECT_EQ(RenderState(D3DRS_CULLMODE), static_cast<DWORD>(D3DCULL_CW));
    Draw(Quad(0, 0, 16, 48));  // culled
    // Set inside the pass, the parameter reaches the device with CommitChanges.
    ASSERT_EQ(effect_->SetBool("doubleSided", TRUE), D3D_OK);
    EXPECT_EQ(RenderState(D3DRS_CULLMODE), static_cast<DWORD>(D3DCULL_CW));
    ASSERT_EQ(effect_->CommitChanges(), D3D_OK);
    EXPECT_EQ(RenderState(D3DRS_CULLMODE), static_cast<DWORD>(D3DCULL_NONE));
    Draw(Quad(16, 0, 16, 48));  // drawn
    EndPass();
    // Set before BeginPass, it is read when the pass begins.
    BeginPass("T");
    EXPECT_EQ(RenderState(D3DRS_CULLMODE), static_cast<DWORD>(D3DCULL_NONE));
    Draw(Quad(32, 0, 16, 48));
    EndPass();
    ASSERT_EQ(effect_->SetBool("doubleSided", FALSE), D3D_OK);
    BeginPass("T");
    Draw(Quad(48, 0, 16, 48));
    EndPass();
    EXPECT_EQ(PixelAt(8, 20), kClearColor);
    EXPECT_EQ(Rgb(PixelAt(24, 20)), 0xFFFF00u);
    EXPECT_EQ(Rgb(PixelAt(40, 20)), 0xFFFF00u);
    EXPECT_EQ(PixelAt(56, 20), kClearColor);
}

TEST_F(EffectStateExpressionTest, ColourWritesAndBlendingFollowIntAndFloatParameters) {
    // Blue is written only when g_Channels asks for it; the blend factor comes from a float.
    CreateOk(std::string(kSolidPixelShader) +
             "int g_Channels = 2;\n"
             "float g_Mix = 1.0;\n"
             "technique T { pass {\n"
             "  ColorWriteEnable = g_Channels > 2 ? RED | GREEN | BLUE | ALPHA : RED | GREEN | ALPHA;\n"
             "  AlphaBlendEnable = g_Mix < 1; SrcBlend = BLENDFACTOR; DestBlend = INVBLENDFACTOR;\n"
             "  BlendFactor = float4(g_Mix, g_Mix, g_Mix, 1);\n"
             "  VertexShader = compile vs_2_0 PixelVS(); PixelShader = compile ps_2_0 Solid();\n"
             "} }\n");
    Clear();
    BeginPass("T");
    EXPECT_EQ(RenderState(D3DRS_COLORWRITEENABLE),
              static_cast<DWORD>(D3DCOLORWRITEENABLE_RED | D3DCOLORWRITEENABLE_GREEN | D3DCOLORWRITEENABLE_ALPHA));
    EXPECT_EQ(RenderState(D3DRS_ALPHABLENDENABLE), static_cast<DWORD>(FALSE));
    Draw(Quad(0, 0, 32, 48));  // yellow over the blue clear colour, blue kept: white
    ASSERT_EQ(effect_->SetInt("g_Channels", 3), D3D_OK);
    ASSERT_EQ(effect_->SetFloat("g_Mix", 0.5f), D3D_OK);
    ASSERT_EQ(effect_->CommitChanges(), D3D_OK);
    EXPECT_EQ(RenderState(D3DRS_ALPHABLENDENABLE), static_cast<DWORD>(TRUE));
    EXPECT_EQ(RenderState(D3DRS_BLENDFACTOR), 0xFF808080u);
    Draw(Quad(32, 0, 32, 48));  // half yellow, half blue, every channel written
    EndPass();
    EXPECT_EQ(Rgb(PixelAt(10, 20)), 0xFFFFFFu);
    const DWORD mixed = PixelAt(50, 20);
    EXPECT_NEAR(D3DX9Tests::Channel(mixed, 16), 128, 1);
    EXPECT_NEAR(D3DX9Tests::Channel(mixed, 8), 128, 1);
    EXPECT_NEAR(D3DX9Tests::Channel(mixed, 0), 127, 1);
}

TEST_F(EffectStateExpressionTest, ConstantExpressionsFoldWithDefinesStaticConstsAndCasts) {
    CreateOk(
        "#define REF_BASE 0x20\n"
        "#define FOG_SCALE (1.0 / 4)\n"
        "static const int kStencilBits = 3;\n"
        "static const float3 kFog = {0.25, 0.5, 1.0};\n"
        "static const bool kBlend = kStencilBits >= 3 && !false;\n"
        "technique T { pass {\n"
        "  AlphaRef = REF_BASE * 2 + (int)1.75;\n"
        "  StencilMask = pow(2, kStencilBits) - 1; StencilRef = kStencilBits * 0x40 + 0x20 % 6;\n"
        "  FogDensity = FOG_SCALE * kFog.y; FogStart = max(2, kFog.z * 3) - 0.5f; FogEnd = -(-4);\n"
        "  FogColor = float4(kFog.zyx, 1); AlphaBlendEnable = kBlend; ZFunc = (LESS + 1);\n"
        "  ZEnable = 1 > 2 || 3 == 3; DepthBias = 7 / 2 + 7 % 2 * 0.25; CullMode = (CCW);\n"
        "  Lighting = 0.25 * 2; SpecularEnable = 0.25 - 0.25;\n"
        "} }\n");
    BeginPass("T");
    const float density = 0.125f;
    const float start = 2.5f;
    const float end = 4.0f;
    const float bias = 3.25f;
    const auto bits = [](float value) {
        DWORD number = 0;
        std::memcpy(&number, &value, sizeof(number));
        return number;
    };
    EXPECT_EQ(RenderState(D3DRS_ALPHAREF), 0x41u);
    EXPECT_EQ(RenderState(D3DRS_STENCILMASK), 7u);
    EXPECT_EQ(RenderState(D3DRS_STENCILREF), 0xC2u);  // % before +
    EXPECT_EQ(RenderState(D3DRS_FOGDENSITY), bits(density));
    EXPECT_EQ(RenderState(D3DRS_FOGSTART), bits(start));
    EXPECT_EQ(RenderState(D3DRS_FOGEND), bits(end));
    EXPECT_EQ(RenderState(D3DRS_FOGCOLOR), 0xFFFF8040u);
    EXPECT_EQ(RenderState(D3DRS_ALPHABLENDENABLE), static_cast<DWORD>(TRUE));
    EXPECT_EQ(RenderState(D3DRS_ZFUNC), static_cast<DWORD>(D3DCMP_EQUAL));
    EXPECT_EQ(RenderState(D3DRS_ZENABLE), static_cast<DWORD>(D3DZB_TRUE));
    EXPECT_EQ(RenderState(D3DRS_DEPTHBIAS), bits(bias));  // 7 / 2 is an int division
    EXPECT_EQ(RenderState(D3DRS_CULLMODE), static_cast<DWORD>(D3DCULL_CCW));
    EXPECT_EQ(RenderState(D3DRS_LIGHTING), static_cast<DWORD>(TRUE));  // a bool state: nonzero is TRUE
    EXPECT_EQ(RenderState(D3DRS_SPECULARENABLE), static_cast<DWORD>(FALSE));
    EndPass();
}

TEST_F(EffectStateExpressionTest, VectorStatesGivenAScalarHoldItInEveryComponent) {
    CreateOk(
        "float g_Grey = 0.25;\n"
        "technique T { pass {\n"
        "  VertexShader = NULL; PixelShader = NULL;\n"
        "  MaterialAmbient = 0.5; MaterialDiffuse = <g_Grey>; MaterialEmissive = g_Grey * 2;\n"
        "  LightEnable[0] = TRUE; LightDiffuse[0] = float3(1, 0.5, 0); LightSpecular[0] = 1;\n"
        "} }\n");
    BeginPass("T");
    D3DMATERIAL9 material {};
    ASSERT_EQ(device_->GetMaterial(&material), D3D_OK);
    EXPECT_EQ(material.Ambient.r, 0.5f);
    EXPECT_EQ(material.Ambient.a, 0.5f);
    EXPECT_EQ(material.Diffuse.g, 0.25f);
    EXPECT_EQ(material.Diffuse.a, 0.25f);
    EXPECT_EQ(material.Emissive.b, 0.5f);
    D3DLIGHT9 light {};
    ASSERT_EQ(device_->GetLight(0, &light), D3D_OK);
    EXPECT_EQ(light.Diffuse.g, 0.5f);
    EXPECT_EQ(light.Diffuse.a, 1.0f);  // three numbers are widened with w = 1
    EXPECT_EQ(light.Specular.b, 1.0f);
    ASSERT_EQ(effect_->SetFloat("g_Grey", 0.125f), D3D_OK);
    ASSERT_EQ(effect_->CommitChanges(), D3D_OK);
    ASSERT_EQ(device_->GetMaterial(&material), D3D_OK);
    EXPECT_EQ(material.Diffuse.r, 0.125f);
    EXPECT_EQ(material.Emissive.r, 0.25f);
    EndPass();
}

TEST_F(EffectStateExpressionTest, ExpressionsTheStateCannotTakeAreRefusedWithTheirPlace) {
    const struct {
        const char* pass;
        const char* error;
    } refused[] = {
        {"CullMode = doubleSided ? NONE : Square;", "undeclared identifier 'Square'"},
        {"ZFunc = g_Vector * 2;", "the state takes one number"},
        {"ColorWriteEnable = RED | doubleSided;", "bitwise operations need shader model 4"},
        {"StencilRef = 1 << 2;", "'<<': bitwise operations need shader model 4"},
        {"FogStart = g_Vector.q;", "invalid swizzle 'q'"},
        {"FogStart = 1 + ;", "syntax error"},
        {"FogStart = g_Vector + float3(1, 2, 3);", "type mismatch"},
        {"FogStart = g_Array;", "'g_Array' is an array"},
        {"FogStart = g_Array[2].x;", "array index out of bounds"},
        {"CullMode = <NONE>;", "undeclared identifier 'NONE'"},
        {"WorldTransform[0] = g_Vector;", "the state takes a 4x4 matrix or a scalar"},
        {"FogStart = float2(1);", "'float2' needs 2 values and is given 1"},
    };
    for (const auto& entry : refused) {
        const std::string errors =
            Refused(std::string("bool doubleSided; float4 g_Vector; float2 g_Array[2];\ntechnique { pass { ") +
                    entry.pass + " } }\n");
        EXPECT_NE(errors.find(entry.error), std::string::npos) << entry.pass << "\n" << errors;
        EXPECT_NE(errors.find("(5,20): error"), std::string::npos) << errors;
    }
}

TEST_F(EffectStateExpressionTest, MatrixStatesGivenAScalarHoldItInEveryElement) {
    CreateOk(
        "float g_Scale = 0.5;\n"
        "float4x4 g_Rows[2];\n"
        "technique T { pass {\n"
        "  VertexShader = NULL; PixelShader = NULL;\n"
        "  TextureTransform[0] = 0; ViewTransform = 1.5; WorldTransform[1] = (int)2.5;\n"
        "  ProjectionTransform = g_Scale * 2;\n"
        "  TextureTransform[1] = float4x4(1, 0, 0, 0, 0, 2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 1);\n"
        "  TextureTransform[2] = g_Rows[1];\n"
        "} }\n");
    const D3DXMATRIX rows[2] = {D3DXMATRIX(), D3DXMATRIX(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16)};
    ASSERT_EQ(effect_->SetValue("g_Rows", rows, sizeof(rows)), D3D_OK);
    const auto every = [](const D3DMATRIX& matrix, float value) {
        for (int r = 0; r < 4; ++r) {
            for (int c = 0; c < 4; ++c) {
                if (matrix.m[r][c] != value) return false;
            }
        }
        return true;
    };
    BeginPass("T");
    EXPECT_TRUE(every(Transform(D3DTS_TEXTURE0), 0.0f));
    EXPECT_TRUE(every(Transform(D3DTS_VIEW), 1.5f));
    EXPECT_TRUE(every(Transform(D3DTS_WORLDMATRIX(1)), 2.0f));
    EXPECT_TRUE(every(Transform(D3DTS_PROJECTION), 1.0f));
    const D3DMATRIX scaled = Transform(D3DTS_TEXTURE1);
    EXPECT_EQ(scaled.m[1][1], 2.0f);
    EXPECT_EQ(scaled.m[2][2], 3.0f);
    EXPECT_EQ(scaled.m[0][1], 0.0f);
    const D3DMATRIX second = Transform(D3DTS_TEXTURE2);
    EXPECT_EQ(second.m[0][1], 2.0f);
    EXPECT_EQ(second.m[3][0], 13.0f);
    // A scalar parameter is read again with CommitChanges.
    ASSERT_EQ(effect_->SetFloat("g_Scale", 2.0f), D3D_OK);
    ASSERT_EQ(effect_->CommitChanges(), D3D_OK);
    EXPECT_TRUE(every(Transform(D3DTS_PROJECTION), 4.0f));
    EndPass();
}

// The compiled shader reads the parameter named as its argument, as it is when the pass begins
// or changes commit; a literal or an expression argument keeps its value.
TEST_F(EffectStateExpressionTest, AParameterGivenAsACompileArgumentIsReadAtBeginPassAndCommitChanges) {
    CreateOk(
        "bool useTexture = false;\n"
        "int g_Level = 1;\n"
        "float g_Bright = 0.5;\n"
        "texture g_Texture;\n"
        "sampler s_Texture = sampler_state { Texture = <g_Texture>; MinFilter = Point; MagFilter = Point; };\n"
        "float4 MainPS(float2 uv : TEXCOORD0, uniform bool textured, uniform int level, uniform float bright)"
        " : COLOR\n"
        "{\n"
        "  if (textured) return tex2D(s_Texture, uv);\n"
        "  return level > 1 ? float4(0, 0, bright, 1) : float4(bright, 0, 0, 1);\n"
        "}\n"
        "technique Read { pass { VertexShader = compile vs_2_0 PixelVS();\n"
        "  PixelShader = compile ps_2_0 MainPS(useTexture, g_Level, g_Bright); } }\n"
        "technique Fixed { pass { VertexShader = compile vs_2_0 PixelVS();\n"
        "  PixelShader = compile ps_2_0 MainPS(false, 1 + 1, 0.5 * 2); } }\n"
        "technique Negated { pass { VertexShader = compile vs_2_0 PixelVS();\n"
        "  PixelShader = compile ps_2_0 MainPS(!useTexture, g_Level, g_Bright); } }\n");
    ASSERT_EQ(effect_->SetTexture("g_Texture", SolidTexture(0xFF00FF00)), D3D_OK);
    Clear();
    BeginPass("Read");
    Draw(Quad(0, 0, 16, 24));  // half red
    ASSERT_EQ(effect_->SetBool("useTexture", TRUE), D3D_OK);
    ASSERT_EQ(effect_->CommitChanges(), D3D_OK);
    Draw(Quad(16, 0, 16, 24));  // the texture's green
    EndPass();
    ASSERT_EQ(effect_->SetBool("useTexture", FALSE), D3D_OK);
    ASSERT_EQ(effect_->SetInt("g_Level", 2), D3D_OK);
    ASSERT_EQ(effect_->SetFloat("g_Bright", 1.0f), D3D_OK);
    BeginPass("Read");
    Draw(Quad(32, 0, 16, 24));  // blue
    EndPass();
    BeginPass("Fixed");
    Draw(Quad(48, 0, 16, 24));  // blue, whatever the parameters say
    ASSERT_EQ(effect_->SetInt("g_Level", 1), D3D_OK);
    ASSERT_EQ(effect_->CommitChanges(), D3D_OK);
    Draw(Quad(48, 24, 16, 24));
    EndPass();
    BeginPass("Negated");
    Draw(Quad(0, 24, 16, 24));  // useTexture is false: textured
    EndPass();
    EXPECT_NEAR(D3DX9Tests::Channel(PixelAt(8, 10), 16), 128, 1);
    EXPECT_EQ(D3DX9Tests::Channel(PixelAt(8, 10), 8), 0);
    EXPECT_EQ(Rgb(PixelAt(24, 10)), 0x00FF00u);
    EXPECT_EQ(Rgb(PixelAt(40, 10)), 0x0000FFu);
    EXPECT_EQ(Rgb(PixelAt(56, 10)), 0x0000FFu);
    EXPECT_EQ(Rgb(PixelAt(56, 34)), 0x0000FFu);
    EXPECT_EQ(Rgb(PixelAt(8, 34)), 0x00FF00u);
}

}  // namespace

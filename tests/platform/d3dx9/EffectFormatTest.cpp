// Forms of the effect format on a real device that the pass and state suites do not cover: a
// sampler_state block written in a pass, shader arrays indexed by an expression, state indices
// and values given by constants, named values of the wrap and vertex-blend states, and the
// states refused, each named with its place.
#include "EffectPassFixture.h"
#include "Pixels.h"

#include <d3dx9.h>

#include <string>

namespace {

using D3DX9Tests::Rgb;

class EffectFormatTest : public D3DX9Tests::EffectPassFixture {
protected:
    std::string Refused(const std::string& body) {
        std::string errors;
        EXPECT_EQ(Create(body, &errors), E_FAIL) << body;
        if (effect_ != nullptr) {
            effect_->Release();
            effect_ = nullptr;
        }
        return errors;
    }

    DWORD SamplerState(DWORD stage, D3DSAMPLERSTATETYPE state) {
        DWORD value = 0xDEADBEEF;
        EXPECT_EQ(device_->GetSamplerState(stage, state, &value), D3D_OK);
        return value;
    }
};

TEST_F(EffectFormatTest, ASamplerStateBlockInAPassSetsItsStageAndTexture) {
    CreateOk(
        "texture g_Texture;\n"
        "sampler s_Plain;\n"
        "float4 TexturedPS(float2 uv : TEXCOORD0) : COLOR { return tex2D(s_Plain, uv); }\n"
        "technique T { pass {\n"
        "  Sampler[0] = sampler_state { Texture = <g_Texture>; MinFilter = Point; MagFilter = Point;\n"
        "                               AddressU = Clamp; MaxAnisotropy = 2 + 2; };\n"
        "  VertexShader = compile vs_2_0 PixelVS(); PixelShader = compile ps_2_0 TexturedPS();\n"
        "} }\n");
    ASSERT_EQ(effect_->SetTexture("g_Texture", SolidTexture(0xFF00FF00)), D3D_OK);
    Clear();
    BindVertices(Quad(0, 0, 64, 48));
    ASSERT_EQ(device_->BeginScene(), D3D_OK);
    ASSERT_EQ(effect_->Begin(nullptr, 0), D3D_OK);
    ASSERT_EQ(effect_->BeginPass(0), D3D_OK);
    EXPECT_EQ(SamplerState(0, D3DSAMP_MINFILTER), static_cast<DWORD>(D3DTEXF_POINT));
    EXPECT_EQ(SamplerState(0, D3DSAMP_ADDRESSU), static_cast<DWORD>(D3DTADDRESS_CLAMP));
    EXPECT_EQ(SamplerState(0, D3DSAMP_MAXANISOTROPY), 4u);
    EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
    EXPECT_EQ(effect_->EndPass(), D3D_OK);
    EXPECT_EQ(effect_->End(), D3D_OK);
    ASSERT_EQ(device_->EndScene(), D3D_OK);
    EXPECT_EQ(Rgb(PixelAt(30, 20)), 0x00FF00u);
    // End put the stage back.
    EXPECT_EQ(SamplerState(0, D3DSAMP_MAXANISOTROPY), 1u);
}

TEST_F(EffectFormatTest, AShaderArrayIndexedByAnExpressionPicksItsShaderAtBeginPass) {
    CreateOk(
        "int g_Lights = 1;\n"
        "bool g_Bright = false;\n"
        "static const int kLast = 2;\n"
        "float4 Solid(uniform float4 color) : COLOR { return color; }\n"
        "PixelShader g_Shaders[3] = { compile ps_2_0 Solid(float4(1, 0, 0, 1)),\n"
        "  compile ps_2_0 Solid(float4(0, 1, 0, 1)), compile ps_2_0 Solid(float4(1, 1, 1, 1)) };\n"
        "technique Picked { pass { VertexShader = compile vs_2_0 PixelVS();\n"
        "  PixelShader = (g_Shaders[g_Bright ? kLast : g_Lights - 1]); } }\n"
        "technique Last { pass { VertexShader = compile vs_2_0 PixelVS(); PixelShader = (g_Shaders[kLast]); } }\n");
    Clear();
    ASSERT_EQ(DrawPass("Picked", 0, Quad(0, 0, 16, 48)), D3D_OK);  // g_Lights - 1 = 0: red
    ASSERT_EQ(effect_->SetInt("g_Lights", 2), D3D_OK);
    ASSERT_EQ(DrawPass("Picked", 0, Quad(16, 0, 16, 48)), D3D_OK);  // green
    ASSERT_EQ(effect_->SetBool("g_Bright", TRUE), D3D_OK);
    ASSERT_EQ(DrawPass("Picked", 0, Quad(32, 0, 16, 48)), D3D_OK);  // white
    ASSERT_EQ(DrawPass("Last", 0, Quad(48, 0, 16, 48)), D3D_OK);    // white
    EXPECT_EQ(Rgb(PixelAt(8, 20)), 0xFF0000u);
    EXPECT_EQ(Rgb(PixelAt(24, 20)), 0x00FF00u);
    EXPECT_EQ(Rgb(PixelAt(40, 20)), 0xFFFFFFu);
    EXPECT_EQ(Rgb(PixelAt(56, 20)), 0xFFFFFFu);
    // An index the expression takes outside the array: the pass does not begin.
    ASSERT_EQ(effect_->SetBool("g_Bright", FALSE), D3D_OK);
    ASSERT_EQ(effect_->SetInt("g_Lights", 4), D3D_OK);
    EXPECT_EQ(DrawPass("Picked", 0, Quad(0, 0, 64, 48)), D3DERR_INVALIDCALL);
}

TEST_F(EffectFormatTest, StateIndicesAndNamedValuesOfWrapAndVertexBlend) {
    std::string errors;
    ASSERT_EQ(Create("static const int kStage = 1;\n"
                     "technique Blend { pass {\n"
                     "  VertexBlend = 2WEIGHTS; AddressV[kStage * 2] = Mirror; ColorOp[kStage] = Disable;\n"
                     "} }\n"
                     "technique Wrapped { pass { Wrap0 = U | V; Wrap1 = COORD3; } }\n",
                     &errors),
              D3D_OK)
        << errors;
    // The device keeps texture wrapping at its default: the names are read, the device refuses them.
    EXPECT_EQ(effect_->ValidateTechnique("Blend"), D3D_OK);
    EXPECT_EQ(effect_->ValidateTechnique("Wrapped"), D3DERR_NOTAVAILABLE);
    BindVertices(Quad(0, 0, 4, 4));
    ASSERT_EQ(effect_->Begin(nullptr, 0), D3D_OK);
    ASSERT_EQ(effect_->BeginPass(0), D3D_OK);
    DWORD value = 0;
    ASSERT_EQ(device_->GetRenderState(D3DRS_VERTEXBLEND, &value), D3D_OK);
    EXPECT_EQ(value, static_cast<DWORD>(D3DVBF_2WEIGHTS));
    EXPECT_EQ(SamplerState(2, D3DSAMP_ADDRESSV), static_cast<DWORD>(D3DTADDRESS_MIRROR));
    ASSERT_EQ(device_->GetTextureStageState(1, D3DTSS_COLOROP, &value), D3D_OK);
    EXPECT_EQ(value, static_cast<DWORD>(D3DTOP_DISABLE));
    EXPECT_EQ(effect_->EndPass(), D3D_OK);
    EXPECT_EQ(effect_->End(), D3D_OK);
}

TEST_F(EffectFormatTest, RefusedFormsNameTheirConstructAndPlace) {
    const struct {
        const char* text;  // on line 4, after the fixture's vertex shader
        const char* error;
    } refused[] = {
        {"technique { pass { PatchSegments = 4; } }", "(4,20): error: 'PatchSegments' is not supported"},
        {"technique { pass { VertexShaderConstant1[0] = float4(1, 2, 3, 4); } }",
         "(4,20): error: shader constant states are not supported"},
        {"technique { pass { PixelShaderConstantF[2] = {1, 2, 3, 4}; } }",
         "(4,20): error: shader constant states are not supported"},
        {"technique { pass { StateBlock = stateblock_state { CullMode = None; }; } }", "(4,20): error: state blocks"},
        {"stateblock g_Block = stateblock_state { CullMode = None; };", "(4,1): error: state blocks"},
        {"technique { pass { PixelShader = asm { ps_2_0 mov oC0, c0 }; } }",
         "(4,34): error: assembly shaders are not supported"},
        {"PixelShader g_Shaders[2] = { NULL, NULL };\ntechnique { pass { PixelShader = (g_Shaders[3 - 1]); } }",
         "(5,20): error: index 2 is outside 'g_Shaders'"},
        {"PixelShader g_Shaders[2] = { NULL, NULL };\ntechnique { pass { PixelShader = (g_Shaders[Bogus + 1]); } }",
         "(5,45): error: invalid shader index: undeclared identifier 'Bogus'"},
        {"technique { pass { AddressU[g_Stage] = Clamp; } }", "(4,29): error: state index must be a literal number"},
    };
    for (const auto& entry : refused) {
        const std::string errors = Refused(entry.text);
        EXPECT_NE(errors.find(entry.error), std::string::npos) << entry.text << "\n" << errors;
    }
}

}  // namespace

// Effect passes as real effect files write them, on a real device: passes with one, none or NULL
// shaders, sampler and texture states in a pass, uniform arguments to compiled shaders, shader
// arrays picked by an int parameter, and stages that pass values of different widths.
#include "EffectPassFixture.h"
#include "Pixels.h"

#include <PlatformTesting/Faults.h>
#include "HlslCompiler.h"

#include <d3dx9.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using D3DX9Tests::Channel;
using D3DX9Tests::kClearColor;
using D3DX9Tests::Rgb;

using EffectPassTest = D3DX9Tests::EffectPassFixture;

TEST_F(EffectPassTest, UniformArgumentsCompileOneVariantPerArgumentList) {
    CreateOk(
        "float4 Tinted(uniform float3 tint, uniform bool half) : COLOR\n"
        "{ return float4(half ? tint * 0.5 : tint, 1); }\n"
        "technique T {\n"
        "  pass Red { VertexShader = compile vs_2_0 PixelVS(); PixelShader = compile ps_2_0 Tinted(float3(1, 0, 0), "
        "false); }\n"
        "  pass HalfGreen { VertexShader = compile vs_2_0 PixelVS(); PixelShader = compile ps_2_0 "
        "Tinted(float3(0, 1, 0), true); }\n"
        "}\n");
    Clear();
    ASSERT_EQ(DrawPass("T", 0, Quad(0, 0, 32, 48)), D3D_OK);
    ASSERT_EQ(DrawPass("T", 1, Quad(32, 0, 32, 48)), D3D_OK);
    EXPECT_EQ(Rgb(PixelAt(10, 10)), 0xFF0000u);
    const DWORD halfGreen = PixelAt(50, 10);
    EXPECT_EQ(Channel(halfGreen, 16), 0);
    EXPECT_NEAR(Channel(halfGreen, 8), 128, 1);
    EXPECT_EQ(Channel(halfGreen, 0), 0);
}

TEST_F(EffectPassTest, AnIntParameterPicksTheShaderOfAnArrayAtBeginPass) {
    CreateOk(
        "int g_Which = 1;\n"
        "float4 Solid(uniform float4 color) : COLOR { return color; }\n"
        "PixelShader g_Shaders[3] = { compile ps_2_0 Solid(float4(1, 0, 0, 1)), compile ps_2_0 Solid(float4(0, 1, "
        "0, 1)), compile ps_2_0 Solid(float4(1, 1, 1, 1)) };\n"
        "technique T { pass { VertexShader = compile vs_2_0 PixelVS(); PixelShader = (g_Shaders[g_Which]); } }\n");
    INT which = -1;
    ASSERT_EQ(effect_->GetInt("g_Which", &which), D3D_OK);
    EXPECT_EQ(which, 1);
    Clear();
    ASSERT_EQ(DrawPass("T", 0, Quad(0, 0, 20, 48)), D3D_OK);  // the default: green
    ASSERT_EQ(effect_->SetInt("g_Which", 0), D3D_OK);
    ASSERT_EQ(DrawPass("T", 0, Quad(20, 0, 20, 48)), D3D_OK);
    ASSERT_EQ(effect_->SetInt("g_Which", 2), D3D_OK);
    ASSERT_EQ(DrawPass("T", 0, Quad(40, 0, 24, 48)), D3D_OK);
    EXPECT_EQ(Rgb(PixelAt(5, 5)), 0x00FF00u);
    EXPECT_EQ(Rgb(PixelAt(25, 5)), 0xFF0000u);
    EXPECT_EQ(Rgb(PixelAt(50, 5)), 0xFFFFFFu);
    // An index outside the array is refused, and the pass does not begin.
    ASSERT_EQ(effect_->SetInt("g_Which", 3), D3D_OK);
    EXPECT_EQ(DrawPass("T", 0, Quad(0, 0, 64, 48)), D3DERR_INVALIDCALL);
    ASSERT_EQ(effect_->SetInt("g_Which", -1), D3D_OK);
    ASSERT_EQ(effect_->Begin(nullptr, 0), D3D_OK);
    EXPECT_EQ(effect_->BeginPass(0), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect_->EndPass(), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect_->End(), D3D_OK);
}

TEST_F(EffectPassTest, StagesMeetByRegisterWhenTheirWidthsDiffer) {
    // float4 TEXCOORD1 written, float2 read; float2 COLOR0 written, float4 read (z = 0, w = 1).
    CreateOk(
        "void WideVS(float3 p : POSITION, out float4 oPos : POSITION, out float4 oT : TEXCOORD1,\n"
        "            out float2 oC : COLOR0) { oPos = ToClip(p); oT = float4(0.25, 0.5, 0.75, 0); oC = 1; }\n"
        "float4 NarrowPS(float2 t : TEXCOORD1, float4 c : COLOR0) : COLOR\n"
        "{ return float4(t.x, t.y, c.z, 1) * c.w; }\n"
        "technique T { pass { VertexShader = compile vs_2_0 WideVS(); PixelShader = compile ps_2_0 NarrowPS(); } }\n");
    Clear();
    ASSERT_EQ(DrawPass("T", 0, Quad(0, 0, 64, 48)), D3D_OK);
    const DWORD pixel = PixelAt(30, 20);
    EXPECT_NEAR(Channel(pixel, 16), 64, 1);
    EXPECT_NEAR(Channel(pixel, 8), 128, 1);
    EXPECT_EQ(Channel(pixel, 0), 0);
}

TEST_F(EffectPassTest, StaticConstArraySizesAndArrayCastsReachTheShaderAsDeclared) {
    // The array is sized by constants; the shader reads its last element, cast to an array.
    CreateOk(
        "static const int kPairs = 2;\n"
        "static const int kCount = kPairs * 2;\n"
        "float4 g_Colors[kCount];\n"
        "float4 LastPS() : COLOR\n"
        "{ float parts[4] = (float[4])g_Colors[kCount - 1]; return float4(parts[3], parts[2], parts[1], 1); }\n"
        "technique T { pass { VertexShader = compile vs_2_0 PixelVS(); PixelShader = compile ps_2_0 LastPS(); } }\n");
    D3DXPARAMETER_DESC desc = {};
    ASSERT_EQ(effect_->GetParameterDesc(effect_->GetParameterByName(nullptr, "g_Colors"), &desc), D3D_OK);
    EXPECT_EQ(desc.Elements, 4u);
    const D3DXVECTOR4 colors[4] = {{0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0.9f, 0.5f, 0.25f, 1.0f}};
    ASSERT_EQ(effect_->SetValue("g_Colors", colors, sizeof(colors)), D3D_OK);
    Clear();
    ASSERT_EQ(DrawPass("T", 0, Quad(0, 0, 64, 48)), D3D_OK);
    const DWORD pixel = PixelAt(30, 20);
    EXPECT_EQ(Channel(pixel, 16), 255);  // parts[3]: w
    EXPECT_NEAR(Channel(pixel, 8), 64, 1);
    EXPECT_NEAR(Channel(pixel, 0), 128, 1);
}

TEST_F(EffectPassTest, Tex1DReadsAlongTheTextureOnPlainAnd1DSamplers) {
    CreateOk(
        "texture g_Ramp;\n"
        "sampler s_Plain = sampler_state { Texture = <g_Ramp>; MinFilter = Point; MagFilter = Point; };\n"
        "sampler1D s_Line = sampler_state { Texture = <g_Ramp>; MinFilter = Point; MagFilter = Point; };\n"
        "float4 PlainPS(float2 uv : TEXCOORD0) : COLOR { return tex1D(s_Plain, uv.x); }\n"
        "float4 LinePS(float2 uv : TEXCOORD0) : COLOR { return tex1D(s_Line, uv); }\n"
        "technique T {\n"
        "  pass { VertexShader = compile vs_2_0 PixelVS(); PixelShader = compile ps_2_0 PlainPS(); }\n"
        "  pass { VertexShader = compile vs_2_0 PixelVS(); PixelShader = compile ps_2_0 LinePS(); }\n"
        "}\n");
    // Four texels in a row: red, green, blue, white.
    static const DWORD kTexels[4] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF};
    IDirect3DTexture9* ramp = MakeTexture(4, 1, [](UINT x, UINT) { return kTexels[x]; });
    textures_.push_back(ramp);
    ASSERT_EQ(effect_->SetTexture("g_Ramp", ramp), D3D_OK);
    for (UINT pass = 0; pass < 2; ++pass) {
        SCOPED_TRACE(pass);
        Clear();
        ASSERT_EQ(DrawPass("T", pass, Quad(0, 0, 64, 48)), D3D_OK);
        for (UINT texel = 0; texel < 4; ++texel)
            EXPECT_EQ(Rgb(PixelAt(texel * 16 + 8, 24)), kTexels[texel] & 0xFFFFFFu) << texel;
    }
}

TEST_F(EffectPassTest, Direct3D10TechniquesAreLeftOutAndTheirShaderModel4CodeNeedNotCompile) {
    CreateOk(
        "Texture2D g_Texture;\n"
        "SamplerState s_Linear { Filter = MIN_MAG_MIP_LINEAR; AddressU = Wrap; };\n"
        "BlendState NoBlending { BlendEnable[0] = FALSE; };\n"
        "float4 Green() { return float4(0, 1, 0, 1); }\n"
        "float4 GreenPS() : COLOR { return Green(); }\n"
        "float4 Sample10(float2 uv) { return g_Texture.Sample(s_Linear, uv) * Green(); }\n"
        "float4 PS10(float4 p : SV_POSITION, float2 uv : TEXCOORD0) : SV_Target { return Sample10(uv); }\n"
        "VertexShader g_VS10 = CompileShader(vs_4_0, PixelVS());\n"
        "technique10 Render10 { pass P0 { SetGeometryShader(0); SetVertexShader(g_VS10);\n"
        "  SetPixelShader(CompileShader(ps_4_0, PS10())); SetBlendState(NoBlending, float4(0, 0, 0, 0), "
        "0xFFFFFFFF); } }\n"
        "technique11 Render11 { pass { SetPixelShader(CompileShader(ps_5_0, PS10())); } }\n"
        "technique Render9 { pass { VertexShader = compile vs_2_0 PixelVS(); PixelShader = compile ps_2_0 "
        "GreenPS(); } }\n");
    D3DXEFFECT_DESC desc = {};
    ASSERT_EQ(effect_->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Techniques, 1u);
    EXPECT_EQ(effect_->GetTechniqueByName("Render10"), nullptr);
    Clear();
    ASSERT_EQ(DrawPass("Render9", 0, Quad(0, 0, 64, 48)), D3D_OK);
    EXPECT_EQ(Rgb(PixelAt(30, 20)), 0x00FF00u);
}

TEST_F(EffectPassTest, SamplerAndTextureAssignmentsInAPassSetTheStage) {
    CreateOk(
        "texture g_Red; texture g_Green;\n"
        "sampler2D s_Red = sampler_state { Texture = <g_Red>; MinFilter = Point; MagFilter = Point; "
        "AddressU = Clamp; };\n"
        "sampler2D s_Plain;\n"
        "float4 SamplePS(float2 uv : TEXCOORD0) : COLOR { return tex2D(s_Plain, uv); }\n"
        "technique T {\n"
        "  pass BySampler { VertexShader = compile vs_2_0 PixelVS(); PixelShader = compile ps_2_0 SamplePS();\n"
        "                   Sampler[0] = (s_Red); }\n"
        "  pass ByTexture { VertexShader = compile vs_2_0 PixelVS(); PixelShader = compile ps_2_0 SamplePS();\n"
        "                   Texture[0] = <g_Green>; AddressU[0] = Mirror; }\n"
        "}\n");
    ASSERT_EQ(effect_->SetTexture("g_Red", SolidTexture(0xFFFF0000)), D3D_OK);
    ASSERT_EQ(effect_->SetTexture("g_Green", SolidTexture(0xFF00FF00)), D3D_OK);
    Clear();
    ASSERT_EQ(DrawPass("T", 0, Quad(0, 0, 32, 48)), D3D_OK);
    ASSERT_EQ(DrawPass("T", 1, Quad(32, 0, 32, 48)), D3D_OK);
    EXPECT_EQ(Rgb(PixelAt(10, 10)), 0xFF0000u);
    EXPECT_EQ(Rgb(PixelAt(50, 10)), 0x00FF00u);

    // The states are the stage's while the pass runs, and End puts back what was there.
    ASSERT_EQ(effect_->SetTechnique("T"), D3D_OK);
    ASSERT_EQ(effect_->Begin(nullptr, 0), D3D_OK);
    ASSERT_EQ(effect_->BeginPass(0), D3D_OK);
    DWORD value = 0;
    device_->GetSamplerState(0, D3DSAMP_ADDRESSU, &value);
    EXPECT_EQ(value, static_cast<DWORD>(D3DTADDRESS_CLAMP));
    device_->GetSamplerState(0, D3DSAMP_MAGFILTER, &value);
    EXPECT_EQ(value, static_cast<DWORD>(D3DTEXF_POINT));
    IDirect3DBaseTexture9* bound = nullptr;
    ASSERT_EQ(device_->GetTexture(0, &bound), D3D_OK);
    EXPECT_EQ(bound, textures_[0]);
    if (bound != nullptr) bound->Release();
    EXPECT_EQ(effect_->EndPass(), D3D_OK);
    EXPECT_EQ(effect_->End(), D3D_OK);
    device_->GetSamplerState(0, D3DSAMP_ADDRESSU, &value);
    EXPECT_EQ(value, static_cast<DWORD>(D3DTADDRESS_WRAP));
    ASSERT_EQ(device_->GetTexture(0, &bound), D3D_OK);
    EXPECT_EQ(bound, nullptr);
}

TEST_F(EffectPassTest, TextureStageStatesInAPassAreSetByBeginPassAndRestoredByEnd) {
    CreateOk(
        "technique T { pass {\n"
        "  ColorOp[0] = SelectArg2; colorarg1[0] = TEXTURE; ColorArg2[0] = Diffuse | Complement;\n"
        "  AlphaOp[1] = Modulate2x; AlphaArg1[1] = tfactor | AlphaReplicate; ResultArg[1] = Temp;\n"
        "  TexCoordIndex[1] = 0 | CameraSpaceNormal; TextureTransformFlags[0] = Count2 | Projected;\n"
        "  BumpEnvMat00[0] = 0.5;\n"
        "} }\n");
    struct Expected {
        DWORD stage;
        D3DTEXTURESTAGESTATETYPE type;
        DWORD during;
        DWORD initially;  // Direct3D 9's default
    };
    const float half = 0.5f;
    DWORD halfBits = 0;
    std::memcpy(&halfBits, &half, sizeof(halfBits));
    const Expected expected[] = {
        {0, D3DTSS_COLOROP, D3DTOP_SELECTARG2, D3DTOP_MODULATE},
        {0, D3DTSS_COLORARG1, D3DTA_TEXTURE, D3DTA_TEXTURE},
        {0, D3DTSS_COLORARG2, D3DTA_DIFFUSE | D3DTA_COMPLEMENT, D3DTA_CURRENT},
        {1, D3DTSS_ALPHAOP, D3DTOP_MODULATE2X, D3DTOP_DISABLE},
        {1, D3DTSS_ALPHAARG1, D3DTA_TFACTOR | D3DTA_ALPHAREPLICATE, D3DTA_TEXTURE},
        {1, D3DTSS_RESULTARG, D3DTA_TEMP, D3DTA_CURRENT},
        {1, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACENORMAL, 1},
        {0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2 | D3DTTFF_PROJECTED, D3DTTFF_DISABLE},
        {0, D3DTSS_BUMPENVMAT00, halfBits, 0},
    };
    auto expectAll = [&](bool during) {
        for (const Expected& e : expected) {
            DWORD value = 0xDEADBEEF;
            ASSERT_EQ(device_->GetTextureStageState(e.stage, e.type, &value), D3D_OK);
            EXPECT_EQ(value, during ? e.during : e.initially) << "stage " << e.stage << " state " << e.type;
        }
    };
    expectAll(false);
    ASSERT_EQ(effect_->Begin(nullptr, 0), D3D_OK);
    ASSERT_EQ(effect_->BeginPass(0), D3D_OK);
    expectAll(true);
    EXPECT_EQ(effect_->EndPass(), D3D_OK);
    EXPECT_EQ(effect_->End(), D3D_OK);
    expectAll(false);
    DWORD value = 0;
    EXPECT_EQ(device_->GetTextureStageState(8, D3DTSS_COLOROP, &value), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->SetTextureStageState(0, static_cast<D3DTEXTURESTAGESTATETYPE>(12), 0), D3DERR_INVALIDCALL);

    // Unknown values and stages beyond the eighth are refused with their place.
    effect_->Release();
    effect_ = nullptr;
    std::string errors;
    EXPECT_EQ(Create("technique { pass { ColorOp[0] = Multiply; } }\n", &errors), E_FAIL);
    EXPECT_NE(errors.find("(4,20): error: invalid value 'Multiply' for state 'ColorOp'"), std::string::npos) << errors;
    EXPECT_EQ(Create("technique { pass { AlphaOp[8] = Disable; } }\n", &errors), E_FAIL);
    EXPECT_NE(errors.find("texture stage out of range"), std::string::npos) << errors;
}

TEST_F(EffectPassTest, StatesOnlyAndEmptyPassesKeepTheShadersInUse) {
    CreateOk(
        "float4 WhitePS() : COLOR { return 1; }\n"
        "technique Full { pass { VertexShader = compile vs_2_0 PixelVS(); PixelShader = compile ps_2_0 WhitePS(); } "
        "}\n"
        "technique StatesOnly { pass { ColorWriteEnable = Red | Alpha; CullMode = None; } }\n"
        "technique Empty { pass { } }\n");
    Clear();
    ASSERT_EQ(DrawPass("Full", 0, Quad(0, 0, 20, 48)), D3D_OK);
    ASSERT_EQ(DrawPass("StatesOnly", 0, Quad(20, 0, 20, 48)), D3D_OK);
    ASSERT_EQ(DrawPass("Empty", 0, Quad(40, 0, 24, 48)), D3D_OK);
    EXPECT_EQ(Rgb(PixelAt(5, 5)), 0xFFFFFFu);
    EXPECT_EQ(Rgb(PixelAt(25, 5)), 0xFF00FFu);  // white through a red-only mask over blue
    EXPECT_EQ(Rgb(PixelAt(50, 5)), 0xFFFFFFu);  // End restored the mask
}

TEST_F(EffectPassTest, PassesWithOneOrNullShadersCreateValidateAndBegin) {
    CreateOk(
        "float4 g_Color = float4(0, 1, 0, 1);\n"
        "float4 ColorPS() : COLOR { return g_Color; }\n"
        "void ColorVS(float3 p : POSITION, out float4 oPos : POSITION, out float4 oC : COLOR0)\n"
        "{ oPos = float4(p, 1); oC = float4(1, 0, 0, 1); }\n"
        "technique PixelOnly { pass { PixelShader = compile ps_2_0 ColorPS(); } }\n"
        "technique NullVertex { pass { VertexShader = NULL; PixelShader = compile ps_2_0 ColorPS(); } }\n"
        "technique VertexOnly { pass { VertexShader = compile vs_2_0 ColorVS(); PixelShader = NULL; } }\n"
        "technique NullBoth { pass { VertexShader = NULL; PixelShader = NULL; ZEnable = False; } }\n");
    for (const char* name : {"PixelOnly", "NullVertex", "VertexOnly", "NullBoth"}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(effect_->SetTechnique(name), D3D_OK);
        UINT passes = 0;
        ASSERT_EQ(effect_->Begin(&passes, 0), D3D_OK);
        EXPECT_EQ(passes, 1u);
        EXPECT_EQ(effect_->BeginPass(0), D3D_OK);
        EXPECT_EQ(effect_->CommitChanges(), D3D_OK);
        EXPECT_EQ(effect_->EndPass(), D3D_OK);
        EXPECT_EQ(effect_->End(), D3D_OK);
    }
    // A pass's own state applies with no shader at all.
    ASSERT_EQ(effect_->SetTechnique("NullBoth"), D3D_OK);
    ASSERT_EQ(effect_->Begin(nullptr, 0), D3D_OK);
    ASSERT_EQ(effect_->BeginPass(0), D3D_OK);
    DWORD value = 1;
    device_->GetRenderState(D3DRS_ZENABLE, &value);
    EXPECT_EQ(value, static_cast<DWORD>(D3DZB_FALSE));
    EXPECT_EQ(effect_->EndPass(), D3D_OK);
    EXPECT_EQ(effect_->End(), D3D_OK);
}

// Draws of passes whose missing stages (left out, NULL or 0) are the device's fixed-function ones.
// Positions are already in clip space, so the default (identity) transforms leave them where they are.
TEST_F(EffectPassTest, OneStagePassesDrawWithTheFixedFunctionStage) {
    CreateOk(
        "float4 g_Color = float4(0, 1, 0, 1);\n"
        "float4 ColorPS() : COLOR { return g_Color; }\n"
        "void ColorVS(float3 p : POSITION, out float4 oPos : POSITION, out float4 oC : COLOR0)\n"
        "{ oPos = float4(p, 1); oC = float4(1, 0, 1, 1); }\n"
        "technique PixelOnly { pass { VertexShader = 0; PixelShader = compile ps_2_0 ColorPS();\n"
        "  Lighting = False; } }\n"
        "technique VertexOnly { pass { VertexShader = compile vs_2_0 ColorVS(); PixelShader = 0;\n"
        "  ColorOp[0] = SelectArg1; ColorArg1[0] = Diffuse; AlphaOp[0] = SelectArg1; AlphaArg1[0] = Diffuse; } }\n"
        "technique NullBoth { pass { VertexShader = NULL; PixelShader = NULL; Lighting = False;\n"
        "  TextureFactor = 0xFF00FFFF; ColorOp[0] = SelectArg1; ColorArg1[0] = TFactor; } }\n");
    const std::vector<D3D9Test::QuadVertex> clipQuad = {
        {-1, 1, 0.5f, 0, 0}, {1, 1, 0.5f, 1, 0}, {-1, -1, 0.5f, 0, 1}, {1, -1, 0.5f, 1, 1}};
    const D3DXVECTOR4 yellow(1, 1, 0, 1);
    ASSERT_EQ(effect_->SetVector("g_Color", &yellow), D3D_OK);
    Clear();
    const HRESULT drawn = DrawPass("PixelOnly", 0, clipQuad);
    ASSERT_EQ(drawn, D3D_OK);
    EXPECT_EQ(Rgb(PixelAt(32, 24)), 0xFFFF00u);
    // The vertex shader's COLOR0 is the fixed-function stage's diffuse colour.
    Clear();
    ASSERT_EQ(DrawPass("VertexOnly", 0, clipQuad), D3D_OK);
    EXPECT_EQ(Rgb(PixelAt(32, 24)), 0xFF00FFu);
    // Both stages NULL: the device draws on its own, here with the texture factor.
    Clear();
    ASSERT_EQ(DrawPass("NullBoth", 0, clipQuad), D3D_OK);
    EXPECT_EQ(Rgb(PixelAt(32, 24)), 0x00FFFFu);
}

TEST_F(EffectPassTest, MalformedPassShadersAreRefusedWithTheirPlace) {
    std::string errors;
    EXPECT_EQ(Create("float4 P(uniform float a) : COLOR { return a; }\n"
                     "technique { pass { PixelShader = compile ps_2_0 P(1, 2); } }\n",
                     &errors),
              E_FAIL);
    EXPECT_NE(errors.find("(5,49): error: 'P' has 1 uniform parameters and is given 2 arguments"), std::string::npos)
        << errors;
    EXPECT_EQ(effect_, nullptr);
    EXPECT_EQ(Create("technique { pass { Sampler[0] = (g_Nothing); } }\n", &errors), E_FAIL);
    EXPECT_NE(errors.find("'g_Nothing' is not a sampler"), std::string::npos) << errors;
    // With no shader to compile, the HLSL is still compiled whole, as Direct3D 9 does.
    EXPECT_EQ(Create("float4 Unused() : COLOR { return g_Undefined; }\ntechnique { pass { } }\n", &errors), E_FAIL);
    EXPECT_NE(errors.find("(4,"), std::string::npos) << errors;
    EXPECT_NE(errors.find("g_Undefined"), std::string::npos) << errors;
}

TEST_F(EffectPassTest, ColourStatesTakeVectorsAsD3DColors) {
    CreateOk(
        "float4 g_Factor = float4(0, 1, 0.5, 1);\n"
        "technique T { pass {\n"
        "  Ambient = {0.8, 0.8, 0.8, 1.0f}; TextureFactor = <g_Factor>;\n"
        "  BlendFactor = float4(1, 0.5, 0, 0.25); FogColor = 0x0000FF00;\n"
        "} }\n");
    const struct {
        D3DRENDERSTATETYPE state;
        DWORD during;
    } expected[] = {{D3DRS_AMBIENT, 0xFFCCCCCC},  // 0.8 * 255 = 204
                    {D3DRS_TEXTUREFACTOR, 0xFF00FF80},
                    {D3DRS_BLENDFACTOR, 0x40FF8000},
                    {D3DRS_FOGCOLOR, 0x0000FF00}};
    DWORD before[4] = {};
    for (std::size_t i = 0; i < 4; ++i)
        ASSERT_EQ(device_->GetRenderState(expected[i].state, &before[i]), D3D_OK);
    ASSERT_EQ(effect_->Begin(nullptr, 0), D3D_OK);
    ASSERT_EQ(effect_->BeginPass(0), D3D_OK);
    for (const auto& e : expected) {
        DWORD value = 0;
        ASSERT_EQ(device_->GetRenderState(e.state, &value), D3D_OK);
        EXPECT_EQ(value, e.during) << "state " << e.state;
    }
    // A changed parameter reaches the device with CommitChanges, clamped to 0..1.
    const D3DXVECTOR4 bright(2.0f, -1.0f, 0.2f, 0.0f);
    ASSERT_EQ(effect_->SetVector("g_Factor", &bright), D3D_OK);
    ASSERT_EQ(effect_->CommitChanges(), D3D_OK);
    DWORD factor = 0;
    ASSERT_EQ(device_->GetRenderState(D3DRS_TEXTUREFACTOR, &factor), D3D_OK);
    EXPECT_EQ(factor, 0x00FF0033u);
    EXPECT_EQ(effect_->EndPass(), D3D_OK);
    EXPECT_EQ(effect_->End(), D3D_OK);
    for (std::size_t i = 0; i < 4; ++i) {
        DWORD value = 0;
        ASSERT_EQ(device_->GetRenderState(expected[i].state, &value), D3D_OK);
        EXPECT_EQ(value, before[i]) << "state " << expected[i].state;
    }
}

// A pass that sets transforms, a light, a material and the vertex format, and unbinds stage 0's
// texture, draws a lit quad; End puts back what the application had set.
TEST_F(EffectPassTest, FixedFunctionStatesInAPassLightAndTransformTheDraw) {
    CreateOk(
        "float4x4 g_World; float4x4 g_View; float4x4 g_Projection;\n"
        "float4 g_LightColor = float4(0.5, 0.6, 0.2, 1);\n"
        "technique Lit { pass {\n"
        "  VertexShader = NULL; PixelShader = NULL; Texture[0] = NULL;\n"
        "  WorldTransform[0] = <g_World>; ViewTransform = <g_View>; ProjectionTransform = (g_Projection);\n"
        "  FVF = XYZ | Normal; Lighting = TRUE; NormalizeNormals = TRUE; Ambient = {0.25, 0.25, 0.25, 1};\n"
        "  LightEnable[0] = TRUE; LightType[0] = Directional; LightDiffuse[0] = <g_LightColor>;\n"
        "  LightDirection[0] = float3(0, 0, 1); LightAmbient[0] = {0, 0, 0, 0}; LightRange[0] = 10.0;\n"
        "  MaterialDiffuse = {1, 1, 1, 1}; MaterialAmbient = float4(1, 0, 0, 1); MaterialPower = 4;\n"
        "} }\n");
    // The world doubles the model's [-0.5, 0.5] quad to the whole target (its normals halve, and are
    // normalized again); the projection moves it to depth 0.5.
    D3DXMATRIX world, identity, projection;
    D3DXMatrixScaling(&world, 2.0f, 2.0f, 2.0f);
    D3DXMatrixIdentity(&identity);
    D3DXMatrixTranslation(&projection, 0.0f, 0.0f, 0.5f);
    ASSERT_EQ(effect_->SetMatrix("g_World", &world), D3D_OK);
    ASSERT_EQ(effect_->SetMatrix("g_View", &identity), D3D_OK);
    ASSERT_EQ(effect_->SetMatrix("g_Projection", &projection), D3D_OK);

    // What the application had: its own declaration and a texture the pass takes away (the pass's
    // vertices have no coordinates for it).
    BindVertices(Quad(0, 0, 4, 4));
    ASSERT_EQ(device_->SetTexture(0, SolidTexture(0xFFFF00FF)), D3D_OK);
    struct Vertex {
        float x, y, z, nx, ny, nz;
    };
    const Vertex quad[] = {
        {-0.5f, 0.5f, 0, 0, 0, -1}, {0.5f, 0.5f, 0, 0, 0, -1}, {-0.5f, -0.5f, 0, 0, 0, -1}, {0.5f, -0.5f, 0, 0, 0, -1}};
    IDirect3DVertexBuffer9* buffer = nullptr;
    ASSERT_EQ(device_->CreateVertexBuffer(sizeof(quad), 0, 0, D3DPOOL_MANAGED, &buffer, nullptr), D3D_OK);
    void* data = nullptr;
    ASSERT_EQ(buffer->Lock(0, 0, &data, 0), D3D_OK);
    std::memcpy(data, quad, sizeof(quad));
    ASSERT_EQ(buffer->Unlock(), D3D_OK);
    ASSERT_EQ(device_->SetStreamSource(0, buffer, 0, sizeof(Vertex)), D3D_OK);
    buffer->Release();  // the stream holds it
    ASSERT_EQ(device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE), D3D_OK);

    Clear();
    ASSERT_EQ(device_->BeginScene(), D3D_OK);
    ASSERT_EQ(effect_->Begin(nullptr, 0), D3D_OK);
    ASSERT_EQ(effect_->BeginPass(0), D3D_OK);
    D3DMATERIAL9 material {};
    ASSERT_EQ(device_->GetMaterial(&material), D3D_OK);
    EXPECT_EQ(material.Power, 4.0f);
    D3DLIGHT9 light {};
    ASSERT_EQ(device_->GetLight(0, &light), D3D_OK);
    EXPECT_EQ(light.Type, D3DLIGHT_DIRECTIONAL);
    EXPECT_EQ(light.Range, 10.0f);
    EXPECT_EQ(light.Diffuse.g, 0.6f);
    EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
    // CommitChanges brings a light member read from a parameter up to date, and keeps the others.
    const D3DXVECTOR4 blue(0.0f, 0.0f, 1.0f, 1.0f);
    ASSERT_EQ(effect_->SetVector("g_LightColor", &blue), D3D_OK);
    ASSERT_EQ(effect_->CommitChanges(), D3D_OK);
    ASSERT_EQ(device_->GetLight(0, &light), D3D_OK);
    EXPECT_EQ(light.Diffuse.b, 1.0f);
    EXPECT_EQ(light.Diffuse.g, 0.0f);
    EXPECT_EQ(light.Range, 10.0f);
    const D3DXVECTOR4 original(0.5f, 0.6f, 0.2f, 1.0f);
    ASSERT_EQ(effect_->SetVector("g_LightColor", &original), D3D_OK);
    EXPECT_EQ(effect_->EndPass(), D3D_OK);
    EXPECT_EQ(effect_->End(), D3D_OK);
    ASSERT_EQ(device_->EndScene(), D3D_OK);
    // Diffuse Cd * Ld * (N.L = 1) = (0.5, 0.6, 0.2), plus ambient Ca * Ga = (0.25, 0, 0).
    const DWORD centre = PixelAt(32, 24);
    EXPECT_LE(std::abs(Channel(centre, 16) - 191), 1) << std::hex << centre;
    EXPECT_LE(std::abs(Channel(centre, 8) - 153), 1) << std::hex << centre;
    EXPECT_LE(std::abs(Channel(centre, 0) - 51), 1) << std::hex << centre;

    // End restored the application's state.
    D3DMATRIX matrix {};
    ASSERT_EQ(device_->GetTransform(D3DTS_WORLD, &matrix), D3D_OK);
    EXPECT_EQ(std::memcmp(&matrix, &identity, sizeof(matrix)), 0);
    ASSERT_EQ(device_->GetTransform(D3DTS_PROJECTION, &matrix), D3D_OK);
    EXPECT_EQ(std::memcmp(&matrix, &identity, sizeof(matrix)), 0);
    BOOL enabled = TRUE;
    ASSERT_EQ(device_->GetLightEnable(0, &enabled), D3D_OK);
    EXPECT_EQ(enabled, FALSE);
    ASSERT_EQ(device_->GetMaterial(&material), D3D_OK);
    EXPECT_EQ(material.Power, 0.0f);
    DWORD fvf = 1;
    ASSERT_EQ(device_->GetFVF(&fvf), D3D_OK);
    EXPECT_EQ(fvf, 0u);
    IDirect3DVertexDeclaration9* declaration = nullptr;
    ASSERT_EQ(device_->GetVertexDeclaration(&declaration), D3D_OK);
    EXPECT_EQ(declaration, declaration_);
    if (declaration != nullptr) declaration->Release();
    IDirect3DBaseTexture9* bound = nullptr;
    ASSERT_EQ(device_->GetTexture(0, &bound), D3D_OK);
    EXPECT_EQ(bound, textures_[0]);
    if (bound != nullptr) bound->Release();
    ASSERT_EQ(device_->SetTexture(0, nullptr), D3D_OK);
}

TEST_F(EffectPassTest, FixedFunctionStatesRefuseWrongValuesWithTheirPlace) {
    const struct {
        const char* pass;
        const char* error;
    } refused[] = {
        {"WorldTransform[0] = <g_Vector>;", "invalid value 'g_Vector' for state 'WorldTransform'"},
        {"WorldTransform[256] = <g_Matrix>;", "'WorldTransform' index out of range"},
        {"TextureTransform[8] = <g_Matrix>;", "'TextureTransform' index out of range"},
        {"LightType[0] = Square;", "invalid value 'Square' for state 'LightType'"},
        {"LightDiffuse[0] = <g_Matrix>;", "invalid value 'g_Matrix' for state 'LightDiffuse'"},
        {"MaterialAmbient = {1, 2, 3, 4, 5};", "invalid value '{ 1 , 2 , 3 , 4 , 5 }' for state 'MaterialAmbient'"},
        {"FVF = XYZ | Bogus;", "invalid value 'XYZ | Bogus' for state 'FVF'"},
        {"Ambient = <g_Matrix>;", "invalid value 'g_Matrix' for state 'Ambient'"},
        {"Texture[0] = 1;", "'1' is not a texture"},
    };
    for (const auto& entry : refused) {
        std::string errors;
        EXPECT_EQ(
            Create(std::string("float4x4 g_Matrix; float4 g_Vector;\ntechnique { pass { ") + entry.pass + " } }\n",
                   &errors),
            E_FAIL)
            << entry.pass;
        EXPECT_NE(errors.find(entry.error), std::string::npos) << errors;
        EXPECT_NE(errors.find("(5,20): error"), std::string::npos) << errors;
    }
}

// Ten techniques whose passes share one vertex shader and take their pixel shaders from three
// argument lists: each stage is compiled once, however many passes name it, and every pass draws
// its own colour (the stages were compiled ahead on other threads where there are cores for it).
TEST_F(EffectPassTest, PassesSharingAStageCompileItOnceAndEachDrawsItsOwn) {
    std::string body = "float4 Solid(uniform float3 colour) : COLOR { return float4(colour, 1); }\n";
    const char* const colours[] = {"float3(1, 0, 0)", "float3(0, 1, 0)", "float3(0, 0, 1)"};
    for (int t = 0; t < 10; ++t) {
        body += "technique T" + std::to_string(t) + " { pass { VertexShader = compile vs_2_0 PixelVS(); " +
                "PixelShader = compile ps_2_0 Solid(" + colours[t % 3] + "); } }\n";
    }
    body += "// shared stages test\n";  // a text no other test compiles
    const std::uint64_t before = nvesk::d3dx9::StageCompileCount();
    CreateOk(body);
    EXPECT_EQ(nvesk::d3dx9::StageCompileCount(), before + 4);  // one vertex and three pixel stages
    const DWORD expected[] = {0xFF0000u, 0x00FF00u, 0x0000FFu};
    for (int t = 0; t < 10; ++t) {
        Clear();
        ASSERT_EQ(DrawPass(("T" + std::to_string(t)).c_str(), 0, Quad(0, 0, 64, 48)), D3D_OK);
        EXPECT_EQ(Rgb(PixelAt(32, 24)), expected[t % 3]) << "technique " << t;
    }
}

// The errors of an effect whose eighth of ten passes does not compile are those of that pass
// alone: compiling the others ahead adds nothing to them and takes nothing away.
TEST_F(EffectPassTest, AFailingPassAmongManyReportsWhatItWouldReportAlone) {
    const std::string functions =
        "float4 Good(uniform float level) : COLOR { return float4(level, 0, 0, 1); }\n"
        "float4 Bad(uniform float level) : COLOR { return float4(level, undeclared, 0, 1); }\n";
    auto technique = [](int t, const char* entry) {
        return "technique T" + std::to_string(t) + " { pass { VertexShader = compile vs_2_0 PixelVS(); " +
               "PixelShader = compile ps_2_0 " + entry + "(" + std::to_string(t) + " / 10.0); } }\n";
    };
    std::string many = functions;
    for (int t = 0; t < 10; ++t)
        many += technique(t, t == 7 ? "Bad" : "Good");
    std::string alone = functions + technique(7, "Bad");
    std::string manyErrors;
    std::string aloneErrors;
    EXPECT_EQ(Create(many, &manyErrors), E_FAIL);
    ASSERT_EQ(effect_, nullptr);
    EXPECT_EQ(Create(alone, &aloneErrors), E_FAIL);
    EXPECT_NE(aloneErrors.find("memory(5,"), std::string::npos) << aloneErrors;  // Bad's line
    EXPECT_NE(aloneErrors.find("undeclared"), std::string::npos) << aloneErrors;
    EXPECT_EQ(manyErrors, aloneErrors);
}

// The driver compiles and links a pass's program at its first use, once; a refusal there is the
// pass's BeginPass and ValidateTechnique result, and other passes go on working.
TEST_F(EffectPassTest, TheDriverLinksAPassAtItsFirstUseAndItsRefusalIsThatPasssResult) {
    const char* const linkOperation = "ShaderProgramBinding::LinkShaderProgram";
    PlatformTesting::CallCounter calls;
    CreateOk(
        "float4 Solid(uniform float3 colour) : COLOR { return float4(colour, 1); }\n"
        "technique Red { pass { VertexShader = compile vs_2_0 PixelVS(); PixelShader = compile ps_2_0 "
        "Solid(float3(1, 0, 0)); } }\n"
        "technique Green { pass { VertexShader = compile vs_2_0 PixelVS(); PixelShader = compile ps_2_0 "
        "Solid(float3(0, 1, 0)); } }\n"
        "// first use test\n");
    EXPECT_EQ(calls.Count(linkOperation), 2);  // CreateOk validated both techniques
    effect_->Release();
    effect_ = nullptr;

    std::string errors;
    ASSERT_EQ(Create("float4 Solid(uniform float3 colour) : COLOR { return float4(colour, 1); }\n"
                     "technique Red { pass { VertexShader = compile vs_2_0 PixelVS(); PixelShader = compile ps_2_0 "
                     "Solid(float3(1, 0, 0)); } }\n"
                     "technique Green { pass { VertexShader = compile vs_2_0 PixelVS(); PixelShader = compile "
                     "ps_2_0 Solid(float3(0, 1, 0)); } }\n"
                     "// first use test, again\n",
                     &errors),
              D3D_OK)
        << errors;
    EXPECT_EQ(calls.Count(linkOperation), 2);  // created, nothing linked yet
    PlatformTesting::FailNextCalls(linkOperation, E_FAIL, 1);
    Clear();
    EXPECT_EQ(DrawPass("Red", 0, Quad(0, 0, 64, 48)), D3DERR_DRIVERINTERNALERROR);
    EXPECT_EQ(effect_->ValidateTechnique(effect_->GetTechniqueByName("Red")), D3DERR_DRIVERINTERNALERROR);
    EXPECT_EQ(DrawPass("Red", 0, Quad(0, 0, 64, 48)), D3DERR_DRIVERINTERNALERROR);  // not linked again
    EXPECT_EQ(calls.Count(linkOperation), 3);
    ASSERT_EQ(DrawPass("Green", 0, Quad(0, 0, 64, 48)), D3D_OK);
    EXPECT_EQ(Rgb(PixelAt(32, 24)), 0x00FF00u);
    ASSERT_EQ(DrawPass("Green", 0, Quad(0, 0, 64, 48)), D3D_OK);
    EXPECT_EQ(calls.Count(linkOperation), 4);
    EXPECT_EQ(effect_->ValidateTechnique(effect_->GetTechniqueByName("Green")), D3D_OK);
    PlatformTesting::ClearFailures();
}

}  // namespace

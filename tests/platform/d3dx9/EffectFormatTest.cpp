// Forms of the effect format on a real device that the pass and state suites do not cover: a
// sampler_state block written in a pass, shader arrays indexed by an expression, state indices
// and values given by constants, named values of the wrap and vertex-blend states, and the
// states refused, each named with its place.
#include "EffectPassFixture.h"
#include "Pixels.h"

#include <d3dx9.h>

#include <cstring>
#include <string>

namespace {

using D3DX9Tests::Rgb;

class EffectFormatTest : public D3DX9Tests::EffectPassFixture {
protected:
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

TEST_F(EffectFormatTest, SamplerStateValuesThatReadParametersFollowThemAtCommitChanges) {
    CreateOk(
        "int g_Quality = 2;\n"
        "texture g_Texture;\n"
        "sampler s_Detail = sampler_state { Texture = <g_Texture>; MaxAnisotropy = g_Quality * 2;\n"
        "  MinFilter = g_Quality > 1 ? ANISOTROPIC : LINEAR; };\n"
        "technique T { pass { Sampler[1] = (s_Detail); } }\n");
    BindVertices(Quad(0, 0, 4, 4));
    ASSERT_EQ(effect_->Begin(nullptr, 0), D3D_OK);
    ASSERT_EQ(effect_->BeginPass(0), D3D_OK);
    EXPECT_EQ(SamplerState(1, D3DSAMP_MAXANISOTROPY), 4u);
    EXPECT_EQ(SamplerState(1, D3DSAMP_MINFILTER), static_cast<DWORD>(D3DTEXF_ANISOTROPIC));
    ASSERT_EQ(effect_->SetInt("g_Quality", 1), D3D_OK);
    ASSERT_EQ(effect_->CommitChanges(), D3D_OK);
    EXPECT_EQ(SamplerState(1, D3DSAMP_MAXANISOTROPY), 2u);
    EXPECT_EQ(SamplerState(1, D3DSAMP_MINFILTER), static_cast<DWORD>(D3DTEXF_LINEAR));
    EXPECT_EQ(effect_->EndPass(), D3D_OK);
    EXPECT_EQ(effect_->End(), D3D_OK);
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
                     "  CullMode = CW; CullMode = NONE; Wrap0 = U; Wrap0 = 0;\n"
                     "} }\n"
                     "technique Wrapped { pass { Wrap0 = U | V; Wrap1 = COORD3; } }\n",
                     &errors),
              D3D_OK)
        << errors;
    // The device keeps texture wrapping at its default: the names are read, the device refuses them.
    // In Blend, `Wrap0 = U` is followed by `Wrap0 = 0`: only the last assignment counts.
    EXPECT_EQ(effect_->ValidateTechnique("Blend"), D3D_OK);
    EXPECT_EQ(effect_->ValidateTechnique("Wrapped"), D3DERR_NOTAVAILABLE);
    BindVertices(Quad(0, 0, 4, 4));
    ASSERT_EQ(effect_->Begin(nullptr, 0), D3D_OK);
    ASSERT_EQ(effect_->BeginPass(0), D3D_OK);
    DWORD value = 0;
    ASSERT_EQ(device_->GetRenderState(D3DRS_VERTEXBLEND, &value), D3D_OK);
    EXPECT_EQ(value, static_cast<DWORD>(D3DVBF_2WEIGHTS));
    ASSERT_EQ(device_->GetRenderState(D3DRS_CULLMODE, &value), D3D_OK);
    EXPECT_EQ(value, static_cast<DWORD>(D3DCULL_NONE));  // the last of a state's assignments
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
        {"technique { pass { PixelShader = asm { ps_2_0 frob oC0, c0 }; } }",
         "(4,47): error X5003: unknown instruction"},
        {"PixelShader g_Shaders[2] = { NULL, NULL };\ntechnique { pass { PixelShader = (g_Shaders[3 - 1]); } }",
         "(5,20): error: index 2 is outside 'g_Shaders'"},
        {"PixelShader g_Shaders[2] = { NULL, NULL };\ntechnique { pass { PixelShader = (g_Shaders[Bogus + 1]); } }",
         "(5,45): error: invalid shader index: undeclared identifier 'Bogus'"},
        {"technique { pass { AddressU[g_Stage] = Clamp; } }", "(4,29): error: state index must be a literal number"},
        {"technique { pass { Sampler[0] = NULL; } }", "(4,20): error: 'NULL' is not a sampler"},
        {"float g < float v[2] = {1, 2}; >;", "(4,18): error: syntax error: expected '='"},
    };
    for (const auto& entry : refused) {
        const std::string errors = Refused(entry.text);
        EXPECT_NE(errors.find(entry.error), std::string::npos) << entry.text << "\n" << errors;
    }
    // Row-major packing of every matrix, and effect pools, are not implemented.
    const char kEffect[] = "float4x4 g_M; technique { pass { } }";
    ID3DXBuffer* errors = nullptr;
    EXPECT_EQ(D3DXCreateEffect(device_, kEffect, sizeof(kEffect), nullptr, nullptr, D3DXSHADER_PACKMATRIX_ROWMAJOR,
                               nullptr, &effect_, &errors),
              E_NOTIMPL);
    EXPECT_EQ(effect_, nullptr);
    ASSERT_NE(errors, nullptr);
    EXPECT_NE(std::string(static_cast<const char*>(errors->GetBufferPointer())).find("not supported"),
              std::string::npos);
    errors->Release();
}

}  // namespace

namespace {

struct StateCase {
    const char* name;   // as the effect writes it, stage 1 for stage and sampler states
    const char* value;  // its value as written
    int target;         // 0: render state, 1: texture stage 1, 2: sampler 1
    DWORD state;
    DWORD expected;
};

DWORD FloatBits(float value) {
    DWORD bits = 0;
    std::memcpy(&bits, &value, sizeof(bits));
    return bits;
}

// One value of each state of the effect states table, render, texture stage and sampler stage.
const StateCase kStateCases[] = {
    {"AlphaBlendEnable", "TRUE", 0, D3DRS_ALPHABLENDENABLE, TRUE},
    {"AlphaFunc", "GREATER", 0, D3DRS_ALPHAFUNC, D3DCMP_GREATER},
    {"AlphaRef", "0x80", 0, D3DRS_ALPHAREF, 0x80},
    {"AlphaTestEnable", "TRUE", 0, D3DRS_ALPHATESTENABLE, TRUE},
    {"BlendOp", "REVSUBTRACT", 0, D3DRS_BLENDOP, D3DBLENDOP_REVSUBTRACT},
    {"ColorWriteEnable", "RED | ALPHA", 0, D3DRS_COLORWRITEENABLE, 9},
    {"DepthBias", "0.5", 0, D3DRS_DEPTHBIAS, FloatBits(0.5f)},
    {"DestBlend", "INVSRCALPHA", 0, D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA},
    {"DitherEnable", "TRUE", 0, D3DRS_DITHERENABLE, TRUE},
    {"FillMode", "WIREFRAME", 0, D3DRS_FILLMODE, D3DFILL_WIREFRAME},
    {"LastPixel", "FALSE", 0, D3DRS_LASTPIXEL, FALSE},
    {"ShadeMode", "FLAT", 0, D3DRS_SHADEMODE, D3DSHADE_FLAT},
    {"SlopeScaleDepthBias", "1.5", 0, D3DRS_SLOPESCALEDEPTHBIAS, FloatBits(1.5f)},
    {"SrcBlend", "SRCALPHA", 0, D3DRS_SRCBLEND, D3DBLEND_SRCALPHA},
    {"StencilEnable", "TRUE", 0, D3DRS_STENCILENABLE, TRUE},
    {"StencilFail", "INCR", 0, D3DRS_STENCILFAIL, D3DSTENCILOP_INCR},
    {"StencilFunc", "EQUAL", 0, D3DRS_STENCILFUNC, D3DCMP_EQUAL},
    {"StencilMask", "0x0F", 0, D3DRS_STENCILMASK, 0x0F},
    {"StencilPass", "REPLACE", 0, D3DRS_STENCILPASS, D3DSTENCILOP_REPLACE},
    {"StencilRef", "3", 0, D3DRS_STENCILREF, 3},
    {"StencilWriteMask", "0xF0", 0, D3DRS_STENCILWRITEMASK, 0xF0},
    {"StencilZFail", "DECRSAT", 0, D3DRS_STENCILZFAIL, D3DSTENCILOP_DECRSAT},
    {"TextureFactor", "0xFF102030", 0, D3DRS_TEXTUREFACTOR, 0xFF102030},
    {"Wrap0", "U | W", 0, D3DRS_WRAP0, 5},
    {"Wrap15", "COORD1", 0, D3DRS_WRAP15, 2},
    {"ZEnable", "USEW", 0, D3DRS_ZENABLE, D3DZB_USEW},
    {"ZFunc", "GREATEREQUAL", 0, D3DRS_ZFUNC, D3DCMP_GREATEREQUAL},
    {"ZWriteEnable", "FALSE", 0, D3DRS_ZWRITEENABLE, FALSE},
    {"Ambient", "float4(1, 0.5, 0, 1)", 0, D3DRS_AMBIENT, 0xFFFF8000},
    {"AmbientMaterialSource", "COLOR1", 0, D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_COLOR1},
    {"Clipping", "FALSE", 0, D3DRS_CLIPPING, FALSE},
    {"ClipPlaneEnable", "3", 0, D3DRS_CLIPPLANEENABLE, 3},
    {"ColorVertex", "FALSE", 0, D3DRS_COLORVERTEX, FALSE},
    {"CullMode", "CW", 0, D3DRS_CULLMODE, D3DCULL_CW},
    {"DiffuseMaterialSource", "COLOR2", 0, D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR2},
    {"EmissiveMaterialSource", "MATERIAL", 0, D3DRS_EMISSIVEMATERIALSOURCE, D3DMCS_MATERIAL},
    {"FogColor", "0xff0000", 0, D3DRS_FOGCOLOR, 0xFF0000},
    {"FogDensity", "0.25", 0, D3DRS_FOGDENSITY, FloatBits(0.25f)},
    {"FogEnable", "TRUE", 0, D3DRS_FOGENABLE, TRUE},
    {"FogEnd", "100.0", 0, D3DRS_FOGEND, FloatBits(100.0f)},
    {"FogStart", "2", 0, D3DRS_FOGSTART, FloatBits(2.0f)},
    {"FogTableMode", "LINEAR", 0, D3DRS_FOGTABLEMODE, D3DFOG_LINEAR},
    {"FogVertexMode", "EXP", 0, D3DRS_FOGVERTEXMODE, D3DFOG_EXP},
    {"IndexedVertexBlendEnable", "TRUE", 0, D3DRS_INDEXEDVERTEXBLENDENABLE, TRUE},
    {"Lighting", "TRUE", 0, D3DRS_LIGHTING, TRUE},
    {"LocalViewer", "FALSE", 0, D3DRS_LOCALVIEWER, FALSE},
    {"MultiSampleAntialias", "FALSE", 0, D3DRS_MULTISAMPLEANTIALIAS, FALSE},
    {"MultiSampleMask", "0xFFFF", 0, D3DRS_MULTISAMPLEMASK, 0xFFFF},
    {"NormalizeNormals", "TRUE", 0, D3DRS_NORMALIZENORMALS, TRUE},
    {"PointScale_A", "0.5", 0, D3DRS_POINTSCALE_A, FloatBits(0.5f)},
    {"PointScale_B", "0.5", 0, D3DRS_POINTSCALE_B, FloatBits(0.5f)},
    {"PointScale_C", "0.5", 0, D3DRS_POINTSCALE_C, FloatBits(0.5f)},
    {"PointScaleEnable", "TRUE", 0, D3DRS_POINTSCALEENABLE, TRUE},
    {"PointSize", "2.0", 0, D3DRS_POINTSIZE, FloatBits(2.0f)},
    {"PointSize_Min", "1.0", 0, D3DRS_POINTSIZE_MIN, FloatBits(1.0f)},
    {"PointSize_Max", "32.0", 0, D3DRS_POINTSIZE_MAX, FloatBits(32.0f)},
    {"PointSpriteEnable", "TRUE", 0, D3DRS_POINTSPRITEENABLE, TRUE},
    {"RangeFogEnable", "TRUE", 0, D3DRS_RANGEFOGENABLE, TRUE},
    {"SpecularEnable", "TRUE", 0, D3DRS_SPECULARENABLE, TRUE},
    {"SpecularMaterialSource", "COLOR1", 0, D3DRS_SPECULARMATERIALSOURCE, D3DMCS_COLOR1},
    {"TweenFactor", "0.5", 0, D3DRS_TWEENFACTOR, FloatBits(0.5f)},
    {"VertexBlend", "TWEENING", 0, D3DRS_VERTEXBLEND, D3DVBF_TWEENING},
    {"AlphaOp[1]", "MODULATE2X", 1, D3DTSS_ALPHAOP, D3DTOP_MODULATE2X},
    {"AlphaArg0[1]", "TEMP", 1, D3DTSS_ALPHAARG0, D3DTA_TEMP},
    {"AlphaArg1[1]", "TEXTURE | COMPLEMENT", 1, D3DTSS_ALPHAARG1, D3DTA_TEXTURE | D3DTA_COMPLEMENT},
    {"AlphaArg2[1]", "DIFFUSE", 1, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE},
    {"ColorArg0[1]", "SPECULAR", 1, D3DTSS_COLORARG0, D3DTA_SPECULAR},
    {"ColorArg1[1]", "TFACTOR | ALPHAREPLICATE", 1, D3DTSS_COLORARG1, D3DTA_TFACTOR | D3DTA_ALPHAREPLICATE},
    {"ColorArg2[1]", "CURRENT", 1, D3DTSS_COLORARG2, D3DTA_CURRENT},
    {"ColorOp[1]", "DOTPRODUCT3", 1, D3DTSS_COLOROP, D3DTOP_DOTPRODUCT3},
    {"BumpEnvLScale[1]", "2.0", 1, D3DTSS_BUMPENVLSCALE, FloatBits(2.0f)},
    {"BumpEnvLOffset[1]", "0.5", 1, D3DTSS_BUMPENVLOFFSET, FloatBits(0.5f)},
    {"BumpEnvMat00[1]", "1.0", 1, D3DTSS_BUMPENVMAT00, FloatBits(1.0f)},
    {"BumpEnvMat01[1]", "0.25", 1, D3DTSS_BUMPENVMAT01, FloatBits(0.25f)},
    {"BumpEnvMat10[1]", "-0.25", 1, D3DTSS_BUMPENVMAT10, FloatBits(-0.25f)},
    {"BumpEnvMat11[1]", "1.0", 1, D3DTSS_BUMPENVMAT11, FloatBits(1.0f)},
    {"ResultArg[1]", "TEMP", 1, D3DTSS_RESULTARG, D3DTA_TEMP},
    {"TexCoordIndex[1]", "2 | CAMERASPACENORMAL", 1, D3DTSS_TEXCOORDINDEX, 2 | D3DTSS_TCI_CAMERASPACENORMAL},
    {"TextureTransformFlags[1]", "COUNT3 | PROJECTED", 1, D3DTSS_TEXTURETRANSFORMFLAGS,
     D3DTTFF_COUNT3 | D3DTTFF_PROJECTED},
    {"AddressU[1]", "BORDER", 2, D3DSAMP_ADDRESSU, D3DTADDRESS_BORDER},
    {"AddressV[1]", "MIRRORONCE", 2, D3DSAMP_ADDRESSV, D3DTADDRESS_MIRRORONCE},
    {"AddressW[1]", "CLAMP", 2, D3DSAMP_ADDRESSW, D3DTADDRESS_CLAMP},
    {"BorderColor[1]", "0xFF00FF00", 2, D3DSAMP_BORDERCOLOR, 0xFF00FF00},
    {"MagFilter[1]", "LINEAR", 2, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR},
    {"MaxAnisotropy[1]", "4", 2, D3DSAMP_MAXANISOTROPY, 4},
    {"MaxMipLevel[1]", "2", 2, D3DSAMP_MAXMIPLEVEL, 2},
    {"MinFilter[1]", "ANISOTROPIC", 2, D3DSAMP_MINFILTER, D3DTEXF_ANISOTROPIC},
    {"MipFilter[1]", "POINT", 2, D3DSAMP_MIPFILTER, D3DTEXF_POINT},
    {"MipMapLodBias[1]", "-0.5", 2, D3DSAMP_MIPMAPLODBIAS, FloatBits(-0.5f)},
    {"SRGBTexture[1]", "TRUE", 2, D3DSAMP_SRGBTEXTURE, TRUE},
};

// Every state of the table takes its value as written, bracketed, and as an expression over a
// parameter; each reaches the device as it would from SetRenderState, SetTextureStageState or
// SetSamplerState (a value the device itself refuses is left out of the comparison).
TEST_F(EffectFormatTest, EveryStateOfTheTableTakesItsValueInEachForm) {
    const char* const kForms[] = {"%s", "(%s)", "g_On ? %s : %s"};
    for (const char* form : kForms) {
        SCOPED_TRACE(form);
        std::string pass;
        for (const StateCase& c : kStateCases) {
            std::string value = form;
            for (std::size_t at = value.find("%s"); at != std::string::npos; at = value.find("%s"))
                value.replace(at, 2, c.value);
            pass += std::string("  ") + c.name + " = " + value + ";\n";
        }
        std::string errors;
        ASSERT_EQ(Create("bool g_On = true;\ntechnique T { pass {\n" + pass + "} }\n", &errors), D3D_OK) << errors;
        BindVertices(Quad(0, 0, 4, 4));
        ASSERT_EQ(effect_->Begin(nullptr, 0), D3D_OK);
        ASSERT_EQ(effect_->BeginPass(0), D3D_OK);
        int compared = 0;
        for (const StateCase& c : kStateCases) {
            DWORD value = 0;
            if (c.target == 0) {
                const auto state = static_cast<D3DRENDERSTATETYPE>(c.state);
                ASSERT_EQ(device_->GetRenderState(state, &value), D3D_OK);
                if (value != c.expected && FAILED(device_->SetRenderState(state, c.expected))) continue;
            } else if (c.target == 1) {
                const auto state = static_cast<D3DTEXTURESTAGESTATETYPE>(c.state);
                ASSERT_EQ(device_->GetTextureStageState(1, state, &value), D3D_OK);
                if (value != c.expected && FAILED(device_->SetTextureStageState(1, state, c.expected))) continue;
            } else {
                const auto state = static_cast<D3DSAMPLERSTATETYPE>(c.state);
                ASSERT_EQ(device_->GetSamplerState(1, state, &value), D3D_OK);
                if (value != c.expected && FAILED(device_->SetSamplerState(1, state, c.expected))) continue;
            }
            EXPECT_EQ(value, c.expected) << c.name << " = " << c.value;
            ++compared;
        }
        // Most values are ones the device takes.
        EXPECT_GT(compared, 70) << compared;
        EXPECT_EQ(effect_->EndPass(), D3D_OK);
        EXPECT_EQ(effect_->End(), D3D_OK);
        // End puts back the device's defaults for the next form.
        EXPECT_EQ(effect_->Release(), 0u);
        effect_ = nullptr;
    }
}

}  // namespace

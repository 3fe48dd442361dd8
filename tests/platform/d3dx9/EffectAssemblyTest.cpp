// Effects whose passes hold `asm { ... }` shaders, drawn on a real device: constants from the
// pass's shader constant states (parameters followed at BeginPass, literals), an asm stage with an
// HLSL one, the texture stage an asm sampler reads, and ps_1_x's register range.
#include "EffectPassFixture.h"
#include "Pixels.h"

#include <d3dx9.h>

#include <string>

namespace {

using D3DX9Tests::Channel;
using D3DX9Tests::Rgb;

using EffectAssemblyTest = D3DX9Tests::EffectPassFixture;

// Pixel positions to clip space (as PixelVS), the colour from c2, the coordinates through.
const char kAsmVertexShader[] =
    "float4 g_Color = {1, 0, 0, 1};\n"
    "texture g_Texture;\n"
    "VertexShader g_PixelAsm = asm {\n"
    "    vs_1_1\n"
    "    dcl_position v0\n"
    "    dcl_texcoord0 v1\n"
    "    mad oPos.xy, v0.xy, c0.xy, c0.zw\n"
    "    mov oPos.z, v0.z\n"
    "    mov oPos.w, c1.y\n"
    "    mov oT0, v1\n"
    "    mov oD0, c2\n"
    "};\n";

const char kAsmConstants[] =
    "    VertexShaderConstant1[0] = {0.03125, -0.041666668, -1, 1};\n"
    "    VertexShaderConstantF[1] = {0, 1, 0, 0};\n"
    "    VertexShaderConstant1[2] = <g_Color>;\n";

TEST_F(EffectAssemblyTest, AsmStagesDrawWithTheirConstantStatesAndBesideHlslStages) {
    CreateOk(std::string(kAsmVertexShader) +
             "float4 FromColor(float4 c : COLOR0) : COLOR { return c; }\n"
             "technique T {\n"
             "  pass AsmOnly {\n" +
             kAsmConstants +
             "    VertexShader = <g_PixelAsm>;\n"
             "    PixelShader = asm { ps_1_1\n mov r0, v0 };\n"
             "  }\n"
             "  pass AsmAndHlsl {\n" +
             kAsmConstants +
             "    VertexShader = <g_PixelAsm>;\n"
             "    PixelShader = compile ps_2_0 FromColor();\n"
             "  }\n"
             "  pass HlslAndAsm {\n"
             "    VertexShader = compile vs_2_0 PixelVS();\n"
             "    PixelShaderConstantF[0] = <g_Color>;\n"
             "    PixelShader = asm { ps_2_0\n mov oC0, c0 };\n"
             "  }\n"
             "}\n");
    Clear();
    ASSERT_EQ(DrawPass("T", 0, Quad(0, 0, 20, 48)), D3D_OK);
    const float green[4] = {0, 1, 0, 1};
    ASSERT_EQ(effect_->SetVector("g_Color", reinterpret_cast<const D3DXVECTOR4*>(green)), D3D_OK);
    ASSERT_EQ(DrawPass("T", 1, Quad(20, 0, 20, 48)), D3D_OK);
    const float white[4] = {1, 1, 1, 1};
    ASSERT_EQ(effect_->SetVector("g_Color", reinterpret_cast<const D3DXVECTOR4*>(white)), D3D_OK);
    ASSERT_EQ(DrawPass("T", 2, Quad(40, 0, 24, 48)), D3D_OK);
    EXPECT_EQ(Rgb(PixelAt(10, 24)), 0xFF0000u);
    EXPECT_EQ(Rgb(PixelAt(30, 24)), 0x00FF00u);
    EXPECT_EQ(Rgb(PixelAt(50, 24)), 0xFFFFFFu);
}

TEST_F(EffectAssemblyTest, AnAsmSamplerReadsItsTextureStageAndFlowControlReadsIntAndBoolConstants) {
    CreateOk(std::string(kAsmVertexShader) +
             "int4 g_Loop = {3, 0, 1, 0};\n"
             "bool g_Extra = false;\n"
             "technique T {\n"
             "  pass Textured {\n" +
             kAsmConstants +
             "    Texture[1] = <g_Texture>;\n"
             "    VertexShader = <g_PixelAsm>;\n"
             "    PixelShader = asm { ps_2_0\n dcl t0.xy\n dcl v0\n dcl_2d s1\n texld r0, t0, s1\n mul oC0, r0, v0 };\n"
             "  }\n"
             "  pass Counted {\n" +
             kAsmConstants +
             "    VertexShaderConstantI[0] = <g_Loop>;\n"
             "    VertexShaderConstantB[0] = <g_Extra>;\n"
             "    VertexShader = asm {\n"
             "        vs_2_0\n"
             "        dcl_position v0\n"
             "        mad oPos.xy, v0.xy, c0.xy, c0.zw\n"
             "        mov oPos.zw, c1.xy\n"
             "        mov r0, c1.x\n"
             "        rep i0\n"
             "          add r0, r0, c3\n"
             "        endrep\n"
             "        if b0\n"
             "          add r0, r0, c3\n"
             "        endif\n"
             "        mov oD0, r0\n"
             "    };\n"
             "    VertexShaderConstant1[3] = {0.25, 0.25, 0.25, 0.25};\n"
             "    PixelShader = asm { ps_1_4\n mov r0, v0 };\n"
             "  }\n"
             "}\n");
    ASSERT_EQ(effect_->SetTexture("g_Texture", SolidTexture(0xFF00FFFF)), D3D_OK);  // cyan
    const float yellow[4] = {1, 1, 0, 1};
    ASSERT_EQ(effect_->SetVector("g_Color", reinterpret_cast<const D3DXVECTOR4*>(yellow)), D3D_OK);
    Clear();
    ASSERT_EQ(DrawPass("T", 0, Quad(0, 0, 20, 48)), D3D_OK);
    ASSERT_EQ(DrawPass("T", 1, Quad(20, 0, 20, 48)), D3D_OK);
    const float once[4] = {1, 0, 1, 0};
    ASSERT_EQ(effect_->SetFloatArray("g_Loop", once, 4), D3D_OK);
    ASSERT_EQ(effect_->SetBool("g_Extra", TRUE), D3D_OK);
    ASSERT_EQ(DrawPass("T", 1, Quad(40, 0, 24, 48)), D3D_OK);
    EXPECT_EQ(Rgb(PixelAt(10, 24)), 0x00FF00u);        // cyan texture times yellow
    EXPECT_NEAR(Channel(PixelAt(30, 24), 8), 191, 1);  // three times 0.25
    EXPECT_NEAR(Channel(PixelAt(50, 24), 8), 128, 1);  // once, then once more under b0
}

TEST_F(EffectAssemblyTest, PixelShader1xRegistersKeepTheirRangeAfterEachInstruction) {
    // 0.8 + 0.8 is kept at 1 before 0.6 is taken away: 0.4, where an unclamped sum would leave 1.
    CreateOk(std::string(kAsmVertexShader) +
             "technique T {\n"
             "  pass P {\n" +
             kAsmConstants +
             "    PixelShaderConstant1[0] = {0.8, 0.8, 0.8, 1};\n"
             "    PixelShaderConstant1[1] = {0.6, 0.6, 0.6, 0};\n"
             "    VertexShader = <g_PixelAsm>;\n"
             "    PixelShader = asm { ps_1_1\n add r0, c0, c0\n sub r0, r0, c1 };\n"
             "  }\n"
             "}\n");
    Clear();
    ASSERT_EQ(DrawPass("T", 0, Quad(0, 0, 64, 48)), D3D_OK);
    EXPECT_NEAR(Channel(PixelAt(32, 24), 16), 102, 1);
    EXPECT_NEAR(Channel(PixelAt(32, 24), 0), 102, 1);
}

TEST_F(EffectAssemblyTest, PixelShader11TexProjectsTheStagesTheDeviceMarksProjected) {
    // Coordinates at half, w at half: projected they are the quad's own (red then green), plain they
    // stay in the red half.
    CreateOk(
        "texture g_Texture;\n"
        "VertexShader g_Halved = asm {\n"
        "    vs_1_1\n    dcl_position v0\n    dcl_texcoord0 v1\n"
        "    mad oPos.xy, v0.xy, c0.xy, c0.zw\n    mov oPos.z, v0.z\n    mov oPos.w, c1.y\n"
        "    mul oT0.xy, v1.xy, c1.z\n    mov oT0.zw, c1.xz\n"
        "};\n"
        "technique T {\n"
        "  pass Projected {\n"
        "    VertexShaderConstant1[0] = {0.03125, -0.041666668, -1, 1};\n"
        "    VertexShaderConstant1[1] = {0, 1, 0.5, 0.5};\n"
        "    Texture[0] = <g_Texture>;\n    MinFilter[0] = Point;\n    MagFilter[0] = Point;\n"
        "    TextureTransformFlags[0] = Projected;\n"
        "    VertexShader = <g_Halved>;\n    PixelShader = asm { ps_1_1\n tex t0\n mov r0, t0 };\n"
        "  }\n"
        "  pass Plain {\n"
        "    VertexShaderConstant1[0] = {0.03125, -0.041666668, -1, 1};\n"
        "    VertexShaderConstant1[1] = {0, 1, 0.5, 0.5};\n"
        "    Texture[0] = <g_Texture>;\n    MinFilter[0] = Point;\n    MagFilter[0] = Point;\n"
        "    TextureTransformFlags[0] = Disable;\n"
        "    VertexShader = <g_Halved>;\n    PixelShader = asm { ps_1_1\n tex t0\n mov r0, t0 };\n"
        "  }\n"
        "}\n");
    IDirect3DTexture9* halves = MakeTexture(2, 1, [](UINT x, UINT) { return x == 0 ? 0xFFFF0000u : 0xFF00FF00u; });
    textures_.push_back(halves);
    ASSERT_EQ(effect_->SetTexture("g_Texture", halves), D3D_OK);
    Clear();
    ASSERT_EQ(DrawPass("T", 0, Quad(0, 0, 64, 24)), D3D_OK);
    ASSERT_EQ(DrawPass("T", 1, Quad(0, 24, 64, 24)), D3D_OK);
    EXPECT_EQ(Rgb(PixelAt(8, 12)), 0xFF0000u);
    EXPECT_EQ(Rgb(PixelAt(56, 12)), 0x00FF00u);
    EXPECT_EQ(Rgb(PixelAt(56, 36)), 0xFF0000u);
}

TEST_F(EffectAssemblyTest, TheFilesHlslIsCheckedWhereOnlyAsmPassesUseNone) {
    const std::string errors = Refused(
        "float4 Broken() : COLOR { return g_Undeclared; }\n"
        "technique T { pass { PixelShader = asm { ps_2_0\n mov oC0, c0 }; } }\n");
    EXPECT_NE(errors.find("g_Undeclared"), std::string::npos) << errors;
    // An asm fault names the line and column of the file.
    const std::string fault = Refused("technique T { pass { PixelShader = asm {\n ps_2_0\n mov oC0, r7 }; } }\n");
    EXPECT_NE(fault.find("(6,11): error"), std::string::npos) << fault;
}

}  // namespace

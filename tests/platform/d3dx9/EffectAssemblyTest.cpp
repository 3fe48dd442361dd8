// Effects whose passes hold `asm { ... }` shaders, drawn on a real device: constants from the
// pass's shader constant states (parameters followed at BeginPass, literals), asm stages beside HLSL
// and device stages, the texture stages asm samplers read (vertex textures too), instruction results
// against the values the shader reference states, ps_1_x's register range and texture addressing,
// cube-map lookups of ps_1_x, ps_2_0 and HLSL, depth written by pixel shaders, and shader model 3's
// packed varyings.
#include "EffectPassFixture.h"
#include "Pixels.h"
#include "support/TempDir.h"

#include <d3dx9.h>

#include <fstream>
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

// c0 and c1 place the quad; c2 is the colour.
const std::string kPlaceConstants =
    "    VertexShaderConstant1[0] = {0.03125, -0.041666668, -1, 1};\n"
    "    VertexShaderConstantF[1] = {0, 1, 0, 0};\n";
const std::string kAsmConstants = kPlaceConstants + "    VertexShaderConstant1[2] = <g_Color>;\n";

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
             "  pass AsmAndDevice {\n" +
             kAsmConstants +
             "    ColorOp[0] = SelectArg1;\n    ColorArg1[0] = Diffuse;\n"
             "    VertexShader = <g_PixelAsm>;\n"
             "    PixelShader = NULL;\n"
             "  }\n"
             "}\n");
    Clear();
    ASSERT_EQ(DrawPass("T", 0, Quad(0, 0, 20, 48)), D3D_OK);
    const float green[4] = {0, 1, 0, 1};
    ASSERT_EQ(effect_->SetVector("g_Color", reinterpret_cast<const D3DXVECTOR4*>(green)), D3D_OK);
    ASSERT_EQ(DrawPass("T", 1, Quad(20, 0, 20, 48)), D3D_OK);
    const float white[4] = {1, 1, 1, 1};
    ASSERT_EQ(effect_->SetVector("g_Color", reinterpret_cast<const D3DXVECTOR4*>(white)), D3D_OK);
    ASSERT_EQ(DrawPass("T", 2, Quad(40, 0, 12, 48)), D3D_OK);
    const float yellow[4] = {1, 1, 0, 1};
    ASSERT_EQ(effect_->SetVector("g_Color", reinterpret_cast<const D3DXVECTOR4*>(yellow)), D3D_OK);
    ASSERT_EQ(DrawPass("T", 3, Quad(52, 0, 12, 48)), D3D_OK);
    EXPECT_EQ(Rgb(PixelAt(10, 24)), 0xFF0000u);
    EXPECT_EQ(Rgb(PixelAt(30, 24)), 0x00FF00u);
    EXPECT_EQ(Rgb(PixelAt(46, 24)), 0xFFFFFFu);
    EXPECT_EQ(Rgb(PixelAt(58, 24)), 0xFFFF00u);  // the device's pixel stage shows the asm stage's oD0
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
             "    PixelShader = asm { ps_2_0\n dcl t0.xy\n dcl v0\n dcl_2d s1\n texld r0, t0, s1\n mul r1, r0, v0\n "
             "mov oC0, r1 };\n"
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

// The effect's preprocessor runs over asm blocks as over the rest: a macro inside one, with an
// argument, and a file included into one (beside the effect file) each give the program they spell.
TEST_F(EffectAssemblyTest, MacrosAndIncludesWorkInsideAsmBlocks) {
    const std::string pass =
        "technique T { pass P {\n"
        "  VertexShader = compile vs_2_0 PixelVS();\n"
        "  PixelShaderConstantF[0] = {1, 0, 0, 1};\n"
        "  PixelShaderConstantF[1] = {0, 1, 0, 1};\n"
        "  PixelShader = asm {\n"
        "    ps_2_0\n"
        "    WRITE(COLOUR)\n"
        "  };\n"
        "} }\n";
    CreateOk("#define COLOUR c0\n#define WRITE(reg) mov oC0, reg\n" + pass);
    Clear();
    ASSERT_EQ(DrawPass("T", 0, Quad(0, 0, 64, 48)), D3D_OK);
    EXPECT_EQ(Rgb(PixelAt(32, 24)), 0xFF0000u);
    effect_->Release();
    effect_ = nullptr;

    TestSupport::TempDir folder;
    std::ofstream(folder.Path() / "green.inc") << "    mov oC0, c1\n";
    std::ofstream(folder.Path() / "pass.fx") << std::string(D3DX9Tests::kPixelVertexShader) +
                                                    "technique T { pass P {\n"
                                                    "  VertexShader = compile vs_2_0 PixelVS();\n"
                                                    "  PixelShaderConstantF[1] = {0, 1, 0, 1};\n"
                                                    "  PixelShader = asm {\n"
                                                    "    ps_2_0\n"
                                                    "#include \"green.inc\"\n"
                                                    "  };\n"
                                                    "} }\n";
    ID3DXBuffer* errors = nullptr;
    ASSERT_EQ(D3DXCreateEffectFromFileW(device_, folder.File("pass.fx").c_str(), nullptr, nullptr, 0, nullptr, &effect_,
                                        &errors),
              D3D_OK)
        << (errors != nullptr ? static_cast<const char*>(errors->GetBufferPointer()) : "");
    if (errors != nullptr) errors->Release();
    Clear();
    ASSERT_EQ(DrawPass("T", 0, Quad(0, 0, 64, 48)), D3D_OK);
    EXPECT_EQ(Rgb(PixelAt(32, 24)), 0x00FF00u);
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

// One program's colour, drawn over the whole target: a pixel shader after the fixture's asm vertex
// shader, or a vertex shader (after the lines that place the quad) whose oD0 a pixel shader shows.
struct DrawnCase {
    const char* what;
    std::string vertex;  // empty: g_PixelAsm
    std::string pixel;
    DWORD rgb;  // 0xRRGGBB
};

// A vertex shader of `version` with its definitions first, then the lines that place the quad.
std::string PlacedVertexShader(const std::string& version, const std::string& definitions, const std::string& body) {
    const bool outputs = version == "vs_3_0";
    return version + "\n" + definitions + "dcl_position v0\n" + (outputs ? "dcl_position o0\n" : "") +
           (outputs ? "mad o0.xy, v0.xy, c0.xy, c0.zw\nmov o0.zw, c1.xy\n"
                    : "mad oPos.xy, v0.xy, c0.xy, c0.zw\nmov oPos.zw, c1.xy\n") +
           body;
}
const std::string kShowColor = "ps_2_0\ndcl v0\nmov oC0, v0\n";

TEST_F(EffectAssemblyTest, InstructionsComputeWhatTheReferenceStates) {
    const DrawnCase cases[] = {
        {"rcp: +infinity for 0, 1/x", "",
         "ps_2_0\ndef c0, 0, 4, 1, 0.5\nrcp r0.x, c0.x\nrcp r0.y, c0.y\nrcp r1.x, c0.z\nmul r0.z, r1.x, c0.w\n"
         "mov r0.w, c0.z\nmov_sat r0, r0\nmov oC0, r0\n",
         0xFF4080},
        {"rsq: +infinity for 0, of |x|", "",
         "ps_2_0\ndef c0, 0, 16, -4, 1\nrsq r0.x, c0.x\nrsq r0.y, c0.y\nrsq r0.z, c0.z\nmov r0.w, c0.w\n"
         "mov_sat r0, r0\nmov oC0, r0\n",
         0xFF4080},
        {"exp, log, log of 0 as -FLT_MAX", "",
         "ps_2_0\ndef c0, -1, 2, 0, 0.25\nexp r0.x, c0.x\nlog r1.x, c0.y\nmul r0.y, r1.x, c0.w\nlog r1.y, c0.z\n"
         "add r0.z, r1.y, c0.y\nmov r0.w, c0.y\nmov_sat r0, r0\nmov oC0, r0\n",
         0x804000},
        {"frc and cmp", "",
         "ps_2_0\ndef c0, 1.25, -0.25, 0, 1\ndef c1, -0.5, 1, 0.5, 0\nfrc r0.xy, c0\n"
         "cmp r0.z, c1.x, c1.y, c1.z\nmov r0.w, c0.w\nmov oC0, r0\n",
         0x40BF80},
        {"sincos and dp2add", "",
         "ps_2_0\ndef c0, 1.04719755, 0, 0, 1\ndef c1, 0.25, 0.25, 0, 0\ndef c5, 0.125, 0, 0, 0\n"
         "def c2, -1.5500992e-006, -2.1701389e-005, 0.0026041667, 0.00026041668\n"
         "def c3, -0.020833334, -0.125, 1, 0.5\nmov r2, c0\nsincos r1.xy, r2.x, c2, c3\nmov r0.xy, r1\n"
         "mov r5, c1\ndp2add r0.z, r5, r5, c5.x\nmov r0.w, c0.w\nmov oC0, r0\n",
         0x80DD40},
        {"nrm, and nrm of a zero vector", "",
         "ps_2_0\ndef c0, 0, 0, 0, 0\ndef c1, 3, 0, 4, 1\ndef c2, 0.5, 0.5, 0.5, 1\nmov r2, c0\nnrm r0.xyz, r2\n"
         "mov r3, c1\nnrm r1.xyz, r3\nadd r4.y, r0.y, c2.y\nmov r4.x, r1.x\nmov r4.z, r1.z\nmov r4.w, c2.w\n"
         "mov oC0, r4\n",
         0x9980CC},
        {"texkill keeps the target", "",
         "ps_2_0\ndef c0, 0.5, 0.5, -1, 0\ndef c1, 1, 1, 1, 1\nmov r0, c0\ntexkill r0\nmov oC0, c1\n", 0x0000FF},
        {"ps_1_1: a pair joined by + reads before it writes", "",
         "ps_1_1\ndef c0, 0.2, 0.2, 0.2, 0.8\nmov r0, c0\nmov r0.rgb, r0.a\n+mov r0.a, r0.b\nmov r0.rgb, r0.a\n",
         0x333333},
        {"ps_1_1: _bx2 and 1-x", "", "ps_1_1\ndef c0, 0.75, 0.25, 0.5, 1\nmov r1, c0\nadd r0, r1_bx2, 1-r1\n",
         0xBF4080},
        {"ps_1_1: cnd reads r0.a", "",
         "ps_1_1\ndef c0, 0.6, 0.6, 0.6, 0.6\ndef c1, 1, 0.5, 0.25, 1\ndef c2, 0, 0, 0, 0\nmov r0, c0\n"
         "cnd r0, r0.a, c1, c2\n",
         0xFF8040},
        {"ps_1_4: shifts, a range past 1, cnd by component", "",
         "ps_1_4\ndef c0, 0.5, 0.25, 0.4, 1\ndef c1, 0.5, 0.6, 0.3, 1\ndef c2, 0.25, 0.25, 0.25, 1\n"
         "mov_d2 r1, c0\nmov_x4 r2, c0\ncnd r3, c1, r1, r2\nmul r0, r3, c2\n",
         0x800866},
        {"lit", PlacedVertexShader("vs_1_1", "def c10, 0.5, 0.5, 0, 2\n", "lit r0, c10\nmov oD0, r0.yzww\n"),
         kShowColor, 0x8040FF},
        {"dst",
         PlacedVertexShader("vs_1_1", "def c10, 0, 0.5, 0.25, 0\ndef c11, 0, 0.5, 0, 0.75\n",
                            "mov r1, c10\ndst r0, r1, c11\nmov oD0, r0.yzww\n"),
         kShowColor, 0x4040BF},
        {"vs_1_1 expp",
         PlacedVertexShader("vs_1_1", "def c12, 1.5, 0, 0, 0\ndef c13, 0.25, 1, 0.25, 1\n",
                            "expp r0, c12.x\nmul oD0, r0, c13\n"),
         kShowColor, 0x8080B5},
        {"mova rounds, a relative read past the file is 0",
         PlacedVertexShader("vs_2_0", "def c10, 1.6, 300, -2, 0\ndef c5, 0.25, 0.5, 0.75, 1\n",
                            "mova a0.x, c10.x\nmov r0, c[a0.x + 3]\nmova a0.y, c10.y\nadd r0, r0, c[a0.y + 0]\n"
                            "mov oD0, r0\n"),
         kShowColor, 0x4080BF},
        {"loop aL, if b0, call",
         PlacedVertexShader("vs_2_0",
                            "defi i0, 3, 1, 1, 0\ndefb b0, true\ndef c11, 0.25, 0, 0, 0\ndef c12, 0, 0.125, 0, 0\n"
                            "def c13, 0, 0, 0.5, 0\n",
                            "mov r0, c1.x\nloop aL, i0\nadd r0, r0, c[aL + 10]\nendloop\nif b0\ncall l1\nendif\n"
                            "mov oD0, r0\nret\nlabel l1\nadd r0, r0, c11\nret\n"),
         kShowColor, 0x802080},
        {"crs, sge, slt, abs",
         PlacedVertexShader("vs_2_0",
                            "def c10, 1, 0, 0, 0\ndef c11, 0, 1, 0, 0\ndef c12, 0.5, 0.5, 0.75, -0.25\n"
                            "def c13, 0.5, 0.25, 0.75, 1\n",
                            "mov r2, c10\ncrs r0.xyz, r2, c11\nsge r1.x, c12.x, c12.y\nslt r1.y, c12.z, c12.y\n"
                            "abs r1.z, c12.w\nmul r3.x, r1.x, c13.x\nadd r3.y, r1.y, c13.y\nmul r3.z, r0.z, c13.z\n"
                            "add r3.z, r3.z, -r1.z\nmov r3.w, c13.w\nmov oD0, r3\n"),
         kShowColor, 0x804080},
        {"vs_2_x predication by component",
         PlacedVertexShader("vs_2_x", "def c10, 0.25, 0.75, 0.5, 1\ndef c11, 0.5, 0.5, 0.5, 0.5\ndef c12, 1, 1, 1, 1\n",
                            "mov r0, c10\nsetp_lt p0, r0, c11\n(p0) mov r0, c12\nmov oD0, r0\n"),
         kShowColor, 0xFFBF80},
        {"ps_2_x predication by component", "",
         "ps_2_x\ndef c0, 0.25, 0.5, 0.75, 1\ndef c1, 0.5, 0.5, 0.5, 0.5\nmov r0, c0\nsetp_ge p0, r0, c1\n"
         "(p0) add r0, r0, -c1\nmov oC0, r0\n",
         0x400040},
        {"ps_3_0 predication by component", PlacedVertexShader("vs_3_0", "", ""),
         "ps_3_0\ndef c0, 0.25, 0.5, 0.75, 1\ndef c1, 0.5, 0.5, 0.5, 0.125\nmov r0, c0\nsetp_gt p0, r0, c1\n"
         "(p0) mov r0, c1.w\n(!p0.x) add r0.x, r0.x, c0.x\nmov oC0, r0\n",
         0x808020},
    };
    for (const DrawnCase& drawn : cases) {
        SCOPED_TRACE(drawn.what);
        const std::string vertex = drawn.vertex.empty() ? std::string("<g_PixelAsm>") : "asm {\n" + drawn.vertex + "}";
        CreateOk(std::string(kAsmVertexShader) + "technique T {\n  pass P {\n" + kAsmConstants +
                 "    VertexShader = " + vertex + ";\n    PixelShader = asm {\n" + drawn.pixel + "};\n  }\n}\n");
        if (effect_ == nullptr) continue;
        Clear();
        ASSERT_EQ(DrawPass("T", 0, Quad(0, 0, 64, 48)), D3D_OK);
        const DWORD pixel = PixelAt(32, 24);
        for (const int shift : {16, 8, 0})
            EXPECT_NEAR(Channel(pixel, shift), static_cast<int>((drawn.rgb >> shift) & 0xFF), 2) << "shift " << shift;
        EXPECT_EQ(effect_->Release(), 0u);
        effect_ = nullptr;
    }
}

// ps_1_1 to ps_1_4 texture instructions, each pass with its coordinates as constants, drawn in a
// column of its own: texcoord, texdp3, texbem and texbeml (the stage's bump matrix and luminance),
// texreg2ar, texm3x2tex, texm3x3, and ps_1_4's texld projected by _dw.
TEST_F(EffectAssemblyTest, TextureAddressingInstructionsReadTheirCoordinatesAndStages) {
    struct Column {
        const char* what;
        const char* states;
        const char* pixel;
        DWORD rgb;
    };
    const Column columns[] = {
        {"texcoord clamps", "VertexShaderConstant1[10] = {0.25, 1.5, -0.5, 9};", "ps_1_1\ntexcoord t0\nmov r0, t0\n",
         0x40FF00},
        {"texdp3", "VertexShaderConstant1[10] = {0.5, 1, 0.5, 1}; VertexShaderConstant1[11] = {0.5, 0.25, 0, 0};",
         "ps_1_2\ntexcoord t0\ntexdp3 t1, t0\nmov r0, t1\n", 0x808080},
        {"texbem",
         "VertexShaderConstant1[11] = {0.25, 0.5, 0, 1}; Texture[0] = <g_Bump>; Texture[1] = <g_Halves>;"
         "BumpEnvMat00[1] = 0.5; BumpEnvMat01[1] = 0; BumpEnvMat10[1] = 0; BumpEnvMat11[1] = 0;",
         "ps_1_1\ntex t0\ntexbem t1, t0\nmov r0, t1\n", 0x00FF00},
        {"texbeml",
         "VertexShaderConstant1[11] = {0.25, 0.5, 0, 1}; Texture[0] = <g_Bump>; Texture[1] = <g_Halves>;"
         "BumpEnvMat00[1] = 0.5; BumpEnvMat01[1] = 0; BumpEnvMat10[1] = 0; BumpEnvMat11[1] = 0;"
         "BumpEnvLScale[1] = 0; BumpEnvLOffset[1] = 0.5;",
         "ps_1_1\ntex t0\ntexbeml t1, t0\nmov r0, t1\n", 0x008000},
        {"texreg2ar", "Texture[0] = <g_Bump>; Texture[1] = <g_Quads>; AddressV[1] = Clamp;",
         "ps_1_1\ntex t0\ntexreg2ar t1, t0\nmov r0, t1\n", 0x00FFFF},
        {"texm3x2tex",
         "VertexShaderConstant1[10] = {1, 0.5, 0, 1}; VertexShaderConstant1[11] = {0.75, 0, 0, 0};"
         "VertexShaderConstant1[12] = {0, 0.5, 0, 0}; Texture[2] = <g_Quads>;",
         "ps_1_1\ntexcoord t0\ntexm3x2pad t1, t0\ntexm3x2tex t2, t0\nmov r0, t2\n", 0x00FF00},
        {"texm3x3",
         "VertexShaderConstant1[10] = {1, 0.5, 0, 1}; VertexShaderConstant1[11] = {0.5, 0, 0, 0};"
         "VertexShaderConstant1[12] = {0, 0.5, 0, 0}; VertexShaderConstant1[13] = {0.25, 0.5, 0, 0};",
         "ps_1_2\ntexcoord t0\ntexm3x3pad t1, t0\ntexm3x3pad t2, t0\ntexm3x3 t3, t0\nmov r0, t3\n", 0x804080},
        {"ps_1_4 texld _dw", "VertexShaderConstant1[11] = {0.375, 0.125, 0, 0.5}; Texture[1] = <g_Quads>;",
         "ps_1_4\ntexld r1, t1_dw.xyw\nmov r0, r1\n", 0x00FF00},
    };
    std::string effect =
        "texture g_Bump;\ntexture g_Halves;\ntexture g_Quads;\n"
        "VertexShader g_Coordinates = asm {\n"
        "    vs_1_1\n    dcl_position v0\n"
        "    mad oPos.xy, v0.xy, c0.xy, c0.zw\n    mov oPos.zw, c1.xy\n"
        "    mov oT0, c10\n    mov oT1, c11\n    mov oT2, c12\n    mov oT3, c13\n"
        "};\ntechnique T {\n";
    for (const Column& column : columns) {
        effect += std::string("  pass {\n") + kPlaceConstants + "    " + column.states + "\n";
        for (int stage = 0; stage < 4; ++stage) {
            effect += "    MinFilter[" + std::to_string(stage) + "] = Point; MagFilter[" + std::to_string(stage) +
                      "] = Point;\n";
        }
        effect +=
            std::string("    VertexShader = <g_Coordinates>;\n    PixelShader = asm {\n") + column.pixel + "};\n  }\n";
    }
    CreateOk(effect + "}\n");
    IDirect3DTexture9* bump = MakeTexture(1, 1, [](UINT, UINT) { return 0x40FF0000u; });  // r 1, a 0.25
    IDirect3DTexture9* halves = MakeTexture(2, 1, [](UINT x, UINT) { return x == 0 ? 0xFFFF0000u : 0xFF00FF00u; });
    IDirect3DTexture9* quads = MakeTexture(2, 2, [](UINT x, UINT y) {
        static const DWORD kTexels[2][2] = {{0xFFFF0000u, 0xFF00FF00u}, {0xFF00FFFFu, 0xFFFFFFFFu}};
        return kTexels[y][x];
    });
    for (IDirect3DTexture9* texture : {bump, halves, quads})
        textures_.push_back(texture);
    ASSERT_EQ(effect_->SetTexture("g_Bump", bump), D3D_OK);
    ASSERT_EQ(effect_->SetTexture("g_Halves", halves), D3D_OK);
    ASSERT_EQ(effect_->SetTexture("g_Quads", quads), D3D_OK);
    Clear();
    for (UINT i = 0; i < std::size(columns); ++i)
        ASSERT_EQ(DrawPass("T", i, Quad(static_cast<float>(i * 8), 0, 8, 48)), D3D_OK) << columns[i].what;
    for (UINT i = 0; i < std::size(columns); ++i) {
        SCOPED_TRACE(columns[i].what);
        const DWORD pixel = PixelAt(i * 8 + 4, 24);
        for (const int shift : {16, 8, 0})
            EXPECT_NEAR(Channel(pixel, shift), static_cast<int>((columns[i].rgb >> shift) & 0xFF), 2)
                << "shift " << shift;
    }
}

// Cube-map lookups, each pass in a column of its own, on a cube of 2 x 2 faces whose texels tell
// their face, column and row (D3D9Test::CubeFaceTexel). Each direction is worked out from the pass's
// coordinates (t0 = c10, the matrix rows t1..t3 = c11..c13, their w the eye for texm3x3vspec); the
// face and texel then follow Direct3D's face rules, as CubeTextureTest states them. The stages get
// the textureCUBE from `Texture[n]`, from `Sampler[n]` naming a samplerCUBE, or from the HLSL sampler.
TEST_F(EffectAssemblyTest, CubeMapInstructionsReadTheFaceTheirDirectionPointsAt) {
    struct Column {
        const char* what;
        const char* states;
        const char* pixel;
        D3DCUBEMAP_FACES face;
        UINT x, y;
    };
    const Column columns[] = {
        // (1, 0.5, 0) through rows x, y, y: (1, 0.5, 0.5), +X at u 0.25, v 0.25.
        {"texm3x3tex",
         "VertexShaderConstant1[10] = {1, 0.5, 0, 1}; VertexShaderConstant1[11] = {1, 0, 0, 0};"
         "VertexShaderConstant1[12] = {0, 1, 0, 0}; VertexShaderConstant1[13] = {0, 1, 0, 0}; Texture[3] = <g_Cube>;",
         "asm { ps_1_1\ntexcoord t0\ntexm3x3pad t1, t0\ntexm3x3pad t2, t0\ntexm3x3tex t3, t0\nmov r0, t3\n}",
         D3DCUBEMAP_FACE_POSITIVE_X, 0, 0},
        // Normal (1, 0, 0), eye (1, 0.5, -0.5) from the rows' w: 2 (N.E) / (N.N) N - E = (1, -0.5, 0.5),
        // +X at u 0.25, v 0.75.
        {"texm3x3vspec",
         "VertexShaderConstant1[10] = {1, 0.5, 0, 1}; VertexShaderConstant1[11] = {1, 0, 0, 1};"
         "VertexShaderConstant1[12] = {0, 0, 0, 0.5}; VertexShaderConstant1[13] = {0, 0, 0, -0.5};"
         "Texture[3] = <g_Cube>;",
         "asm { ps_1_1\ntexcoord t0\ntexm3x3pad t1, t0\ntexm3x3pad t2, t0\ntexm3x3vspec t3, t0\nmov r0, t3\n}",
         D3DCUBEMAP_FACE_POSITIVE_X, 0, 1},
        // Normal (0, 0.5, 0), eye c0 (0.5, 1, -0.5): 4 (0, 0.5, 0) - E = (-0.5, 1, 0.5), +Y at u 0.25, v 0.75.
        {"texm3x3spec",
         "VertexShaderConstant1[10] = {1, 0.5, 0, 1}; VertexShaderConstant1[11] = {0, 0, 0, 0};"
         "VertexShaderConstant1[12] = {0, 1, 0, 0}; VertexShaderConstant1[13] = {0, 0, 0, 0}; Texture[3] = <g_Cube>;",
         "asm { ps_1_1\ndef c0, 0.5, 1, -0.5, 0\ntexcoord t0\ntexm3x3pad t1, t0\ntexm3x3pad t2, t0\n"
         "texm3x3spec t3, t0, c0\nmov r0, t3\n}",
         D3DCUBEMAP_FACE_POSITIVE_Y, 0, 1},
        // The 2D texel 0x8040FF as the direction (0.502, 0.251, 1): +Z at u 0.751, v 0.375.
        {"texreg2rgb", "Texture[0] = <g_Direction>; Texture[1] = <g_Cube>;",
         "asm { ps_1_2\ntex t0\ntexreg2rgb t1, t0\nmov r0, t1\n}", D3DCUBEMAP_FACE_POSITIVE_Z, 1, 0},
        // (0.5, -1, -0.5): -Y at u 0.75, v 0.75.
        {"ps_2_0 texld", "VertexShaderConstant1[10] = {0.5, -1, -0.5, 1}; Texture[0] = <g_Cube>;",
         "asm { ps_2_0\ndcl t0.xyz\ndcl_cube s0\ntexld r0, t0, s0\nmov oC0, r0\n}", D3DCUBEMAP_FACE_NEGATIVE_Y, 1, 1},
        {"HLSL texCUBE", "VertexShaderConstant1[10] = {0.5, -1, -0.5, 1};", "compile ps_2_0 CubePS()",
         D3DCUBEMAP_FACE_NEGATIVE_Y, 1, 1},
        // Stages bound by a cube sampler's block. (1, 0.5, 0) through rows -x, y, -y: (-1, 0.5, -0.5),
        // -X at u 0.25, v 0.25.
        {"texm3x3tex, Sampler[3]",
         "VertexShaderConstant1[10] = {1, 0.5, 0, 1}; VertexShaderConstant1[11] = {-1, 0, 0, 0};"
         "VertexShaderConstant1[12] = {0, 1, 0, 0}; VertexShaderConstant1[13] = {0, -1, 0, 0};"
         "Sampler[3] = (g_CubeSampler);",
         "asm { ps_1_1\ntexcoord t0\ntexm3x3pad t1, t0\ntexm3x3pad t2, t0\ntexm3x3tex t3, t0\nmov r0, t3\n}",
         D3DCUBEMAP_FACE_NEGATIVE_X, 0, 0},
        // (-0.5, 0.5, -1): -Z at u 0.75, v 0.25.
        {"ps_2_0 texld, Sampler[0]", "VertexShaderConstant1[10] = {-0.5, 0.5, -1, 1}; Sampler[0] = (g_CubeSampler);",
         "asm { ps_2_0\ndcl t0.xyz\ndcl_cube s0\ntexld r0, t0, s0\nmov oC0, r0\n}", D3DCUBEMAP_FACE_NEGATIVE_Z, 1, 0},
    };
    std::string effect =
        "textureCUBE g_Cube;\ntexture g_Direction;\n"
        "samplerCUBE g_CubeSampler = sampler_state { Texture = <g_Cube>; MinFilter = Point; MagFilter = Point; };\n"
        "float4 CubePS(float3 direction : TEXCOORD0) : COLOR { return texCUBE(g_CubeSampler, direction); }\n"
        "VertexShader g_Coordinates = asm {\n"
        "    vs_1_1\n    dcl_position v0\n"
        "    mad oPos.xy, v0.xy, c0.xy, c0.zw\n    mov oPos.zw, c1.xy\n"
        "    mov oT0, c10\n    mov oT1, c11\n    mov oT2, c12\n    mov oT3, c13\n"
        "};\ntechnique T {\n";
    for (const Column& column : columns) {
        effect += std::string("  pass {\n") + kPlaceConstants + "    " + column.states + "\n";
        for (int stage = 0; stage < 4; ++stage) {
            effect += "    MinFilter[" + std::to_string(stage) + "] = Point; MagFilter[" + std::to_string(stage) +
                      "] = Point;\n";
        }
        effect += std::string("    VertexShader = <g_Coordinates>;\n    PixelShader = ") + column.pixel + ";\n  }\n";
    }
    CreateOk(effect + "}\n");
    IDirect3DCubeTexture9* cube = MakeCubeTexture(2, D3D9Test::CubeFaceTexel);
    ASSERT_EQ(effect_->SetTexture("g_Cube", cube), D3D_OK);
    EXPECT_EQ(cube->Release(), 1u);  // the effect's parameter holds it now
    ASSERT_EQ(effect_->SetTexture("g_Direction", SolidTexture(0xFF8040FFu)), D3D_OK);
    Clear();
    for (UINT i = 0; i < std::size(columns); ++i)
        ASSERT_EQ(DrawPass("T", i, Quad(static_cast<float>(i * 8), 0, 8, 48)), D3D_OK) << columns[i].what;
    for (UINT i = 0; i < std::size(columns); ++i) {
        SCOPED_TRACE(columns[i].what);
        EXPECT_EQ(Rgb(PixelAt(i * 8 + 4, 24)),
                  Rgb(D3D9Test::CubeFaceTexel(columns[i].face, columns[i].x, columns[i].y)));
    }
    // The HLSL lookup (column 5) and the assembly one (column 4) along the same direction agree.
    EXPECT_EQ(PixelAt(5 * 8 + 4, 24), PixelAt(4 * 8 + 4, 24));
}

// Depth written by ps_1_4's texdepth, ps_1_3's texm3x2depth and ps_2_0's oDepth: 0.75 for a quad at
// 0.1, so that a green quad at 0.5 drawn after it passes the depth test.
TEST_F(EffectAssemblyTest, PixelShadersWriteTheDepthTheyCompute) {
    const char* const writers[] = {
        "ps_1_4\ndef c0, 0.75, 1, 0, 1\ndef c1, 1, 0, 0, 1\nmov r5, c0\nphase\ntexdepth r5\nmov r0, c1\n",
        "ps_1_3\ndef c0, 1, 0, 0, 1\ntexcoord t0\ntexm3x2pad t1, t0\ntexm3x2depth t2, t0\nmov r0, c0\n",
        "ps_2_0\ndef c0, 0.75, 0, 0, 1\ndef c1, 1, 0, 0, 1\nmov oDepth, c0.x\nmov oC0, c1\n",
    };
    std::string effect =
        "VertexShader g_Coordinates = asm {\n"
        "    vs_1_1\n    dcl_position v0\n"
        "    mad oPos.xy, v0.xy, c0.xy, c0.zw\n    mov oPos.z, v0.z\n    mov oPos.w, c1.y\n"
        "    mov oT0, c10\n    mov oT1, c11\n    mov oT2, c12\n"
        "};\ntechnique T {\n";
    for (const char* writer : writers) {
        effect += "  pass {\n" + kPlaceConstants +
                  "    VertexShaderConstant1[10] = {1, 0.5, 0, 1};\n    VertexShaderConstant1[11] = {0.375, 0, 0, 0};\n"
                  "    VertexShaderConstant1[12] = {0.5, 0, 0, 0};\n"
                  "    VertexShader = <g_Coordinates>;\n    PixelShader = asm {\n" +
                  writer + "};\n  }\n";
    }
    effect += "  pass Green {\n" + kPlaceConstants +
              "    VertexShader = <g_Coordinates>;\n"
              "    PixelShader = asm { ps_2_0\n def c0, 0, 1, 0, 1\n mov oC0, c0 };\n  }\n}\n";
    CreateOk(effect);
    Clear();
    for (UINT i = 0; i < std::size(writers); ++i) {
        const float x = static_cast<float>(i * 16);
        ASSERT_EQ(DrawPass("T", i, Quad(x, 0, 16, 48, 0.1f)), D3D_OK);
        ASSERT_EQ(DrawPass("T", static_cast<UINT>(std::size(writers)), Quad(x, 0, 16, 48, 0.5f)), D3D_OK);
        EXPECT_EQ(Rgb(PixelAt(i * 16 + 8, 24)), 0x00FF00u) << writers[i];
    }
}

// vs_3_0 and ps_3_0 pack two TEXCOORDs in one register; an HLSL stage on the other side keeps each
// in a register of its own, as its float2 values sit there.
TEST_F(EffectAssemblyTest, PackedShaderModel3VaryingsMeetHlslStages) {
    CreateOk(
        "void Vs(float3 p : POSITION, out float4 oPos : POSITION, out float2 a : TEXCOORD0, out float2 b : TEXCOORD1)\n"
        "{ oPos = float4(p.x / 32.0 - 1.0, 1.0 - p.y / 24.0, p.z, 1.0); a = float2(0.25, 0.5); b = float2(0.75, 1); }\n"
        "float4 Ps(float2 a : TEXCOORD0, float2 b : TEXCOORD1) : COLOR { return float4(a, b.x, 1); }\n"
        "VertexShader g_Packing = asm {\n"
        "    vs_3_0\n    def c10, 0.25, 0.5, 0.75, 1\n    dcl_position v0\n"
        "    dcl_position o0\n    dcl_texcoord0 o1.xy\n    dcl_texcoord1 o1.zw\n"
        "    mad o0.xy, v0.xy, c0.xy, c0.zw\n    mov o0.zw, c1.xy\n    mov o1, c10\n"
        "};\n"
        "PixelShader g_Unpacked = asm {\n"
        "    ps_3_0\n    def c0, 0, 0, 0, 1\n    dcl_texcoord0 v0.xy\n    dcl_texcoord1 v1.xy\n"
        "    mov r0.xy, v0\n    mov r0.z, v1.x\n    mov r0.w, c0.w\n    mov oC0, r0\n"
        "};\n"
        "PixelShader g_Packed = asm {\n"
        "    ps_3_0\n    def c0, 0, 0, 0, 1\n    dcl_texcoord0 v2.xy\n    dcl_texcoord1 v2.zw\n"
        "    mov r0.xyz, v2\n    mov r0.w, c0.w\n    mov oC0, r0\n"
        "};\n"
        "technique T {\n"
        "  pass AsmToAsm {\n" +
        kPlaceConstants +
        "    VertexShader = <g_Packing>;\n    PixelShader = <g_Unpacked>;\n  }\n"
        "  pass AsmToHlsl {\n" +
        kPlaceConstants +
        "    VertexShader = <g_Packing>;\n    PixelShader = compile ps_3_0 Ps();\n  }\n"
        "  pass HlslToAsm {\n"
        "    VertexShader = compile vs_3_0 Vs();\n    PixelShader = <g_Packed>;\n  }\n"
        "}\n");
    Clear();
    for (UINT pass = 0; pass < 3; ++pass) {
        ASSERT_EQ(DrawPass("T", pass, Quad(static_cast<float>(pass * 20), 0, 20, 48)), D3D_OK);
        const DWORD pixel = PixelAt(pass * 20 + 10, 24);
        EXPECT_NEAR(Channel(pixel, 16), 64, 1) << pass;
        EXPECT_NEAR(Channel(pixel, 8), 128, 1) << pass;
        EXPECT_NEAR(Channel(pixel, 0), 191, 1) << pass;
    }
}

// A matrix parameter in four constant registers transforms as HLSL's mul(position, matrix) does.
TEST_F(EffectAssemblyTest, AMatrixConstantStateTransformsAsHlslMulDoes) {
    CreateOk(
        "float4x4 g_ToClip = {1.0 / 32, 0, 0, 0,  0, -1.0 / 24, 0, 0,  0, 0, 1, 0,  -1, 1, 0, 1};\n"
        "float4 Hlsl(float3 p : POSITION) : POSITION { return mul(float4(p, 1), g_ToClip); }\n"
        "float4 Green() : COLOR { return float4(0, 1, 0, 1); }\n"
        "technique T {\n"
        "  pass Asm {\n"
        "    VertexShaderConstant4[0] = <g_ToClip>;\n"
        "    VertexShader = asm { vs_1_1\n dcl_position v0\n m4x4 oPos, v0, c0 };\n"
        "    PixelShader = asm { ps_1_1\n def c0, 1, 0, 0, 1\n mov r0, c0 };\n"
        "  }\n"
        "  pass Hlsl { VertexShader = compile vs_2_0 Hlsl(); PixelShader = compile ps_2_0 Green(); }\n"
        "}\n");
    Clear();
    ASSERT_EQ(DrawPass("T", 0, Quad(4, 4, 24, 16)), D3D_OK);
    ASSERT_EQ(DrawPass("T", 1, Quad(36, 28, 24, 16)), D3D_OK);
    EXPECT_EQ(Rgb(PixelAt(5, 5)), 0xFF0000u);
    EXPECT_EQ(Rgb(PixelAt(26, 18)), 0xFF0000u);
    EXPECT_EQ(Rgb(PixelAt(37, 29)), 0x00FF00u);
    EXPECT_EQ(Rgb(PixelAt(58, 42)), 0x00FF00u);
    for (const auto& [x, y] : {std::pair(2u, 2u), std::pair(30u, 22u), std::pair(34u, 26u), std::pair(62u, 46u)})
        EXPECT_EQ(Rgb(PixelAt(x, y)), 0x0000FFu) << x << ", " << y;  // the clear colour around both quads
}

// vs_3_0's s0 reads the texture of D3DVERTEXTEXTURESAMPLER0.
TEST_F(EffectAssemblyTest, AVertexShaderSamplerReadsTheVertexTextureStage) {
    CreateOk(std::string("technique T {\n  pass P {\n") + kPlaceConstants +
             "    VertexShader = asm {\n"
             "        vs_3_0\n        def c10, 0.75, 0.5, 0, 0\n        dcl_position v0\n        dcl_2d s0\n"
             "        dcl_position o0\n        dcl_color o1\n"
             "        mad o0.xy, v0.xy, c0.xy, c0.zw\n        mov o0.zw, c1.xy\n"
             "        mov r1, c10\n        texldl r0, r1, s0\n        mov o1, r0\n"
             "    };\n"
             "    PixelShader = asm { ps_3_0\n dcl_color v0\n mov oC0, v0 };\n"
             "  }\n}\n");
    IDirect3DTexture9* halves = MakeTexture(2, 1, [](UINT x, UINT) { return x == 0 ? 0xFFFF0000u : 0xFF00FF00u; });
    textures_.push_back(halves);
    ASSERT_EQ(device_->SetTexture(D3DVERTEXTEXTURESAMPLER0, halves), D3D_OK);
    ASSERT_EQ(device_->SetSamplerState(D3DVERTEXTEXTURESAMPLER0, D3DSAMP_MINFILTER, D3DTEXF_POINT), D3D_OK);
    ASSERT_EQ(device_->SetSamplerState(D3DVERTEXTEXTURESAMPLER0, D3DSAMP_MAGFILTER, D3DTEXF_POINT), D3D_OK);
    Clear();
    ASSERT_EQ(DrawPass("T", 0, Quad(0, 0, 64, 48)), D3D_OK);
    EXPECT_EQ(Rgb(PixelAt(32, 24)), 0x00FF00u);  // u 0.75: the right texel
    ASSERT_EQ(device_->SetTexture(D3DVERTEXTEXTURESAMPLER0, nullptr), D3D_OK);
}

}  // namespace

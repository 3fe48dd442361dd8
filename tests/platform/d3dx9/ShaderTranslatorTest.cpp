// Assembled Direct3D 9 shaders of every version to GLSL without a GPU: the GLSL is valid GLSL 4.50
// and links between the stages (an assembly stage with an HLSL one too), the interface follows the
// Direct3D 9 registers (vertex inputs by usage, varyings where the HLSL path puts the same
// semantics, the constant registers a program reads), and faults are refused at their line.
#include "EffectParser.h"
#include "GlslLiterals.h"
#include "GlslValidation.h"
#include "HlslCompiler.h"
#include "ShaderAssembler.h"
#include "ShaderTranslator.h"
#include "VaryingRegisters.h"

#include <d3d9types.h>

#include <glslang/Public/ResourceLimits.h>
#include <glslang/Public/ShaderLang.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>

using namespace nvesk::d3dx9;
using D3DX9Tests::ExpectValidGlsl;

namespace {

ShaderTranslation Translated(const AssembledShader& shader) {
    ShaderTranslation translation = TranslateShader(shader);
    EXPECT_TRUE(translation.ok) << translation.errors;
    return translation;
}

// The assembler's reading of a program, translated.
ShaderTranslation FromText(const std::string& text) {
    const ShaderStage stage = text.rfind("vs_", 0) == 0 ? ShaderStage::Vertex : ShaderStage::Pixel;
    const AssemblyResult assembled = AssembleShader(text, "memory", SourcePosition(), stage);
    EXPECT_TRUE(assembled.ok) << assembled.errors;
    return Translated(assembled.shader);
}

void ExpectValidProgram(const ShaderTranslation& vertex, const ShaderTranslation& pixel) {
    const ProgramCompileResult paired = PairTranslations(&vertex, &pixel);
    ASSERT_NE(paired.program, nullptr) << paired.errors;
    ExpectValidGlsl(paired.program->vertexGlsl, paired.program->fragmentGlsl);
}

int LocationOf(const std::vector<StageVarying>& varyings, int usage, int usageIndex) {
    for (const StageVarying& varying : varyings)
        if (varying.usage == usage && varying.usageIndex == usageIndex) return static_cast<int>(varying.location);
    return -1;
}

std::vector<int> SamplerStages(const ShaderTranslation& translation) {
    std::vector<int> stages;
    for (const auto& sampler : translation.samplers)
        stages.push_back(sampler.first);
    return stages;
}

const char kVertexShader11[] =
    "vs_1_1\n"
    "dcl_position v0\ndcl_normal v1\ndcl_texcoord0 v2\n"
    "def c10, 0, 0.5, 1, 2\n"
    "m4x4 oPos, v0, c0\n"
    "dp3 r0.x, v1, c4\nmov r0.y, c10.y\nmov r0.w, c5.w\nlit r1, r0\n"
    "mul oD0, r1.y, c6\nmov oD1, r1.z\n"
    "mov oT0.xy, v2\nmov oT1, v0\nrcp oFog, c10.w\n";

const char kPixelShader11[] =
    "ps_1_1\n"
    "def c0, 0.5, 0.5, 0.5, 1\n"
    "tex t0\ntexcoord t1\n"
    "dp3_sat r0, t0_bx2, v0_bx2\n"
    "mul_x2 r1.rgb, 1-t1, c0_bias\n"
    "+mov r1.a, -c0.a\n"
    "lrp_d2 r0, v1.a, r0, r1\n";

}  // namespace

TEST(ShaderTranslator, VertexAndPixelShaders11MeetAndTakeTheRegistersOfTheirUsages) {
    const ShaderTranslation vertex = FromText(kVertexShader11);
    const ShaderTranslation pixel = FromText(kPixelShader11);
    ExpectValidProgram(vertex, pixel);
    std::vector<std::pair<int, int>> inputs;
    for (const VertexInput& input : vertex.vertexInputs)
        inputs.push_back({input.usage, input.usageIndex});
    std::sort(inputs.begin(), inputs.end());
    EXPECT_EQ(inputs, (std::vector<std::pair<int, int>> {
                          {D3DDECLUSAGE_POSITION, 0}, {D3DDECLUSAGE_NORMAL, 0}, {D3DDECLUSAGE_TEXCOORD, 0}}));
    // c0-c3 (the matrix) to c6 from the device; c10 is the shader's own.
    EXPECT_EQ(vertex.floatConstants.registerCount, 7u);
    EXPECT_FALSE(vertex.floatConstants.uniformName.empty());
    EXPECT_EQ(vertex.intConstants.registerCount, 0u);
    // Both colours, two coordinate sets and fog out; the pixel stage reads them where they are written.
    EXPECT_EQ(vertex.varyings.size(), 5u);
    EXPECT_EQ(pixel.varyings.size(), 4u);
    for (const StageVarying& input : pixel.varyings) {
        EXPECT_EQ(static_cast<int>(input.location), RegisterLocation(input.usage, input.usageIndex));
        EXPECT_EQ(LocationOf(vertex.varyings, input.usage, input.usageIndex), static_cast<int>(input.location));
    }
    EXPECT_EQ(pixel.colorOutput, "fx_out_COLOR0");
    EXPECT_EQ(SamplerStages(pixel), std::vector<int> {0});
    EXPECT_EQ(pixel.floatConstants.registerCount, 0u);  // c0 is defined
}

TEST(ShaderTranslator, VertexInputsWithoutADeclarationReadTheirFixedRegisters) {
    // A program built without the assembler, as vs_1_1 of Direct3D 8 reads v0 and v7 undeclared.
    AssembledShader shader;
    shader.version = {ShaderStage::Vertex, 1, 1, false};
    AssemblyInstruction position;
    position.name = "mov";
    position.hasDestination = true;
    position.destination.type = RegisterType::RastOut;
    position.sources.resize(1);
    position.sources[0].type = RegisterType::Input;
    AssemblyInstruction coordinates = position;
    coordinates.destination.type = RegisterType::TexCoordOut;
    coordinates.sources[0].index = 7;
    shader.instructions = {position, coordinates};
    const ShaderTranslation translation = Translated(shader);
    ASSERT_EQ(translation.vertexInputs.size(), 2u);
    EXPECT_EQ(translation.vertexInputs[0].usage, D3DDECLUSAGE_POSITION);
    EXPECT_EQ(translation.vertexInputs[1].usage, D3DDECLUSAGE_TEXCOORD);
    EXPECT_EQ(translation.vertexInputs[1].usageIndex, 0);
    ExpectValidGlsl(translation.glsl, "");
}

TEST(ShaderTranslator, AssemblyVaryingsSitWhereTheHlslPathPutsTheSameSemantics) {
    const ParseResult parsed = ParseEffect(
        "struct VsOut { float4 position : POSITION; float4 color : COLOR0; float4 specular : COLOR1;\n"
        "               float2 uv : TEXCOORD0; float fog : FOG; };\n"
        "VsOut Vs(float4 p : POSITION) { VsOut o = (VsOut)0; o.position = p; o.color = p; o.specular = p;\n"
        "                                o.uv = p.xy; o.fog = p.z; return o; }\n"
        "float4 Ps(float4 c : COLOR0, float2 uv : TEXCOORD0) : COLOR { return c * uv.x; }\n"
        "technique T { pass P { VertexShader = compile vs_2_0 Vs(); PixelShader = compile ps_2_0 Ps(); } }\n");
    ASSERT_TRUE(parsed.ok) << parsed.error;
    const EffectPassDesc& pass = parsed.description.techniques.at(0).passes.at(0);
    const ProgramCompileResult hlsl =
        CompileProgram(parsed.description.hlsl, "memory", pass.vertexShader.compiled, pass.pixelShader.compiled);
    ASSERT_NE(hlsl.program, nullptr) << hlsl.errors;

    const ShaderTranslation vertex = FromText(kVertexShader11);
    ASSERT_FALSE(hlsl.program->vertexOutputs.empty());
    for (const StageVarying& output : hlsl.program->vertexOutputs) {
        EXPECT_EQ(LocationOf(vertex.varyings, output.usage, output.usageIndex), static_cast<int>(output.location))
            << "usage " << output.usage << " index " << output.usageIndex;
    }
    // An assembly vertex stage feeds an HLSL pixel stage, and an HLSL vertex stage an assembly one.
    ExpectValidGlsl(vertex.glsl, hlsl.program->fragmentGlsl);
    const ShaderTranslation pixel = FromText("ps_2_0\ndcl v0\ndcl t0.xy\nmul r0, v0, t0.x\nmov oC0, r0\n");
    for (const StageVarying& input : hlsl.program->pixelInputs)
        EXPECT_EQ(LocationOf(pixel.varyings, input.usage, input.usageIndex), static_cast<int>(input.location));
    ExpectValidGlsl(hlsl.program->vertexGlsl, pixel.glsl);
}

TEST(ShaderTranslator, RelativeAddressingSpansTheWholeConstantFile) {
    const ShaderTranslation vs11 =
        FromText("vs_1_1\ndcl_position v0\ndef c3, 1, 2, 3, 4\nmov a0.x, v0.x\nmov oPos, c[a0.x + 7]\n");
    EXPECT_EQ(vs11.floatConstants.registerCount, 96u);
    ExpectValidGlsl(vs11.glsl, "");
    // vs_2_0's 256, c3 the shader's own wherever the index lands.
    const ShaderTranslation vs20 = FromText(
        "vs_2_0\ndcl_position v0\ndcl_blendindices v1\ndef c3, 1, 2, 3, 4\n"
        "mova a0.x, v1.x\ndp4 oPos.x, v0, c[a0.x + 10]\ndp4 oPos.y, v0, c[a0.x + 11]\nmov oPos.zw, c3\n"
        "m3x2 oT0.xy, v0, c[a0.x + 0]\nsge oT1, -v0, c3\n");
    EXPECT_EQ(vs20.floatConstants.registerCount, 256u);
    ExpectValidGlsl(vs20.glsl, "");
}

TEST(ShaderTranslator, PixelShader1xTextureAddressingIsValidGlslWithTheBumpUniformsNamed) {
    const ShaderTranslation reflection = FromText(
        "ps_1_3\ntex t0\ntexm3x3pad t1, t0_bx2\ntexm3x3pad t2, t0_bx2\ntexm3x3spec t3, t0_bx2, c0\n"
        "mul r0, t3, t0\n");
    EXPECT_NE(reflection.glsl.find("samplerCube fx_ps_sampler3"), std::string::npos);
    EXPECT_EQ(SamplerStages(reflection), (std::vector<int> {0, 3}));
    ExpectValidGlsl("", reflection.glsl);
    const ShaderTranslation eye =
        FromText("ps_1_1\ntex t0\ntexm3x3pad t1, t0_bx2\ntexm3x3pad t2, t0_bx2\ntexm3x3vspec t3, t0_bx2\nmov r0, t3\n");
    ExpectValidGlsl("", eye.glsl);

    const ShaderTranslation bumped =
        FromText("ps_1_3\ntex t0\ntexbeml t1, t0\ntexreg2ar t2, t1\ntexdp3tex t3, t2\nadd r0, t3, t2\n");
    EXPECT_NE(bumped.glsl.find(ShaderRegisters::BumpMatrixName()), std::string::npos);
    EXPECT_NE(bumped.glsl.find(ShaderRegisters::BumpLuminanceName()), std::string::npos);
    ExpectValidGlsl("", bumped.glsl);

    const ShaderTranslation depth =
        FromText("ps_1_3\ntexcoord t0\ntexm3x2pad t1, t0\ntexm3x2depth t2, t0\ntexkill t3\nmov r0, t0\n");
    EXPECT_NE(depth.glsl.find("gl_FragDepth"), std::string::npos);
    EXPECT_EQ(depth.varyings.size(), 4u);  // coordinates 0 to 3
    ExpectValidGlsl("", depth.glsl);
}

TEST(ShaderTranslator, PixelShader14PhasesProjectAndWriteDepth) {
    const ShaderTranslation pixel = FromText(
        "ps_1_4\ndef c0, 1, 0, 0, 1\n"
        "texld r0, t0_dw.xyw\ntexcrd r1.rgb, t1.xyz\ntexld r3, t2\nbem r4.rg, r1, r3\n"
        "phase\n"
        "texld r2, r4_dz\ntexdepth r5\n"
        "add_x8 r1, r0_x2, -r2_bx2\ncmp r4, r2_bias, v0, r1\ncnd r0, r2.a, r2, r4\n");
    // texld rN reads stage N.
    EXPECT_EQ(SamplerStages(pixel), (std::vector<int> {0, 2, 3}));
    EXPECT_EQ(LocationOf(pixel.varyings, D3DDECLUSAGE_TEXCOORD, 1), 1);
    EXPECT_EQ(LocationOf(pixel.varyings, D3DDECLUSAGE_COLOR, 0), RegisterLocation(D3DDECLUSAGE_COLOR, 0));
    EXPECT_NE(pixel.glsl.find("gl_FragDepth"), std::string::npos);
    ExpectValidGlsl("", pixel.glsl);
}

TEST(ShaderTranslator, PixelShader20DeclaresItsInputsSamplersAndOutputs) {
    const ShaderTranslation pixel = FromText(
        "ps_2_0\n"
        "def c3, -1.5500992e-006, -2.1701389e-005, 0.0026041667, 0.00026041668\n"
        "def c4, -0.020833334, -0.125, 1, 0.5\n"
        "dcl t0.xy\ndcl t3\ndcl v1\ndcl_2d s0\ndcl_cube s2\ndcl_volume s5\n"
        "texld r0, t0, s0\ntexldp r1, t3, s2\ntexldb r2, t3, s5\ntexkill r0\n"
        "sincos r3.xy, r0.x, c3, c4\nrsq r4.x, r1.w\nlog r4.y, r1.x\nexp r4.z, r2.y\nnrm r5.xyz, r1\n"
        "lrp r6.xyz, r4.x, r5, v1\ndp2add r7.w, r3, r6, c0.z\npow r7.x, r6.x, c0.w\nfrc r7.yz, r6\n"
        "mov oC0, r7\nmov oC1, r0\nmov oDepth, r4.z\n");
    EXPECT_EQ(pixel.varyings.size(), 3u);  // TEXCOORD0, TEXCOORD3, COLOR1
    EXPECT_EQ(LocationOf(pixel.varyings, D3DDECLUSAGE_TEXCOORD, 3), 3);
    EXPECT_EQ(LocationOf(pixel.varyings, D3DDECLUSAGE_COLOR, 1), RegisterLocation(D3DDECLUSAGE_COLOR, 1));
    EXPECT_EQ(pixel.floatConstants.registerCount, 1u);  // c0
    for (const char* declaration : {"sampler2D fx_ps_sampler0", "samplerCube fx_ps_sampler2",
                                    "sampler3D fx_ps_sampler5", "out vec4 fx_out_COLOR1", "gl_FragDepth"})
        EXPECT_NE(pixel.glsl.find(declaration), std::string::npos) << declaration;
    // Samplers land at their texture unit, with the units between left empty.
    const ProgramCompileResult paired = PairTranslations(nullptr, &pixel);
    ASSERT_NE(paired.program, nullptr) << paired.errors;
    EXPECT_EQ(paired.program->samplers,
              (std::vector<std::string> {"fx_ps_sampler0", "", "fx_ps_sampler2", "", "", "fx_ps_sampler5"}));
    ExpectValidGlsl("", pixel.glsl);
}

TEST(ShaderTranslator, ShaderModel3FlowControlPackedVaryingsAndVertexTextures) {
    const ShaderTranslation vertex = FromText(
        "vs_3_0\n"
        "defi i0, 4, 1, 2, 0\ndefb b1, true\n"
        "dcl_position v0\ndcl_texcoord2 v1\n"
        "dcl_position o0\ndcl_texcoord0 o1.xy\ndcl_texcoord1 o1.zw\ndcl_color o2\ndcl_2d s0\n"
        "mov r0, v0\n"
        "loop aL, i0\n  add r0, r0, c[aL + 4]\n  break_gt r0.x, c2.y\nendloop\n"
        "rep i1\n  if b0\n    call l3\n  else\n    setp_lt p0.xy, r0, c1\n    (!p0) add r0.xy, r0, c0\n  endif\n"
        "endrep\n"
        "callnz l4, !b1\n"
        "texldl r1, v1, s0\n"
        "mov o0, r0\nmov o1, v1\nmov o2, r1\nret\n"
        "label l3\n  mul r0, r0, c3\nret\n"
        "label l4\n  if_le r0.y, c3.x\n    mov r0.w, c3.w\n  endif\nret\n");
    EXPECT_EQ(vertex.floatConstants.registerCount, 256u);
    EXPECT_EQ(vertex.intConstants.registerCount, 2u);   // i1 (i0 is the shader's own)
    EXPECT_EQ(vertex.boolConstants.registerCount, 1u);  // b0 (b1 likewise)
    EXPECT_EQ(LocationOf(vertex.varyings, D3DDECLUSAGE_TEXCOORD, 1), 1);
    EXPECT_EQ(LocationOf(vertex.varyings, D3DDECLUSAGE_POSITION, 0), -1);  // gl_Position

    const ShaderTranslation pixel = FromText(
        "ps_3_0\n"
        "dcl_texcoord0 v0.xy\ndcl_texcoord1 v0.zw\ndcl_color v1\ndcl vPos.xy\ndcl vFace\ndcl_2d s1\n"
        "dsx r1, v0\ndsy r2, v0\ntexldd r0, v0.zwzw, s1, r1, r2\n"
        "if_lt vFace, c0.x\n  mul r0, r0, v1\nendif\n"
        "add r3, vPos.xyxy, c0\ncmp r0.w, r3, r0, c0.x\nmov oC0, r0\n");
    EXPECT_EQ(LocationOf(pixel.varyings, D3DDECLUSAGE_TEXCOORD, 1),
              LocationOf(vertex.varyings, D3DDECLUSAGE_TEXCOORD, 1));
    EXPECT_NE(pixel.glsl.find("gl_FragCoord"), std::string::npos);
    ExpectValidProgram(vertex, pixel);
    // The vertex stage's sampler takes the unit of D3DVERTEXTEXTURESAMPLER0.
    const ProgramCompileResult paired = PairTranslations(&vertex, &pixel);
    ASSERT_NE(paired.program, nullptr);
    ASSERT_EQ(paired.program->samplers.size(), 17u);
    EXPECT_EQ(paired.program->samplers[1], "fx_ps_sampler1");
    EXPECT_EQ(paired.program->samplers[16], "fx_vs_sampler0");
}

TEST(ShaderTranslator, FaultsAreRefusedAtTheirInstruction) {
    // Programs the assembler would not give: what the translation has no GLSL for fails at its place.
    AssembledShader unknown;
    unknown.version = {ShaderStage::Vertex, 2, 0, false};
    AssemblyInstruction instruction;
    instruction.name = "frobnicate";
    instruction.hasDestination = true;
    instruction.position = {7, 3};
    unknown.instructions = {instruction};
    ShaderTranslationOptions options;
    options.fileName = "shader.fx";
    const ShaderTranslation refused = TranslateShader(unknown, options);
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.errors.rfind("shader.fx(7,3): error", 0), 0u) << refused.errors;
    EXPECT_NE(refused.errors.find("frobnicate"), std::string::npos);

    AssembledShader unclosed = unknown;
    unclosed.instructions[0] = AssemblyInstruction();
    unclosed.instructions[0].name = "endif";
    unclosed.instructions[0].position = {2, 1};
    EXPECT_NE(TranslateShader(unclosed).errors.find("(2,1)"), std::string::npos);
    unclosed.instructions[0].name = "break";
    EXPECT_FALSE(TranslateShader(unclosed).ok);
    unclosed.instructions[0].name = "label";  // without its label
    EXPECT_FALSE(TranslateShader(unclosed).ok);
    AssembledShader written = unknown;  // an input cannot be written
    written.instructions[0].name = "mov";
    written.instructions[0].destination.type = RegisterType::Input;
    written.instructions[0].sources.resize(1);
    EXPECT_FALSE(TranslateShader(written).ok);

    // A pair is a vertex stage then a pixel stage, each translated.
    const ShaderTranslation vertex = FromText(kVertexShader11);
    const ShaderTranslation pixel = FromText(kPixelShader11);
    EXPECT_EQ(PairTranslations(&pixel, &vertex).program, nullptr);
    EXPECT_EQ(PairTranslations(&vertex, &refused).program, nullptr);
    EXPECT_EQ(PairTranslations(nullptr, nullptr).program, nullptr);
    const ProgramCompileResult vertexOnly = PairTranslations(&vertex, nullptr);
    ASSERT_NE(vertexOnly.program, nullptr);
    EXPECT_TRUE(vertexOnly.program->fragmentGlsl.empty());
    EXPECT_EQ(vertexOnly.program->vertexOutputs.size(), vertex.varyings.size());
}

TEST(ShaderTranslator, FloatLiteralsReadBackAsTheSameFloat) {
    for (const float value : {0.0f, 1.0f, -2.5f, 0.1f, 1.0f / 3.0f, 1e-30f, 3.4e38f, -1e20f, 16777216.0f,
                              std::numeric_limits<float>::denorm_min()}) {
        const std::string literal = FloatLiteral(value);
        EXPECT_NE(literal.find_first_of(".e"), std::string::npos) << literal;
        EXPECT_EQ(std::strtof(literal.c_str(), nullptr), value) << literal;
    }
    EXPECT_EQ(FloatLiteral(std::numeric_limits<float>::infinity()), "uintBitsToFloat(0x7F800000u)");
    EXPECT_EQ(FloatLiteral(-std::numeric_limits<float>::infinity()), "uintBitsToFloat(0xFF800000u)");
}

// Every program of the assembler's seed corpus and of what its fuzzing found that assembles becomes
// valid GLSL.
TEST(ShaderTranslator, EveryProgramTheAssemblerAcceptsInItsCorpusTranslates) {
    const std::filesystem::path found = NVESK_FUZZ_FOUND_DIR;
    int translated = 0;
    for (const auto& folder : {found.parent_path() / "corpus" / "shader-assembler-fuzz", found}) {
        if (!std::filesystem::is_directory(folder)) continue;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            const std::string extension = entry.path().extension().string();
            if (extension != ".vsh" && extension != ".psh") continue;
            std::ifstream file(entry.path(), std::ios::binary);
            const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
            const ShaderStage stage = extension == ".vsh" ? ShaderStage::Vertex : ShaderStage::Pixel;
            const AssemblyResult assembled = AssembleShader(text, entry.path().filename().string(), {}, stage);
            if (!assembled.ok) continue;
            SCOPED_TRACE(entry.path().filename().string());
            const ShaderTranslation translation = Translated(assembled.shader);
            if (stage == ShaderStage::Vertex) ExpectValidGlsl(translation.glsl, "");
            if (stage == ShaderStage::Pixel) ExpectValidGlsl("", translation.glsl);
            ++translated;
        }
    }
    EXPECT_GT(translated, 8);
}

// m4x4 and its kind read one constant register a row: the stage's constant file reaches the last.
TEST(ShaderTranslator, MatrixInstructionsTakeEveryRowTheyRead) {
    const std::pair<const char*, unsigned> cases[] = {
        {"m4x4 r0, v0, c2", 6},     {"m4x3 r0.xyz, v0, c2", 5}, {"m3x4 r0, v0, c2", 6},
        {"m3x3 r0.xyz, v0, c2", 5}, {"m3x2 r0.xy, v0, c2", 4},
    };
    for (const auto& [instruction, registers] : cases) {
        SCOPED_TRACE(instruction);
        const ShaderTranslation vertex =
            FromText(std::string("vs_2_0\ndcl_position v0\nmov r0, v0\n") + instruction + "\nmov oPos, r0\n");
        EXPECT_EQ(vertex.floatConstants.registerCount, registers);
        const ProgramCompileResult paired = PairTranslations(&vertex, nullptr);
        ASSERT_NE(paired.program, nullptr) << paired.errors;
        ExpectValidGlsl(paired.program->vertexGlsl, "");
    }
}

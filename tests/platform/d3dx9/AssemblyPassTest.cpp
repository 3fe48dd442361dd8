// Effects with `asm { ... }` stages without a GPU: the parser keeps each block's text and place,
// the pass's shader constant states land in the registers the shader reads, an asm stage meets an
// HLSL one, and faults point into the effect file.
#include "AssemblyPass.h"
#include "EffectParser.h"
#include "GlslValidation.h"

#include <gtest/gtest.h>

using namespace nvesk::d3dx9;
using D3DX9Tests::ExpectValidGlsl;

namespace {

const char kEffect[] =
    "float4x4 g_WorldViewProj;\n"                                    // 1
    "float4 g_Tint;\n"                                               // 2
    "int4 g_Loop = {2, 0, 1, 0};\n"                                  // 3
    "float4 Ps(float4 c : COLOR0) : COLOR { return c * g_Tint; }\n"  // 4
    "VertexShader g_Vs = asm {\n"                                    // 5
    "    vs_2_0\n"                                                   // 6
    "    dcl_position v0   ; the position { in a comment }\n"        // 7
    "    m4x4 oPos, v0, c0 // the matrix, by a constant state\n"     // 8
    "    mov r0, c5\n"                                               // 9
    "    rep i0\n"                                                   // 10
    "      add r0, r0, c4\n"                                         // 11
    "    endrep\n"                                                   // 12
    "    mov oD0, r0\n"                                              // 13
    "};\n"                                                           // 14
    "technique T {\n"                                                // 15
    "  pass Both {\n"                                                // 16
    "    VertexShaderConstant4[0] = <g_WorldViewProj>;\n"            // 17
    "    VertexShaderConstantF[4] = {0.25, 0.5, 0, 1};\n"            // 18
    "    VertexShaderConstant1[5] = <g_Tint>;\n"                     // 19
    "    VertexShaderConstantI[0] = <g_Loop>;\n"                     // 20
    "    PixelShaderConstant1[1] = float4(1, 0, 0, 1);\n"            // 21
    "    VertexShader = <g_Vs>;\n"                                   // 22
    "    PixelShader = asm { ps_1_1\n"                               // 23
    "                        add r0, v0, c1 };\n"                    // 24
    "  }\n"                                                          // 25
    "  pass Mixed {\n"                                               // 26
    "    VertexShaderConstant4[0] = <g_WorldViewProj>;\n"            // 27
    "    VertexShader = <g_Vs>;\n"                                   // 28
    "    PixelShader = compile ps_2_0 Ps();\n"                       // 29
    "  }\n"                                                          // 30
    "}\n";

const ConstantSlot* SlotOf(const StageConstants& constants, const std::string& name) {
    for (const ConstantSlot& slot : constants.slots)
        if (slot.name == name) return &slot;
    return nullptr;
}

ProgramCompileResult PassProgramOf(const EffectDescription& description, std::size_t pass) {
    const EffectPassDesc& desc = description.techniques.at(0).passes.at(pass);
    const ShaderObjectDesc& object = description.shaders.at(0);
    return CompileAssemblyPass(description, desc.states, object.shaders.at(0), desc.pixelShader.compiled, "fx.fx");
}

}  // namespace

TEST(AssemblyPass, TheParserKeepsEachBlocksTextAndPlaceAndLeavesItOutOfTheHlsl) {
    const ParseResult parsed = ParseEffect(kEffect);
    ASSERT_TRUE(parsed.ok) << parsed.error;
    const ShaderCompileRequest& global = parsed.description.shaders.at(0).shaders.at(0);
    EXPECT_EQ(global.profile, "vs_2_0");
    EXPECT_FALSE(global.IsNull());
    EXPECT_TRUE(global.entry.empty());
    // The text starts right after the brace, and runs past the braces of a `;` comment.
    EXPECT_EQ(global.assemblyStart.line, 5);
    EXPECT_EQ(global.assemblyStart.column, 26);
    EXPECT_NE(global.assembly.find("mov oD0, r0"), std::string::npos);
    EXPECT_EQ(global.assembly.find('}', global.assembly.find("endrep")), std::string::npos);
    const ShaderCompileRequest& pixel = parsed.description.techniques[0].passes[0].pixelShader.compiled;
    EXPECT_EQ(pixel.profile, "ps_1_1");
    EXPECT_EQ(pixel.assemblyStart.line, 23);
    EXPECT_EQ(parsed.description.hlsl.find("m4x4"), std::string::npos);
    EXPECT_EQ(parsed.description.hlsl.find("add r0"), std::string::npos);

    for (const char* broken : {"VertexShader g_Vs = asm { vs_1_1 mov oPos, v0 ;", "VertexShader g_Vs = asm vs_1_1;"}) {
        const ParseResult refused = ParseEffect(broken);
        EXPECT_FALSE(refused.ok) << broken;
        EXPECT_NE(refused.error.find("asm"), std::string::npos) << refused.error;
    }
}

TEST(AssemblyPass, ConstantStatesFillTheRegistersTheShaderReads) {
    const ParseResult parsed = ParseEffect(kEffect);
    ASSERT_TRUE(parsed.ok) << parsed.error;
    const ProgramCompileResult both = PassProgramOf(parsed.description, 0);
    ASSERT_NE(both.program, nullptr) << both.errors;
    const CompiledProgram& program = *both.program;
    ExpectValidGlsl(program.vertexGlsl, program.fragmentGlsl);
    // c0-c3 the matrix, a column a register; c5 the tint; c4 the pass's literal, the shader's own.
    const ConstantSlot* matrix = SlotOf(program.vertexConstants, "g_WorldViewProj");
    ASSERT_NE(matrix, nullptr);
    EXPECT_EQ(matrix->offset, 0u);
    EXPECT_TRUE(matrix->columnMajor);
    EXPECT_EQ(matrix->matrixStride, 16u);
    const ConstantSlot* tint = SlotOf(program.vertexConstants, "g_Tint");
    ASSERT_NE(tint, nullptr);
    EXPECT_EQ(tint->offset, 5u * 16);
    EXPECT_EQ(program.vertexConstants.registerCount, 6u);
    EXPECT_EQ(SlotOf(program.vertexConstants, "g_Loop"), nullptr);
    const ConstantSlot* loop = SlotOf(program.vertexIntConstants, "g_Loop");
    ASSERT_NE(loop, nullptr);
    EXPECT_EQ(loop->baseType, ConstantBaseType::Int);
    EXPECT_EQ(program.vertexIntConstants.registerType, ConstantBaseType::Int);
    // The pixel stage's only constant is the pass's literal: no register of the device's left.
    EXPECT_EQ(program.pixelConstants.registerCount, 0u);
    EXPECT_EQ(program.colorOutput, "fx_out_COLOR0");

    const ProgramCompileResult mixed = PassProgramOf(parsed.description, 1);
    ASSERT_NE(mixed.program, nullptr) << mixed.errors;
    ExpectValidGlsl(mixed.program->vertexGlsl, mixed.program->fragmentGlsl);
    // The HLSL stage keeps its parameters; the asm stage meets it at COLOR0.
    EXPECT_NE(SlotOf(mixed.program->pixelConstants, "g_Tint"), nullptr);
    ASSERT_EQ(mixed.program->vertexOutputs.size(), 1u);
    ASSERT_EQ(mixed.program->pixelInputs.size(), 1u);
    EXPECT_EQ(mixed.program->vertexOutputs[0].location, mixed.program->pixelInputs[0].location);
}

TEST(AssemblyPass, FaultsPointIntoTheEffectFile) {
    // An unknown instruction on line 9 of the file.
    std::string faulty = kEffect;
    faulty.replace(faulty.find("mov r0, c5"), 10, "frob r0, c5");
    const ParseResult parsed = ParseEffect(faulty);
    ASSERT_TRUE(parsed.ok) << parsed.error;
    const ProgramCompileResult refused = PassProgramOf(parsed.description, 0);
    EXPECT_EQ(refused.program, nullptr);
    EXPECT_EQ(refused.errors.rfind("fx.fx(9,5): error", 0), 0u) << refused.errors;

    // A constant state for an HLSL stage, and a value that is neither numbers nor a parameter.
    std::string hlslConstant = kEffect;
    hlslConstant.replace(hlslConstant.find("    PixelShader = compile"), 0,
                         "    PixelShaderConstant1[0] = <g_Tint>;\n");
    const ParseResult withHlslConstant = ParseEffect(hlslConstant);
    ASSERT_TRUE(withHlslConstant.ok) << withHlslConstant.error;
    const ProgramCompileResult hlslRefused = PassProgramOf(withHlslConstant.description, 1);
    EXPECT_EQ(hlslRefused.program, nullptr);
    EXPECT_NE(hlslRefused.errors.find("fx.fx(29,5): error: shader constant states are not supported"),
              std::string::npos)
        << hlslRefused.errors;
    std::string badValue = kEffect;
    badValue.replace(badValue.find("<g_Tint>"), 8, "Bogus");
    const ParseResult withBadValue = ParseEffect(badValue);
    ASSERT_TRUE(withBadValue.ok) << withBadValue.error;
    EXPECT_NE(PassProgramOf(withBadValue.description, 0).errors.find("(19,5)"), std::string::npos);
}

TEST(AssemblyPass, Ps1xStagesReadTheKindOfTextureThePassGivesThem) {
    const ParseResult parsed = ParseEffect(
        "textureCUBE g_Sky;\ntexture3D g_Fog;\ntexture g_Plain;\n"
        "samplerCUBE g_SkySampler = sampler_state { Texture = <g_Sky>; };\n"
        "technique T { pass P {\n"
        "  Sampler[0] = (g_SkySampler); Texture[1] = <g_Fog>; Texture[2] = <g_Plain>;\n"
        "  PixelShader = asm { ps_1_1\n tex t0\n tex t1\n tex t2\n tex t3\n add r0, t0, t1\n add r0, r0, t2\n"
        "                      add r0, r0, t3 };\n"
        "} }\n");
    ASSERT_TRUE(parsed.ok) << parsed.error;
    const EffectPassDesc& pass = parsed.description.techniques.at(0).passes.at(0);
    const ProgramCompileResult program = CompileAssemblyPass(parsed.description, pass.states, ShaderCompileRequest(),
                                                             pass.pixelShader.compiled, "fx.fx");
    ASSERT_NE(program.program, nullptr) << program.errors;
    const std::string& glsl = program.program->fragmentGlsl;
    for (const char* declaration : {"samplerCube fx_ps_sampler0", "sampler3D fx_ps_sampler1",
                                    "sampler2D fx_ps_sampler2", "sampler2D fx_ps_sampler3"})
        EXPECT_NE(glsl.find(declaration), std::string::npos) << declaration;
}

// HLSL to GLSL without a GPU: the built-in and mesh effects compile, the stages agree on their
// interface by semantic, the generated GLSL is valid GLSL 4.50, errors point into the user's
// source, and a second compile of the same source is a cache hit.
#include "BuiltInEffects.h"

#include "EffectParser.h"
#include "HlslCompiler.h"
#include "ShaderArguments.h"

#include <d3d9types.h>

#include <glslang/Public/ResourceLimits.h>
#include <glslang/Public/ShaderLang.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <regex>
#include <tuple>

using namespace nvesk::d3dx9;

namespace {

std::shared_ptr<const CompiledProgram> CompileFirstPass(const std::string& source,
                                                        const std::string& fileName = "memory") {
    const ParseResult parsed = ParseEffect(source);
    EXPECT_TRUE(parsed.ok) << parsed.error;
    if (!parsed.ok) return nullptr;
    const EffectPassDesc& pass = parsed.description.techniques.at(0).passes.at(0);
    const ProgramCompileResult result =
        CompileProgram(parsed.description.hlsl, fileName, pass.vertexShader.compiled, pass.pixelShader.compiled);
    EXPECT_NE(result.program, nullptr) << result.errors;
    return result.program;
}

std::string CompileErrors(const std::string& source, const std::string& fileName) {
    const ParseResult parsed = ParseEffect(source);
    EXPECT_TRUE(parsed.ok) << parsed.error;
    if (!parsed.ok) return {};
    const EffectPassDesc& pass = parsed.description.techniques.at(0).passes.at(0);
    const ProgramCompileResult result =
        CompileProgram(parsed.description.hlsl, fileName, pass.vertexShader.compiled, pass.pixelShader.compiled);
    EXPECT_EQ(result.program, nullptr);
    return result.errors;
}

// Compiles and links the two stages as OpenGL GLSL, the way a driver will.
void ExpectValidGlsl(const CompiledProgram& program) {
    glslang::InitializeProcess();
    glslang::TShader vertex(EShLangVertex);
    glslang::TShader fragment(EShLangFragment);
    const char* vertexText = program.vertexGlsl.c_str();
    const char* fragmentText = program.fragmentGlsl.c_str();
    vertex.setStrings(&vertexText, 1);
    fragment.setStrings(&fragmentText, 1);
    for (glslang::TShader* shader : {&vertex, &fragment}) {
        shader->setEnvClient(glslang::EShClientOpenGL, glslang::EShTargetOpenGL_450);
        ASSERT_TRUE(shader->parse(GetDefaultResources(), 450, ECoreProfile, false, false, EShMsgDefault))
            << shader->getInfoLog() << "\n"
            << program.vertexGlsl << "\n"
            << program.fragmentGlsl;
    }
    glslang::TProgram linked;
    linked.addShader(&vertex);
    linked.addShader(&fragment);
    EXPECT_TRUE(linked.link(EShMsgDefault)) << linked.getInfoLog();
}

int Location(const std::string& glsl, const char* direction, const std::string& name) {
    const std::regex pattern("layout\\(location = (\\d+)\\) " + std::string(direction) + " \\w+ " + name + ";");
    std::smatch match;
    if (!std::regex_search(glsl, match, pattern)) return -1;
    return std::stoi(match[1].str());
}

}  // namespace

TEST(HlslCompiler, BuiltInImageEffectsBecomeValidGlsl) {
    for (const char* source : {D3DX9Tests::kAlphaBlendEffect, D3DX9Tests::kAlphaTestEffect}) {
        const auto program = CompileFirstPass(source);
        ASSERT_NE(program, nullptr);
        ExpectValidGlsl(*program);
        EXPECT_NE(program->vertexGlsl.find("gl_Position ="), std::string::npos) << program->vertexGlsl;
        ASSERT_EQ(program->vertexInputs.size(), 2u);
        EXPECT_EQ(program->vertexInputs[0].usage, D3DDECLUSAGE_POSITION);
        EXPECT_EQ(program->vertexInputs[1].usage, D3DDECLUSAGE_TEXCOORD);
        EXPECT_EQ(program->vertexInputs[1].usageIndex, 0);
        // The device binds inputs by name, so the shader fixes no location of its own.
        EXPECT_EQ(program->vertexGlsl.find("location = 0) in"), std::string::npos);
        EXPECT_NE(program->vertexGlsl.find("in vec2 " + program->vertexInputs[1].glslName + ";"), std::string::npos);
        EXPECT_EQ(program->colorOutput, "fx_out_COLOR0");
        EXPECT_EQ(program->samplers, std::vector<std::string> {"MeshTextureSampler"});
        ASSERT_EQ(program->vertexConstants.slots.size(), 1u);
        EXPECT_EQ(program->vertexConstants.slots[0].name, "g_mProj");
        EXPECT_EQ(program->vertexConstants.slots[0].offset, 0u);
        EXPECT_EQ(program->vertexConstants.slots[0].matrixStride, 16u);
        EXPECT_TRUE(program->vertexConstants.slots[0].columnMajor);
        EXPECT_EQ(program->vertexConstants.registerCount, 4u);
        EXPECT_NE(program->vertexGlsl.find("uniform vec4 " + program->vertexConstants.uniformName + "[4]"),
                  std::string::npos);
        EXPECT_TRUE(program->pixelConstants.slots.empty());
        EXPECT_EQ(Location(program->vertexGlsl, "out", "fx_reg_TEXCOORD0"),
                  Location(program->fragmentGlsl, "in", "fx_reg_TEXCOORD0"));
    }
}

TEST(HlslCompiler, MeshEffectMatchesStagesBySemanticAndLaysOutItsConstants) {
    const auto program = CompileFirstPass(D3DX9Tests::kMeshEffect);
    ASSERT_NE(program, nullptr);
    ExpectValidGlsl(*program);
    // The vertex stage writes TEXCOORD1 before COLOR0, the pixel stage reads them the other way round.
    for (const char* varying : {"fx_reg_TEXCOORD1", "fx_reg_COLOR0"}) {
        const int written = Location(program->vertexGlsl, "out", varying);
        ASSERT_GE(written, 0) << varying << "\n" << program->vertexGlsl;
        EXPECT_EQ(Location(program->fragmentGlsl, "in", varying), written) << varying << "\n" << program->fragmentGlsl;
    }
    ASSERT_EQ(program->vertexInputs.size(), 3u);
    EXPECT_EQ(program->vertexInputs[1].usage, D3DDECLUSAGE_NORMAL);
    std::vector<std::string> names;
    for (const ConstantSlot& slot : program->vertexConstants.slots)
        names.push_back(slot.name);
    EXPECT_EQ(names,
              (std::vector<std::string> {"g_mWorld", "g_mWorldViewProj", "g_dirToLight", "g_Diffuse", "g_Ambient"}));
    EXPECT_EQ(program->vertexConstants.slots[1].offset, 64u);
    EXPECT_EQ(program->vertexConstants.slots[2].offset, 128u);
    EXPECT_EQ(program->vertexConstants.slots[4].offset, 160u);
    EXPECT_EQ(program->vertexConstants.registerCount, 11u);
    EXPECT_EQ(program->samplers, std::vector<std::string> {"MeshSampler"});
}

TEST(HlslCompiler, RowMajorMatricesAreMarkedAsSuch) {
    const auto program = CompileFirstPass(
        "row_major float4x4 g_R; float4x4 g_C;"
        "float4 VS(float4 p:POSITION):POSITION{return mul(mul(p, g_R), g_C);}"
        "float4 PS():COLOR{return 1;}"
        "technique{pass{VertexShader=compile vs_2_0 VS();PixelShader=compile ps_2_0 PS();}}");
    ASSERT_NE(program, nullptr);
    ASSERT_EQ(program->vertexConstants.slots.size(), 2u);
    EXPECT_FALSE(program->vertexConstants.slots[0].columnMajor);
    EXPECT_TRUE(program->vertexConstants.slots[1].columnMajor);
}

TEST(HlslCompiler, ErrorsPointAtTheUsersLineAndColumn) {
    std::string oneLine = D3DX9Tests::kAlphaBlendEffect;
    const std::size_t at = oneLine.find("mul(vPos, g_mProj)") + 10;
    oneLine.replace(at, 7, "g_mProx");
    const std::string errors = CompileErrors(oneLine, "memory");
    EXPECT_NE(errors.find("memory(1," + std::to_string(at + 1) + "): error: 'g_mProx'"), std::string::npos) << errors;

    std::string multiLine = D3DX9Tests::kMeshEffect;
    const std::size_t line = multiLine.find("    o.uv = i.uv;");
    multiLine.replace(line, 16, "    o.uv = i.uv +;");
    const std::string fileErrors = CompileErrors(multiLine, "effect.fx");
    EXPECT_EQ(fileErrors.rfind("effect.fx(24,", 0), 0u) << fileErrors;
    EXPECT_NE(fileErrors.find(": error: "), std::string::npos);
}

// Direct3D 9 has only 2D textures for tex1D to read, and glslang no casts to arrays: both are
// mapped before glslang, the user's lines and columns kept.
TEST(HlslCompiler, Tex1DReadsA2DSamplerAndArrayCastsCompile) {
    const std::string source =
        "sampler s_Plain = sampler_state { MinFilter = Point; };\n"
        "sampler1D s_Line;\n"
        "float4 VS(float4 p : POSITION, float4 w : BLENDWEIGHT) : POSITION\n"
        "{ float a[4] = (float[4])w; int b[2] = (int[2])w.xy; return p * a[3] + b[1]; }\n"
        "float4 PS(float2 uv : TEXCOORD0) : COLOR\n"
        "{ return tex1D(s_Plain, uv.x) + tex1D(s_Line, uv) + tex1Dlod(s_Line, float4(uv, 0, 1)); }\n"
        "technique T { pass { VertexShader = compile vs_3_0 VS(); PixelShader = compile ps_3_0 PS(); } }\n";
    const auto program = CompileFirstPass(source);
    ASSERT_NE(program, nullptr);
    ExpectValidGlsl(*program);
    EXPECT_NE(program->fragmentGlsl.find("uniform sampler2D s_Line;"), std::string::npos) << program->fragmentGlsl;
    EXPECT_EQ(program->fragmentGlsl.find("sampler1D"), std::string::npos);
    EXPECT_EQ(program->samplers.size(), 2u);

    const std::string misspelt =
        "float4 VS(float4 w : BLENDWEIGHT) : POSITION\n"
        "{ float a[4] = (float[4])g_Missing; return a[0]; }\n"
        "technique T { pass { VertexShader = compile vs_2_0 VS(); } }\n";
    const std::string errors = CompileErrors(misspelt, "memory");
    EXPECT_NE(errors.find("memory(2,26): error: 'g_Missing'"), std::string::npos) << errors;
}

// glslang crashes matching the sizes of a mul() when that would leave a matrix with one row or
// column; such a call (never valid HLSL) is a compile error at the call instead.
TEST(HlslCompiler, MulOfMismatchedOneWideOperandsFailsAtTheCall) {
    const std::string head =
        "float4x4 g_mWorld; float3x1 g_col; float1x3 g_row;\n"
        "struct VS_INPUT { float4 pos : POSITION; float1 normal : NORMAL; };\n"
        "float4 VS(VS_INPUT i) : POSITION\n"
        "{ float4 p = i.pos; p.xyz += mul(";
    const std::string tail = ").x; return p; }\ntechnique T { pass { VertexShader = compile vs_2_0 VS(); } }\n";
    for (const char* operands :
         {"i.normal, (float3x3)g_mWorld", "(float3x3)g_mWorld, i.normal", "g_col, (float3x3)g_mWorld",
          "(float3x3)g_mWorld, g_row", "g_row, i.normal", "g_row, i.pos.xy", "(int1)i.normal, (float3x3)g_mWorld"}) {
        const std::string errors = CompileErrors(head + operands + tail, "memory");
        EXPECT_NE(errors.find("memory(4,30): error: 'mul'"), std::string::npos) << operands << "\n" << errors;
    }
}

// Where the source holds one-wide values, the valid calls compile as they did without them (only
// SPIR-V's numbering of temporaries may differ). Any one-wide mul operand is refused.
TEST(HlslCompiler, OneWideValuesLeaveValidMulCallsAsTheyWere) {
    const auto plain = CompileFirstPass(D3DX9Tests::kMeshEffect);
    const auto guarded = CompileFirstPass(std::string(D3DX9Tests::kMeshEffect) + "\ntypedef float1 OneWide;\n");
    ASSERT_NE(plain, nullptr);
    ASSERT_NE(guarded, nullptr);
    const std::regex temporary("_\\d+");
    EXPECT_EQ(std::regex_replace(guarded->vertexGlsl, temporary, "_n"),
              std::regex_replace(plain->vertexGlsl, temporary, "_n"));
    EXPECT_EQ(guarded->fragmentGlsl, plain->fragmentGlsl);

    const std::string oneWide =
        "float4x4 g_m; float1x3 g_row;\n"
        "float4 VS(float4 p : POSITION, float1 w : BLENDWEIGHT) : POSITION\n"
        "{ return mul(p, g_m) * w + mul(2.0, g_m)[0] + mul(p.xyz, (float3x3)g_m).xyzz + g_row[0].xyzz; }\n"
        "float4 PS() : COLOR { return 1; }\n"
        "technique T { pass { VertexShader = compile vs_2_0 VS(); PixelShader = compile ps_2_0 PS(); } }\n";
    const auto program = CompileFirstPass(oneWide);
    ASSERT_NE(program, nullptr);
    ExpectValidGlsl(*program);
    std::string refused = oneWide;
    refused.replace(refused.find("mul(p, g_m)"), 11, "mul(w, g_row).xyzz");
    EXPECT_NE(CompileErrors(refused, "memory").find("memory(3,10): error: 'mul'"), std::string::npos);
}

TEST(HlslCompiler, SameSourceIsCompiledOnceThenServedFromTheCache) {
    const std::string source = std::string(D3DX9Tests::kAlphaTestEffect) + " ";
    const std::uint64_t before = StageCompileCount();
    const auto first = CompileFirstPass(source);
    EXPECT_EQ(StageCompileCount(), before + 2);  // its vertex and its pixel stage
    const auto second = CompileFirstPass(source);
    EXPECT_EQ(StageCompileCount(), before + 2);
    EXPECT_EQ(first->vertexGlsl, second->vertexGlsl);
    EXPECT_EQ(first->fragmentGlsl, second->fragmentGlsl);
    CompileFirstPass(source + " ");
    EXPECT_EQ(StageCompileCount(), before + 4);
}

TEST(HlslCompiler, SemanticsSplitIntoUsageAndIndex) {
    EXPECT_EQ(ParseSemantic("TEXCOORD3").name, "TEXCOORD");
    EXPECT_EQ(ParseSemantic("texcoord3").index, 3);
    EXPECT_EQ(ParseSemantic("COLOR").index, 0);
    EXPECT_EQ(ParseSemantic("SV_Target1").name, "COLOR");
    EXPECT_EQ(ParseSemantic("SV_Target1").index, 1);
    EXPECT_EQ(DeclarationUsage("BLENDINDICES"), D3DDECLUSAGE_BLENDINDICES);
    EXPECT_EQ(DeclarationUsage("VPOS"), -1);
}

TEST(HlslCompiler, StagesMeetByRegisterWhateverTheWidthsTheyDeclare) {
    // Direct3D 9 links a float4 TEXCOORD0 output to a float2 TEXCOORD0 input: both sit in one register.
    const auto program = CompileFirstPass(
        "struct VOut { float4 pos : POSITION; float4 uv : TEXCOORD0; float3 tint : COLOR0; float fog : TEXCOORD3; };"
        "VOut VS(float4 p : POSITION) { VOut o; o.pos = p; o.uv = p; o.tint = p.xyz; o.fog = p.w; return o; }"
        "float4 PS(float2 uv : TEXCOORD0, float4 tint : COLOR0, float2 fog : TEXCOORD3) : COLOR"
        "{ return float4(uv, tint.x + fog.y, tint.w); }"
        "technique { pass { VertexShader = compile vs_2_0 VS(); PixelShader = compile ps_2_0 PS(); } }");
    ASSERT_NE(program, nullptr);
    ExpectValidGlsl(*program);
    for (const char* reg : {"fx_reg_TEXCOORD0", "fx_reg_COLOR0", "fx_reg_TEXCOORD3"}) {
        EXPECT_NE(program->vertexGlsl.find(std::string("out vec4 ") + reg + ";"), std::string::npos)
            << program->vertexGlsl;
        EXPECT_NE(program->fragmentGlsl.find(std::string("in vec4 ") + reg + ";"), std::string::npos)
            << program->fragmentGlsl;
    }
    // Registers are fixed by semantic, not by the order either stage declares them in.
    EXPECT_EQ(Location(program->vertexGlsl, "out", "fx_reg_TEXCOORD0"), 0);
    EXPECT_EQ(Location(program->fragmentGlsl, "in", "fx_reg_TEXCOORD3"), 3);
    EXPECT_EQ(Location(program->vertexGlsl, "out", "fx_reg_COLOR0"), 16);
    // A float3 written fills w with 1, as an unwritten register component reads on Direct3D 9.
    EXPECT_NE(program->vertexGlsl.find("vec4(fx_var_COLOR0, 1.0)"), std::string::npos) << program->vertexGlsl;
}

TEST(HlslCompiler, IndexedVertexInputsAndPixelSystemInputsKeepTheirSemantics) {
    const auto program = CompileFirstPass(
        "void VS(float4 p : POSITION0, float4 q : POSITION1, float3 n : NORMAL1, float4 c : COLOR1,\n"
        "        out float4 oPos : POSITION, out float4 oUv : TEXCOORD0) { oPos = p + q; oUv = c + n.xyzz; }\n"
        "float4 PS(float4 uv : TEXCOORD0, float2 position : VPOS, float face : VFACE) : COLOR\n"
        "{ return uv + float4(position, face, 0); }\n"
        "technique { pass { VertexShader = compile vs_3_0 VS(); PixelShader = compile ps_3_0 PS(); } }");
    ASSERT_NE(program, nullptr);
    ExpectValidGlsl(*program);
    std::vector<std::tuple<int, int, std::string>> inputs;
    for (const VertexInput& input : program->vertexInputs)
        inputs.emplace_back(input.usage, input.usageIndex, input.glslName);
    std::sort(inputs.begin(), inputs.end());
    EXPECT_EQ(inputs, (std::vector<std::tuple<int, int, std::string>> {{D3DDECLUSAGE_POSITION, 0, "fx_in_POSITION0"},
                                                                       {D3DDECLUSAGE_POSITION, 1, "fx_in_POSITION1"},
                                                                       {D3DDECLUSAGE_NORMAL, 1, "fx_in_NORMAL1"},
                                                                       {D3DDECLUSAGE_COLOR, 1, "fx_in_COLOR1"}}));
    // VPOS and VFACE come from the rasteriser, not from a register the vertex stage writes.
    ASSERT_EQ(program->pixelInputs.size(), 1u);
    EXPECT_EQ(program->pixelInputs[0].usage, D3DDECLUSAGE_TEXCOORD);
    EXPECT_NE(program->fragmentGlsl.find("gl_FragCoord.xy - vec2(0.5)"), std::string::npos) << program->fragmentGlsl;
    EXPECT_NE(program->fragmentGlsl.find("gl_FrontFacing ? 1.0 : -1.0"), std::string::npos) << program->fragmentGlsl;
}

TEST(HlslCompiler, AProgramMayHaveOneStage) {
    const ParseResult parsed = ParseEffect(
        "float4 PS(float2 uv : TEXCOORD1) : COLOR { return float4(uv, 0, 1); }"
        "technique { pass { PixelShader = compile ps_2_0 PS(); } }");
    ASSERT_TRUE(parsed.ok) << parsed.error;
    const EffectPassDesc& pass = parsed.description.techniques.at(0).passes.at(0);
    const ProgramCompileResult pixelOnly =
        CompileProgram(parsed.description.hlsl, "memory", pass.vertexShader.compiled, pass.pixelShader.compiled);
    ASSERT_NE(pixelOnly.program, nullptr) << pixelOnly.errors;
    EXPECT_TRUE(pixelOnly.program->vertexGlsl.empty());
    EXPECT_TRUE(pixelOnly.program->vertexInputs.empty());
    EXPECT_EQ(Location(pixelOnly.program->fragmentGlsl, "in", "fx_reg_TEXCOORD1"), 1);
    EXPECT_EQ(pixelOnly.program->colorOutput, "fx_out_COLOR0");
    const ProgramCompileResult none =
        CompileProgram(parsed.description.hlsl, "memory", ShaderCompileRequest(), ShaderCompileRequest());
    EXPECT_EQ(none.program, nullptr);
    EXPECT_NE(none.errors.find("memory: error:"), std::string::npos) << none.errors;
}

TEST(HlslCompiler, UniformArgumentsMakeOneProgramPerArgumentList) {
    const ParseResult parsed = ParseEffect(
        "float4 VS(float4 p : POSITION, uniform bool flip, uniform float scale, out float4 o : TEXCOORD0)"
        " : POSITION { o = p * scale; return flip ? -p : p; }"
        "float4 PS(float4 t : TEXCOORD0, uniform float3 tint) : COLOR { return float4(t.xyz * tint, 1); }"
        "technique { pass { VertexShader = compile vs_2_0 VS(true, 2); "
        "PixelShader = compile ps_2_0 PS(float3(1, 0.5, 0)); } }");
    ASSERT_TRUE(parsed.ok) << parsed.error;
    const EffectDescription& effect = parsed.description;
    const EffectPassDesc& pass = effect.techniques.at(0).passes.at(0);
    std::string hlsl = effect.hlsl;
    ShaderCompileRequest vertex;
    ShaderCompileRequest pixel;
    std::string error;
    ASSERT_TRUE(BindShaderArguments(effect, pass.vertexShader.compiled, "fx_v", hlsl, vertex, error)) << error;
    ASSERT_TRUE(BindShaderArguments(effect, pass.pixelShader.compiled, "fx_p", hlsl, pixel, error)) << error;
    EXPECT_EQ(vertex.entry, "fx_v");
    EXPECT_NE(hlsl.find("float4 fx_v(float4 p : POSITION, out float4 o : TEXCOORD0) : POSITION"), std::string::npos)
        << hlsl;
    // Each argument is converted to the type its uniform declares.
    EXPECT_NE(hlsl.find("return VS(p, ((bool)(true)), ((float)(2)), o);"), std::string::npos) << hlsl;
    const std::uint64_t before = StageCompileCount();
    const ProgramCompileResult first = CompileProgram(hlsl, "memory", vertex, pixel);
    ASSERT_NE(first.program, nullptr) << first.errors;
    ExpectValidGlsl(*first.program);
    // The uniform parameters are constants of the variant, not registers the effect must fill.
    EXPECT_TRUE(first.program->vertexConstants.slots.empty());

    ShaderCompileRequest other = pass.vertexShader.compiled;
    other.arguments = {"false", "0.5"};
    std::string otherHlsl = effect.hlsl;
    ASSERT_TRUE(BindShaderArguments(effect, other, "fx_v", otherHlsl, vertex, error)) << error;
    ASSERT_TRUE(BindShaderArguments(effect, pass.pixelShader.compiled, "fx_p", otherHlsl, pixel, error)) << error;
    const ProgramCompileResult second = CompileProgram(otherHlsl, "memory", vertex, pixel);
    ASSERT_NE(second.program, nullptr) << second.errors;
    EXPECT_EQ(StageCompileCount(), before + 4);  // both texts differ in their vertex entry
    EXPECT_NE(first.program->vertexGlsl, second.program->vertexGlsl);

    other.arguments = {"true"};
    EXPECT_FALSE(BindShaderArguments(effect, other, "fx_v", otherHlsl, vertex, error));
    EXPECT_NE(error.find("2 uniform parameters"), std::string::npos) << error;
}

TEST(HlslCompiler, AParameterAsAUniformArgumentIsAConstantTheEffectFills) {
    // `lit` is a bool global, held as a float register: the argument converts it back.
    const ParseResult parsed = ParseEffect(
        "bool lit = true;\n"
        "float4 PS(uniform bool on) : COLOR { if (on) return 1; return 0; }\n"
        "float4 VS(float4 p : POSITION) : POSITION { return p; }\n"
        "technique { pass { VertexShader = compile vs_2_0 VS(); PixelShader = compile ps_2_0 PS(lit); } }");
    ASSERT_TRUE(parsed.ok) << parsed.error;
    const EffectPassDesc& pass = parsed.description.techniques.at(0).passes.at(0);
    std::string hlsl = parsed.description.hlsl;
    ShaderCompileRequest vertex;
    ShaderCompileRequest pixel;
    std::string error;
    ASSERT_TRUE(BindShaderArguments(parsed.description, pass.vertexShader.compiled, "fx_v", hlsl, vertex, error));
    ASSERT_TRUE(BindShaderArguments(parsed.description, pass.pixelShader.compiled, "fx_p", hlsl, pixel, error));
    const ProgramCompileResult compiled = CompileProgram(hlsl, "memory", vertex, pixel);
    ASSERT_NE(compiled.program, nullptr) << compiled.errors;
    ExpectValidGlsl(*compiled.program);
    const auto& slots = compiled.program->pixelConstants.slots;
    EXPECT_TRUE(std::any_of(slots.begin(), slots.end(), [](const ConstantSlot& slot) { return slot.name == "lit"; }));
}

// glslang crashes on an entry point parameter without a name (found by the compiler fuzzer); such
// an entry is a compile error at that parameter, in either stage, and named parameters of every
// form still compile.
TEST(HlslCompiler, EntryParametersWithoutANameAreAnErrorAtTheParameter) {
    const std::string pixel = "float4 PS() : COLOR { return 1; }\n";
    const std::string technique =
        "technique T { pass { VertexShader = compile vs_2_0 VS(); PixelShader = compile ps_2_0 PS(); } }\n";
    for (const auto& [parameters, column] :
         std::vector<std::pair<std::string, int>> {{"float4 : POSITION", 11},
                                                   {"float4 p : POSITION, float", 32},
                                                   {"in float4 : POSITION", 11},
                                                   {"float4 p : POSITION, vector<float, 2> : TEXCOORD0", 32},
                                                   {"float4 p : POSITION, float2 [2] : TEXCOORD0", 32}}) {
        const std::string source = "float4 VS(" + parameters + ") : POSITION { return 0; }\n" + pixel + technique;
        EXPECT_EQ(CompileErrors(source, "memory"),
                  "memory(1," + std::to_string(column) + "): error: a parameter of entry point 'VS' has no name\n")
            << parameters;
    }
    const std::string unnamedPixel =
        "float4 VS() : POSITION { return 0; }\nfloat4 PS(float2 : TEXCOORD0) : COLOR\n"
        "{ return 1; }\n" +
        technique;
    EXPECT_NE(CompileErrors(unnamedPixel, "memory").find("memory(2,11): error: a parameter of entry point 'PS'"),
              std::string::npos);
    for (const char* parameters : {"void", "in float4 p : POSITION", "float4 p : POSITION, uniform float4x4 m",
                                   "vector<float, 4> p : POSITION", "float4 p : POSITION, out float4 q : TEXCOORD0",
                                   "float4 p : POSITION, float2 uv[2] : TEXCOORD0", "const float4 p : POSITION = 1"}) {
        const std::string source = "float4 VS(" + std::string(parameters) + ") : POSITION { return 0; }\n" +
                                   "float4 F(float) { return 0; }\n" + pixel + technique;
        EXPECT_NE(CompileFirstPass(source), nullptr) << parameters;
    }

    // The fuzzer's input: the Direct3D 10 effect of its seeds with one parameter's name gone.
    std::ifstream found(NVESK_FUZZ_FOUND_DIR "/effect-entry-parameter-without-a-name.fx", std::ios::binary);
    ASSERT_TRUE(found);
    const std::string input {std::istreambuf_iterator<char>(found), std::istreambuf_iterator<char>()};
    EXPECT_EQ(CompileErrors(input, "found.fx"), "found.fx(2,11): error: a parameter of entry point 'VS' has no name\n");
}

// glslang goes on with no expression where the two results of a ?: have no common type, and then
// crashes on it (found by the compiler fuzzer). Such a ?: is an error at the ?: instead, however
// its value is used; the ?: that have a type compile as before.
// An operand ++ or -- cannot take (an unknown name) is an error at the name, wherever the
// expression goes next: glslang went on with a null node after a postfix operator and crashed there.
TEST(HlslCompiler, IncrementsOfAnUnknownNameAreAnErrorAtTheName) {
    const std::string head = "float4 VS(float4 p : POSITION) : POSITION\n{ float y = 0;\n";
    const std::string tail =
        "}\nfloat4 PS() : COLOR { return 1; }\n"
        "technique T { pass { VertexShader = compile vs_2_0 VS(); PixelShader = compile ps_2_0 PS(); } }\n";
    for (const char* body : {"return S++;", "return S--;", "return y++ + S++;", "return dot(S++, p);", "return ++S;",
                             "float x = S++; return x;"}) {
        const std::string errors = CompileErrors(head + body + "\n" + tail, "memory");
        EXPECT_NE(errors.find("memory(3,"), std::string::npos) << body << "\n" << errors;
        EXPECT_NE(errors.find("'S' : unknown variable"), std::string::npos) << body << "\n" << errors;
    }
    // Names the function declares still count up and down, before and after.
    for (const char* body : {"float4 q = p; q++; return q--;", "y++; return p * ++y;"})
        EXPECT_NE(CompileFirstPass(head + body + "\n" + tail), nullptr) << body;

    // The fuzzer's input.
    std::ifstream found(NVESK_FUZZ_FOUND_DIR "/effect-unknown-name-before-postfix-increment.fx", std::ios::binary);
    ASSERT_TRUE(found);
    const std::string input {std::istreambuf_iterator<char>(found), std::istreambuf_iterator<char>()};
    EXPECT_NE(CompileErrors(input, "found.fx").find("unknown variable"), std::string::npos);
}

TEST(HlslCompiler, ConditionalsWhoseResultsHaveNoCommonTypeAreAnErrorAtTheConditional) {
    const std::string head = "struct S { float x; };\nfloat4 VS(float4 p : POSITION) : POSITION\n{ S s; s.x = 1;\n";
    const std::string tail =
        "}\nfloat4 PS() : COLOR { return 1; }\n"
        "technique T { pass { VertexShader = compile vs_2_0 VS(); PixelShader = compile ps_2_0 PS(); } }\n";
    for (const char* body : {"return true ? p : s;", "return true ? p : undeclared;", "return (p.x > 0 ? p : s);",
                             "return 1 + (true ? p : s);", "return dot(true ? p : s, p);"}) {
        const std::string errors = CompileErrors(head + body + "\n" + tail, "memory");
        EXPECT_NE(errors.find("memory(4,"), std::string::npos) << body << "\n" << errors;
        EXPECT_NE(errors.find("error: ':' : the two results of the ?: have no common type"), std::string::npos)
            << body << "\n"
            << errors;
    }
    for (const char* body :
         {"return p.x > 0 ? p : -p;", "float4 q = true ? 1 : p; return q;", "return (p > 0 ? p : s.x) * 2;"}) {
        EXPECT_NE(CompileFirstPass(head + body + "\n" + tail), nullptr) << body;
    }

    // The fuzzer's input: a seed's shader arrays effect with a float() of four values as a result.
    std::ifstream found(NVESK_FUZZ_FOUND_DIR "/effect-conditional-without-a-common-type.fx", std::ios::binary);
    ASSERT_TRUE(found);
    const ParseResult parsed = ParseEffect({std::istreambuf_iterator<char>(found), std::istreambuf_iterator<char>()});
    ASSERT_TRUE(parsed.ok) << parsed.error;
    const EffectPassDesc& both = parsed.description.techniques.at(0).passes.at(1);
    std::string hlsl = parsed.description.hlsl;
    ShaderCompileRequest vertex;
    ShaderCompileRequest pixel;
    std::string error;
    ASSERT_TRUE(
        BindShaderArguments(parsed.description, both.vertexShader.compiled, "fx_vertex_entry", hlsl, vertex, error));
    ASSERT_TRUE(
        BindShaderArguments(parsed.description, both.pixelShader.compiled, "fx_pixel_entry", hlsl, pixel, error));
    const ProgramCompileResult compiled = CompileProgram(hlsl, "found.fx", vertex, pixel);
    EXPECT_EQ(compiled.program, nullptr);
    EXPECT_NE(compiled.errors.find("found.fx(9,"), std::string::npos) << compiled.errors;
}

// HLSL to GLSL without a GPU: the built-in and mesh effects compile, the stages agree on their
// interface by semantic, the generated GLSL is valid GLSL 4.50, errors point into the user's
// source, and a second compile of the same source is a cache hit.
#include "BuiltInEffects.h"

#include "EffectParser.h"
#include "HlslCompiler.h"

#include <d3d9types.h>

#include <glslang/Public/ResourceLimits.h>
#include <glslang/Public/ShaderLang.h>

#include <gtest/gtest.h>

#include <regex>

using namespace nvesk::d3dx9;

namespace {

std::shared_ptr<const CompiledProgram> CompileFirstPass(const std::string& source,
                                                        const std::string& fileName = "memory") {
    const ParseResult parsed = ParseEffect(source);
    EXPECT_TRUE(parsed.ok) << parsed.error;
    if (!parsed.ok) return nullptr;
    const EffectPassDesc& pass = parsed.description.techniques.at(0).passes.at(0);
    const ProgramCompileResult result =
        CompileProgram(parsed.description.hlsl, fileName, pass.vertexShader, pass.pixelShader);
    EXPECT_NE(result.program, nullptr) << result.errors;
    return result.program;
}

std::string CompileErrors(const std::string& source, const std::string& fileName) {
    const ParseResult parsed = ParseEffect(source);
    EXPECT_TRUE(parsed.ok) << parsed.error;
    if (!parsed.ok) return {};
    const EffectPassDesc& pass = parsed.description.techniques.at(0).passes.at(0);
    const ProgramCompileResult result =
        CompileProgram(parsed.description.hlsl, fileName, pass.vertexShader, pass.pixelShader);
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
        EXPECT_EQ(Location(program->vertexGlsl, "out", "fx_var_TEXCOORD0"),
                  Location(program->fragmentGlsl, "in", "fx_var_TEXCOORD0"));
    }
}

TEST(HlslCompiler, MeshEffectMatchesStagesBySemanticAndLaysOutItsConstants) {
    const auto program = CompileFirstPass(D3DX9Tests::kMeshEffect);
    ASSERT_NE(program, nullptr);
    ExpectValidGlsl(*program);
    // The vertex stage writes TEXCOORD1 before COLOR0, the pixel stage reads them the other way round.
    for (const char* varying : {"fx_var_TEXCOORD1", "fx_var_COLOR0"}) {
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

TEST(HlslCompiler, SameSourceIsCompiledOnceThenServedFromTheCache) {
    const std::string source = std::string(D3DX9Tests::kAlphaTestEffect) + " ";
    const std::uint64_t before = ProgramCompileCount();
    const auto first = CompileFirstPass(source);
    EXPECT_EQ(ProgramCompileCount(), before + 1);
    const auto second = CompileFirstPass(source);
    EXPECT_EQ(ProgramCompileCount(), before + 1);
    EXPECT_EQ(first, second);
    CompileFirstPass(source + " ");
    EXPECT_EQ(ProgramCompileCount(), before + 2);
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

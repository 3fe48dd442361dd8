// The effect front end: what it reads from effect files, what HLSL it leaves for the compiler,
// and where it says a malformed effect goes wrong.
#include "BuiltInEffects.h"

#include "EffectParser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

using namespace nvesk::d3dx9;

namespace {

const EffectParameterDesc* Find(const EffectDescription& description, const std::string& name) {
    for (const auto& parameter : description.parameters) {
        if (parameter.name == name) return &parameter;
    }
    return nullptr;
}

void ExpectState(const StateAssignment& state, const char* name, const char* value) {
    EXPECT_EQ(state.name, name);
    EXPECT_EQ(state.value, value);
}

// A source that must not parse, and where and why it fails.
struct ErrorCase {
    std::string source;
    int line;
    int column;
    const char* messagePart;
};

void ExpectErrors(const std::vector<ErrorCase>& cases) {
    for (const ErrorCase& c : cases) {
        SCOPED_TRACE(c.source);
        const ParseResult result = ParseEffect(c.source);
        ASSERT_FALSE(result.ok);
        EXPECT_EQ(result.errorPosition.line, c.line);
        EXPECT_EQ(result.errorPosition.column, c.column);
        EXPECT_NE(result.error.find(c.messagePart), std::string::npos) << result.error;
    }
}

ParseResult ParseOk(const std::string& source) {
    ParseResult result = ParseEffect(source);
    EXPECT_TRUE(result.ok) << result.errorPosition.line << "," << result.errorPosition.column << ": " << result.error;
    return result;
}

}  // namespace

TEST(EffectParser, BuiltInImageEffectsDeclareTextureMatrixSamplerAndOnePass) {
    struct Case {
        const char* source;
        const char* states[3][2];
    };
    const Case cases[] = {
        {D3DX9Tests::kAlphaBlendEffect,
         {{"AlphaBlendEnable", "TRUE"}, {"SrcBlend", "SRCALPHA"}, {"DestBlend", "INVSRCALPHA"}}},
        {D3DX9Tests::kAlphaTestEffect,
         {{"AlphaTestEnable", "TRUE"}, {"AlphaFunc", "GREATER"}, {"AlphaRef", "0x0000007F"}}},
    };
    for (const Case& c : cases) {
        const std::string source = c.source;
        const ParseResult result = ParseOk(source);
        const EffectDescription& effect = result.description;
        ASSERT_EQ(effect.parameters.size(), 3u);
        EXPECT_EQ(effect.parameters[0].name, "g_Texture");
        EXPECT_EQ(effect.parameters[0].type, ParameterType::Texture);
        EXPECT_EQ(effect.parameters[1].name, "g_mProj");
        EXPECT_EQ(effect.parameters[1].parameterClass, ParameterClass::MatrixRows);
        EXPECT_EQ(effect.parameters[1].rows, 4);
        EXPECT_EQ(effect.parameters[1].columns, 4);
        const EffectParameterDesc& sampler = effect.parameters[2];
        EXPECT_EQ(sampler.name, "MeshTextureSampler");
        EXPECT_EQ(sampler.type, ParameterType::Sampler);
        ASSERT_EQ(sampler.samplerStates.size(), 6u);
        EXPECT_TRUE(sampler.samplerStates[0].isReference);
        ExpectState(sampler.samplerStates[0], "Texture", "g_Texture");
        ExpectState(sampler.samplerStates[1], "MipFilter", "LINEAR");
        ExpectState(sampler.samplerStates[5], "AddressV", "CLAMP");

        ASSERT_EQ(effect.techniques.size(), 1u);
        EXPECT_EQ(effect.techniques[0].name, "");
        ASSERT_EQ(effect.techniques[0].passes.size(), 1u);
        const EffectPassDesc& pass = effect.techniques[0].passes[0];
        EXPECT_EQ(pass.vertexShader.compiled.profile, "vs_2_0");
        EXPECT_EQ(pass.vertexShader.compiled.entry, "RenderSceneVS");
        EXPECT_EQ(pass.pixelShader.compiled.profile, "ps_2_0");
        EXPECT_EQ(pass.pixelShader.compiled.entry, "RenderScenePS");
        ASSERT_EQ(pass.states.size(), 3u);
        for (int i = 0; i < 3; ++i)
            ExpectState(pass.states[i], c.states[i][0], c.states[i][1]);

        // The HLSL keeps every position; effect-only text is gone.
        EXPECT_EQ(effect.hlsl.size(), source.size());
        EXPECT_EQ(effect.hlsl.find("technique"), std::string::npos);
        EXPECT_EQ(effect.hlsl.find("texture g_Texture"), std::string::npos);
        EXPECT_EQ(effect.hlsl.find("sampler_state"), std::string::npos);
        EXPECT_EQ(effect.hlsl.find("float4x4 g_mProj;"), source.find("float4x4 g_mProj;"));
        EXPECT_EQ(effect.hlsl.find("sampler MeshTextureSampler"), source.find("sampler MeshTextureSampler"));
        EXPECT_EQ(effect.hlsl.find("VS_OUTPUT RenderSceneVS"), source.find("VS_OUTPUT RenderSceneVS"));
    }
}

TEST(EffectParser, DefaultsSemanticsAnnotationsAndNamedPasses) {
    const std::string source = D3DX9Tests::kMeshEffect;
    const EffectDescription effect = ParseOk(source).description;
    const EffectParameterDesc* world = Find(effect, "g_mWorld");
    ASSERT_NE(world, nullptr);
    EXPECT_EQ(world->semantic, "WORLD");
    EXPECT_TRUE(world->defaultValue.empty());
    const EffectParameterDesc* light = Find(effect, "g_dirToLight");
    ASSERT_NE(light, nullptr);
    EXPECT_EQ(light->parameterClass, ParameterClass::Vector);
    EXPECT_EQ(light->columns, 3);
    EXPECT_EQ(light->defaultValue, (std::vector<float> {0.0f, 1.0f, 0.0f}));
    const EffectParameterDesc* diffuse = Find(effect, "g_Diffuse");
    ASSERT_NE(diffuse, nullptr);
    EXPECT_EQ(diffuse->defaultValue, (std::vector<float> {1.0f, 0.5f, 0.25f, 1.0f}));
    ASSERT_EQ(diffuse->annotations.size(), 1u);
    EXPECT_EQ(diffuse->annotations[0].type, "string");
    EXPECT_EQ(diffuse->annotations[0].name, "UIName");
    EXPECT_EQ(diffuse->annotations[0].value, "Diffuse colour");
    const EffectParameterDesc* ambient = Find(effect, "g_Ambient");
    ASSERT_NE(ambient, nullptr);
    EXPECT_EQ(ambient->defaultValue, std::vector<float> {0.2f});
    EXPECT_EQ(ambient->position.line, 6);
    EXPECT_EQ(ambient->position.column, 7);

    ASSERT_EQ(effect.techniques.size(), 1u);
    EXPECT_EQ(effect.techniques[0].name, "RenderScene");
    ASSERT_EQ(effect.techniques[0].annotations.size(), 1u);
    EXPECT_EQ(effect.techniques[0].annotations[0].value, "lit");
    const EffectPassDesc& pass = effect.techniques[0].passes.at(0);
    EXPECT_EQ(pass.name, "P0");
    ASSERT_EQ(pass.states.size(), 3u);
    ExpectState(pass.states[2], "CullMode", "CCW");
    EXPECT_EQ(pass.states[2].position.line, 41);
    EXPECT_EQ(pass.states[2].position.column, 9);

    // Annotations are not HLSL; line breaks stay where they were.
    EXPECT_EQ(effect.hlsl.find("UIName"), std::string::npos);
    EXPECT_EQ(std::count(effect.hlsl.begin(), effect.hlsl.end(), '\n'), std::count(source.begin(), source.end(), '\n'));
    EXPECT_NE(effect.hlsl.find("float4 g_Diffuse"), std::string::npos);
    EXPECT_NE(effect.hlsl.find("= {1.0, 0.5, 0.25, 1.0};"), std::string::npos);
}

TEST(EffectParser, DeclarationFormsThatAreAndAreNotParameters) {
    const std::string source =
        "static const float kHidden = 3;\n"
        "float a = -1.5, b[2] = {2, 0x10};\n"
        "bool g_On = true;\n"
        "int3 g_Counts : register(c4) = int3(1, -2, 3);\n"
        "matrix<float, 3, 4> g_Rows;\n"
        "row_major float4x3 g_Bones[4];\n"
        "/* technique NotOne { } */\n"
        "float4 PS(float2 uv : TEXCOORD0) : COLOR { return float4(uv, 0, 1); }\n"
        "float4 VS(float4 p : POSITION) : POSITION { return p; }\n"
        "technique First { pass { VertexShader = compile vs_3_0 VS(); PixelShader = compile ps_3_0 PS(); } }\n"
        "technique Second { pass One { ZEnable = FALSE; } pass Two { } }\n";
    const EffectDescription effect = ParseOk(source).description;
    EXPECT_EQ(Find(effect, "kHidden"), nullptr);
    ASSERT_NE(Find(effect, "a"), nullptr);
    EXPECT_EQ(Find(effect, "a")->defaultValue, std::vector<float> {-1.5f});
    ASSERT_NE(Find(effect, "b"), nullptr);
    EXPECT_EQ(Find(effect, "b")->elements, 2);
    EXPECT_EQ(Find(effect, "b")->defaultValue, (std::vector<float> {2.0f, 16.0f}));
    EXPECT_EQ(Find(effect, "g_On")->type, ParameterType::Bool);
    EXPECT_EQ(Find(effect, "g_On")->defaultValue, std::vector<float> {1.0f});
    EXPECT_EQ(Find(effect, "g_Counts")->type, ParameterType::Int);
    EXPECT_EQ(Find(effect, "g_Counts")->defaultValue, (std::vector<float> {1.0f, -2.0f, 3.0f}));
    EXPECT_EQ(Find(effect, "g_Rows")->rows, 3);
    EXPECT_EQ(Find(effect, "g_Rows")->columns, 4);
    EXPECT_EQ(Find(effect, "g_Bones")->rows, 4);
    EXPECT_EQ(Find(effect, "g_Bones")->columns, 3);
    EXPECT_EQ(Find(effect, "g_Bones")->elements, 4);
    EXPECT_EQ(effect.functions, (std::vector<std::string> {"PS", "VS"}));
    ASSERT_EQ(effect.techniques.size(), 2u);
    EXPECT_EQ(effect.techniques[0].passes[0].vertexShader.compiled.profile, "vs_3_0");
    ASSERT_EQ(effect.techniques[1].passes.size(), 2u);
    EXPECT_EQ(effect.techniques[1].passes[0].vertexShader.assignment, ShaderAssignment::None);
    EXPECT_EQ(effect.techniques[1].passes[1].name, "Two");
}

TEST(EffectParser, ErrorsNameTheLineAndColumnOfTheFault) {
    ExpectErrors({
        {"float4 VS(float4 p:POSITION):POSITION{return p;}\ntechnique T\n{\n  pass P { ZEnable TRUE; }\n}\n", 4, 20,
         "expected '='"},
        {"float4 VS(float4 p:POSITION):POSITION{return p;}\ntechnique { pass { VertexShader = compile vs_2_0 "
         "Missing(); } }",
         2, 50, "Missing"},
        {"float a; /* never closed\nfloat b;", 1, 10, "unterminated comment"},
        {"float a;\nint a;", 2, 5, "redefinition"},
        {"technique { pass { PixelShader = compile vs_2_0 F(); } } float4 F():COLOR{return 0;}", 1, 34, "profile"},
        {"technique { pass { VertexShader = asm mov oPos, v0; } }", 1, 39, "expected '{' after 'asm'"},
        {"float4 g = {1, 2;", 1, 18, "unbalanced"},
        {"float a[1e30];", 1, 9, "invalid array size"},
        {"technique { pass {", 1, 19, "end of file"},
    });
}

TEST(EffectParser, PassShadersMayBeCompiledNullAbsentOrPickedFromAnArray) {
    const std::string source =
        "int g_Pick = 1;\n"
        "float4 VS(float4 p : POSITION, uniform bool bright, uniform int steps) : POSITION { return p; }\n"
        "float4 PS(float2 uv : TEXCOORD0) : COLOR { return float4(uv, 0, 1); }\n"
        "VertexShader g_Shaders[2] = { compile vs_2_0 VS(true, 2), compile vs_2_0 VS(false, 1 + 2) };\n"
        "PixelShader g_One = compile ps_2_0 PS();\n"
        "technique T {\n"
        "  pass PixelOnly { PixelShader = compile ps_2_0 PS(); }\n"
        "  pass NullVertex { VertexShader = NULL; PixelShader = <g_One>; }\n"
        "  pass Picked { VertexShader = (g_Shaders[g_Pick]); PixelShader = (g_One); }\n"
        "  pass Literal { vertexshader = g_Shaders[1]; }\n"
        "  pass StatesOnly { ZEnable = FALSE; Sampler[0] = (g_Sampler); Texture[1] = <g_T>; }\n"
        "  pass Empty { }\n"
        "}\n";
    const EffectDescription effect = ParseOk(source).description;
    ASSERT_EQ(effect.shaders.size(), 2u);
    EXPECT_EQ(effect.shaders[0].name, "g_Shaders");
    EXPECT_TRUE(effect.shaders[0].vertex);
    EXPECT_EQ(effect.shaders[0].elements, 2);
    ASSERT_EQ(effect.shaders[0].shaders.size(), 2u);
    EXPECT_EQ(effect.shaders[0].shaders[0].arguments, (std::vector<std::string> {"true", "2"}));
    EXPECT_EQ(effect.shaders[0].shaders[1].arguments, (std::vector<std::string> {"false", "1 + 2"}));
    EXPECT_FALSE(effect.shaders[1].vertex);
    EXPECT_TRUE(effect.shaders[1].shaders[0].arguments.empty());
    // Shader globals are effect-only text: the HLSL no longer holds them, and keeps the lines
    // (an int global becomes a float there, so only the columns after its type move).
    EXPECT_EQ(effect.hlsl.find("g_Shaders"), std::string::npos);
    EXPECT_EQ(std::count(effect.hlsl.begin(), effect.hlsl.end(), '\n'), std::count(source.begin(), source.end(), '\n'));

    const std::vector<EffectPassDesc>& passes = effect.techniques.at(0).passes;
    ASSERT_EQ(passes.size(), 6u);
    EXPECT_EQ(passes[0].vertexShader.assignment, ShaderAssignment::None);
    EXPECT_EQ(passes[0].pixelShader.assignment, ShaderAssignment::Compiled);
    EXPECT_EQ(passes[0].pixelShader.compiled.entry, "PS");
    EXPECT_EQ(passes[1].vertexShader.assignment, ShaderAssignment::Compiled);
    EXPECT_EQ(passes[1].vertexShader.compiled.entry, "");  // NULL
    EXPECT_EQ(passes[1].pixelShader.assignment, ShaderAssignment::Selected);
    EXPECT_EQ(passes[1].pixelShader.object, "g_One");
    EXPECT_EQ(passes[2].vertexShader.object, "g_Shaders");
    EXPECT_EQ(passes[2].vertexShader.indexParameter, "g_Pick");
    EXPECT_EQ(passes[3].vertexShader.index, 1);
    EXPECT_TRUE(passes[3].vertexShader.indexParameter.empty());
    EXPECT_EQ(passes[4].vertexShader.assignment, ShaderAssignment::None);
    ASSERT_EQ(passes[4].states.size(), 3u);
    EXPECT_TRUE(passes[4].states[1].isReference);
    ExpectState(passes[4].states[1], "Sampler", "g_Sampler");
    EXPECT_EQ(passes[4].states[2].index, 1);
    EXPECT_TRUE(passes[5].states.empty());

    // The signature keeps what the bound entry needs: the varying parameter as written.
    ASSERT_EQ(effect.signatures.size(), 2u);
    const FunctionDesc& vs = effect.signatures[0];
    EXPECT_EQ(vs.returnType, "float4");
    EXPECT_EQ(vs.returnSemantic, "POSITION");
    ASSERT_EQ(vs.parameters.size(), 3u);
    EXPECT_EQ(vs.parameters[0].text, "float4 p : POSITION");
    EXPECT_FALSE(vs.parameters[0].isUniform);
    EXPECT_EQ(vs.parameters[1].name, "bright");
    EXPECT_TRUE(vs.parameters[1].isUniform);
    EXPECT_EQ(vs.parameters[2].name, "steps");
}

TEST(EffectParser, MalformedShaderAssignmentsNameTheirPlace) {
    const std::string functions = "float4 VS(float4 p:POSITION):POSITION{return p;}\nint g_I; float g_F;\n";
    ExpectErrors({
        {functions + "technique { pass { VertexShader = (g_Missing[0]); } }", 3, 20, "not a VertexShader"},
        {functions + "VertexShader v[2] = { compile vs_2_0 VS(), NULL };\ntechnique { pass { VertexShader = "
                     "(v[2]); } }",
         4, 20, "outside 'v'"},
        {functions + "VertexShader v[1] = { compile vs_2_0 VS() };\ntechnique { pass { VertexShader = (v[g_F]); } }", 4,
         20, "not an int parameter"},
        {functions + "VertexShader v[2] = { compile vs_2_0 VS() };", 3, 14, "declares 2 shaders"},
        {functions + "PixelShader p = compile vs_2_0 VS();", 3, 17, "profile"},
        {functions + "technique { pass { PixelShader = <v>; } }", 3, 20, "not a PixelShader"},
        {functions + "technique { pass { VertexShader = compile vs_2_0 VS(1, ); } }", 3, 35, "empty argument"},
    });
}

TEST(EffectParser, IntAndBoolGlobalsAreDeclaredAsFloatsOfTheirShapeForTheShadersOnly) {
    const std::string source =
        "int g_Count = 3;\nbool2 g_Flags;\nstatic int s_Local = 1;\nuniform uint g_Mask, g_Other;\n"
        "int Twice(int x) { int y = x; return y * 2; }\nstruct S { int member; };\nint3x2 g_Grid;\n";
    const ParseResult result = ParseOk(source);
    const std::string& hlsl = result.description.hlsl;
    EXPECT_NE(hlsl.find("float g_Count = 3;\nfloat2 g_Flags;\nstatic int s_Local = 1;\nuniform float g_Mask, g_Other;\n"
                        "int Twice(int x) { int y = x; return y * 2; }\nstruct S { int member; };\nfloat3x2 g_Grid;\n"),
              std::string::npos)
        << hlsl;
    ASSERT_NE(Find(result.description, "g_Count"), nullptr);
    EXPECT_EQ(Find(result.description, "g_Count")->type, ParameterType::Int);
    EXPECT_EQ(Find(result.description, "g_Flags")->type, ParameterType::Bool);
    EXPECT_EQ(Find(result.description, "g_Flags")->columns, 2);
    EXPECT_EQ(Find(result.description, "g_Other")->type, ParameterType::Int);
    EXPECT_EQ(Find(result.description, "g_Grid")->rows, 3);
    EXPECT_EQ(Find(result.description, "s_Local"), nullptr);
}

TEST(EffectParser, StaticConstIntsSizeArraysAndOtherNamesDoNot) {
    const std::string source =
        "static const int MAX_MATRICES = 26;\n"
        "float4x3 mWorldMatrixArray[MAX_MATRICES] : WORLDMATRIXARRAY;\n"
        "static const int kHalf = MAX_MATRICES / 2 + 1, kRest = MAX_MATRICES % 4;\n"
        "float2 vOffsets[(kHalf - 4) * -(-2)];\n"
        "float kTwo[kRest];\n"
        "VertexShader g_Pair[kRest] = { NULL, 0 };\n";
    const EffectDescription effect = ParseOk(source).description;
    ASSERT_NE(Find(effect, "mWorldMatrixArray"), nullptr);
    EXPECT_EQ(Find(effect, "mWorldMatrixArray")->elements, 26);
    EXPECT_EQ(Find(effect, "mWorldMatrixArray")->semantic, "WORLDMATRIXARRAY");
    EXPECT_EQ(Find(effect, "vOffsets")->elements, 20);
    EXPECT_EQ(Find(effect, "kTwo")->elements, 2);
    EXPECT_EQ(Find(effect, "MAX_MATRICES"), nullptr);
    EXPECT_EQ(effect.shaders.at(0).elements, 2);
    // The HLSL keeps the names: the compiler folds the same constants.
    EXPECT_NE(effect.hlsl.find("mWorldMatrixArray[MAX_MATRICES]"), std::string::npos);

    const std::string header =
        "static const int N = 2;\nconst int kUniform = 4;\nstatic const float kF = 3;\n"
        "static const int kFromCall = max(2, 3);\n";
    ExpectErrors({
        {header + "float a[kUniform];", 5, 9, "static const int"},
        {header + "float a[kF];", 5, 9, "static const int"},
        {header + "float a[kFromCall];", 5, 9, "static const int"},
        {header + "float a[M];", 5, 9, "static const int"},
        {header + "float a[N - 2];", 5, 9, "invalid array size"},
        {header + "float a[N / (N - 2)];", 5, 9, "static const int"},
        {header + "float a[N * 65536];", 5, 9, "invalid array size"},
        {header + "float a[(N", 5, 9, "static const int"},
        {"static const int N = (2", 1, 24, "unbalanced brackets"},
    });
}

TEST(EffectParser, ZeroIsANullShaderAsNullIs) {
    const std::string source =
        "float4 PS() : COLOR { return 1; }\n"
        "PixelShader g_Choices[2] = { compile ps_2_0 PS(), 0 };\n"
        "technique T { pass { VertexShader = 0; PixelShader = compile ps_2_0 PS(); }\n"
        "              pass { VertexShader = null; PixelShader = 0; } }\n";
    const EffectDescription effect = ParseOk(source).description;
    const std::vector<EffectPassDesc>& passes = effect.techniques.at(0).passes;
    for (const PassShader* shader : {&passes[0].vertexShader, &passes[1].vertexShader, &passes[1].pixelShader}) {
        EXPECT_EQ(shader->assignment, ShaderAssignment::Compiled);
        EXPECT_EQ(shader->compiled.entry, "");
    }
    ASSERT_EQ(effect.shaders.at(0).shaders.size(), 2u);
    EXPECT_EQ(effect.shaders[0].shaders[1].entry, "");
    ExpectErrors({{"technique T { pass { VertexShader = 1; } }", 1, 37, "expected a shader"}});
}

TEST(EffectParser, Direct3D10TechniquesAndWhatOnlyTheyUseAreBlankedOut) {
    const std::string source =
        "float4 Shared(float4 p) { return p; }\n"
        "float4 VS(float4 p : POSITION) : POSITION { return Shared(p); }\n"
        "float4 Only10(float4 p) { float a[2] = (float[2])p.xy; return Shared(p) * g_Tex.Sample(s_State, a[0]); }\n"
        "float4 VS10(float4 p : POSITION) : SV_Position { return Only10(p); }\n"
        "SamplerState s_State { Filter = MIN_MAG_MIP_LINEAR; };\n"
        "BlendState NoBlend < int a = 1; > { BlendEnable[0] = FALSE; };\n"
        "VertexShader g_VS10 = CompileShader(vs_4_0, VS10());\n"
        "technique10 T10 < string s = \"x\"; > { pass P { SetGeometryShader(0); SetVertexShader(g_VS10);\n"
        "  SetPixelShader(CompileShader(ps_4_0, VS())); } }\n"
        "technique11 T11 { pass { SetVertexShader(CompileShader(vs_5_0, VS10())); } }\n"
        "technique T9 { pass { VertexShader = compile vs_2_0 VS(); } }\n";
    const EffectDescription effect = ParseOk(source).description;
    ASSERT_EQ(effect.techniques.size(), 1u);
    EXPECT_EQ(effect.techniques[0].name, "T9");
    EXPECT_TRUE(effect.shaders.empty());
    EXPECT_TRUE(effect.parameters.empty());
    const std::string& hlsl = effect.hlsl;
    EXPECT_EQ(hlsl.size(), source.size());
    EXPECT_EQ(std::count(hlsl.begin(), hlsl.end(), '\n'), std::count(source.begin(), source.end(), '\n'));
    EXPECT_NE(hlsl.find("float4 Shared(float4 p) { return p; }\n"
                        "float4 VS(float4 p : POSITION) : POSITION { return Shared(p); }\n"),
              std::string::npos);
    for (const char* gone : {"Only10", "VS10", "SamplerState", "BlendState", "technique", "fx_A"})
        EXPECT_EQ(hlsl.find(gone), std::string::npos) << gone;
    // Capitalised, they are Direct3D 9 techniques, which cannot hold Direct3D 10 calls.
    ExpectErrors({{"Technique10 T { pass { SetVertexShader(0); } }", 1, 39, "expected '='"},
                  {"technique10 T { pass { ", 1, 1, "end of file"}});
}

TEST(EffectParser, VectorsCastToArraysBecomeCallsThatKeepTheOperandsColumn) {
    const std::string source =
        "float4 F(float4 w : BLENDWEIGHT, int2 i : BLENDINDICES) : POSITION {\n"
        "  float a[4] = (float[4])w; int b[2] = ( int [2] )i.yx;\n"
        "  bool c[3] = (bool[3])float3(w.x, (float[1])w.y, 0)[0] + -(float[4])(w * 2)[1];\n"
        "  float d[8] = (float[8])m; return w; }\n";
    const std::string expected =
        "float4 F(float4 w : BLENDWEIGHT, int2 i : BLENDINDICES) : POSITION {\n"
        "  float a[4] = fx_Af4(   w); int b[2] = fx_Ai2(    i.yx);\n"
        "  bool c[3] = fx_Ab3(  float3(w.x, fx_Af1(   w.y), 0)[0]) + -fx_Af4(   (w * 2)[1]);\n"
        "  float d[8] = (float[8])m; return w; }\n";
    EXPECT_EQ(ParseOk(source).description.hlsl, expected);
}

// Two globals of one name, one of them a structure, crashed the HLSL compiler (found by the compiler
// fuzzer): every global's name is checked, those a struct declaration declares too.
TEST(EffectParser, GlobalsRedefinedAsOrFromAStructureAreRefusedAtTheSecond) {
    ExpectErrors({
        {"struct P { float b; } y;\nfloat y;", 2, 7, "redefinition of 'y'"},
        {"float y;\nstruct P { float b; } x, y;", 2, 26, "redefinition of 'y'"},
        {"struct P { float b; };\nP y;\nfloat4 y;", 3, 8, "redefinition of 'y'"},
        {"struct {} y; struct Q {} y;", 1, 26, "redefinition of 'y'"},
        {"static const float k = 1;\nstruct P { float b; } k[2];", 2, 23, "redefinition of 'k'"},
        {"struct P { float b; } y; VertexShader y = NULL;", 1, 39, "redefinition of 'y'"},
    });
    // Distinct names, and a structure declared without a global, still parse.
    const ParseResult ok = ParseOk("struct P { float b[2]; } a, b[3];\nstruct Q { P p; };\nQ c; float d;");
    EXPECT_EQ(ok.description.parameters.size(), 1u);

    std::ifstream found(NVESK_FUZZ_FOUND_DIR "/effect-global-redefined-as-a-structure.fx", std::ios::binary);
    ASSERT_TRUE(found);
    const std::string input {std::istreambuf_iterator<char>(found), std::istreambuf_iterator<char>()};
    const ParseResult result = ParseEffect(input);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find("redefinition of 'y'"), std::string::npos) << result.error;
}

// A first clause that compares declares nothing, even where a `>` and a name follow later: the
// loop stays as written (the front-end fuzzer found such a clause read as `p<...> name` and the
// source's lines rewritten twice over).
TEST(EffectParser, ForClausesThatCompareAreNotHoistedAsDeclarations) {
    const std::string source =
        "float F(int i, int j, int n) {\n"
        "  for (i < n; i > j; i--) { }\n"
        "  for (vector<float, 2> v = 0; v.x < 1; v.x++) { }\n"
        "  return i; }\n";
    const std::string hlsl = ParseOk(source).description.hlsl;
    EXPECT_NE(hlsl.find("  for (i < n; i > j; i--) { }"), std::string::npos) << hlsl;
    EXPECT_NE(hlsl.find("{vector<float, 2> v;"), std::string::npos) << "a declaring clause is still hoisted:\n" << hlsl;

    std::ifstream found(NVESK_FUZZ_FOUND_DIR "/effect-for-clause-compare-read-as-a-type.fx", std::ios::binary);
    ASSERT_TRUE(found);
    const std::string input {std::istreambuf_iterator<char>(found), std::istreambuf_iterator<char>()};
    const std::string rewritten = ParseOk(input).description.hlsl;
    EXPECT_EQ(std::count(rewritten.begin(), rewritten.end(), '\n'), std::count(input.begin(), input.end(), '\n'));
}

// A cast written across lines keeps its line breaks in the call that replaces it, so the lines
// after it keep their numbers (the front-end fuzzer found one that lost a line).
TEST(EffectParser, ArrayCastsAcrossLinesKeepTheirLineBreaks) {
    const std::string source =
        "float4 F(float4 w : BLENDWEIGHT) : POSITION {\n"
        "  float a[2] = (float\n[2])w.xy; float b[4] = ( float [\r\n4\n] )w;\n"
        "  return w; }\n";
    const std::string expected =
        "float4 F(float4 w : BLENDWEIGHT) : POSITION {\n"
        "  float a[2] = fx_Af2(\n    w.xy); float b[4] = fx_Af4(  \r\n \n   w);\n"
        "  return w; }\n";
    EXPECT_EQ(ParseOk(source).description.hlsl, expected);

    std::ifstream found(NVESK_FUZZ_FOUND_DIR "/effect-array-cast-across-lines.fx", std::ios::binary);
    ASSERT_TRUE(found);
    const std::string input {std::istreambuf_iterator<char>(found), std::istreambuf_iterator<char>()};
    const std::string hlsl = ParseOk(input).description.hlsl;
    EXPECT_EQ(std::count(hlsl.begin(), hlsl.end(), '\n'), std::count(input.begin(), input.end(), '\n'));
}

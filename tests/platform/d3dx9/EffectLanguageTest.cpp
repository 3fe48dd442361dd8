// The HLSL language as effect files write it, on a real device: the legacy compiler's rules
// (line continuations, byte-order marks, trailing commas, for-loop scoping, writes to globals in
// compatibility mode), arrays of arrays, and every construct the language table of
// docs/platform-linux.md names.
#include "EffectDrawTest.h"
#include "Pixels.h"

#include <d3dx9.h>

#include <string>
#include <vector>

namespace {

using D3DX9Tests::Channel;
using D3DX9Tests::Rgb;

using EffectLanguageTest = D3DX9Tests::EffectDrawTest;

// A pass of PixelVS and `pixelShader` (an entry of the body), compiled for `profile`.
[[maybe_unused]] std::string Technique(const std::string& pixelShader, const char* profile = "ps_2_0") {
    return "technique T { pass { VertexShader = compile vs_2_0 PixelVS(); PixelShader = compile " +
           std::string(profile) + " " + pixelShader + "(); } }\n";
}

TEST_F(EffectLanguageTest, TrailingCommasCloseInitialiserListsOfParametersAndLocals) {
    CreateOk(
        "float4 g_Pair[2] = { float4(1, 0, 0, 1), float4(0, 1, 0, 1), };\n"
        "float2 g_Two < float4 UIColor = { 1, 0, 0, 1, }; > = { 0.25, 0.5, };\n"
        "int g_Counts[2] = { 3, 4, };\n"
        "float2x2 g_Turn = { 0, 1, -1, 0, };\n"
        "static const float3 kTaps[2] = { { 1, 0, 0 }, { 0, 0, 1, }, };\n"
        "float4 TrailingPS() : COLOR {\n"
        "    float3 local[2] = { float3(0, 0, 1), float3(1, 1, 1), };\n"
        "    float2 pair = { 1, 0, };\n"
        "    return float4(g_Pair[1].g, g_Two.y, local[0].z * pair.x * kTaps[1].z, 1);\n"
        "}\n"
        "float4 Solid(uniform float4 color) : COLOR { return color; }\n"
        "PixelShader g_Shaders[2] = { compile ps_2_0 Solid(float4(1, 1, 0, 1)), compile ps_2_0 TrailingPS(), };\n"
        "technique T { pass { VertexShader = compile vs_2_0 PixelVS(); PixelShader = (g_Shaders[1]); } }\n");
    float pair[8] = {};
    ASSERT_EQ(effect_->GetFloatArray("g_Pair", pair, 8), D3D_OK);
    EXPECT_EQ(std::vector<float>(pair, pair + 8), (std::vector<float> {1, 0, 0, 1, 0, 1, 0, 1}));
    float two[2] = {};
    ASSERT_EQ(effect_->GetFloatArray("g_Two", two, 2), D3D_OK);
    EXPECT_EQ(two[0], 0.25f);
    EXPECT_EQ(two[1], 0.5f);
    float color[4] = {};
    ASSERT_EQ(
        effect_->GetVector(effect_->GetAnnotationByName("g_Two", "UIColor"), reinterpret_cast<D3DXVECTOR4*>(color)),
        D3D_OK);
    EXPECT_EQ(std::vector<float>(color, color + 4), (std::vector<float> {1, 0, 0, 1}));
    INT counts[2] = {};
    ASSERT_EQ(effect_->GetValue("g_Counts", counts, sizeof(counts)), D3D_OK);
    EXPECT_EQ(counts[1], 4);
    D3DXMATRIX turn;
    ASSERT_EQ(effect_->GetMatrix("g_Turn", &turn), D3D_OK);
    EXPECT_EQ(turn._12, 1.0f);
    EXPECT_EQ(turn._21, -1.0f);
    Clear();
    ASSERT_EQ(DrawPass("T", 0, Quad(0, 0, 64, 48)), D3D_OK);
    const DWORD pixel = PixelAt(30, 20);
    EXPECT_EQ(Channel(pixel, 16), 255);
    EXPECT_NEAR(Channel(pixel, 8), 128, 1);
    EXPECT_EQ(Channel(pixel, 0), 255);
}

// Arrays of arrays: a static table written flat or nested, read with constant indices and with
// indices computed in the shader; a uniform array of arrays as D3DX describes it, one array of
// all the elements in order, set as such and read by the shader at the element it names.
TEST_F(EffectLanguageTest, ArraysOfArraysTakeFlatAndNestedInitialisersAndAreIndexedAsDeclared) {
    CreateOk(
        "static const float kDither[4][4] = {\n"
        "    0, 8, 2, 10,\n"
        "    12, 4, 14, 6,\n"
        "    3, 11, 1, 9,\n"
        "    15, 7, 13, 5 };\n"
        "static const float2 kNested[2][2] = { { float2(0.1, 0.2), float2(0.3, 0.4) },\n"
        "                                      { float2(0.5, 0.6), float2(0.7, 0.8) } };\n"
        "float g_Grid[2][3];\n"
        "int g_Row = 1;\n"
        "float4 DitherPS(float2 uv : TEXCOORD0) : COLOR {\n"
        "    int2 cell = (int2)(uv * 4);\n"
        "    return float4(kDither[cell.y][cell.x] / 16, 0, 0, 1);\n"
        "}\n"
        "float4 ConstantPS() : COLOR {\n"
        "    float local[2][2] = { 0.25, 0.5, 0.75, 1.0 };\n"
        "    return float4(kDither[2][1] / 16, kNested[1][0].y, local[1][0], 1);\n"
        "}\n"
        "float4 GridPS() : COLOR { return float4(g_Grid[g_Row][2], g_Grid[0][1], g_Grid[1][0], 1); }\n"
        "technique T {\n"
        "  pass { VertexShader = compile vs_3_0 PixelVS(); PixelShader = compile ps_3_0 DitherPS(); }\n"
        "  pass { VertexShader = compile vs_2_0 PixelVS(); PixelShader = compile ps_2_0 ConstantPS(); }\n"
        "  pass { VertexShader = compile vs_3_0 PixelVS(); PixelShader = compile ps_3_0 GridPS(); }\n"
        "}\n");
    D3DXPARAMETER_DESC desc = {};
    ASSERT_EQ(effect_->GetParameterDesc(effect_->GetParameterByName(nullptr, "g_Grid"), &desc), D3D_OK);
    EXPECT_EQ(desc.Elements, 6u);
    EXPECT_EQ(desc.Class, D3DXPC_SCALAR);
    EXPECT_EQ(desc.Bytes, 24u);
    const float grid[6] = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f};
    ASSERT_EQ(effect_->SetFloatArray("g_Grid", grid, 6), D3D_OK);
    float read[6] = {};
    ASSERT_EQ(effect_->GetFloatArray("g_Grid", read, 6), D3D_OK);
    EXPECT_EQ(std::vector<float>(read, read + 6), std::vector<float>(grid, grid + 6));

    Clear();
    ASSERT_EQ(DrawPass("T", 0, Quad(0, 0, 64, 48)), D3D_OK);
    const float dither[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            EXPECT_NEAR(Channel(PixelAt(8 + 16 * x, 6 + 12 * y), 16), dither[y][x] / 16 * 255, 1.5) << x << "," << y;
        }
    }
    ASSERT_EQ(DrawPass("T", 1, Quad(0, 0, 64, 48)), D3D_OK);
    DWORD pixel = PixelAt(30, 20);
    EXPECT_NEAR(Channel(pixel, 16), 11.0 / 16 * 255, 1.5);
    EXPECT_NEAR(Channel(pixel, 8), 0.6 * 255, 1.5);
    EXPECT_NEAR(Channel(pixel, 0), 0.75 * 255, 1.5);
    ASSERT_EQ(DrawPass("T", 2, Quad(0, 0, 64, 48)), D3D_OK);
    pixel = PixelAt(30, 20);
    EXPECT_NEAR(Channel(pixel, 16), 0.6 * 255, 1.5);  // [1][2]: the sixth element
    EXPECT_NEAR(Channel(pixel, 8), 0.2 * 255, 1.5);   // [0][1]: the second
    EXPECT_NEAR(Channel(pixel, 0), 0.4 * 255, 1.5);   // [1][0]: the fourth
    ASSERT_EQ(effect_->SetInt("g_Row", 0), D3D_OK);
    ASSERT_EQ(DrawPass("T", 2, Quad(0, 0, 64, 48)), D3D_OK);
    EXPECT_NEAR(Channel(PixelAt(30, 20), 16), 0.3 * 255, 1.5);  // [0][2]
}

// Each element of a uniform array (of arrays) has a handle of its own, as D3DX gives it: described
// as a parameter of the array's name and type that is no array, set and read on its own, and read
// by the shader at the element it is.
TEST_F(EffectLanguageTest, ElementsOfArraysOfArraysHaveHandlesThatSetThePartTheShaderReads) {
    CreateOk(
        "float4 g_Colors[2][2] : TINTS;\n"
        "float g_Scale = 1;\n"
        "float4 ColorsPS() : COLOR { return g_Colors[1][1] * g_Scale + g_Colors[0][1]; }\n" +
        Technique("ColorsPS"));
    const D3DXHANDLE colors = effect_->GetParameterByName(nullptr, "g_Colors");
    ASSERT_NE(colors, nullptr);
    const D3DXHANDLE last = effect_->GetParameterElement(colors, 3);
    ASSERT_NE(last, nullptr);
    EXPECT_NE(last, colors);
    EXPECT_EQ(effect_->GetParameter(colors, 3), last);
    EXPECT_EQ(effect_->GetParameterByName(nullptr, "g_Colors[3]"), last);
    EXPECT_EQ(effect_->GetParameterElement(colors, 4), nullptr);
    EXPECT_EQ(effect_->GetParameterByName(nullptr, "g_Colors[4]"), nullptr);
    EXPECT_EQ(effect_->GetParameterElement(effect_->GetParameterByName(nullptr, "g_Scale"), 0), nullptr);
    EXPECT_EQ(effect_->GetParameterElement(last, 0), nullptr);
    // With no parameter, the top level's parameters are the elements.
    EXPECT_EQ(effect_->GetParameterElement(nullptr, 1), effect_->GetParameterByName(nullptr, "g_Scale"));

    D3DXPARAMETER_DESC desc = {};
    ASSERT_EQ(effect_->GetParameterDesc(last, &desc), D3D_OK);
    EXPECT_STREQ(desc.Name, "g_Colors");
    EXPECT_STREQ(desc.Semantic, "TINTS");
    EXPECT_EQ(desc.Class, D3DXPC_VECTOR);
    EXPECT_EQ(desc.Columns, 4u);
    EXPECT_EQ(desc.Elements, 0u);
    EXPECT_EQ(desc.Bytes, 16u);
    EXPECT_EQ(desc.Annotations, 0u);
    ASSERT_EQ(effect_->GetParameterDesc(colors, &desc), D3D_OK);
    EXPECT_EQ(desc.Elements, 4u);
    EXPECT_EQ(desc.Bytes, 64u);

    const D3DXVECTOR4 red(1, 0, 0, 1);
    const D3DXVECTOR4 green(0, 0.5f, 0, 0);
    ASSERT_EQ(effect_->SetVector(last, &red), D3D_OK);
    ASSERT_EQ(effect_->SetFloatArray(effect_->GetParameterElement(colors, 1), &green.x, 4), D3D_OK);
    EXPECT_EQ(effect_->SetFloatArray(last, &red.x, 5), D3DERR_INVALIDCALL);  // one element holds 4
    float all[16] = {};
    ASSERT_EQ(effect_->GetFloatArray(colors, all, 16), D3D_OK);
    EXPECT_EQ(std::vector<float>(all + 4, all + 8), (std::vector<float> {0, 0.5f, 0, 0}));
    EXPECT_EQ(std::vector<float>(all + 12, all + 16), (std::vector<float> {1, 0, 0, 1}));
    D3DXVECTOR4 read;
    ASSERT_EQ(effect_->GetVector("g_Colors[1]", &read), D3D_OK);
    EXPECT_EQ(read.y, 0.5f);

    Clear();
    ASSERT_EQ(DrawPass("T", 0, Quad(0, 0, 64, 48)), D3D_OK);
    const DWORD pixel = PixelAt(30, 20);
    EXPECT_EQ(Channel(pixel, 16), 255);
    EXPECT_NEAR(Channel(pixel, 8), 128, 1);
    EXPECT_EQ(Channel(pixel, 0), 0);
}

// The legacy compiler's for scoping: a variable the first clause declares stays visible to the
// end of the block around the loop, a later loop's declaration of the same name is the one used
// from then on, and outside that block the name is unknown, at its own line and column.
TEST_F(EffectLanguageTest, ForLoopVariablesStayVisibleToTheEndOfTheirBlock) {
    CreateOk(
        "float4 LoopPS() : COLOR {\n"
        "    float sum = 0;\n"
        "    for (int i = 0; i < 3; ++i)\n"
        "        sum += 0.125;\n"
        "    float count = i;\n"
        "    [unroll] for (int i = 0; i < 2; i++) { sum += 0.125; }\n"
        "    for (int k = 0, m = 4; k < m; ++k) { }\n"
        "    if (sum > 0) {\n"
        "        for (const int j = 0; j < 1; ++j) { }\n"
        "        count += j;\n"
        "    }\n"
        "    return float4(sum, count / 4, (i + k) / 8.0, 1);\n"
        "}\n" +
        Technique("LoopPS"));
    Clear();
    ASSERT_EQ(DrawPass("T", 0, Quad(0, 0, 64, 48)), D3D_OK);
    const DWORD pixel = PixelAt(30, 20);
    EXPECT_NEAR(Channel(pixel, 16), 0.625 * 255, 1);  // five steps of the two loops
    EXPECT_EQ(Channel(pixel, 8), 255);                // i was 3 after the first loop, j 1
    EXPECT_NEAR(Channel(pixel, 0), 0.75 * 255, 1);    // the second i ended at 2, k at 4
    effect_->Release();
    effect_ = nullptr;

    // Outside the block around the loop the name is unknown; lines after a loop keep their columns.
    const std::string outside =
        "float4 OutsidePS() : COLOR {\n"
        "    float sum = 0;\n"
        "    if (sum == 0) {\n"
        "        for (int i = 0; i < 3; ++i)\n"
        "            sum += 1;\n"
        "    }\n"
        "    return sum + i;\n"
        "}\n" +
        Technique("OutsidePS");
    std::string errors;
    EXPECT_EQ(Create(outside, &errors), E_FAIL);
    const int line = 3 + 7;  // the fixture's vertex shader takes three lines
    EXPECT_NE(errors.find("memory(" + std::to_string(line) + ",18): error: 'i' : unknown variable"), std::string::npos)
        << errors;
}

// A shader that writes a uniform global: refused by default with the reference compiler's words at
// the name written; parameters and locals of the same name are the function's own and may be
// written.
TEST_F(EffectLanguageTest, WritingAUniformGlobalIsRefusedOutsideCompatibilityMode) {
    CreateOk(
        "float g_Gain = 2;\n"
        "float Twice(float g_Gain) { g_Gain *= 2; return g_Gain; }\n"
        "float4 g_Tint;\n"
        "float4 g_Other;\n"
        "float4 OwnPS() : COLOR {\n"
        "    vector<float, 4> g_Tint = 0, g_Other = 1; g_Tint.r = Twice(0.25); g_Other = 0;\n"
        "    return g_Tint * g_Gain + g_Other;\n"
        "}\n" +
        Technique("OwnPS"));
    effect_->Release();
    effect_ = nullptr;
    const struct {
        const char* body;
        const char* position;
    } cases[] = {
        {"float4 g_Tint;\nfloat4 WritePS() : COLOR {\n    g_Tint.rg = 1;\n    return g_Tint;\n}\n", "(6,5)"},
        {"float g_Gain;\nfloat4 WritePS() : COLOR { return ++g_Gain; }\n", "(5,37)"},
        {"float4x4 g_M;\nfloat4 WritePS() : COLOR { g_M[1][2] += 1; return g_M[1]; }\n", "(5,28)"},
        {"int g_N;\nfloat4 WritePS() : COLOR { for (int i = 0; i < 2; ++i) g_N--; return g_N; }\n", "(5,56)"},
        {"float4 g_C;\nvoid Set(out float4 v) { v = 1; }\nfloat4 WritePS() : COLOR { Set(g_C); return g_C; }\n",
         "(6,32)"},
    };
    for (const auto& entry : cases) {
        std::string errors;
        EXPECT_EQ(Create(std::string(entry.body) + Technique("WritePS"), &errors), E_FAIL) << entry.body;
        EXPECT_EQ(errors, std::string("memory") + entry.position +
                              ": error: global variables are implicitly constant, enable compatibility mode to "
                              "allow modification\n")
            << entry.body;
        ASSERT_EQ(effect_, nullptr);
    }
}

// In compatibility mode each invocation writes its own copy, initialised from the uniform at the
// draw: the shader's writes reach its result, the parameter keeps its value, and the next draw
// starts again from the parameter's current value.
TEST_F(EffectLanguageTest, InCompatibilityModeEachInvocationWritesItsOwnCopyOfAUniform) {
    CreateOk(
        "float4 g_Tint = { 0.5, 0.25, 0, 1 };\n"
        "float g_Gain = 2;\n"
        "int g_Steps[2] = { 1, 3 };\n"
        "void CopyVS(float3 p : POSITION, out float4 oPos : POSITION, out float4 oC : COLOR0) {\n"
        "    g_Gain = g_Gain * 0.25;\n"
        "    oPos = ToClip(p); oC = g_Gain;\n"
        "}\n"
        "float4 ScaledPS(float4 c : COLOR0) : COLOR {\n"
        "    g_Tint.rg *= g_Gain;\n"
        "    g_Steps[1]++;\n"
        "    g_Gain = 0;\n"
        "    return float4(g_Tint.rg + g_Gain, g_Steps[1] / 8.0, 1) * c.a * 2;\n"
        "}\n"
        "technique T { pass { VertexShader = compile vs_2_0 CopyVS(); PixelShader = compile ps_2_0 ScaledPS(); } }\n",
        D3DXSHADER_ENABLE_BACKWARDS_COMPATIBILITY);
    Clear();
    ASSERT_EQ(DrawPass("T", 0, Quad(0, 0, 64, 48)), D3D_OK);
    for (const DWORD pixel : {PixelAt(10, 10), PixelAt(50, 40)}) {
        EXPECT_EQ(Channel(pixel, 16), 255);            // 0.5 * 2
        EXPECT_NEAR(Channel(pixel, 8), 128, 1);        // 0.25 * 2
        EXPECT_NEAR(Channel(pixel, 0), 0.5 * 255, 1);  // (3 + 1) / 8
    }
    D3DXVECTOR4 tint;
    ASSERT_EQ(effect_->GetVector("g_Tint", &tint), D3D_OK);
    EXPECT_EQ(tint, D3DXVECTOR4(0.5f, 0.25f, 0, 1));
    FLOAT gain = 0;
    ASSERT_EQ(effect_->GetFloat("g_Gain", &gain), D3D_OK);
    EXPECT_EQ(gain, 2.0f);
    D3DXPARAMETER_DESC desc = {};
    EXPECT_EQ(effect_->GetParameterDesc("g_Tint", &desc), D3D_OK);

    const D3DXVECTOR4 blue(0.125f, 0, 1, 1);
    ASSERT_EQ(effect_->SetVector("g_Tint", &blue), D3D_OK);
    ASSERT_EQ(effect_->SetFloat("g_Gain", 4), D3D_OK);
    ASSERT_EQ(DrawPass("T", 0, Quad(0, 0, 64, 48)), D3D_OK);
    const DWORD pixel = PixelAt(30, 20);
    EXPECT_EQ(Channel(pixel, 16), 255);  // 0.125 * 4 * 2 (the vertex copy: 1)
    EXPECT_EQ(Channel(pixel, 8), 0);
    EXPECT_EQ(Channel(pixel, 0), 255);
}

}  // namespace

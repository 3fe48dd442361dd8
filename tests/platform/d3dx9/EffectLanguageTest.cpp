// The HLSL language as effect files write it, on a real device: the legacy compiler's rules
// (line continuations, byte-order marks, trailing commas, for-loop scoping, writes to globals in
// compatibility mode), arrays of arrays, and every construct the language table of
// docs/platform-linux.md names.
#include "EffectPassFixture.h"
#include "Pixels.h"

#include <d3dx9.h>

#include <iterator>
#include <string>
#include <vector>

namespace {

using D3DX9Tests::Channel;
using D3DX9Tests::Rgb;

class EffectLanguageTest : public D3DX9Tests::EffectPassFixture {
protected:
    // Draws pass `pass` of technique T over the whole back buffer; the pixel in its middle.
    DWORD DrawWhole(UINT pass = 0) {
        EXPECT_EQ(DrawPass("T", pass, Quad(0, 0, kWidth, kHeight)), D3D_OK);
        return PixelAt(30, 20);
    }
};

// A shader of CHECKs writes the number of the first that failed in red (0: none) and full green.
void ExpectEveryCheckPassed(DWORD pixel, const char* const* names, std::size_t count) {
    const auto failed = static_cast<std::size_t>(Channel(pixel, 16));
    ASSERT_LT(failed, count);
    EXPECT_EQ(failed, 0u) << "first failing check: " << names[failed];
    EXPECT_EQ(Channel(pixel, 8), 255);
}

// The red, green and blue channels of `pixel`, each within `tolerance` of what is given.
void ExpectRgb(DWORD pixel, double red, double green, double blue, double tolerance = 1) {
    EXPECT_NEAR(Channel(pixel, 16), red, tolerance) << std::hex << pixel;
    EXPECT_NEAR(Channel(pixel, 8), green, tolerance) << std::hex << pixel;
    EXPECT_NEAR(Channel(pixel, 0), blue, tolerance) << std::hex << pixel;
}

// A pass of PixelVS and `pixelShader` (an entry of the body), compiled for `profile`.
std::string Technique(const std::string& pixelShader, const char* profile = "ps_2_0") {
    return "technique T { pass { VertexShader = compile vs_2_0 PixelVS(); PixelShader = compile " +
           std::string(profile) + " " + pixelShader + "(); } }\n";
}

TEST_F(EffectLanguageTest, TrailingCommasCloseInitialiserListsOfParametersAndLocals) {
    ASSERT_NO_FATAL_FAILURE(CreateOk(
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
        "technique T { pass { VertexShader = compile vs_2_0 PixelVS(); PixelShader = (g_Shaders[1]); } }\n"));
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
    const DWORD pixel = DrawWhole();
    ExpectRgb(pixel, 255, 128, 255, 1.5);
}

// An effect that opens with a byte-order mark and continues lines, in a #define too: the macro's
// body is the next line, the shader draws with it, and a message about a later line names that
// line and its column.
TEST_F(EffectLanguageTest, AByteOrderMarkAndLineContinuationsAreReadAsTheLegacyCompilerReadsThem) {
    const std::string body =
        "#define GREEN\\\n"
        "0.5\n"
        "#define TINT(r)\\\n"
        "  float4(r,\\\n"
        "         GREEN, 1, 1)\n"
        "float4 TintPS() : COLOR { return TINT(1); }\n";
    const std::string mark = "\xEF\xBB\xBF";
    ASSERT_NO_FATAL_FAILURE(CreateOk(body + Technique("TintPS"), 0, mark));
    Clear();
    ExpectRgb(DrawWhole(), 255, 128, 255);
    effect_->Release();
    effect_ = nullptr;

    std::string errors;
    EXPECT_EQ(Create(body + "float4 LaterPS() : COLOR { return missing; }\n" + Technique("LaterPS"), &errors, 0, mark),
              E_FAIL);
    // The fixture's vertex shader takes three lines, the body six.
    EXPECT_EQ(errors.rfind("memory(10,35): error: 'missing'", 0), 0u) << errors;
}

// Arrays of arrays: a static table written flat or nested, read with constant indices and with
// indices computed in the shader; a uniform array of arrays as D3DX describes it, one array of
// all the elements in order, set as such and read by the shader at the element it names.
TEST_F(EffectLanguageTest, ArraysOfArraysTakeFlatAndNestedInitialisersAndAreIndexedAsDeclared) {
    ASSERT_NO_FATAL_FAILURE(
        CreateOk("static const float kDither[4][4] = {\n"
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
                 "}\n"));
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
    DrawWhole();
    const float dither[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            EXPECT_NEAR(Channel(PixelAt(8 + 16 * x, 6 + 12 * y), 16), dither[y][x] / 16 * 255, 1.5) << x << "," << y;
        }
    }
    DWORD pixel = DrawWhole(1);
    ExpectRgb(pixel, 11.0 / 16 * 255, 0.6 * 255, 0.75 * 255, 1.5);
    pixel = DrawWhole(2);
    // [1][2], [0][1] and [1][0]: the sixth, second and fourth elements.
    ExpectRgb(pixel, 0.6 * 255, 0.2 * 255, 0.4 * 255, 1.5);
    ASSERT_EQ(effect_->SetInt("g_Row", 0), D3D_OK);
    EXPECT_NEAR(Channel(DrawWhole(2), 16), 0.3 * 255, 1.5);  // [0][2]
}

// Each element of a uniform array (of arrays) has a handle of its own, as D3DX gives it: described
// as a parameter of the array's name and type that is no array, set and read on its own, and read
// by the shader at the element it is.
TEST_F(EffectLanguageTest, ElementsOfArraysOfArraysHaveHandlesThatSetThePartTheShaderReads) {
    ASSERT_NO_FATAL_FAILURE(
        CreateOk("float4 g_Colors[2][2] : TINTS;\n"
                 "float g_Scale = 1;\n"
                 "float4 ColorsPS() : COLOR { return g_Colors[1][1] * g_Scale + g_Colors[0][1]; }\n" +
                 Technique("ColorsPS")));
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
    const DWORD pixel = DrawWhole();
    ExpectRgb(pixel, 255, 128, 0, 1.5);
}

// The legacy compiler's for scoping: a variable the first clause declares stays visible to the
// end of the block around the loop, a later loop's declaration of the same name is the one used
// from then on, and outside that block the name is unknown, at its own line and column.
TEST_F(EffectLanguageTest, ForLoopVariablesStayVisibleToTheEndOfTheirBlock) {
    ASSERT_NO_FATAL_FAILURE(
        CreateOk("float4 LoopPS() : COLOR {\n"
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
                 Technique("LoopPS")));
    Clear();
    const DWORD pixel = DrawWhole();
    // Five steps of the two loops; i was 3 after the first loop and j 1; the second i ended at 2, k at 4.
    ExpectRgb(pixel, 0.625 * 255, 255, 0.75 * 255, 1.5);
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
    // The loop's own clause keeps its columns too.
    EXPECT_EQ(Create("float4 ClausePS() : COLOR {\n    float sum = 0;\n    for (int i = 0; i < count; ++i) sum += i;\n"
                     "    return sum;\n}\n" +
                         Technique("ClausePS"),
                     &errors),
              E_FAIL);
    EXPECT_EQ(errors.rfind("memory(6,25): error: 'count' : unknown variable", 0), 0u) << errors;
    // A clause whose declaration spans lines moves no line after it.
    EXPECT_EQ(Create("float4 SpanPS() : COLOR {\n    for (float\n         v = 0; v < 1; v += 0.5) { }\n"
                     "    return v + later;\n}\n" +
                         Technique("SpanPS"),
                     &errors),
              E_FAIL);
    EXPECT_EQ(errors.rfind("memory(7,16): error: 'later' : unknown variable", 0), 0u) << errors;
}

// A shader that writes a uniform global: refused by default with the reference compiler's words at
// the name written; parameters and locals of the same name are the function's own and may be
// written.
TEST_F(EffectLanguageTest, WritingAUniformGlobalIsRefusedOutsideCompatibilityMode) {
    ASSERT_NO_FATAL_FAILURE(
        CreateOk("float g_Gain = 2;\n"
                 "float Twice(float g_Gain) { g_Gain *= 2; return g_Gain; }\n"
                 "float4 g_Tint;\n"
                 "float4 g_Other;\n"
                 "float4 OwnPS() : COLOR {\n"
                 "    vector<float, 4> g_Tint = 0, g_Other = 1; g_Tint.r = Twice(0.25); g_Other = 0;\n"
                 "    return g_Tint * g_Gain + g_Other;\n"
                 "}\n" +
                 Technique("OwnPS")));
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
        {"float g_S;\nfloat4 WritePS() : COLOR { float c; sincos(1, g_S, c); return g_S; }\n", "(5,47)"},
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
    ASSERT_NO_FATAL_FAILURE(CreateOk(
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
        D3DXSHADER_ENABLE_BACKWARDS_COMPATIBILITY));
    Clear();
    DrawWhole();
    // 0.5 * 2, 0.25 * 2, (3 + 1) / 8, alike at every pixel.
    for (const DWORD pixel : {PixelAt(10, 10), PixelAt(50, 40)})
        ExpectRgb(pixel, 255, 128, 0.5 * 255);
    D3DXVECTOR4 tint;
    ASSERT_EQ(effect_->GetVector("g_Tint", &tint), D3D_OK);
    EXPECT_EQ(tint, D3DXVECTOR4(0.5f, 0.25f, 0, 1));
    FLOAT gain = 0;
    ASSERT_EQ(effect_->GetFloat("g_Gain", &gain), D3D_OK);
    EXPECT_EQ(gain, 2.0f);
    D3DXPARAMETER_DESC desc = {};
    ASSERT_EQ(effect_->GetParameterDesc("g_Tint", &desc), D3D_OK);
    EXPECT_STREQ(desc.Name, "g_Tint");  // the renamed uniform is still the parameter

    const D3DXVECTOR4 blue(0.125f, 0, 1, 1);
    ASSERT_EQ(effect_->SetVector("g_Tint", &blue), D3D_OK);
    ASSERT_EQ(effect_->SetFloat("g_Gain", 4), D3D_OK);
    const DWORD pixel = DrawWhole();
    // 0.125 * 4 * 2 (the vertex shader's copy: 1)
    ExpectRgb(pixel, 255, 0, 255, 1.5);
}

// Every intrinsic of shader models 1 to 3 (but noise, for texture shaders only) computes what the
// HLSL reference says at values read from a parameter, on the device: each check's number is the
// pixel's red channel when it is the first to fail, 0 when none does.
TEST_F(EffectLanguageTest, EveryIntrinsicOfShaderModels1To3ComputesItsDocumentedValue) {
    static const char* const kChecks[] = {"none",
                                          "abs",
                                          "acos",
                                          "all",
                                          "any",
                                          "asin",
                                          "atan",
                                          "atan2",
                                          "ceil",
                                          "clamp",
                                          "cos",
                                          "cosh",
                                          "cross",
                                          "D3DCOLORtoUBYTE4",
                                          "ddx",
                                          "ddy",
                                          "degrees",
                                          "determinant",
                                          "distance",
                                          "dot",
                                          "exp",
                                          "exp2",
                                          "faceforward",
                                          "floor",
                                          "fmod",
                                          "frac",
                                          "frexp",
                                          "fwidth",
                                          "isfinite isinf isnan",
                                          "ldexp",
                                          "length",
                                          "lerp",
                                          "lit",
                                          "log log10 log2",
                                          "max min",
                                          "modf",
                                          "mul",
                                          "normalize",
                                          "pow",
                                          "radians",
                                          "reflect",
                                          "refract",
                                          "round",
                                          "rsqrt",
                                          "saturate",
                                          "sign",
                                          "sin",
                                          "sincos",
                                          "sinh",
                                          "smoothstep",
                                          "sqrt",
                                          "step",
                                          "tan",
                                          "tanh",
                                          "transpose",
                                          "trunc",
                                          "tex2D",
                                          "tex2D with derivatives",
                                          "tex2Dbias",
                                          "tex2Dgrad",
                                          "tex2Dlod",
                                          "tex2Dproj",
                                          "tex1D",
                                          "tex1Dbias tex1Dgrad tex1Dlod tex1Dproj",
                                          "the vertex shader's tex2Dlod, sincos and mul"};
    ASSERT_NO_FATAL_FAILURE(CreateOk(
        "float4 g_In = { 0.5, -0.25, 2, 0.75 };\n"
        "texture g_Texture;\n"
        "sampler2D g_Solid = sampler_state { Texture = <g_Texture>; MipFilter = None; };\n"
        "static const float4 kSolid = float4(255, 128, 64, 255) / 255;\n"
        "void IntrinsicsVS(float3 p : POSITION, float2 uv : TEXCOORD0, out float4 oPos : POSITION,\n"
        "                  out float2 oUv : TEXCOORD0, out float4 oResult : TEXCOORD1) {\n"
        "    float s, c;\n"
        "    sincos(g_In.x * 0, s, c);\n"
        "    oResult = float4(mul(float3x3(1, 0, 0, 0, 1, 0, 0, 0, 1), tex2Dlod(g_Solid, float4(0.5, 0.5, 0, "
        "0)).rgb),\n"
        "                     c + s);\n"
        "    oPos = ToClip(p);\n"
        "    oUv = uv;\n"
        "}\n"
        "#define CHECK(n, a, b) if (failed == 0 && any(abs((a) - (b)) > 0.002)) failed = n\n"
        "float4 IntrinsicsPS(float2 uv : TEXCOORD0, float4 vertexResult : TEXCOORD1) : COLOR {\n"
        "    const float x = g_In.x, y = g_In.y, z = g_In.z, w = g_In.w;\n"
        "    float failed = 0;\n"
        "    float e, i, j, s, c;\n"
        "    sincos(x, s, c);\n"
        "    CHECK(1, abs(y), 0.25);\n"
        "    CHECK(2, acos(x), 1.0471976);\n"
        "    CHECK(3, (float)all(float2(x, z)), 1);\n"
        "    CHECK(4, (float)any(float2(0, x)), 1);\n"
        "    CHECK(5, asin(x), 0.5235988);\n"
        "    CHECK(6, atan(x), 0.4636476);\n"
        "    CHECK(7, atan2(x, z), 0.2449787);\n"
        "    CHECK(8, float2(ceil(y), ceil(w)), float2(0, 1));\n"
        "    CHECK(9, clamp(z, 0, 1), 1);\n"
        "    CHECK(10, cos(x), 0.8775826);\n"
        "    CHECK(11, cosh(x), 1.1276260);\n"
        "    CHECK(12, cross(float3(1, 0, 0), float3(0, x * 2, 0)), float3(0, 0, 1));\n"
        "    CHECK(13, (float4)D3DCOLORtoUBYTE4(float4(x, w, 0.25, 1)), float4(63, 191, 127, 255));\n"
        "    CHECK(14, ddx(uv.x), 1.0 / 64);\n"
        "    CHECK(15, ddy(uv.y), 1.0 / 48);\n"
        "    CHECK(16, degrees(x), 28.647890);\n"
        "    CHECK(17, float2(determinant(float2x2(z, 1, 1, 3)), determinant(float3x3(z, 0, 0, 0, 3, 0, 0, 0, 4))), "
        "float2(5, 24));\n"
        "    CHECK(18, distance(float2(0, 0), float2(3, 4) * x * 2), 5);\n"
        "    CHECK(19, dot(float3(1, 2, 3), float3(4, 5, 6) * x * 2), 32);\n"
        "    CHECK(20, exp(x), 1.6487213);\n"
        "    CHECK(21, exp2(z), 4);\n"
        "    CHECK(22, faceforward(float3(0, 0, 1), float3(0, 0, x), float3(0, 0, 1)), float3(0, 0, -1));\n"
        "    CHECK(23, floor(y), -1);\n"
        "    CHECK(24, float2(fmod(-2.5 * x * 2, 2), fmod(2.5 * x * 2, -2)), float2(-0.5, 0.5));\n"
        "    CHECK(25, frac(y), 0.75);\n"
        "    CHECK(26, float2(frexp(z * 3, e), e), float2(0.75, 3));\n"
        "    CHECK(27, fwidth(uv.x), 1.0 / 64);\n"
        "    CHECK(28, float3(isfinite(x), isinf(x), isnan(x)), float3(1, 0, 0));\n"
        "    CHECK(28, float3(isinf(x / (x - 0.5)), isnan((x - 0.5) / (x - 0.5)), isfinite(x / (x - 0.5))), float3(1, "
        "1, 0));\n"
        "    CHECK(29, ldexp(w, 3), 6);\n"
        "    CHECK(30, length(float2(3, 4) * x * 2), 5);\n"
        "    CHECK(31, lerp(0, 4, w), 3);\n"
        "    CHECK(32, float4(lit(x, x, z)) + float4(lit(y, x, z)), float4(2, 0.5, 0.25, 2));\n"
        "    CHECK(33, float3(log(z), log10(100 * x * 2), log2(8 * x * 2)), float3(0.6931472, 2, 3));\n"
        "    CHECK(34, float2(max(x, z), min(x, y)), float2(2, -0.25));\n"
        "    CHECK(35, float4(modf(z + w, i), i, modf(-z - w, j), j), float4(0.75, 2, -0.75, -2));\n"
        "    CHECK(36, float4(mul(float2x2(1, 2, 3, 4), float2(1, 1) * x * 2), mul(float2(1, 1) * x * 2, float2x2(1, "
        "2, 3, 4))), float4(3, 7, 4, 6));\n"
        "    CHECK(37, normalize(float2(3, 4) * x), float2(0.6, 0.8));\n"
        "    CHECK(38, pow(z, 3), 8);\n"
        "    CHECK(39, radians(180 * x * 2), 3.1415927);\n"
        "    CHECK(40, reflect(float2(1, -1) * x * 2, float2(0, 1)), float2(1, 1));\n"
        "    CHECK(41, refract(float3(0, -1, 0) * x * 2, float3(0, 1, 0), 0.5), float3(0, -1, 0));\n"
        "    CHECK(42, float2(round(1.3 * x * 2), round(-1.7 * x * 2)), float2(1, -2));\n"
        "    CHECK(43, rsqrt(z * 2), 0.5);\n"
        "    CHECK(44, float2(saturate(z), saturate(y)), float2(1, 0));\n"
        "    CHECK(45, float2(sign(y), sign(x - 0.5)), float2(-1, 0));\n"
        "    CHECK(46, sin(x), 0.4794255);\n"
        "    CHECK(47, float2(s, c), float2(0.4794255, 0.8775826));\n"
        "    CHECK(48, sinh(x), 0.5210953);\n"
        "    CHECK(49, smoothstep(0, 1, w), 0.84375);\n"
        "    CHECK(50, sqrt(z), 1.4142136);\n"
        "    CHECK(51, float2(step(x, w), step(w, x)), float2(1, 0));\n"
        "    CHECK(52, tan(x), 0.5463025);\n"
        "    CHECK(53, tanh(x), 0.4621172);\n"
        "    CHECK(54, transpose(float2x2(1, 2, 3, 4) * x * 2)[0], float2(1, 3));\n"
        "    CHECK(55, trunc(-1.7 * x * 2), -1);\n"
        "    CHECK(56, tex2D(g_Solid, uv), kSolid);\n"
        "    CHECK(57, tex2D(g_Solid, uv, ddx(uv), ddy(uv)), kSolid);\n"
        "    CHECK(58, tex2Dbias(g_Solid, float4(uv, 0, 1)), kSolid);\n"
        "    CHECK(59, tex2Dgrad(g_Solid, uv, ddx(uv), ddy(uv)), kSolid);\n"
        "    CHECK(60, tex2Dlod(g_Solid, float4(uv, 0, 0)), kSolid);\n"
        "    CHECK(61, tex2Dproj(g_Solid, float4(uv, 0, 2)), kSolid);\n"
        "    CHECK(62, tex1D(g_Solid, uv.x) + tex1D(g_Solid, uv.x, 0, 0), kSolid * 2);\n"
        "    CHECK(63, tex1Dbias(g_Solid, float4(uv, 0, 0)) + tex1Dgrad(g_Solid, uv.x, 0, 0) + tex1Dlod(g_Solid, "
        "float4(uv, 0, 0)) + tex1Dproj(g_Solid, float4(uv, 0, 1)), kSolid * 4);\n"
        "    CHECK(64, vertexResult, float4(kSolid.rgb, 1));\n"
        "    clip(x);\n"
        "    return float4(failed / 255, 1, 0, 1);\n"
        "}\n"
        "float4 ClipPS() : COLOR { clip(float2(g_In.x, g_In.y)); return 1; }\n"
        "technique T {\n"
        "  pass { VertexShader = compile vs_3_0 IntrinsicsVS(); PixelShader = compile ps_3_0 IntrinsicsPS(); }\n"
        "  pass { VertexShader = compile vs_2_0 PixelVS(); PixelShader = compile ps_2_0 ClipPS(); }\n"
        "}\n"));
    ASSERT_EQ(effect_->SetTexture("g_Texture", SolidTexture(0xFFFF8040)), D3D_OK);
    Clear();
    const DWORD pixel = DrawWhole();
    ExpectEveryCheckPassed(pixel, kChecks, std::size(kChecks));
    // clip() with a negative component discards the pixel: the clear colour stays.
    EXPECT_EQ(DrawWhole(1), pixel);
}

// The language of shader models 1 to 3 as the HLSL reference describes it, each construct
// computing its documented value on the device: types, structures, typedef, packing, storage
// classes, functions with out and inout parameters, flow control and its attributes, casts,
// swizzles, operators and literals. Each check's number is the pixel's red channel when it is the
// first to fail.
TEST_F(EffectLanguageTest, TheShaderModel3LanguageComputesWhatTheReferenceDescribes) {
    static const char* const kChecks[] = {"none",
                                          "scalar types",
                                          "dword and uint",
                                          "vector and matrix templates",
                                          "typedef",
                                          "structures",
                                          "row_major and column_major parameters",
                                          "mul with each packing",
                                          "out, inout and default parameters",
                                          "overloads",
                                          "static locals and constants",
                                          "flow control with attributes",
                                          "switch",
                                          "casts and truncation",
                                          "swizzles and write masks",
                                          "matrix swizzles",
                                          "operators",
                                          "integer modulo and comparisons",
                                          "literals",
                                          "bool arithmetic"};
    ASSERT_NO_FATAL_FAILURE(CreateOk(
        "#pragma pack_matrix(column_major)\n"
        "#pragma warning(disable : 3206)\n"
        "typedef float3 Colour;\n"
        "typedef vector<float, 2> Pair;\n"
        "struct Light { float3 direction; Colour colour; };\n"
        "struct Nested { Light light; float weights[2]; };\n"
        "static const Light kLight = { float3(0, 0, 1), float3(0.5, 0.25, 1) };\n"
        "static const float kHalf = 0.5;\n"
        "uniform float4 g_Four : register(c8) = { 1, 2, 3, 4 };\n"
        "extern float g_Extern;\n"
        "shared float g_Shared;\n"
        "volatile float g_Volatile;\n"
        "row_major float2x2 g_Rows;\n"
        "column_major float2x2 g_Columns;\n"
        "dword g_Word = 7;\n"
        "uint g_Unsigned = 9;\n"
        "bool g_Flag = true;\n"
        "double g_Double = 0.25;\n"
        "Light g_Lights[2];\n"
        "inline float Split(in float a, out float b, inout float c, float d = 3)\n"
        "{ b = a * d; c += 1; return a; }\n"
        "float Scaled(float v, float by = 2) { return v * by; }\n"
        "float Sum(float a) { return a; }\n"
        "float Sum(float2 a) { return a.x + a.y; }\n"
        "float Counted() { static float count = 1; return count; }\n"
        "#define CHECK(n, a, b) if (failed == 0 && any(abs((a) - (b)) > 0.002)) failed = n\n"
        "float4 LanguagePS(float2 uv : TEXCOORD0) : COLOR0 {\n"
        "    float failed = 0;\n"
        "    bool b = true; int i = 2; uint u = 3; half h = 0.5; double d = g_Double;\n"
        "    vector<float, 3> tv = float3(1, 2, 3); matrix<float, 2, 3> tm = { 1, 2, 3, 4, 5, 6 };\n"
        "    vector<int, 2> vi = int2(1, 2);\n"
        "    Colour tint = kLight.colour;\n"
        "    Light light = kLight;\n"
        "    Light lights[2] = { kLight, { float3(0, 1, 0), float3(0, 0.25, 0) } };\n"
        "    Nested nested; nested.light = kLight; nested.weights[0] = 3; nested.weights[1] = 4;\n"
        "    float outValue, inoutValue = 2;\n"
        "    Split(2, outValue, inoutValue);\n"
        "    float loops = 0, whiles = 0, dos = 0, branches = 0;\n"
        "    [unroll] for (int k = 0; k < 3; ++k) loops += k;\n"
        "    [loop] for (int m = 0; m < 10; ++m) { if (m == 3) break; if (m == 1) continue; loops += 1; }\n"
        "    [unroll(4)] for (int n = 0; n < 1; ++n) loops += 1;\n"
        "    [fastopt] while (whiles < 3) whiles += 1;\n"
        "    do { dos += 1; } while (dos < 2);\n"
        "    [branch] if (uv.x >= 0) branches += 1; else branches -= 1;\n"
        "    [flatten] if (uv.x < 0) branches += 5;\n"
        "    float picked = 0;\n"
        "    int selector = (int)(g_Four.y);\n"
        "    [forcecase] switch (selector) { case 1: picked = 10; break; case 2: picked = 20; break; default: picked = "
        "30; }\n"
        "    float4 masked = 0; masked.wz = float2(4, 0); masked.x = 1;\n"
        "    float s = 0.5;\n"
        "    float ternary = uv.x >= 0 ? 1 : 0;\n"
        "    float comma = (ternary, 2);\n"
        "    float compound = 3; compound *= 2; compound += 4; compound -= 1;\n"
        "    CHECK(1, float4(b, i + u, h, d), float4(1, 5, 0.5, 0.25));\n"
        "    CHECK(2, float2(g_Word, g_Unsigned), float2(7, 9));\n"
        "    CHECK(3, float3(tv.z, tm._m12, (float)vi.y), float3(3, 6, 2));\n"
        "    CHECK(4, tint, float3(0.5, 0.25, 1));\n"
        "    CHECK(5, float4(light.direction.z, lights[1].colour.g, nested.light.colour.b, nested.weights[1]), "
        "float4(1, 0.25, 1, 4));\n"
        "    CHECK(6, float4(g_Rows[0].y, g_Rows[1].x, g_Columns[0].y, g_Columns[1].x), float4(2, 3, 2, 3));\n"
        "    CHECK(7, float4(mul(g_Rows, float2(1, 0)), mul(g_Columns, float2(0, 1))), float4(1, 3, 2, 4));\n"
        "    CHECK(8, float3(outValue, inoutValue, Scaled(2)), float3(6, 3, 4));\n"
        "    CHECK(9, float2(Sum(1), Sum(float2(1, 2))), float2(1, 3));\n"
        "    CHECK(10, Counted() + kHalf, 1.5);\n"
        "    CHECK(11, float4(loops, whiles, dos, branches), float4(6, 3, 2, 1));\n"
        "    CHECK(12, picked, 20);\n"
        "    CHECK(13, float4((float3)g_Four, (int)2.7), float4(1, 2, 3, 2));\n"
        "    CHECK(14, float4(masked.wz, s.xx), float4(4, 0, 0.5, 0.5));\n"
        "    CHECK(15, float4(g_Rows._m00_m11, g_Rows._12_21), float4(1, 4, 2, 3));\n"
        "    CHECK(16, float4(ternary, comma, compound, (float)(7 / 2)), float4(1, 2, 9, 3));\n"
        "    CHECK(17, float4(7 % 3, -7 % 3, 2.5 % 2, (2 < 3) && !(2 > 3)), float4(1, -1, 0.5, 1));\n"
        "    CHECK(18, float4(1.5f + 0.5h, 0x10, 1e1, 017), float4(2, 16, 10, 15));\n"
        "    CHECK(19, float2(true + true, (float)(false || g_Flag)), float2(2, 1));\n"
        "    return float4(failed / 255, 1, 0, 1) + 0 * (g_Extern + g_Shared + g_Volatile + g_Lights[0].colour.x);\n"
        "}\n" +
        Technique("LanguagePS", "ps_3_0")));
    const D3DXMATRIX matrix(1, 2, 0, 0, 3, 4, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    ASSERT_EQ(effect_->SetMatrix("g_Rows", &matrix), D3D_OK);
    ASSERT_EQ(effect_->SetMatrix("g_Columns", &matrix), D3D_OK);
    Clear();
    const DWORD pixel = DrawWhole();
    ExpectEveryCheckPassed(pixel, kChecks, std::size(kChecks));
}

// Semantics with their indices on entry parameters, structure members and arrays (an array's
// elements take consecutive indices), outputs a vertex shader may write (FOG, PSIZE), a pixel
// shader's DEPTH, and the `_centroid` modifier of shader model 3 inputs.
TEST_F(EffectLanguageTest, SemanticsWithIndicesOnParametersStructuresAndArraysMeetByRegister) {
    ASSERT_NO_FATAL_FAILURE(CreateOk(
        "struct VertexIn { float3 position : POSITION0; float2 uv : TEXCOORD0; };\n"
        "struct VertexOut {\n"
        "    float4 position : POSITION;\n"
        "    float4 pair[2] : TEXCOORD1;\n"
        "    float4 colour : COLOR1;\n"
        "    float fog : FOG;\n"
        "    float size : PSIZE;\n"
        "};\n"
        "VertexOut StructVS(VertexIn input) {\n"
        "    VertexOut output;\n"
        "    output.position = ToClip(input.position);\n"
        "    output.pair[0] = float4(0.25, 0, 0, 0);\n"
        "    output.pair[1] = float4(0, 0.5, 0, 0);\n"
        "    output.colour = float4(0, 0, 1, 1);\n"
        "    output.fog = 1;\n"
        "    output.size = 1;\n"
        "    return output;\n"
        "}\n"
        "struct PixelOut { float4 colour : COLOR0; float depth : DEPTH; };\n"
        "PixelOut StructPS(float4 first : TEXCOORD1, float4 second : TEXCOORD2_centroid, float4 c : COLOR1) {\n"
        "    PixelOut output;\n"
        "    output.colour = float4(first.x, second.y, c.b, 1);\n"
        "    output.depth = 0.25;\n"
        "    return output;\n"
        "}\n"
        "technique T { pass { VertexShader = compile vs_3_0 StructVS(); PixelShader = compile ps_3_0 StructPS(); } "
        "}\n"));
    Clear();
    const DWORD pixel = DrawWhole();
    ExpectRgb(pixel, 64, 128, 255, 1.5);
    effect_->Release();
    effect_ = nullptr;

    // A semantic Direct3D 9 has no register for is refused, named, where it is written.
    std::string errors;
    EXPECT_EQ(
        Create("float4 FifthPS(float4 c : COLOR4) : COLOR { return c; }\n" + Technique("FifthPS", "ps_3_0"), &errors),
        E_FAIL);
    EXPECT_EQ(errors, "memory(4,27): error: pixel input 'COLOR4' has no Direct3D 9 register\n");
}

// What shader models 1 to 3 do not have is refused with the file, line and column of the construct:
// bit operations (with the profile), noise() (texture shaders only) and recursion.
TEST_F(EffectLanguageTest, WhatShaderModels1To3LackIsRefusedAtItsPlace) {
    const struct {
        const char* body;
        const char* message;
    } cases[] = {
        {"float4 BitsPS(float2 uv : TEXCOORD0) : COLOR {\n    int n = (int)uv.x;\n    return n & 1;\n}\n",
         "memory(6,14): error: Bitwise operations not supported on target ps_2_0"},
        {"float4 BitsPS(float2 uv : TEXCOORD0) : COLOR { int n = 4; return (float)(n >> 1); }\n",
         "memory(4,76): error: Bitwise operations not supported on target ps_2_0"},
        {"float4 BitsPS(float2 uv : TEXCOORD0) : COLOR { return noise(uv); }\n",
         "memory(4,55): error: intrinsic function 'noise' is for texture shaders (tx_1_0) only"},
        {"float Down(float x) { return x > 0 ? Down(x - 1) : 0; }\n"
         "float4 BitsPS(float2 uv : TEXCOORD0) : COLOR { return Down(uv.x); }\n",
         "memory(4,38): error: recursive call of 'Down'"},
    };
    for (const auto& entry : cases) {
        std::string errors;
        EXPECT_EQ(Create(std::string(entry.body) + Technique("BitsPS"), &errors), E_FAIL) << entry.body;
        EXPECT_EQ(errors.rfind(entry.message, 0), 0u) << errors;
        ASSERT_EQ(effect_, nullptr);
    }
    // The file's own noise() is the one called; logical operators are no bit operations.
    ASSERT_NO_FATAL_FAILURE(
        CreateOk("float noise(float2 p) { return frac(p.x * 3); }\n"
                 "float4 OwnPS(float2 uv : TEXCOORD0) : COLOR { return (uv.x > 0 && uv.y > 0) || !(uv.x < 1) ? "
                 "noise(uv) : 0; }\n" +
                 Technique("OwnPS")));
}

// Parameters may take the names of intrinsics: they keep them, and the shader reads what is set.
TEST_F(EffectLanguageTest, ParametersNamedLikeIntrinsicsKeepTheirNames) {
    ASSERT_NO_FATAL_FAILURE(
        CreateOk("float lit = 0.25;\n"
                 "float noise = 0.5;\n"
                 "float4 NamesPS() : COLOR { return float4(lit, noise, fmod(-2.5 * noise * 2, 2) + 1, 1); }\n" +
                 Technique("NamesPS")));
    ASSERT_EQ(effect_->SetFloat("lit", 1), D3D_OK);
    Clear();
    ExpectRgb(DrawWhole(), 255, 128, 128);  // fmod(-2.5, 2) is -0.5
}

// Textures and samplers of every dimension declare and compile, and every tex3D and texCUBE form
// reads what Direct3D 9 reads from a stage with no texture (the device offers no volume or cube
// textures): black. A #line directive renames the lines after it in messages.
TEST_F(EffectLanguageTest, SamplersOfEveryDimensionCompileAndReadBlackWithoutATexture) {
    ASSERT_NO_FATAL_FAILURE(CreateOk(
        "texture g_Any; texture1D g_Line; texture2D g_Plane; texture3D g_Volume; textureCUBE g_Cube;\n"
        "sampler g_Plain = sampler_state { Texture = <g_Any>; };\n"
        "sampler1D g_Sampler1D = sampler_state { Texture = <g_Line>; };\n"
        "sampler2D g_Sampler2D = sampler_state { Texture = <g_Plane>; };\n"
        "sampler3D g_Sampler3D = sampler_state { Texture = <g_Volume>; };\n"
        "samplerCUBE g_SamplerCube = sampler_state { Texture = <g_Cube>; };\n"
        "float4 VolumePS(float2 uv : TEXCOORD0) : COLOR {\n"
        "    float3 p = float3(uv, 0.5);\n"
        "    float4 volume = tex3D(g_Sampler3D, p) + tex3D(g_Sampler3D, p, ddx(p), ddy(p)) +\n"
        "                    tex3Dbias(g_Sampler3D, float4(p, 0)) + tex3Dgrad(g_Sampler3D, p, ddx(p), ddy(p)) +\n"
        "                    tex3Dlod(g_Sampler3D, float4(p, 0)) + tex3Dproj(g_Sampler3D, float4(p, 1));\n"
        "    float4 cube = texCUBE(g_SamplerCube, p) + texCUBE(g_SamplerCube, p, ddx(p), ddy(p)) +\n"
        "                  texCUBEbias(g_SamplerCube, float4(p, 0)) + texCUBEgrad(g_SamplerCube, p, ddx(p), ddy(p)) +\n"
        "                  texCUBElod(g_SamplerCube, float4(p, 0)) + texCUBEproj(g_SamplerCube, float4(p, 1));\n"
        "    return float4((volume + cube).rgb, 1) + 0 * (tex2D(g_Plain, uv) + tex1D(g_Sampler1D, uv.x) +\n"
        "                                               tex2D(g_Sampler2D, uv));\n"
        "}\n" +
        Technique("VolumePS", "ps_3_0")));
    Clear();
    EXPECT_EQ(Rgb(DrawWhole()), 0u);
    effect_->Release();
    effect_ = nullptr;

    std::string errors;
    EXPECT_EQ(Create("#line 100 \"lit.fxh\"\nfloat4 LinePS() : COLOR { return undefinedName; }\n" + Technique("LinePS"),
                     &errors),
              E_FAIL);
    EXPECT_EQ(errors.rfind("lit.fxh(100,", 0), 0u) << errors;
}

}  // namespace

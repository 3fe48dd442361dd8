// Shader inputs beyond the plain registers, through effects of our own on a real device: the
// pixel stage's VPOS and VFACE (ps_3_0), drawn into the back buffer's own image and straight into
// the window (the device's two targets, whose GL rows run opposite ways), and vertex inputs of
// every declaration usage with usage indices above 0.
#include "../d3d9/BackBufferReadback.h"
#include "EffectDeviceTest.h"
#include "Pixels.h"

#include <d3dx9.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using D3DX9Tests::Channel;
using D3DX9Tests::kClearColor;
using D3DX9Tests::Rgb;

constexpr DWORD kGreen = 0x00FF00;
constexpr DWORD kRed = 0xFF0000;

// Clip-space corners of the whole target, as a triangle strip.
const float kFullScreen[] = {-1, 1, 0.5f, 1, 1, 0.5f, -1, -1, 0.5f, 1, -1, 0.5f};

const char kPassThroughVertexShader[] = "float4 ClipVS(float3 p : POSITION) : POSITION { return float4(p, 1); }\n";

// On a window of the back buffer's size, so that the device can also draw into the window.
class EffectInputsTest : public D3DX9Tests::EffectDeviceTest {
protected:
    void SetUp() override {
        windowWidth_ = kWidth;
        windowHeight_ = kHeight;
        EffectDeviceTest::SetUp();
    }

    void TearDown() override {
        if (device_ != nullptr) {
            for (UINT stream = 0; stream < 16; ++stream)
                device_->SetStreamSource(stream, nullptr, 0, 0);
            device_->SetVertexDeclaration(nullptr);
        }
        for (IUnknown* resource : resources_)
            EXPECT_EQ(resource->Release(), 0u);
        EffectDeviceTest::TearDown();
    }

    void CreateOk(const std::string& source) {
        if (effect_ != nullptr) {
            EXPECT_EQ(effect_->Release(), 0u);
            effect_ = nullptr;
        }
        ID3DXBuffer* errors = nullptr;
        const HRESULT created = D3DXCreateEffect(device_, source.c_str(), static_cast<UINT>(source.size()), nullptr,
                                                 nullptr, 0, nullptr, &effect_, &errors);
        const std::string text = errors != nullptr ? static_cast<const char*>(errors->GetBufferPointer()) : "";
        if (errors != nullptr) errors->Release();
        ASSERT_EQ(created, D3D_OK) << text;
    }

    void UseDeclaration(const std::vector<D3DVERTEXELEMENT9>& elements) {
        std::vector<D3DVERTEXELEMENT9> ended = elements;
        ended.push_back(D3DDECL_END());
        IDirect3DVertexDeclaration9* declaration = nullptr;
        ASSERT_EQ(device_->CreateVertexDeclaration(ended.data(), &declaration), D3D_OK);
        resources_.push_back(declaration);
        ASSERT_EQ(device_->SetVertexDeclaration(declaration), D3D_OK);
    }

    void BindStream(UINT stream, const void* bytes, UINT size, UINT stride) {
        IDirect3DVertexBuffer9* buffer = nullptr;
        ASSERT_EQ(device_->CreateVertexBuffer(size, D3DUSAGE_WRITEONLY, 0, D3DPOOL_MANAGED, &buffer, nullptr), D3D_OK);
        resources_.push_back(buffer);
        void* data = nullptr;
        ASSERT_EQ(buffer->Lock(0, 0, &data, 0), D3D_OK);
        std::memcpy(data, bytes, size);
        ASSERT_EQ(buffer->Unlock(), D3D_OK);
        ASSERT_EQ(device_->SetStreamSource(stream, buffer, 0, stride), D3D_OK);
    }

    void BindFullScreen() {
        UseDeclaration({{0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0}});
        BindStream(0, kFullScreen, sizeof(kFullScreen), 12);
    }

    // Clears, then draws in pass `pass` of `technique`.
    void Draw(const char* technique, UINT pass, D3DPRIMITIVETYPE type, UINT primitives, bool clear = true) {
        if (clear) {
            ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kClearColor, 1.0f, 0), D3D_OK);
        }
        ASSERT_EQ(effect_->SetTechnique(technique), D3D_OK);
        ASSERT_EQ(device_->BeginScene(), D3D_OK);
        UINT passes = 0;
        ASSERT_EQ(effect_->Begin(&passes, 0), D3D_OK);
        ASSERT_EQ(effect_->BeginPass(pass), D3D_OK);
        EXPECT_EQ(device_->DrawPrimitive(type, 0, primitives), D3D_OK);
        EXPECT_EQ(effect_->EndPass(), D3D_OK);
        EXPECT_EQ(effect_->End(), D3D_OK);
        ASSERT_EQ(device_->EndScene(), D3D_OK);
    }

    std::vector<DWORD> ReadBackBuffer() { return D3D9Test::ReadBackBuffer(device_); }

    std::vector<IUnknown*> resources_;
};

// Each pixel's VPOS as its colour: red x, green y, blue the fractions (0 at Direct3D 9's centres).
const char kPositionEffect[] =
    "float4 PositionPS(float2 position : VPOS) : COLOR\n"
    "{ return float4(position / 255.0, (frac(position.x) + frac(position.y)) * 0.5, 1); }\n"
    "float4 WidePositionPS(float4 position : VPOS) : COLOR { return float4(position.yx / 255.0, 0, 1); }\n"
    "technique T {\n"
    "  pass { VertexShader = compile vs_3_0 ClipVS(); PixelShader = compile ps_3_0 PositionPS(); }\n"
    "  pass { VertexShader = compile vs_3_0 ClipVS(); PixelShader = compile ps_3_0 WidePositionPS(); }\n"
    "}\n";

void ExpectPositions(const std::vector<DWORD>& pixels, UINT width, UINT height, bool swapped) {
    ASSERT_EQ(pixels.size(), std::size_t {width} * height);
    int wrong = 0;
    for (UINT y = 0; y < height; ++y) {
        for (UINT x = 0; x < width; ++x) {
            const DWORD pixel = pixels[y * width + x];
            const bool right = Channel(pixel, 16) == static_cast<int>(swapped ? y : x) &&
                               Channel(pixel, 8) == static_cast<int>(swapped ? x : y) && Channel(pixel, 0) == 0;
            if (!right && ++wrong <= 3) ADD_FAILURE() << "pixel (" << x << ", " << y << ") reads " << std::hex << pixel;
        }
    }
    EXPECT_EQ(wrong, 0);
}

TEST_F(EffectInputsTest, VposIsThePixelsPositionFromTheTopLeftWithWholeNumbersAtTheCentres) {
    // A device drawing into the window takes its frame back into its own image, where rows
    // count from the top, once a program reads the position.
    MoveDrawingIntoWindow();
    ASSERT_TRUE(D3D9Test::DrawsIntoWindow(device_));
    CreateOk(std::string(kPassThroughVertexShader) + kPositionEffect);
    EXPECT_FALSE(D3D9Test::DrawsIntoWindow(device_));
    BindFullScreen();
    Draw("T", 0, D3DPT_TRIANGLESTRIP, 2);
    ExpectPositions(ReadBackBuffer(), kWidth, kHeight, false);
    // Read as a float4 (x, y, z, w); after a Present, which shows the frame the right way up.
    ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_FALSE(D3D9Test::DrawsIntoWindow(device_));
    Draw("T", 1, D3DPT_TRIANGLESTRIP, 2);
    ExpectPositions(ReadBackBuffer(), kWidth, kHeight, true);
}

// Green on front faces, red on back faces; one pass for each cull mode.
const char kFaceEffect[] =
    "float4 FacePS(float face : VFACE) : COLOR { return face > 0 ? float4(0, 1, 0, 1) : float4(1, 0, 0, 1); }\n"
    "technique T {\n"
    "  pass None { CullMode = NONE; VertexShader = compile vs_3_0 ClipVS(); PixelShader = compile ps_3_0 FacePS(); }\n"
    "  pass Cw { CullMode = CW; VertexShader = compile vs_3_0 ClipVS(); PixelShader = compile ps_3_0 FacePS(); }\n"
    "  pass Ccw { CullMode = CCW; VertexShader = compile vs_3_0 ClipVS(); PixelShader = compile ps_3_0 FacePS(); }\n"
    "}\n";

// The left triangle is clockwise on screen, the right one counterclockwise.
const float kTwoWindings[] = {-1, 1, 0.5f, 0, 1, 0.5f, -1, -1, 0.5f, 0, 1, 0.5f, 0, -1, 0.5f, 1, 1, 0.5f};

// The colours at the two triangles' insides, on a target `width` x `height`.
void ExpectFaces(const std::vector<DWORD>& pixels, UINT width, UINT height, DWORD clockwise, DWORD counterclockwise,
                 const char* pass) {
    SCOPED_TRACE(pass);
    ASSERT_EQ(pixels.size(), std::size_t {width} * height);
    const UINT row = height / 10;
    EXPECT_EQ(Rgb(pixels[row * width + width / 16]), clockwise);
    EXPECT_EQ(Rgb(pixels[row * width + width / 2 + width / 16]), counterclockwise);
}

TEST_F(EffectInputsTest, VfaceIsPositiveOnTheFacesTheCullModeKeepsAndNegativeOnTheOthers) {
    CreateOk(std::string(kPassThroughVertexShader) + kFaceEffect);
    UseDeclaration({{0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0}});
    BindStream(0, kTwoWindings, sizeof(kTwoWindings), 12);
    const DWORD clear = Rgb(kClearColor);
    auto drawEach = [&](const char* where) {
        SCOPED_TRACE(where);
        // Without culling, clockwise triangles are Direct3D's front faces.
        Draw("T", 0, D3DPT_TRIANGLELIST, 2);
        ExpectFaces(ReadBackBuffer(), kWidth, kHeight, kGreen, kRed, "CullMode = NONE");
        // D3DCULL_CW culls clockwise back faces: the counterclockwise ones left are the front.
        Draw("T", 1, D3DPT_TRIANGLELIST, 2);
        ExpectFaces(ReadBackBuffer(), kWidth, kHeight, clear, kGreen, "CullMode = CW");
        Draw("T", 2, D3DPT_TRIANGLELIST, 2);
        ExpectFaces(ReadBackBuffer(), kWidth, kHeight, kGreen, clear, "CullMode = CCW");
    };
    ASSERT_FALSE(D3D9Test::DrawsIntoWindow(device_));
    drawEach("in the back buffer's image");
    MoveDrawingIntoWindow();
    ASSERT_TRUE(D3D9Test::DrawsIntoWindow(device_));
    drawEach("in the window");
}

TEST_F(EffectInputsTest, SystemInputsNeedPixelShaderModelThree) {
    for (const char* semantic : {"VPOS", "VFACE"}) {
        const std::string source = std::string(kPassThroughVertexShader) + "float4 PS(float2 v : " + semantic +
                                   ") : COLOR { return v.xyxy; }\n"
                                   "technique T { pass { VertexShader = compile vs_2_0 ClipVS();\n"
                                   "  PixelShader = compile ps_2_0 PS(); } }\n";
        ID3DXBuffer* errors = nullptr;
        EXPECT_EQ(D3DXCreateEffect(device_, source.c_str(), static_cast<UINT>(source.size()), nullptr, nullptr, 0,
                                   nullptr, &effect_, &errors),
                  E_FAIL);
        ASSERT_NE(errors, nullptr);
        const std::string text = static_cast<const char*>(errors->GetBufferPointer());
        errors->Release();
        EXPECT_NE(text.find("memory(4,32): error: "), std::string::npos) << text;  // the compiled entry
        EXPECT_NE(text.find(std::string("'") + semantic + "' needs ps_3_0, not ps_2_0"), std::string::npos) << text;
        EXPECT_EQ(effect_, nullptr);
    }
}

// Two position streams, the second blended in by the first stream's weight: quads at the left
// and the right edge meet in the middle at a weight of one half.
TEST_F(EffectInputsTest, TwoPositionStreamsBlendByTheirWeight) {
    CreateOk(
        "float4 MorphVS(float3 from : POSITION0, float weight : BLENDWEIGHT0, float3 to : POSITION1) : POSITION\n"
        "{ return float4(lerp(from, to, weight), 1); }\n"
        "float4 WhitePS() : COLOR { return 1; }\n"
        "technique T { pass { VertexShader = compile vs_2_0 MorphVS(); PixelShader = compile ps_2_0 WhitePS(); } }\n");
    UseDeclaration({{0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
                    {0, 12, D3DDECLTYPE_FLOAT1, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_BLENDWEIGHT, 0},
                    {1, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 1}});
    const float to[] = {0.5f, 1, 0.5f, 1, 1, 0.5f, 0.5f, -1, 0.5f, 1, -1, 0.5f};  // the right quarter
    BindStream(1, to, sizeof(to), 12);
    for (const float weight : {0.0f, 0.5f, 1.0f}) {
        SCOPED_TRACE(weight);
        const float from[] = {-1, 1,  0.5f, weight, -0.5f, 1,  0.5f, weight,  // the left quarter
                              -1, -1, 0.5f, weight, -0.5f, -1, 0.5f, weight};
        BindStream(0, from, sizeof(from), 16);
        Draw("T", 0, D3DPT_TRIANGLESTRIP, 2);
        const std::vector<DWORD> pixels = ReadBackBuffer();
        const UINT row = kHeight / 2 * kWidth;
        EXPECT_EQ(Rgb(pixels[row + 8]), weight == 0.0f ? 0xFFFFFFu : Rgb(kClearColor));
        EXPECT_EQ(Rgb(pixels[row + 32]), weight == 0.5f ? 0xFFFFFFu : Rgb(kClearColor));
        EXPECT_EQ(Rgb(pixels[row + 56]), weight == 1.0f ? 0xFFFFFFu : Rgb(kClearColor));
    }
}

// A skinned vertex in tangent space: blend indices (UBYTE4) pick two offsets of a palette that
// the weights mix, the tangent and binormal give the normal, and COLOR1 (a D3DCOLOR) its colour.
TEST_F(EffectInputsTest, ASkinnedTangentSpaceVertexReadsEachElementOfItsDeclaration) {
    CreateOk(
        "float4 g_Offsets[4];\n"
        "void SkinVS(float3 p : POSITION, float2 w : BLENDWEIGHT, float4 bones : BLENDINDICES,\n"
        "            float3 t : TANGENT, float3 b : BINORMAL, float4 specular : COLOR1,\n"
        "            out float4 oPos : POSITION, out float4 oColor : COLOR0, out float3 oNormal : TEXCOORD0)\n"
        "{\n"
        "  float3 offset = g_Offsets[(int)bones.x].xyz * w.x + g_Offsets[(int)bones.y].xyz * w.y;\n"
        "  oPos = float4(p + offset, 1); oColor = specular; oNormal = cross(t, b);\n"
        "}\n"
        "float4 SkinPS(float4 c : COLOR0, float3 n : TEXCOORD0) : COLOR { return float4(c.rg, n.z, 1); }\n"
        "technique T { pass { VertexShader = compile vs_2_0 SkinVS(); PixelShader = compile ps_2_0 SkinPS(); } }\n");
    const float offsets[16] = {0, 5, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, -5, 0, 0};
    ASSERT_EQ(effect_->SetFloatArray("g_Offsets", offsets, 16), D3D_OK);
    UseDeclaration({{0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
                    {0, 12, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_BLENDWEIGHT, 0},
                    {0, 20, D3DDECLTYPE_UBYTE4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_BLENDINDICES, 0},
                    {0, 24, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TANGENT, 0},
                    {0, 36, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_BINORMAL, 0},
                    {0, 48, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 1}});
    struct SkinnedVertex {
        float x, y, z;
        float weights[2];
        BYTE bones[4];
        float tangent[3];
        float binormal[3];
        D3DCOLOR specular;
    };
    static_assert(sizeof(SkinnedVertex) == 52, "the declaration's layout");
    std::vector<SkinnedVertex> quad;
    const float corners[4][2] = {{-1, 1}, {-0.5f, 1}, {-1, -1}, {-0.5f, -1}};  // the left quarter
    for (const auto& corner : corners) {
        quad.push_back({corner[0], corner[1], 0.5f, {0.75f, 0.25f}, {2, 1, 0, 3}, {1, 0, 0}, {0, 1, 0}, 0xFF336699});
    }
    BindStream(0, quad.data(), static_cast<UINT>(quad.size() * sizeof(SkinnedVertex)), sizeof(SkinnedVertex));
    Draw("T", 0, D3DPT_TRIANGLESTRIP, 2);
    const std::vector<DWORD> pixels = ReadBackBuffer();
    const UINT row = kHeight / 2 * kWidth;
    EXPECT_EQ(Rgb(pixels[row + 8]), Rgb(kClearColor));  // moved three quarters of the way right
    EXPECT_EQ(Rgb(pixels[row + 32]), 0x3366FFu);
}

// Every usage with every usage index 0..15 a declaration can give reaches the input of that
// semantic: one technique per usage and half of the indices, each checking eight elements whose
// values name their usage and index, green where all eight are right.
TEST_F(EffectInputsTest, EveryUsageAndUsageIndexReachesTheInputOfItsSemantic) {
    struct Usage {
        BYTE usage;
        const char* semantic;
    };
    const Usage usages[] = {{D3DDECLUSAGE_POSITION, "POSITION"},
                            {D3DDECLUSAGE_BLENDWEIGHT, "BLENDWEIGHT"},
                            {D3DDECLUSAGE_BLENDINDICES, "BLENDINDICES"},
                            {D3DDECLUSAGE_NORMAL, "NORMAL"},
                            {D3DDECLUSAGE_PSIZE, "PSIZE"},
                            {D3DDECLUSAGE_TEXCOORD, "TEXCOORD"},
                            {D3DDECLUSAGE_TANGENT, "TANGENT"},
                            {D3DDECLUSAGE_BINORMAL, "BINORMAL"},
                            {D3DDECLUSAGE_TESSFACTOR, "TESSFACTOR"},
                            {D3DDECLUSAGE_POSITIONT, "POSITIONT"},
                            {D3DDECLUSAGE_COLOR, "COLOR"},
                            {D3DDECLUSAGE_FOG, "FOG"},
                            {D3DDECLUSAGE_DEPTH, "DEPTH"},
                            {D3DDECLUSAGE_SAMPLE, "SAMPLE"}};
    auto valueOf = [](unsigned usage, unsigned index) {
        return std::vector<float> {(usage + 1) / 16.0f, (index + 1) / 16.0f, 0.25f, 0.75f};
    };
    struct Group {
        const Usage* usage;
        std::vector<unsigned> indices;
    };
    std::vector<Group> groups;
    std::string source = "float4 ColorPS(float4 c : COLOR0) : COLOR { return c; }\n";
    for (const Usage& usage : usages) {
        // POSITION0 carries the position; a declaration with POSITIONT0 is pretransformed and
        // bypasses the vertex shader.
        const bool skipsZero = usage.usage == D3DDECLUSAGE_POSITION || usage.usage == D3DDECLUSAGE_POSITIONT;
        std::vector<unsigned> indices;
        for (unsigned index = skipsZero ? 1 : 0; index <= 15; ++index)
            indices.push_back(index);
        const std::size_t half = indices.size() / 2;
        for (const auto& part : {std::vector<unsigned>(indices.begin(), indices.begin() + static_cast<long>(half)),
                                 std::vector<unsigned>(indices.begin() + static_cast<long>(half), indices.end())}) {
            const std::string name = std::string(usage.semantic) + std::to_string(part.front());
            source += "void VS_" + name + "(float3 p : POSITION0";
            for (unsigned index : part)
                source += ", float4 a" + std::to_string(index) + " : " + usage.semantic + std::to_string(index);
            source += ", out float4 oPos : POSITION, out float4 oColor : COLOR0)\n{\n  bool ok = true;\n";
            for (unsigned index : part) {
                const std::vector<float> v = valueOf(usage.usage, index);
                source += "  ok = ok && all(a" + std::to_string(index) + " == float4(" + std::to_string(v[0]) + ", " +
                          std::to_string(v[1]) + ", " + std::to_string(v[2]) + ", " + std::to_string(v[3]) + "));\n";
            }
            source += "  oPos = float4(p, 1); oColor = ok ? float4(0, 1, 0, 1) : float4(1, 0, 0, 1);\n}\n";
            source += "technique " + name + " { pass { VertexShader = compile vs_3_0 VS_" + name +
                      "(); PixelShader = compile ps_3_0 ColorPS(); } }\n";
            groups.push_back({&usage, part});
        }
    }
    CreateOk(source);
    for (const Group& group : groups) {
        const std::string name = std::string(group.usage->semantic) + std::to_string(group.indices.front());
        SCOPED_TRACE(name);
        std::vector<D3DVERTEXELEMENT9> elements = {
            {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0}};
        std::vector<float> vertex;
        for (unsigned index : group.indices) {
            elements.push_back({1, static_cast<WORD>(vertex.size() * 4), D3DDECLTYPE_FLOAT4, D3DDECLMETHOD_DEFAULT,
                                group.usage->usage, static_cast<BYTE>(index)});
            const std::vector<float> v = valueOf(group.usage->usage, index);
            vertex.insert(vertex.end(), v.begin(), v.end());
        }
        UseDeclaration(elements);
        BindStream(0, kFullScreen, sizeof(kFullScreen), 12);
        std::vector<float> stream;
        for (int corner = 0; corner < 4; ++corner)
            stream.insert(stream.end(), vertex.begin(), vertex.end());
        BindStream(1, stream.data(), static_cast<UINT>(stream.size() * 4), static_cast<UINT>(vertex.size() * 4));
        Draw(name.c_str(), 0, D3DPT_TRIANGLESTRIP, 2);
        EXPECT_EQ(Rgb(ReadBackBuffer()[kHeight / 2 * kWidth + kWidth / 2]), kGreen);
    }
}

// A vertex shader has 16 input registers (v0..v15): sixteen inputs link, a seventeenth is refused.
TEST_F(EffectInputsTest, AVertexShaderReadsAtMostSixteenInputs) {
    for (const int inputs : {16, 17}) {
        SCOPED_TRACE(inputs);
        std::string source = "float4 ManyVS(float4 p : POSITION0";
        std::string sum = "p";
        for (int index = 0; index < inputs - 1; ++index) {
            source += ", float4 t" + std::to_string(index) + " : TEXCOORD" + std::to_string(index);
            sum += " + t" + std::to_string(index);
        }
        source += ") : POSITION { return " + sum +
                  "; }\nfloat4 WhitePS() : COLOR { return 1; }\n"
                  "technique T { pass { VertexShader = compile vs_3_0 ManyVS(); PixelShader = compile ps_3_0 "
                  "WhitePS(); } }\n";
        ID3DXBuffer* errors = nullptr;
        const HRESULT created = D3DXCreateEffect(device_, source.c_str(), static_cast<UINT>(source.size()), nullptr,
                                                 nullptr, 0, nullptr, &effect_, &errors);
        const std::string text = errors != nullptr ? static_cast<const char*>(errors->GetBufferPointer()) : "";
        if (errors != nullptr) errors->Release();
        if (inputs == 16) {
            EXPECT_EQ(created, D3D_OK) << text;
            ASSERT_NE(effect_, nullptr);
            EXPECT_EQ(effect_->Release(), 0u);
            effect_ = nullptr;
        } else {
            EXPECT_TRUE(FAILED(created));
            EXPECT_NE(text.find("reads more than 16 inputs"), std::string::npos) << text;
            EXPECT_EQ(effect_, nullptr);
        }
    }
}

}  // namespace

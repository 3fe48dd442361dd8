// The fixed-function subset: draws without a shader (or with one stage only) against the values
// the Direct3D 9 documentation gives for transforms and texture stage blending, and the draws it
// refuses by name.
#include "Direct3DTestSupport.h"

#include <PlatformTesting/Diagnostics.h>
#include <PlatformTesting/Direct3D.h>

#include <cstdlib>
#include <cstring>

namespace D3D9Test {
namespace {

using nvesk::d3d9::ShaderProgramHandle;

// D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX2.
struct ScreenVertex {
    float x, y, z, rhw;
    DWORD diffuse;
    float u0, v0, u1, v1;
};

const D3DVERTEXELEMENT9 kScreenElements[] = {
    {0, 0, D3DDECLTYPE_FLOAT4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITIONT, 0},
    {0, 16, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
    {0, 20, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
    {0, 28, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 1},
    D3DDECL_END()};

// D3DFVF_XYZ | D3DFVF_DIFFUSE.
struct ModelVertex {
    float x, y, z;
    DWORD diffuse;
};

const D3DVERTEXELEMENT9 kModelElements[] = {{0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
                                            {0, 12, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
                                            D3DDECL_END()};

constexpr DWORD kBlack = 0xFF000000;

// Whether the red, green and blue of two colours differ by at most `tolerance` each.
bool NearRgb(DWORD a, DWORD b, int tolerance = 1) {
    for (int shift = 0; shift < 24; shift += 8) {
        if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) > tolerance) {
            return false;
        }
    }
    return true;
}

D3DMATRIX Matrix(float m11, float m22, float m33, float m41, float m42, float m43) {
    D3DMATRIX matrix {};
    matrix._11 = m11;
    matrix._22 = m22;
    matrix._33 = m33;
    matrix._41 = m41;
    matrix._42 = m42;
    matrix._43 = m43;
    matrix._44 = 1.0f;
    return matrix;
}

class FixedFunctionTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        ASSERT_EQ(CreateDevice(), D3D_OK);
        PlatformTesting::ClearLastRefusal();
    }

    // Declaration and vertex buffer for `vertices`, bound to stream 0.
    template <typename Vertex>
    void Bind(const std::vector<Vertex>& vertices, const D3DVERTEXELEMENT9* elements) {
        if (declaration_ != nullptr) {
            declaration_->Release();
        }
        if (vertices_ != nullptr) {
            vertices_->Release();
        }
        ASSERT_EQ(device_->CreateVertexDeclaration(elements, &declaration_), D3D_OK);
        const UINT bytes = static_cast<UINT>(vertices.size() * sizeof(Vertex));
        ASSERT_EQ(device_->CreateVertexBuffer(bytes, D3DUSAGE_WRITEONLY, 0, D3DPOOL_MANAGED, &vertices_, nullptr),
                  D3D_OK);
        void* data = nullptr;
        ASSERT_EQ(vertices_->Lock(0, 0, &data, 0), D3D_OK);
        std::memcpy(data, vertices.data(), bytes);
        ASSERT_EQ(vertices_->Unlock(), D3D_OK);
        ASSERT_EQ(device_->SetVertexDeclaration(declaration_), D3D_OK);
        ASSERT_EQ(device_->SetStreamSource(0, vertices_, 0, sizeof(Vertex)), D3D_OK);
    }

    // A pretransformed quad over [x, x+w) x [y, y+h), one diffuse colour, coordinates 0..1 in both sets.
    void BindScreenQuad(float x, float y, float w, float h, DWORD diffuse) {
        Bind(std::vector<ScreenVertex> {{x, y, 0.5f, 1.0f, diffuse, 0, 0, 0, 0},
                                        {x + w, y, 0.5f, 1.0f, diffuse, 1, 0, 1, 0},
                                        {x, y + h, 0.5f, 1.0f, diffuse, 0, 1, 0, 1},
                                        {x + w, y + h, 0.5f, 1.0f, diffuse, 1, 1, 1, 1}},
             kScreenElements);
    }

    // Clears to black, draws the bound triangle strip of two triangles; the draw's result.
    HRESULT Draw() {
        EXPECT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBlack, 1.0f, 0), D3D_OK);
        EXPECT_EQ(device_->BeginScene(), D3D_OK);
        const HRESULT hr = device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2);
        EXPECT_EQ(device_->EndScene(), D3D_OK);
        return hr;
    }

    // The centre pixel after drawing the whole target with `diffuse`.
    DWORD DrawFullQuad(DWORD diffuse) {
        BindScreenQuad(0, 0, kWidth, kHeight, diffuse);
        EXPECT_EQ(Draw(), D3D_OK);
        return ReadBackBuffer()[(kHeight / 2) * kWidth + kWidth / 2];
    }

    IDirect3DTexture9* SolidTexture(DWORD stage, DWORD colour) {
        IDirect3DTexture9* texture = MakeTexture(4, 4, [colour](UINT, UINT) { return colour; });
        EXPECT_EQ(device_->SetTexture(stage, texture), D3D_OK);
        texture->Release();  // the stage holds it
        return texture;
    }

    void SetStage(DWORD stage, DWORD colorOp, DWORD colorArg1, DWORD colorArg2, DWORD alphaOp, DWORD alphaArg1,
                  DWORD alphaArg2) {
        const std::pair<D3DTEXTURESTAGESTATETYPE, DWORD> states[] = {
            {D3DTSS_COLOROP, colorOp}, {D3DTSS_COLORARG1, colorArg1}, {D3DTSS_COLORARG2, colorArg2},
            {D3DTSS_ALPHAOP, alphaOp}, {D3DTSS_ALPHAARG1, alphaArg1}, {D3DTSS_ALPHAARG2, alphaArg2}};
        for (const auto& [type, value] : states) {
            ASSERT_EQ(device_->SetTextureStageState(stage, type, value), D3D_OK);
        }
    }

    // Blends the source over the black target by its alpha: the written colour shows the alpha.
    void BlendByAlpha() {
        ASSERT_EQ(device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE), D3D_OK);
        ASSERT_EQ(device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA), D3D_OK);
        ASSERT_EQ(device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA), D3D_OK);
    }

    ShaderProgramHandle Link(const nvesk::d3d9::ShaderProgramSource& source) {
        ShaderProgramHandle program = 0;
        std::string log;
        EXPECT_EQ(nvesk::d3d9::LinkShaderProgram(device_, source, &program, &log), D3D_OK) << log;
        programs_.push_back(program);
        return program;
    }
};

TEST_F(FixedFunctionTest, StageStatesAndTransformsStartAtDirect3DsDefaultsAndKeepWhatIsSet) {
    DWORD value = 0;
    const struct {
        DWORD stage;
        D3DTEXTURESTAGESTATETYPE type;
        DWORD expected;
    } defaults[] = {{0, D3DTSS_COLOROP, D3DTOP_MODULATE},   {1, D3DTSS_COLOROP, D3DTOP_DISABLE},
                    {0, D3DTSS_COLORARG1, D3DTA_TEXTURE},   {0, D3DTSS_COLORARG2, D3DTA_CURRENT},
                    {0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1}, {1, D3DTSS_ALPHAOP, D3DTOP_DISABLE},
                    {0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE},   {3, D3DTSS_TEXCOORDINDEX, 3},
                    {7, D3DTSS_RESULTARG, D3DTA_CURRENT},   {2, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE}};
    for (const auto& expected : defaults) {
        ASSERT_EQ(device_->GetTextureStageState(expected.stage, expected.type, &value), D3D_OK);
        EXPECT_EQ(value, expected.expected) << "stage " << expected.stage << " state " << expected.type;
    }
    ASSERT_EQ(device_->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_ADD), D3D_OK);
    ASSERT_EQ(device_->GetTextureStageState(1, D3DTSS_COLOROP, &value), D3D_OK);
    EXPECT_EQ(value, static_cast<DWORD>(D3DTOP_ADD));
    EXPECT_EQ(device_->SetTextureStageState(8, D3DTSS_COLOROP, D3DTOP_ADD), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->GetTextureStageState(0, D3DTSS_COLOROP, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->SetTextureStageState(0, static_cast<D3DTEXTURESTAGESTATETYPE>(13), 0), D3DERR_INVALIDCALL);

    D3DMATRIX matrix {};
    ASSERT_EQ(device_->GetTransform(D3DTS_PROJECTION, &matrix), D3D_OK);
    const D3DMATRIX identity = Matrix(1, 1, 1, 0, 0, 0);
    EXPECT_EQ(std::memcmp(&matrix, &identity, sizeof(matrix)), 0);
    const D3DMATRIX world = Matrix(2, 3, 4, 5, 6, 7);
    ASSERT_EQ(device_->SetTransform(D3DTS_WORLD, &world), D3D_OK);
    ASSERT_EQ(device_->GetTransform(D3DTS_WORLDMATRIX(0), &matrix), D3D_OK);
    EXPECT_EQ(std::memcmp(&matrix, &world, sizeof(matrix)), 0);
    EXPECT_EQ(device_->SetTransform(static_cast<D3DTRANSFORMSTATETYPE>(4), &world), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->SetTransform(D3DTS_VIEW, nullptr), D3DERR_INVALIDCALL);

    // Reset brings the defaults back.
    D3DPRESENT_PARAMETERS parameters = WindowedParameters(window_->Handle(), kWidth, kHeight);
    ASSERT_EQ(device_->Reset(&parameters), D3D_OK);
    ASSERT_EQ(device_->GetTextureStageState(1, D3DTSS_COLOROP, &value), D3D_OK);
    EXPECT_EQ(value, static_cast<DWORD>(D3DTOP_DISABLE));
    ASSERT_EQ(device_->GetTransform(D3DTS_WORLD, &matrix), D3D_OK);
    EXPECT_EQ(std::memcmp(&matrix, &identity, sizeof(matrix)), 0);
}

TEST_F(FixedFunctionTest, PretransformedQuadCoversExactlyItsPixelsInItsDiffuseColour) {
    // Stage 0's defaults with no texture: MODULATE of opaque white and the diffuse colour.
    BindScreenQuad(8, 4, 16, 12, 0xFF20C040);
    ASSERT_EQ(Draw(), D3D_OK);
    const std::vector<DWORD> pixels = ReadBackBuffer();
    for (UINT y = 0; y < kHeight; ++y) {
        for (UINT x = 0; x < kWidth; ++x) {
            const bool inside = x >= 8 && x < 24 && y >= 4 && y < 16;
            ASSERT_TRUE(NearRgb(pixels[y * kWidth + x], inside ? 0xFF20C040 : kBlack, 0))
                << "pixel " << x << "," << y << " is " << std::hex << pixels[y * kWidth + x];
        }
    }
}

TEST_F(FixedFunctionTest, TransformedQuadLandsWhereWorldViewProjectionPutsIt) {
    ASSERT_EQ(device_->SetRenderState(D3DRS_LIGHTING, FALSE), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE), D3D_OK);
    // v * W * V * P on the square [-1, 1]^2: W halves it, V moves it right by 0.5, P halves y and
    // moves it up by 0.25: x in [0, 1], y in [0, 0.5], i.e. columns 32..63 and rows 12..23.
    const D3DMATRIX world = Matrix(0.5f, 0.5f, 1, 0, 0, 0);
    const D3DMATRIX view = Matrix(1, 1, 1, 0.5f, 0, 0);
    const D3DMATRIX projection = Matrix(1, 0.5f, 1, 0, 0.25f, 0);
    ASSERT_EQ(device_->SetTransform(D3DTS_WORLD, &world), D3D_OK);
    ASSERT_EQ(device_->SetTransform(D3DTS_VIEW, &view), D3D_OK);
    ASSERT_EQ(device_->SetTransform(D3DTS_PROJECTION, &projection), D3D_OK);
    const DWORD colour = 0xFFF08020;
    Bind(
        std::vector<ModelVertex> {
            {-1, 1, 0.5f, colour}, {1, 1, 0.5f, colour}, {-1, -1, 0.5f, colour}, {1, -1, 0.5f, colour}},
        kModelElements);
    ASSERT_EQ(Draw(), D3D_OK);
    const std::vector<DWORD> pixels = ReadBackBuffer();
    for (UINT y = 0; y < kHeight; ++y) {
        for (UINT x = 0; x < kWidth; ++x) {
            const bool inside = x >= 32 && y >= 12 && y < 24;
            ASSERT_TRUE(NearRgb(pixels[y * kWidth + x], inside ? colour : kBlack, 0))
                << "pixel " << x << "," << y << " is " << std::hex << pixels[y * kWidth + x];
        }
    }
}

TEST_F(FixedFunctionTest, StageOperationsGiveTheDocumentedColours) {
    // Texture 0x80 40 C0, diffuse 0xFF 80 40: MODULATE is the product per channel (x * y / 255).
    SolidTexture(0, 0xFF8040C0);
    EXPECT_TRUE(NearRgb(DrawFullQuad(0xFFFF8040), 0xFF802030)) << "default stage 0: texture x diffuse";

    SetStage(0, D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_CURRENT);
    EXPECT_TRUE(NearRgb(DrawFullQuad(0xFF123456), 0xFF123456)) << "SELECTARG2 diffuse";

    // ADD saturates each channel: 0x80 + 0x90 -> 0xFF, 0x40 + 0x30, 0xC0 + 0x10.
    SetStage(0, D3DTOP_ADD, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_CURRENT);
    EXPECT_TRUE(NearRgb(DrawFullQuad(0xFF903010), 0xFFFF70D0)) << "ADD";

    ASSERT_EQ(device_->SetRenderState(D3DRS_TEXTUREFACTOR, 0xFF336699), D3D_OK);
    SetStage(0, D3DTOP_SELECTARG1, D3DTA_TFACTOR, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_CURRENT);
    EXPECT_TRUE(NearRgb(DrawFullQuad(0xFF000000), 0xFF336699)) << "TFACTOR";
}

TEST_F(FixedFunctionTest, StageOneModulatesStageZerosResultWithItsOwnTexture) {
    SolidTexture(0, 0xFF80FF40);
    SolidTexture(1, 0xFF8080FF);
    SetStage(0, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_CURRENT);
    SetStage(1, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_CURRENT, D3DTOP_SELECTARG1, D3DTA_CURRENT, D3DTA_CURRENT);
    EXPECT_TRUE(NearRgb(DrawFullQuad(0xFF000000), 0xFF408040));
    // Stage 1's texture removed: its TEXTURE argument reads opaque white.
    ASSERT_EQ(device_->SetTexture(1, nullptr), D3D_OK);
    EXPECT_TRUE(NearRgb(DrawFullQuad(0xFF000000), 0xFF80FF40));
}

TEST_F(FixedFunctionTest, AlphaOperationsReachTheBlender) {
    BlendByAlpha();
    // No texture: the default ALPHAARG1 TEXTURE reads the diffuse alpha (0x40) over black.
    EXPECT_TRUE(NearRgb(DrawFullQuad(0x40FFFFFF), 0xFF404040, 2)) << "no texture";
    // Texture alpha 0x80 times diffuse alpha 0x80 is 0x40.
    SolidTexture(0, 0x80FFFFFF);
    SetStage(0, D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE);
    EXPECT_TRUE(NearRgb(DrawFullQuad(0x80FFFFFF), 0xFF404040, 2)) << "MODULATE alpha";
}

TEST_F(FixedFunctionTest, RefusesWhatTheSubsetLacksWithTheReason) {
    Bind(std::vector<ModelVertex> {{-1, 1, 0.5f, 0}, {1, 1, 0.5f, 0}, {-1, -1, 0.5f, 0}, {1, -1, 0.5f, 0}},
         kModelElements);
    // Lighting is on by default.
    EXPECT_EQ(Draw(), D3DERR_NOTAVAILABLE);
    EXPECT_EQ(PlatformTesting::LastRefusal(),
              "IDirect3DDevice9::DrawPrimitive: fixed-function lighting is not available");
    ASSERT_EQ(device_->SetRenderState(D3DRS_LIGHTING, FALSE), D3D_OK);
    EXPECT_EQ(Draw(), D3D_OK);

    const struct {
        DWORD stage;
        D3DTEXTURESTAGESTATETYPE type;
        DWORD value;
        const char* reason;
    } refused[] = {
        {0, D3DTSS_COLOROP, D3DTOP_MODULATE2X, "texture stage 0: operation MODULATE2X / SELECTARG1 is not available"},
        {0, D3DTSS_ALPHAOP, D3DTOP_DISABLE, "texture stage 0: operation MODULATE / DISABLE is not available"},
        {0, D3DTSS_COLORARG1, D3DTA_TEXTURE | D3DTA_COMPLEMENT, "texture stage 0: argument 0x12 is not available"},
        {0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2, "texture transforms (stage 0) are not available"},
        {1, D3DTSS_TEXCOORDINDEX, 0, nullptr}};  // stage 1 is disabled: its coordinates do not matter
    for (const auto& state : refused) {
        DWORD previous = 0;
        ASSERT_EQ(device_->GetTextureStageState(state.stage, state.type, &previous), D3D_OK);
        ASSERT_EQ(device_->SetTextureStageState(state.stage, state.type, state.value), D3D_OK);
        PlatformTesting::ClearLastRefusal();
        if (state.reason == nullptr) {
            EXPECT_EQ(Draw(), D3D_OK);
        } else {
            EXPECT_EQ(Draw(), D3DERR_NOTAVAILABLE) << state.reason;
            EXPECT_EQ(PlatformTesting::LastRefusal(), std::string("IDirect3DDevice9::DrawPrimitive: ") + state.reason);
        }
        ASSERT_EQ(device_->SetTextureStageState(state.stage, state.type, previous), D3D_OK);
    }
    SetStage(1, D3DTOP_SELECTARG1, D3DTA_CURRENT, D3DTA_CURRENT, D3DTOP_SELECTARG1, D3DTA_CURRENT, D3DTA_CURRENT);
    SetStage(2, D3DTOP_SELECTARG1, D3DTA_CURRENT, D3DTA_CURRENT, D3DTOP_SELECTARG1, D3DTA_CURRENT, D3DTA_CURRENT);
    EXPECT_EQ(Draw(), D3DERR_NOTAVAILABLE);
    EXPECT_EQ(PlatformTesting::LastRefusal(),
              "IDirect3DDevice9::DrawPrimitive: texture stage 2 is enabled; stages from 2 on are not available");
    SetStage(2, D3DTOP_DISABLE, D3DTA_CURRENT, D3DTA_CURRENT, D3DTOP_DISABLE, D3DTA_CURRENT, D3DTA_CURRENT);

    // A sampling stage needs its coordinate set, which these vertices lack.
    SolidTexture(0, 0xFFFFFFFF);
    EXPECT_EQ(Draw(), D3DERR_NOTAVAILABLE);
    EXPECT_EQ(PlatformTesting::LastRefusal(),
              "IDirect3DDevice9::DrawPrimitive: texture stage 0 samples its texture, but no texture coordinate set 0 "
              "reaches it");
}

TEST_F(FixedFunctionTest, PretransformedVerticesDrawWithLightingOn) {
    // Lighting applies only to untransformed vertices; the default (on) leaves these alone.
    EXPECT_TRUE(NearRgb(DrawFullQuad(0xFF406080), 0xFF406080));
}

TEST_F(FixedFunctionTest, TheSameStateDrawsWithTheSameProgram) {
    const int before = PlatformTesting::FixedFunctionProgramLinks(device_);
    ASSERT_GE(before, 0);
    DrawFullQuad(0xFF102030);
    const int first = PlatformTesting::FixedFunctionProgramLinks(device_);
    EXPECT_EQ(first, before + 1);
    DrawFullQuad(0xFF405060);  // other vertices, same state
    EXPECT_EQ(PlatformTesting::FixedFunctionProgramLinks(device_), first);
    ASSERT_EQ(device_->SetRenderState(D3DRS_TEXTUREFACTOR, 0xFF00FF00), D3D_OK);  // a uniform, not the key
    SetStage(0, D3DTOP_ADD, D3DTA_TFACTOR, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_CURRENT);
    EXPECT_TRUE(NearRgb(DrawFullQuad(0xFF102030), 0xFF10FF30));
    EXPECT_EQ(PlatformTesting::FixedFunctionProgramLinks(device_), first + 1);
    // Back to the defaults: the first program again.
    SetStage(0, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_CURRENT, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_CURRENT);
    EXPECT_TRUE(NearRgb(DrawFullQuad(0xFF102030), 0xFF102030));
    EXPECT_EQ(PlatformTesting::FixedFunctionProgramLinks(device_), first + 1);
    EXPECT_EQ(PlatformTesting::FixedFunctionProgramLinks(nullptr), -1);
}

TEST_F(FixedFunctionTest, PixelShaderAloneTakesTheFixedFunctionVertexStage) {
    nvesk::d3d9::ShaderProgramSource source;
    source.fragmentGlsl = R"(#version 450
layout(location = 3) in vec2 coords;
layout(location = 5) in vec4 tint;
uniform vec4 scale;
out vec4 color;
void main() { color = vec4(tint.r, coords, 1.0) * scale; }
)";
    source.varyings = {{D3DDECLUSAGE_TEXCOORD, 1, 3, 2}, {D3DDECLUSAGE_COLOR, 0, 5, 4}};
    const ShaderProgramHandle program = Link(source);
    // Set before the first draw, which links the program again for these vertices: it carries over.
    const float half[4] = {0.5f, 0.5f, 0.5f, 1.0f};
    ASSERT_EQ(nvesk::d3d9::SetUniformFloats(device_, program,
                                            nvesk::d3d9::GetUniformLocation(device_, program, "scale"), 4, 1, half),
              D3D_OK);
    ASSERT_EQ(nvesk::d3d9::UseShaderProgram(device_, program), D3D_OK);
    // Texture set 1 is (1, 0) at the top right, (0, 1) at the bottom left: (0.5, 0.5) in the middle.
    const DWORD centre = DrawFullQuad(0xFFFF0000);
    EXPECT_TRUE(NearRgb(centre, 0xFF804040, 2)) << std::hex << centre;
    const float full[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    ASSERT_EQ(nvesk::d3d9::SetUniformFloats(device_, program,
                                            nvesk::d3d9::GetUniformLocation(device_, program, "scale"), 4, 1, full),
              D3D_OK);
    EXPECT_TRUE(NearRgb(DrawFullQuad(0xFFFF0000), 0xFFFF8080, 2));
}

TEST_F(FixedFunctionTest, LightingMattersOnlyToAPixelShaderThatReadsTheColours) {
    nvesk::d3d9::ShaderProgramSource source;
    source.fragmentGlsl = R"(#version 450
layout(location = 0) in vec2 coords;
out vec4 color;
void main() { color = vec4(0.25, 0.5, 0.75, 1.0) + vec4(coords * 0.0, 0.0, 0.0); }
)";
    source.varyings = {{D3DDECLUSAGE_TEXCOORD, 0, 0, 2}};
    const ShaderProgramHandle coordinatesOnly = Link(source);
    source.fragmentGlsl = R"(#version 450
layout(location = 0) in vec4 tint;
out vec4 color;
void main() { color = tint; }
)";
    source.varyings = {{D3DDECLUSAGE_COLOR, 0, 0, 4}};
    const ShaderProgramHandle colours = Link(source);
    ASSERT_EQ(device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE), D3D_OK);
    Bind(std::vector<ModelVertex> {{-1, 1, 0.5f, 0}, {1, 1, 0.5f, 0}, {-1, -1, 0.5f, 0}, {1, -1, 0.5f, 0}},
         kModelElements);
    ASSERT_EQ(nvesk::d3d9::UseShaderProgram(device_, coordinatesOnly), D3D_OK);
    ASSERT_EQ(Draw(), D3D_OK);
    EXPECT_TRUE(NearRgb(ReadBackBuffer()[(kHeight / 2) * kWidth + kWidth / 2], 0xFF4080BF));
    ASSERT_EQ(nvesk::d3d9::UseShaderProgram(device_, colours), D3D_OK);
    EXPECT_EQ(Draw(), D3DERR_NOTAVAILABLE);
    EXPECT_EQ(PlatformTesting::LastRefusal(),
              "IDirect3DDevice9::DrawPrimitive: fixed-function lighting is not available");
}

TEST_F(FixedFunctionTest, VertexShaderAloneTakesTheTextureStages) {
    nvesk::d3d9::ShaderProgramSource source;
    source.vertexGlsl = R"(#version 450
in vec4 position;
layout(location = 2) out vec4 tint;
layout(location = 0) out vec2 coords;
void main() {
    gl_Position = vec4(position.xy / vec2(32.0, -24.0) + vec2(-1.0, 1.0), 0.5, 1.0);
    tint = vec4(1.0, 0.5, 1.0, 1.0);
    coords = vec2(0.5);
}
)";
    source.attributes = {{"position", D3DDECLUSAGE_POSITIONT, 0}};
    source.varyings = {{D3DDECLUSAGE_COLOR, 0, 2, 4}, {D3DDECLUSAGE_TEXCOORD, 0, 0, 2}};
    const ShaderProgramHandle program = Link(source);
    ASSERT_EQ(nvesk::d3d9::UseShaderProgram(device_, program), D3D_OK);
    // Stage 0's default: the texture times the shader's COLOR0.
    SolidTexture(0, 0xFF80FF40);
    EXPECT_TRUE(NearRgb(DrawFullQuad(0xFF000000), 0xFF808040, 2));
    // A stage needing a coordinate set the shader does not write is refused.
    SolidTexture(1, 0xFFFFFFFF);
    SetStage(1, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_CURRENT, D3DTOP_SELECTARG1, D3DTA_CURRENT, D3DTA_CURRENT);
    BindScreenQuad(0, 0, kWidth, kHeight, 0);
    EXPECT_EQ(Draw(), D3DERR_NOTAVAILABLE);
}

}  // namespace
}  // namespace D3D9Test

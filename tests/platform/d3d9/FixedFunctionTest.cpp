// The fixed-function subset: draws without a shader (or with one stage only) against the values
// the Direct3D 9 documentation gives for transforms and texture stage blending, and the draws it
// refuses by name.
#include "Direct3DTestSupport.h"

#include <PlatformTesting/Diagnostics.h>
#include <PlatformTesting/Direct3D.h>

#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <tuple>

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
    // Lighting is on by default; more than 8 lights are outside the subset, and so is specular
    // addition for unlit vertices without a specular colour.
    ASSERT_EQ(device_->SetRenderState(D3DRS_SPECULARENABLE, TRUE), D3D_OK);
    EXPECT_EQ(Draw(), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_LIGHTING, FALSE), D3D_OK);
    EXPECT_EQ(Draw(), D3DERR_NOTAVAILABLE);
    EXPECT_EQ(PlatformTesting::LastRefusal(),
              "IDirect3DDevice9::DrawPrimitive: specular addition needs a specular colour (COLOR1), which the "
              "vertices lack");
    ASSERT_EQ(device_->SetRenderState(D3DRS_SPECULARENABLE, FALSE), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_LIGHTING, TRUE), D3D_OK);
    for (DWORD light = 0; light < 9; ++light) {
        ASSERT_EQ(device_->LightEnable(light * 3, TRUE), D3D_OK);
    }
    EXPECT_EQ(Draw(), D3DERR_NOTAVAILABLE);
    EXPECT_EQ(PlatformTesting::LastRefusal(),
              "IDirect3DDevice9::DrawPrimitive: 9 lights are enabled; fixed-function lighting takes up to 8");
    ASSERT_EQ(device_->LightEnable(24, FALSE), D3D_OK);
    EXPECT_EQ(Draw(), D3D_OK);
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
        {2, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2,
         "texture transforms on stage 2 are not available; stages 0 and 1 have them"},
        {0, D3DTSS_TEXTURETRANSFORMFLAGS, 5, "texture stage 0: texture transform flags 0x5 are not D3DTTFF values"},
        {0, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_SPHEREMAP,
         "generated texture coordinates (stage 0, D3DTSS_TCI_* 0x40000) are not available; stages 0 and 1 generate "
         "CAMERASPACENORMAL and CAMERASPACEPOSITION"},
        {2, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACEPOSITION,
         "generated texture coordinates (stage 2, D3DTSS_TCI_* 0x20000) are not available; stages 0 and 1 generate "
         "CAMERASPACENORMAL and CAMERASPACEPOSITION"},
        {0, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACENORMAL,
         "stage 0 generates camera-space normals, but the vertices have no NORMAL"},
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
    ASSERT_EQ(device_->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, 0), D3D_OK);
    ASSERT_EQ(device_->SetTextureStageState(1, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2), D3D_OK);
    EXPECT_EQ(Draw(), D3DERR_NOTAVAILABLE);
    EXPECT_EQ(PlatformTesting::LastRefusal(),
              "IDirect3DDevice9::DrawPrimitive: texture transform on stage 1 of coordinate set 0 is not available; "
              "only set n on stage n");
    ASSERT_EQ(device_->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, 1), D3D_OK);
    ASSERT_EQ(device_->SetTextureStageState(1, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE), D3D_OK);
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

// D3DFVF_XYZ | D3DFVF_TEX1: a 2D coordinate set.
struct TexturedModelVertex {
    float x, y, z;
    float u, v;
};

const D3DVERTEXELEMENT9 kTexturedModelElements[] = {
    {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
    {0, 12, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
    D3DDECL_END()};

constexpr DWORD kRed = 0xFFFF0000;
constexpr DWORD kGreen = 0xFF00FF00;
constexpr DWORD kBlue = 0xFF0000FF;
constexpr DWORD kWhite = 0xFFFFFFFF;

// Stage 0 shows a 2x2 texture (red, green / blue, white) on a quad whose coordinates run 0..1
// across the target: each quadrant's centre samples at u, v = 0.25 or 0.75.
class TextureTransformTest : public FixedFunctionTest {
protected:
    void SetUp() override {
        FixedFunctionTest::SetUp();
        ASSERT_EQ(device_->SetRenderState(D3DRS_LIGHTING, FALSE), D3D_OK);
        ASSERT_EQ(device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE), D3D_OK);
        IDirect3DTexture9* texture = MakeTexture(2, 2, [](UINT x, UINT y) {
            static const DWORD kTexels[2][2] = {{kRed, kGreen}, {kBlue, kWhite}};
            return kTexels[y][x];
        });
        ASSERT_EQ(device_->SetTexture(0, texture), D3D_OK);
        texture->Release();
        SetStage(0, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_CURRENT);
        Bind(
            std::vector<TexturedModelVertex> {
                {-1, 1, 0.5f, 0, 0}, {1, 1, 0.5f, 1, 0}, {-1, -1, 0.5f, 0, 1}, {1, -1, 0.5f, 1, 1}},
            kTexturedModelElements);
    }

    void SetTextureMatrix(const D3DMATRIX& matrix) {
        ASSERT_EQ(device_->SetTransform(D3DTS_TEXTURE0, &matrix), D3D_OK);
    }

    // Draws with stage 0's transform flags; the quadrants' colours: top left, top right, bottom
    // left, bottom right.
    std::vector<DWORD> DrawWith(DWORD flags) {
        EXPECT_EQ(device_->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, flags), D3D_OK);
        EXPECT_EQ(Draw(), D3D_OK);
        const std::vector<DWORD> pixels = ReadBackBuffer();
        std::vector<DWORD> quadrants;
        for (UINT y : {kHeight / 4, kHeight * 3 / 4}) {
            for (UINT x : {kWidth / 4, kWidth * 3 / 4}) {
                quadrants.push_back(pixels[y * kWidth + x] | 0xFF000000);
            }
        }
        return quadrants;
    }
};

// An identity matrix with some elements replaced, by row and column from 1.
D3DMATRIX Identity(std::initializer_list<std::tuple<int, int, float>> elements) {
    D3DMATRIX matrix = Matrix(1, 1, 1, 0, 0, 0);
    for (const auto& [row, column, value] : elements) {
        matrix.m[row - 1][column - 1] = value;
    }
    return matrix;
}

using Quadrants = std::vector<DWORD>;

TEST_F(TextureTransformTest, TwoDimensionalCoordinatesAreMultipliedAsURowVectorWithOneThenZero) {
    EXPECT_EQ(DrawWith(D3DTTFF_DISABLE), (Quadrants {kRed, kGreen, kBlue, kWhite}));
    // u and v swapped: the top right samples (0.25, 0.75).
    SetTextureMatrix(Identity({{1, 1, 0.0f}, {1, 2, 1.0f}, {2, 1, 1.0f}, {2, 2, 0.0f}}));
    EXPECT_EQ(DrawWith(D3DTTFF_COUNT2), (Quadrants {kRed, kBlue, kGreen, kWhite}));
    // (u, v) is multiplied as (u, v, 1, 0): the third row moves it by half the texture (wrapping),
    // the fourth row does not, and neither does the transposed place of the third row's element.
    SetTextureMatrix(Identity({{3, 1, 0.5f}}));
    EXPECT_EQ(DrawWith(D3DTTFF_COUNT2), (Quadrants {kGreen, kRed, kWhite, kBlue}));
    SetTextureMatrix(Identity({{4, 1, 0.5f}, {4, 2, 0.5f}, {1, 3, 0.5f}, {2, 3, 0.5f}}));
    EXPECT_EQ(DrawWith(D3DTTFF_COUNT2), (Quadrants {kRed, kGreen, kBlue, kWhite}));
    // COUNT1 keeps u alone: v reads 0, the top row.
    SetTextureMatrix(Identity({{3, 1, 0.5f}, {3, 2, 0.5f}}));
    EXPECT_EQ(DrawWith(D3DTTFF_COUNT1), (Quadrants {kGreen, kRed, kGreen, kRed}));
}

TEST_F(TextureTransformTest, SwitchingTheFlagsSwitchesTheProgram) {
    // u' = u + 0.5, v' = v, third component 2: projected, (u + 0.5) / 2 and v / 2.
    SetTextureMatrix(Identity({{3, 1, 0.5f}, {3, 3, 2.0f}}));
    const Quadrants untransformed {kRed, kGreen, kBlue, kWhite};
    const Quadrants moved {kGreen, kRed, kWhite, kBlue};
    const Quadrants projected {kRed, kGreen, kRed, kGreen};
    EXPECT_EQ(DrawWith(D3DTTFF_DISABLE), untransformed);
    EXPECT_EQ(DrawWith(D3DTTFF_COUNT2), moved);
    EXPECT_EQ(DrawWith(D3DTTFF_COUNT3), moved) << "a 2D texture ignores the third component";
    EXPECT_EQ(DrawWith(D3DTTFF_COUNT3 | D3DTTFF_PROJECTED), projected);
    EXPECT_EQ(DrawWith(D3DTTFF_COUNT2), moved);
    EXPECT_EQ(DrawWith(D3DTTFF_DISABLE), untransformed);
    // The matrix is a uniform, read at each draw.
    SetTextureMatrix(Identity({}));
    EXPECT_EQ(DrawWith(D3DTTFF_COUNT2), untransformed);
}

// D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1.
struct NormalModelVertex {
    float x, y, z;
    float nx, ny, nz;
    float u, v;
};

const D3DVERTEXELEMENT9 kNormalModelElements[] = {
    {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
    {0, 12, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_NORMAL, 0},
    {0, 24, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
    D3DDECL_END()};

TEST_F(TextureTransformTest, CameraSpacePositionsAndNormalsAreGeneratedAsXyzOne) {
    // Normals equal to the positions' x and y; the vertices' own coordinates are all 0 (red).
    Bind(std::vector<NormalModelVertex> {{-1, 1, 0.5f, -1, 1, 0, 0, 0},
                                         {1, 1, 0.5f, 1, 1, 0, 0, 0},
                                         {-1, -1, 0.5f, -1, -1, 0, 0, 0},
                                         {1, -1, 0.5f, 1, -1, 0, 0, 0}},
         kNormalModelElements);
    // The view moves x by 1 and the projection back: the picture stays put, camera-space x does not.
    const D3DMATRIX view = Matrix(1, 1, 1, 1.0f, 0, 0);
    const D3DMATRIX projection = Matrix(1, 1, 1, -1.0f, 0, 0);
    ASSERT_EQ(device_->SetTransform(D3DTS_VIEW, &view), D3D_OK);
    ASSERT_EQ(device_->SetTransform(D3DTS_PROJECTION, &projection), D3D_OK);
    // u = (1 - y) / 2, v = (x + 1) / 2; the generated (x, y, z, 1) takes the fourth row's offsets.
    SetTextureMatrix(Identity({{1, 1, 0.0f}, {1, 2, 0.5f}, {2, 1, -0.5f}, {2, 2, 0.0f}, {4, 1, 0.5f}, {4, 2, 0.5f}}));
    ASSERT_EQ(device_->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACENORMAL), D3D_OK);
    EXPECT_EQ(DrawWith(D3DTTFF_COUNT2), (Quadrants {kRed, kBlue, kGreen, kWhite})) << "normals ignore the view's move";
    ASSERT_EQ(device_->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACEPOSITION), D3D_OK);
    EXPECT_EQ(DrawWith(D3DTTFF_COUNT2), (Quadrants {kBlue, kRed, kWhite, kGreen})) << "positions move with the view";
    ASSERT_EQ(device_->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0), D3D_OK);
    EXPECT_EQ(DrawWith(D3DTTFF_COUNT2), (Quadrants {kRed, kRed, kRed, kRed})) << "the vertices' (0, 0)";
}

TEST_F(TextureTransformTest, PretransformedVerticesKeepTheirCoordinates) {
    SetTextureMatrix(Identity({{3, 1, 0.5f}}));
    BindScreenQuad(0, 0, kWidth, kHeight, kWhite);
    EXPECT_EQ(DrawWith(D3DTTFF_COUNT2), (Quadrants {kRed, kGreen, kBlue, kWhite}));
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
    // The colours it reads are lit: no lights, so global ambient times material ambient.
    ASSERT_EQ(nvesk::d3d9::UseShaderProgram(device_, colours), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_AMBIENT, 0x00806040), D3D_OK);
    D3DMATERIAL9 material {};
    material.Ambient = D3DCOLORVALUE {1.0f, 1.0f, 0.5f, 1.0f};
    ASSERT_EQ(device_->SetMaterial(&material), D3D_OK);
    ASSERT_EQ(Draw(), D3D_OK);
    EXPECT_TRUE(NearRgb(ReadBackBuffer()[(kHeight / 2) * kWidth + kWidth / 2], 0xFF806020));
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

// --- lights, material and flexible vertex formats ---

// D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE.
struct LitVertex {
    float x, y, z;
    float nx, ny, nz;
    DWORD diffuse;
};

D3DLIGHT9 Light(D3DLIGHTTYPE type, D3DVECTOR position, D3DVECTOR direction) {
    D3DLIGHT9 light {};
    light.Type = type;
    light.Diffuse = D3DCOLORVALUE {1.0f, 1.0f, 1.0f, 1.0f};
    light.Position = position;
    light.Direction = direction;
    light.Range = 100.0f;
    light.Attenuation0 = 1.0f;
    return light;
}

class LightingTest : public FixedFunctionTest {
protected:
    // A quad over the whole target at depth z facing the camera (normal -z), drawn through SetFVF.
    void BindLitQuad(float z, DWORD fvf, DWORD diffuse = 0xFFFFFFFF) {
        const std::vector<LitVertex> quad = {{-1, 1, z, 0, 0, -1, diffuse},
                                             {1, 1, z, 0, 0, -1, diffuse},
                                             {-1, -1, z, 0, 0, -1, diffuse},
                                             {1, -1, z, 0, 0, -1, diffuse}};
        Bind(quad, kModelElements);
        ASSERT_EQ(device_->SetFVF(fvf), D3D_OK);
        ASSERT_EQ(device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE), D3D_OK);
    }

    DWORD Centre() { return ReadBackBuffer()[(kHeight / 2) * kWidth + kWidth / 2]; }

    // Light 0: directional straight onto the quad (N.L = 1), grey `intensity`.
    void EnableHeadOnLight(float intensity) {
        D3DLIGHT9 light = Light(D3DLIGHT_DIRECTIONAL, {}, {0, 0, 1});
        light.Diffuse = D3DCOLORVALUE {intensity, intensity, intensity, 1.0f};
        ASSERT_EQ(device_->SetLight(0, &light), D3D_OK);
        ASSERT_EQ(device_->LightEnable(0, TRUE), D3D_OK);
    }

    void SetMaterial(D3DCOLORVALUE diffuse, D3DCOLORVALUE ambient = {}, D3DCOLORVALUE emissive = {}) {
        D3DMATERIAL9 material {};
        material.Diffuse = diffuse;
        material.Ambient = ambient;
        material.Emissive = emissive;
        ASSERT_EQ(device_->SetMaterial(&material), D3D_OK);
    }

    static constexpr DWORD kLitFvf = D3DFVF_XYZ | D3DFVF_NORMAL;
    static constexpr DWORD kLitColouredFvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE;
};

TEST_F(LightingTest, LightsAndMaterialStartEmptyKeepWhatIsSetAndResetClearsThem) {
    D3DLIGHT9 light {};
    BOOL enabled = TRUE;
    EXPECT_EQ(device_->GetLight(0, &light), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->GetLightEnable(0, &enabled), D3DERR_INVALIDCALL);
    D3DMATERIAL9 material {};
    material.Power = 7.0f;
    ASSERT_EQ(device_->GetMaterial(&material), D3D_OK);
    const D3DMATERIAL9 zero {};
    EXPECT_EQ(std::memcmp(&material, &zero, sizeof(material)), 0);
    D3DCAPS9 caps {};
    ASSERT_EQ(device_->GetDeviceCaps(&caps), D3D_OK);
    EXPECT_EQ(caps.MaxActiveLights, 8u);

    // Enabling an index never set creates Direct3D 9's default light there; enabled reads 128.
    ASSERT_EQ(device_->LightEnable(1000, TRUE), D3D_OK);
    ASSERT_EQ(device_->GetLight(1000, &light), D3D_OK);
    EXPECT_EQ(light.Type, D3DLIGHT_DIRECTIONAL);
    EXPECT_EQ(light.Diffuse.r, 1.0f);
    EXPECT_EQ(light.Diffuse.a, 0.0f);
    EXPECT_EQ(light.Direction.z, 1.0f);
    EXPECT_EQ(light.Range, 0.0f);
    ASSERT_EQ(device_->GetLightEnable(1000, &enabled), D3D_OK);
    EXPECT_EQ(enabled, 128);
    ASSERT_EQ(device_->LightEnable(1000, FALSE), D3D_OK);
    ASSERT_EQ(device_->GetLightEnable(1000, &enabled), D3D_OK);
    EXPECT_EQ(enabled, FALSE);

    const D3DLIGHT9 spot = [] {
        D3DLIGHT9 l = Light(D3DLIGHT_SPOT, {1, 2, 3}, {0, -1, 0});
        l.Theta = 0.5f;
        l.Phi = 1.0f;
        l.Falloff = 1.0f;
        return l;
    }();
    ASSERT_EQ(device_->SetLight(3, &spot), D3D_OK);
    ASSERT_EQ(device_->GetLight(3, &light), D3D_OK);
    EXPECT_EQ(std::memcmp(&light, &spot, sizeof(light)), 0);
    ASSERT_EQ(device_->GetLightEnable(3, &enabled), D3D_OK);
    EXPECT_EQ(enabled, FALSE);  // SetLight does not enable

    material.Diffuse = D3DCOLORVALUE {0.1f, 0.2f, 0.3f, 0.4f};
    material.Power = 12.0f;
    ASSERT_EQ(device_->SetMaterial(&material), D3D_OK);
    D3DMATERIAL9 read {};
    ASSERT_EQ(device_->GetMaterial(&read), D3D_OK);
    EXPECT_EQ(std::memcmp(&read, &material, sizeof(read)), 0);

    D3DPRESENT_PARAMETERS parameters = WindowedParameters(window_->Handle(), kWidth, kHeight);
    ASSERT_EQ(device_->Reset(&parameters), D3D_OK);
    EXPECT_EQ(device_->GetLight(3, &light), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->GetLightEnable(1000, &enabled), D3DERR_INVALIDCALL);
    ASSERT_EQ(device_->GetMaterial(&read), D3D_OK);
    EXPECT_EQ(std::memcmp(&read, &zero, sizeof(read)), 0);
}

TEST_F(LightingTest, SetLightRefusesWhatDirect3DRefuses) {
    const struct {
        const char* what;
        D3DLIGHT9 light;
    } refused[] = {{"unknown type", Light(static_cast<D3DLIGHTTYPE>(4), {}, {0, 0, 1})},
                   {"directional without direction", Light(D3DLIGHT_DIRECTIONAL, {}, {0, 0, 0})},
                   {"negative range",
                    [] {
                        D3DLIGHT9 l = Light(D3DLIGHT_POINT, {}, {});
                        l.Range = -1.0f;
                        return l;
                    }()},
                   {"negative attenuation",
                    [] {
                        D3DLIGHT9 l = Light(D3DLIGHT_POINT, {}, {});
                        l.Attenuation1 = -0.5f;
                        return l;
                    }()},
                   {"spot theta over phi",
                    [] {
                        D3DLIGHT9 l = Light(D3DLIGHT_SPOT, {}, {0, 0, 1});
                        l.Theta = 1.0f;
                        l.Phi = 0.5f;
                        return l;
                    }()},
                   {"spot phi over pi", [] {
                        D3DLIGHT9 l = Light(D3DLIGHT_SPOT, {}, {0, 0, 1});
                        l.Phi = 3.5f;
                        return l;
                    }()}};
    for (const auto& entry : refused) {
        EXPECT_EQ(device_->SetLight(0, &entry.light), D3DERR_INVALIDCALL) << entry.what;
    }
    D3DLIGHT9 light {};
    EXPECT_EQ(device_->GetLight(0, &light), D3DERR_INVALIDCALL) << "a refused light is not stored";
    EXPECT_EQ(device_->SetLight(0, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->SetMaterial(nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->GetMaterial(nullptr), D3DERR_INVALIDCALL);
    // A point light's direction and a directional light's range do not matter.
    const D3DLIGHT9 point = Light(D3DLIGHT_POINT, {}, {0, 0, 0});
    EXPECT_EQ(device_->SetLight(0, &point), D3D_OK);
    D3DLIGHT9 directional = Light(D3DLIGHT_DIRECTIONAL, {}, {0, 0, 1});
    directional.Range = -5.0f;
    EXPECT_EQ(device_->SetLight(1, &directional), D3D_OK);
}

TEST_F(LightingTest, SetFvfDescribesTheVerticesAndGivesWayToDeclarations) {
    DWORD fvf = 1;
    ASSERT_EQ(device_->GetFVF(&fvf), D3D_OK);
    EXPECT_EQ(fvf, 0u);
    ASSERT_EQ(device_->SetFVF(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX2 | D3DFVF_TEXCOORDSIZE3(1)),
              D3D_OK);
    ASSERT_EQ(device_->GetFVF(&fvf), D3D_OK);
    EXPECT_EQ(fvf,
              static_cast<DWORD>(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX2 | D3DFVF_TEXCOORDSIZE3(1)));
    // The declaration GetVertexDeclaration hands out for the format set.
    auto expectDeclaration = [this](const std::vector<D3DVERTEXELEMENT9>& expected) {
        IDirect3DVertexDeclaration9* declaration = nullptr;
        ASSERT_EQ(device_->GetVertexDeclaration(&declaration), D3D_OK);
        ASSERT_NE(declaration, nullptr);
        D3DVERTEXELEMENT9 elements[MAXD3DDECLLENGTH + 1] {};
        UINT count = 0;
        ASSERT_EQ(declaration->GetDeclaration(elements, &count), D3D_OK);
        declaration->Release();
        ASSERT_EQ(count, expected.size());
        EXPECT_EQ(std::memcmp(elements, expected.data(), count * sizeof(D3DVERTEXELEMENT9)), 0);
    };
    expectDeclaration({{0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
                       {0, 12, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_NORMAL, 0},
                       {0, 24, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
                       {0, 28, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
                       {0, 36, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 1},
                       D3DDECL_END()});
    // Blend weights: the last beta as indices.
    ASSERT_EQ(device_->SetFVF(D3DFVF_XYZB3 | D3DFVF_LASTBETA_UBYTE4 | D3DFVF_SPECULAR), D3D_OK);
    expectDeclaration({{0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
                       {0, 12, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_BLENDWEIGHT, 0},
                       {0, 20, D3DDECLTYPE_UBYTE4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_BLENDINDICES, 0},
                       {0, 24, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 1},
                       D3DDECL_END()});

    // Undefined bits, nine coordinate sets, sizes for sets not there, both last-beta kinds.
    for (DWORD bad : {DWORD {D3DFVF_XYZ | D3DFVF_RESERVED0}, DWORD {D3DFVF_XYZ | 0x900},
                      DWORD {D3DFVF_XYZ | D3DFVF_TEX1 | D3DFVF_TEXCOORDSIZE3(1)},
                      DWORD {D3DFVF_XYZB2 | D3DFVF_LASTBETA_UBYTE4 | D3DFVF_LASTBETA_D3DCOLOR}}) {
        EXPECT_EQ(device_->SetFVF(bad), D3DERR_INVALIDCALL) << std::hex << bad;
    }
    ASSERT_EQ(device_->GetFVF(&fvf), D3D_OK);
    EXPECT_EQ(fvf, static_cast<DWORD>(D3DFVF_XYZB3 | D3DFVF_LASTBETA_UBYTE4 | D3DFVF_SPECULAR));
    EXPECT_EQ(device_->GetFVF(nullptr), D3DERR_INVALIDCALL);

    // A declaration replaces the format.
    IDirect3DVertexDeclaration9* declaration = nullptr;
    ASSERT_EQ(device_->CreateVertexDeclaration(kModelElements, &declaration), D3D_OK);
    ASSERT_EQ(device_->SetVertexDeclaration(declaration), D3D_OK);
    declaration->Release();
    ASSERT_EQ(device_->GetFVF(&fvf), D3D_OK);
    EXPECT_EQ(fvf, 0u);
}

TEST_F(LightingTest, PretransformedFvfQuadDrawsWithoutADeclaration) {
    BindScreenQuad(0, 0, kWidth, kHeight, 0xFF3060C0);
    ASSERT_EQ(device_->SetVertexDeclaration(nullptr), D3D_OK);
    // ScreenVertex is XYZRHW | DIFFUSE | TEX2.
    ASSERT_EQ(device_->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX2), D3D_OK);
    ASSERT_EQ(Draw(), D3D_OK);
    EXPECT_TRUE(NearRgb(Centre(), 0xFF3060C0));
}

// The documented equations, one directional light at 60 degrees from the normal (N.L = 0.5):
//   red   = Ca.r (Ga.r + La.r) + Cd.r Ld.r 0.5 + Ce.r = 1.0 (32/255 + 0.1) + 0.8 * 1.0 * 0.5 + 0.05 = 0.675 -> 172
//   green = 0.5 (64/255 + 0.2) + 0.5 * 0.8 * 0.5 = 0.425 -> 108.5
//   blue  = 0.25 (96/255 + 0.3) + 1.0 * 0.6 * 0.5 = 0.469 -> 119.6
TEST_F(LightingTest, DirectionalLightGivesTheDocumentedAmbientDiffuseAndEmissiveSum) {
    BindLitQuad(0.5f, kLitFvf);
    ASSERT_EQ(device_->SetRenderState(D3DRS_AMBIENT, 0x00204060), D3D_OK);
    SetMaterial({0.8f, 0.5f, 1.0f, 1.0f}, {1.0f, 0.5f, 0.25f, 1.0f}, {0.05f, 0.0f, 0.0f, 0.0f});
    D3DLIGHT9 light = Light(D3DLIGHT_DIRECTIONAL, {}, {0.8660254f, 0.0f, 0.5f});
    light.Diffuse = D3DCOLORVALUE {1.0f, 0.8f, 0.6f, 1.0f};
    light.Ambient = D3DCOLORVALUE {0.1f, 0.2f, 0.3f, 0.0f};
    ASSERT_EQ(device_->SetLight(2, &light), D3D_OK);
    ASSERT_EQ(device_->LightEnable(2, TRUE), D3D_OK);
    ASSERT_EQ(Draw(), D3D_OK);
    EXPECT_TRUE(NearRgb(Centre(), 0xFFAC6D78)) << std::hex << Centre();

    // A disabled light adds nothing: ambient and emissive remain.
    ASSERT_EQ(device_->LightEnable(2, FALSE), D3D_OK);
    ASSERT_EQ(Draw(), D3D_OK);
    // red 1.0 * 32/255 + 0.05 = 0.175 -> 44.6; green 0.5 * 64/255 -> 32; blue 0.25 * 96/255 -> 24
    EXPECT_TRUE(NearRgb(Centre(), 0xFF2D2018)) << std::hex << Centre();
}

TEST_F(LightingTest, NormalsFollowTheInverseTransposeAndNormalizeOnRequest) {
    BindLitQuad(0.25f, kLitFvf);
    SetMaterial({1.0f, 1.0f, 1.0f, 1.0f});
    // Straight onto the quad: N.L = 1 with unit normals.
    EnableHeadOnLight(1.0f);
    ASSERT_EQ(Draw(), D3D_OK);
    EXPECT_TRUE(NearRgb(Centre(), 0xFFFFFFFF)) << std::hex << Centre();
    // World scaled by 4: the normal shrinks to 1/4 unless normalized.
    const D3DMATRIX scale = Matrix(4, 4, 2, 0, 0, 0);
    ASSERT_EQ(device_->SetTransform(D3DTS_WORLD, &scale), D3D_OK);
    ASSERT_EQ(Draw(), D3D_OK);
    EXPECT_TRUE(NearRgb(Centre(), 0xFF808080)) << std::hex << Centre();  // 1/2 from z's scale of 2
    ASSERT_EQ(device_->SetRenderState(D3DRS_NORMALIZENORMALS, TRUE), D3D_OK);
    ASSERT_EQ(Draw(), D3D_OK);
    EXPECT_TRUE(NearRgb(Centre(), 0xFFFFFFFF)) << std::hex << Centre();
}

// A point light 1 in front of the quad's plane at its centre: every corner is sqrt(3) away with
// N.L = 1/sqrt(3), and attenuation 1 / (0 + 1 * d) = 1/sqrt(3): diffuse = Cd / 3.
TEST_F(LightingTest, PointAndSpotLightsAttenuateAndStopAtTheirRange) {
    BindLitQuad(0.5f, kLitFvf);
    SetMaterial({0.9f, 0.6f, 0.3f, 1.0f});
    D3DLIGHT9 light = Light(D3DLIGHT_POINT, {0, 0, -0.5f}, {0, 0, 1});
    light.Attenuation0 = 0.0f;
    light.Attenuation1 = 1.0f;
    ASSERT_EQ(device_->SetLight(0, &light), D3D_OK);
    ASSERT_EQ(device_->LightEnable(0, TRUE), D3D_OK);
    ASSERT_EQ(Draw(), D3D_OK);
    EXPECT_TRUE(NearRgb(Centre(), 0xFF4C331A)) << std::hex << Centre();  // 76.5, 51, 25.5

    light.Range = 1.5f;  // short of every vertex
    ASSERT_EQ(device_->SetLight(0, &light), D3D_OK);
    ASSERT_EQ(Draw(), D3D_OK);
    EXPECT_TRUE(NearRgb(Centre(), kBlack)) << std::hex << Centre();

    // As a spot pointing at the quad, each corner is 54.7 degrees off its axis (rho = 0.577),
    // between theta/2 = 50 and phi/2 = 60 degrees: Spot = (0.577 - cos 60) / (cos 50 - cos 60) = 0.542.
    light.Type = D3DLIGHT_SPOT;
    light.Range = 100.0f;
    light.Theta = 100.0f * 3.14159265f / 180.0f;
    light.Phi = 120.0f * 3.14159265f / 180.0f;
    light.Falloff = 1.0f;
    ASSERT_EQ(device_->SetLight(0, &light), D3D_OK);
    SetMaterial({1.0f, 1.0f, 1.0f, 1.0f});
    ASSERT_EQ(Draw(), D3D_OK);
    EXPECT_TRUE(NearRgb(Centre(), 0xFF2E2E2E)) << std::hex << Centre();  // 255 / 3 * 0.542 = 46
}

TEST_F(LightingTest, MaterialSourcesTakeTheVertexColourWhenColorVertexIsOn) {
    BindLitQuad(0.5f, kLitColouredFvf, 0xFF40C080);
    SetMaterial({1.0f, 1.0f, 1.0f, 1.0f}, {}, {0.0f, 0.0f, 0.25f, 0.0f});
    EnableHeadOnLight(1.0f);
    // Diffuse from COLOR1 (the vertex diffuse) by default.
    ASSERT_EQ(Draw(), D3D_OK);
    EXPECT_TRUE(NearRgb(Centre(), 0xFF40C0C0)) << std::hex << Centre();  // + emissive blue 64
    ASSERT_EQ(device_->SetRenderState(D3DRS_COLORVERTEX, FALSE), D3D_OK);
    ASSERT_EQ(Draw(), D3D_OK);
    EXPECT_TRUE(NearRgb(Centre(), 0xFFFFFFFF)) << std::hex << Centre();
    // Emissive from the vertex colour, diffuse from the material.
    ASSERT_EQ(device_->SetRenderState(D3DRS_COLORVERTEX, TRUE), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_MATERIAL), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_EMISSIVEMATERIALSOURCE, D3DMCS_COLOR1), D3D_OK);
    EnableHeadOnLight(0.25f);
    ASSERT_EQ(Draw(), D3D_OK);
    EXPECT_TRUE(NearRgb(Centre(), 0xFF80FFC0)) << std::hex << Centre();  // 64 + 64, 192 + 64, 128 + 64
}

// Specular lighting alone (no diffuse material): light and material specular (1, 0.5, 0.25),
// power 2, the light straight onto the quad. Without a local viewer H = norm((0, 0, -1) + L) is
// the normal: N.H = 1. With one, at each corner (1, 1, 0.5) in camera space H = norm(norm(-P) + L)
// gives N.H = 0.8165, squared 0.667.
TEST_F(LightingTest, SpecularLightingIsAddedAfterTheStages) {
    BindLitQuad(0.5f, kLitFvf);
    D3DMATERIAL9 material {};
    material.Specular = D3DCOLORVALUE {1.0f, 0.5f, 0.25f, 1.0f};
    material.Power = 2.0f;
    ASSERT_EQ(device_->SetMaterial(&material), D3D_OK);
    D3DLIGHT9 light = Light(D3DLIGHT_DIRECTIONAL, {}, {0, 0, 1});
    light.Diffuse = D3DCOLORVALUE {};
    light.Specular = D3DCOLORVALUE {1.0f, 1.0f, 1.0f, 1.0f};
    ASSERT_EQ(device_->SetLight(0, &light), D3D_OK);
    ASSERT_EQ(device_->LightEnable(0, TRUE), D3D_OK);
    ASSERT_EQ(Draw(), D3D_OK);
    EXPECT_TRUE(NearRgb(Centre(), kBlack)) << std::hex << Centre();  // off by default
    ASSERT_EQ(device_->SetRenderState(D3DRS_SPECULARENABLE, TRUE), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_LOCALVIEWER, FALSE), D3D_OK);
    ASSERT_EQ(Draw(), D3D_OK);
    EXPECT_TRUE(NearRgb(Centre(), 0xFFFF8040)) << std::hex << Centre();  // 255, 127.5, 63.75
    ASSERT_EQ(device_->SetRenderState(D3DRS_LOCALVIEWER, TRUE), D3D_OK);
    ASSERT_EQ(Draw(), D3D_OK);
    EXPECT_TRUE(NearRgb(Centre(), 0xFFAA552A)) << std::hex << Centre();  // 170, 85, 42.5
}

TEST_F(LightingTest, UnlitVerticesAddTheirSpecularColour) {
    struct Vertex {
        float x, y, z, rhw;
        DWORD diffuse, specular;
    };
    const DWORD diffuse = 0xFF402010, specular = 0xFF2040F0;
    Bind(std::vector<Vertex> {{0, 0, 0.5f, 1, diffuse, specular},
                              {kWidth, 0, 0.5f, 1, diffuse, specular},
                              {0, kHeight, 0.5f, 1, diffuse, specular},
                              {kWidth, kHeight, 0.5f, 1, diffuse, specular}},
         kModelElements);
    ASSERT_EQ(device_->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR), D3D_OK);
    ASSERT_EQ(Draw(), D3D_OK);
    EXPECT_TRUE(NearRgb(Centre(), diffuse)) << std::hex << Centre();
    ASSERT_EQ(device_->SetRenderState(D3DRS_SPECULARENABLE, TRUE), D3D_OK);
    ASSERT_EQ(Draw(), D3D_OK);
    EXPECT_TRUE(NearRgb(Centre(), 0xFF6060FF)) << std::hex << Centre();  // blue saturates
}

}  // namespace
}  // namespace D3D9Test

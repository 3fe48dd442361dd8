// Pixel tests: what a frame holds after clears and draws, read back with GetRenderTargetData,
// against what Direct3D 9 produces (pixel centres at integer coordinates, top-left fill rule,
// texel-corner sampling for quads at whole pixels, counter-clockwise culling by default). Each
// runs twice: drawing into the back buffer's own image, and straight into the window.
#include "Direct3DTestSupport.h"
#include "support/ComPtr.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace D3D9Test {
namespace {

using nvesk::d3d9::ShaderProgramHandle;

constexpr DWORD kBlack = 0xFF000000;

int Channel(DWORD colour, int shift) {
    return static_cast<int>((colour >> shift) & 0xFF);
}

// Whether two colours differ by at most `tolerance` in each channel.
bool Near(DWORD a, DWORD b, int tolerance) {
    for (int shift = 0; shift < 32; shift += 8) {
        if (std::abs(Channel(a, shift) - Channel(b, shift)) > tolerance) {
            return false;
        }
    }
    return true;
}

DWORD Gradient(UINT x, UINT y) {
    return 0xFF000000u | ((x * 16u) << 16) | ((y * 16u) << 8) | 0x40u;
}

class RenderingTest : public WindowSizedDeviceTest, public ::testing::WithParamInterface<FramePath> {
protected:
    void SetUp() override {
        WindowSizedDeviceTest::SetUp();
        if (GetParam() == FramePath::Window) {
            MoveDrawingIntoWindow();
        }
    }

    void DrawQuad(const std::vector<QuadVertex>& quad) {
        BindVertices(quad);
        ASSERT_EQ(device_->BeginScene(), D3D_OK);
        ASSERT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
        ASSERT_EQ(device_->EndScene(), D3D_OK);
    }

    void DrawSolidQuad(float r, float g, float b, float a, const std::vector<QuadVertex>& quad) {
        const ShaderProgramHandle program = SolidProgram();
        SetColor(program, r, g, b, a);
        ASSERT_EQ(nvesk::d3d9::UseShaderProgram(device_, program), D3D_OK);
        DrawQuad(quad);
    }

    DWORD At(const std::vector<DWORD>& pixels, UINT x, UINT y) { return pixels[y * kWidth + x]; }
};

TEST_P(RenderingTest, ClearFillsTheTargetWithTheExactColourAndOnlyTheRectangles) {
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF102030, 1.0f, 0), D3D_OK);
    std::vector<DWORD> pixels = ReadBackBuffer();
    ASSERT_EQ(pixels.size(), kWidth * kHeight);
    for (DWORD pixel : pixels) {
        ASSERT_EQ(pixel, 0xFF102030u);
    }
    const D3DRECT rects[] = {{10, 5, 20, 15}, {30, 40, 100, 100}};
    ASSERT_EQ(device_->Clear(2, rects, D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0), D3D_OK);
    pixels = ReadBackBuffer();
    EXPECT_EQ(At(pixels, 10, 5), 0xFF0000FFu);
    EXPECT_EQ(At(pixels, 19, 14), 0xFF0000FFu);
    EXPECT_EQ(At(pixels, 20, 14), 0xFF102030u);
    EXPECT_EQ(At(pixels, 19, 15), 0xFF102030u);
    EXPECT_EQ(At(pixels, 9, 5), 0xFF102030u);
    EXPECT_EQ(At(pixels, 63, 47), 0xFF0000FFu);  // the second rectangle is cut at the target's edge
    EXPECT_EQ(At(pixels, 29, 47), 0xFF102030u);
}

TEST_P(RenderingTest, ClearIgnoresTheColourWriteMaskAndKeepsIt) {
    ASSERT_EQ(device_->SetRenderState(D3DRS_COLORWRITEENABLE, 0), D3D_OK);
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF336699, 1.0f, 0), D3D_OK);
    EXPECT_EQ(ReadBackBuffer()[0], 0xFF336699u);
    DWORD mask = 0xF;
    ASSERT_EQ(device_->GetRenderState(D3DRS_COLORWRITEENABLE, &mask), D3D_OK);
    EXPECT_EQ(mask, 0u);
}

TEST_P(RenderingTest, OneToOneQuadCoversExactlyItsPixelsWithItsTexels) {
    IDirect3DTexture9* texture = MakeTexture(16, 16, Gradient);
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBlack, 1.0f, 0), D3D_OK);
    ASSERT_EQ(nvesk::d3d9::UseShaderProgram(device_, TexturedProgram()), D3D_OK);
    ASSERT_EQ(device_->SetTexture(0, texture), D3D_OK);
    DrawQuad(Quad(10, 7, 16, 16));
    const std::vector<DWORD> pixels = ReadBackBuffer();
    for (UINT y = 0; y < kHeight; ++y) {
        for (UINT x = 0; x < kWidth; ++x) {
            const bool inside = x >= 10 && x < 26 && y >= 7 && y < 23;
            const DWORD expected = inside ? Gradient(x - 10, y - 7) : kBlack;
            ASSERT_EQ(At(pixels, x, y), expected) << "pixel " << x << "," << y;
        }
    }
    texture->Release();
}

TEST_P(RenderingTest, LinearFilteringSamplesTexelCornersAsDirect3DDoes) {
    IDirect3DTexture9* texture = MakeTexture(16, 16, Gradient);
    ASSERT_EQ(nvesk::d3d9::UseShaderProgram(device_, TexturedProgram()), D3D_OK);
    ASSERT_EQ(device_->SetTexture(0, texture), D3D_OK);
    for (D3DSAMPLERSTATETYPE state : {D3DSAMP_MINFILTER, D3DSAMP_MAGFILTER, D3DSAMP_MIPFILTER}) {
        ASSERT_EQ(device_->SetSamplerState(0, state, D3DTEXF_LINEAR), D3D_OK);
    }
    ASSERT_EQ(device_->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP), D3D_OK);
    ASSERT_EQ(device_->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP), D3D_OK);
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBlack, 1.0f, 0), D3D_OK);
    DrawQuad(Quad(10, 7, 16, 16));
    const std::vector<DWORD> pixels = ReadBackBuffer();
    // A whole-pixel quad samples each pixel at the corner between four texels: the mean of
    // texels (i-1, i) across and (j-1, j) down, clamped at the edges.
    for (UINT j = 0; j < 16; ++j) {
        for (UINT i = 0; i < 16; ++i) {
            const UINT left = i == 0 ? 0 : i - 1;
            const UINT up = j == 0 ? 0 : j - 1;
            const DWORD expected = 0xFF000000u | (((left + i) * 8u) << 16) | (((up + j) * 8u) << 8) | 0x40u;
            ASSERT_TRUE(Near(At(pixels, 10 + i, 7 + j), expected, 2))
                << "texel " << i << "," << j << ": " << std::hex << At(pixels, 10 + i, 7 + j) << " vs " << expected;
        }
    }
    texture->Release();
}

TEST_P(RenderingTest, AlphaBlendingMixesSourceOverDestination) {
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF0000FF, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA), D3D_OK);
    DrawSolidQuad(1.0f, 0.0f, 0.0f, 0.25f, Quad(0, 0, 32, 48));
    const std::vector<DWORD> pixels = ReadBackBuffer();
    EXPECT_TRUE(Near(At(pixels, 5, 5), 0xFF4000BF, 1)) << std::hex << At(pixels, 5, 5);
    EXPECT_EQ(At(pixels, 40, 5), 0xFF0000FFu);
}

TEST_P(RenderingTest, AlphaTestComparesEightBitAlphaWithTheReference) {
    // Left half alpha 127, right half 128: the image box's GREATER 0x7F keeps only the right.
    IDirect3DTexture9* texture = MakeTexture(16, 16, [](UINT x, UINT) { return x < 8 ? 0x7F00FF00u : 0x8000FF00u; });
    ASSERT_EQ(nvesk::d3d9::UseShaderProgram(device_, TexturedProgram()), D3D_OK);
    ASSERT_EQ(device_->SetTexture(0, texture), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_ALPHAREF, 0x7F), D3D_OK);
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBlack, 1.0f, 0), D3D_OK);
    DrawQuad(Quad(0, 0, 16, 16));
    std::vector<DWORD> pixels = ReadBackBuffer();
    EXPECT_EQ(At(pixels, 7, 3), kBlack);
    EXPECT_EQ(At(pixels, 8, 3), 0xFF00FF00u);

    ASSERT_EQ(device_->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_EQUAL), D3D_OK);
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, kBlack, 1.0f, 0), D3D_OK);
    DrawQuad(Quad(0, 0, 16, 16));
    pixels = ReadBackBuffer();
    EXPECT_EQ(At(pixels, 7, 3), 0xFF00FF00u);
    EXPECT_EQ(At(pixels, 8, 3), kBlack);

    ASSERT_EQ(device_->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE), D3D_OK);
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, kBlack, 1.0f, 0), D3D_OK);
    DrawQuad(Quad(0, 0, 16, 16));
    pixels = ReadBackBuffer();
    EXPECT_EQ(At(pixels, 7, 3), 0xFF00FF00u);
    EXPECT_EQ(At(pixels, 8, 3), 0xFF00FF00u);
    texture->Release();
}

// Draws with the alpha test on and off run different GL programs behind one handle: every upload
// must reach both (arrays from their first or any later element, integers, sampler units).
TEST_P(RenderingTest, UniformsReachTheProgramWithTheAlphaTestOnAndOff) {
    nvesk::d3d9::ShaderProgramSource source;
    source.vertexGlsl = kPixelQuadVertexShader;
    source.fragmentGlsl = R"(#version 450
in vec2 uv;
uniform vec4 palette[3];
uniform int pick;
uniform sampler2D image;
out vec4 color;
void main() { color = palette[pick] * texture(image, uv); }
)";
    source.attributes = {{"position", D3DDECLUSAGE_POSITION, 0}, {"texcoord", D3DDECLUSAGE_TEXCOORD, 0}};
    ShaderProgramHandle program = 0;
    std::string log;
    ASSERT_EQ(nvesk::d3d9::LinkShaderProgram(device_, source, &program, &log), D3D_OK) << log;
    programs_.push_back(program);
    const auto location = [&](const char* name) { return nvesk::d3d9::GetUniformLocation(device_, program, name); };
    const float size[2] = {static_cast<float>(kWidth), static_cast<float>(kHeight)};
    ASSERT_EQ(nvesk::d3d9::SetUniformFloats(device_, program, location("screenSize"), 2, 1, size), D3D_OK);
    const float palette[12] = {1, 0, 0, 1, 0, 1, 0, 1, 0, 0, 1, 1};
    ASSERT_EQ(nvesk::d3d9::SetUniformFloats(device_, program, location("palette[0]"), 4, 3, palette), D3D_OK);
    const float white[4] = {1, 1, 1, 1};
    ASSERT_EQ(nvesk::d3d9::SetUniformFloats(device_, program, location("palette[2]"), 4, 1, white), D3D_OK);
    ASSERT_EQ(nvesk::d3d9::SetSamplerUnit(device_, program, location("image"), 3), D3D_OK);
    IDirect3DTexture9* texture = MakeTexture(4, 4, [](UINT, UINT) { return 0xFFFFFF00u; });
    ASSERT_EQ(device_->SetTexture(3, texture), D3D_OK);
    ASSERT_EQ(nvesk::d3d9::UseShaderProgram(device_, program), D3D_OK);
    // GREATEREQUAL 0 passes every pixel but keeps the alpha test running.
    ASSERT_EQ(device_->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_ALPHAREF, 0), D3D_OK);
    for (const INT pick : {2, 1}) {
        ASSERT_EQ(nvesk::d3d9::SetUniformInts(device_, program, location("pick"), 1, 1, &pick), D3D_OK);
        for (const BOOL alphaTest : {FALSE, TRUE}) {
            ASSERT_EQ(device_->SetRenderState(D3DRS_ALPHATESTENABLE, alphaTest), D3D_OK);
            ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBlack, 1.0f, 0), D3D_OK);
            DrawQuad(Quad(0, 0, 16, 16));
            EXPECT_EQ(At(ReadBackBuffer(), 8, 8), pick == 2 ? 0xFFFFFF00u : 0xFF00FF00u)
                << "pick " << pick << ", alpha test " << alphaTest;
        }
    }
    texture->Release();
}

TEST_P(RenderingTest, DepthTestKeepsTheNearestSurface) {
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBlack, 1.0f, 0), D3D_OK);
    DrawSolidQuad(1, 0, 0, 1, Quad(0, 0, 32, 32, 0.3f));
    DrawSolidQuad(0, 1, 0, 1, Quad(16, 16, 32, 32, 0.7f));
    std::vector<DWORD> pixels = ReadBackBuffer();
    EXPECT_EQ(At(pixels, 20, 20), 0xFFFF0000u);  // behind the red quad
    EXPECT_EQ(At(pixels, 40, 40), 0xFF00FF00u);

    ASSERT_EQ(device_->SetRenderState(D3DRS_ZFUNC, D3DCMP_GREATER), D3D_OK);
    DrawSolidQuad(0, 0, 1, 1, Quad(0, 0, 64, 48, 0.5f));
    pixels = ReadBackBuffer();
    EXPECT_EQ(At(pixels, 5, 5), 0xFF0000FFu);    // 0.5 > 0.3
    EXPECT_EQ(At(pixels, 40, 40), 0xFF00FF00u);  // 0.5 < 0.7

    ASSERT_EQ(device_->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE), D3D_OK);
    DrawSolidQuad(1, 1, 1, 1, Quad(0, 0, 64, 48, 0.9f));
    EXPECT_EQ(ReadBackBuffer()[0], 0xFFFFFFFFu);
}

TEST_P(RenderingTest, CullingFollowsDirect3DWinding) {
    const std::vector<QuadVertex> clockwise = Quad(0, 0, 16, 16);
    std::vector<QuadVertex> counterClockwise = clockwise;
    std::swap(counterClockwise[1], counterClockwise[2]);
    struct Case {
        DWORD mode;
        bool clockwiseDrawn;
        bool counterClockwiseDrawn;
    };
    for (const Case& c :
         {Case {D3DCULL_CCW, true, false}, Case {D3DCULL_CW, false, true}, Case {D3DCULL_NONE, true, true}}) {
        ASSERT_EQ(device_->SetRenderState(D3DRS_CULLMODE, c.mode), D3D_OK);
        ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBlack, 1.0f, 0), D3D_OK);
        DrawSolidQuad(1, 1, 1, 1, clockwise);
        EXPECT_EQ(ReadBackBuffer()[5 * kWidth + 5] != kBlack, c.clockwiseDrawn) << "cull mode " << c.mode;
        ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBlack, 1.0f, 0), D3D_OK);
        DrawSolidQuad(1, 1, 1, 1, counterClockwise);
        EXPECT_EQ(ReadBackBuffer()[5 * kWidth + 5] != kBlack, c.counterClockwiseDrawn) << "cull mode " << c.mode;
    }
}

// Two-sided stencil runs the STENCIL* operations on clockwise triangles and the CCW_STENCIL* ones
// on counterclockwise triangles, whichever the cull mode lets through: clockwise leaves 3, the
// other winding 1, and a second pass shows where each value landed.
TEST_P(RenderingTest, TwoSidedStencilPicksTheOperationsByWindingWhateverTheCullMode) {
    const std::vector<QuadVertex> clockwise = Quad(0, 0, 16, 16);
    std::vector<QuadVertex> counterClockwise = Quad(32, 0, 16, 16);
    std::swap(counterClockwise[1], counterClockwise[2]);
    struct Case {
        DWORD mode;
        DWORD left;  // where the clockwise quad was drawn
        DWORD right;
    };
    for (const Case& c : {Case {D3DCULL_NONE, 0xFF00FF00, 0xFFFF0000}, Case {D3DCULL_CW, kBlack, 0xFFFF0000},
                          Case {D3DCULL_CCW, 0xFF00FF00, kBlack}}) {
        SCOPED_TRACE(c.mode);
        ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, kBlack, 1.0f, 0),
                  D3D_OK);
        const std::pair<D3DRENDERSTATETYPE, DWORD> marking[] = {{D3DRS_STENCILENABLE, TRUE},
                                                                {D3DRS_TWOSIDEDSTENCILMODE, TRUE},
                                                                {D3DRS_STENCILREF, 3},
                                                                {D3DRS_STENCILFUNC, D3DCMP_ALWAYS},
                                                                {D3DRS_STENCILPASS, D3DSTENCILOP_REPLACE},
                                                                {D3DRS_CCW_STENCILFUNC, D3DCMP_ALWAYS},
                                                                {D3DRS_CCW_STENCILPASS, D3DSTENCILOP_INCR},
                                                                {D3DRS_COLORWRITEENABLE, 0},
                                                                {D3DRS_CULLMODE, c.mode}};
        for (const auto& [state, value] : marking)
            ASSERT_EQ(device_->SetRenderState(state, value), D3D_OK);
        DrawSolidQuad(1, 1, 1, 1, clockwise);
        DrawSolidQuad(1, 1, 1, 1, counterClockwise);
        const std::pair<D3DRENDERSTATETYPE, DWORD> showing[] = {{D3DRS_TWOSIDEDSTENCILMODE, FALSE},
                                                                {D3DRS_CULLMODE, D3DCULL_NONE},
                                                                {D3DRS_COLORWRITEENABLE, 0xF},
                                                                {D3DRS_STENCILFUNC, D3DCMP_EQUAL},
                                                                {D3DRS_STENCILPASS, D3DSTENCILOP_KEEP}};
        for (const auto& [state, value] : showing)
            ASSERT_EQ(device_->SetRenderState(state, value), D3D_OK);
        DrawSolidQuad(0, 1, 0, 1, Quad(0, 0, 64, 48));  // where 3 is
        ASSERT_EQ(device_->SetRenderState(D3DRS_STENCILREF, 1), D3D_OK);
        DrawSolidQuad(1, 0, 0, 1, Quad(0, 0, 64, 48));  // where 1 is
        const std::vector<DWORD> pixels = ReadBackBuffer();
        EXPECT_EQ(At(pixels, 5, 5), c.left);
        EXPECT_EQ(At(pixels, 37, 5), c.right);
        ASSERT_EQ(device_->SetRenderState(D3DRS_STENCILENABLE, FALSE), D3D_OK);
    }
}

TEST_P(RenderingTest, ViewportPlacesClipSpaceInsideIt) {
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBlack, 1.0f, 0), D3D_OK);
    D3DVIEWPORT9 viewport {32, 24, 32, 24, 0.0f, 1.0f};
    ASSERT_EQ(device_->SetViewport(&viewport), D3D_OK);
    // The programs map the full 64 x 48 target: the whole screen lands in the lower-right quarter.
    DrawSolidQuad(0, 1, 0, 1, Quad(0, 0, 64, 48));
    const std::vector<DWORD> pixels = ReadBackBuffer();
    EXPECT_EQ(At(pixels, 31, 23), kBlack);
    EXPECT_EQ(At(pixels, 32, 24), 0xFF00FF00u);
    EXPECT_EQ(At(pixels, 63, 47), 0xFF00FF00u);
}

TEST_P(RenderingTest, UpdateSurfaceCopiesASubRectangleToTheDestinationPoint) {
    IDirect3DTexture9* system = nullptr;
    IDirect3DTexture9* onDevice = nullptr;
    ASSERT_EQ(device_->CreateTexture(16, 16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &system, nullptr), D3D_OK);
    ASSERT_EQ(device_->CreateTexture(16, 16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &onDevice, nullptr), D3D_OK);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(system->LockRect(0, &locked, nullptr, 0), D3D_OK);
    for (UINT y = 0; y < 16; ++y) {
        for (UINT x = 0; x < 16; ++x) {
            reinterpret_cast<DWORD*>(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch)[x] = Gradient(x, y);
        }
    }
    ASSERT_EQ(system->UnlockRect(0), D3D_OK);
    IDirect3DSurface9* source = nullptr;
    IDirect3DSurface9* destination = nullptr;
    ASSERT_EQ(system->GetSurfaceLevel(0, &source), D3D_OK);
    ASSERT_EQ(onDevice->GetSurfaceLevel(0, &destination), D3D_OK);
    ASSERT_EQ(device_->UpdateSurface(source, nullptr, destination, nullptr), D3D_OK);
    // Then the 4 x 3 block at (2, 5) of the source goes to (9, 1).
    const RECT block {2, 5, 6, 8};
    const POINT at {9, 1};
    ASSERT_EQ(device_->UpdateSurface(source, &block, destination, &at), D3D_OK);

    ASSERT_EQ(nvesk::d3d9::UseShaderProgram(device_, TexturedProgram()), D3D_OK);
    ASSERT_EQ(device_->SetTexture(0, onDevice), D3D_OK);
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBlack, 1.0f, 0), D3D_OK);
    DrawQuad(Quad(0, 0, 16, 16));
    const std::vector<DWORD> pixels = ReadBackBuffer();
    for (UINT y = 0; y < 16; ++y) {
        for (UINT x = 0; x < 16; ++x) {
            const bool copied = x >= 9 && x < 13 && y >= 1 && y < 4;
            const DWORD expected = copied ? Gradient(x - 9 + 2, y - 1 + 5) : Gradient(x, y);
            ASSERT_EQ(At(pixels, x, y), expected) << x << "," << y;
        }
    }
    source->Release();
    destination->Release();
    system->Release();
    onDevice->Release();
}

TEST_P(RenderingTest, DynamicTextureShowsWhatEachDiscardingLockWrote) {
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(device_->CreateTexture(8, 8, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture, nullptr),
              D3D_OK);
    ASSERT_EQ(nvesk::d3d9::UseShaderProgram(device_, TexturedProgram()), D3D_OK);
    ASSERT_EQ(device_->SetTexture(0, texture), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE), D3D_OK);
    for (DWORD colour : {0xFFFF0000u, 0xFF00FF00u}) {
        D3DLOCKED_RECT locked;
        ASSERT_EQ(texture->LockRect(0, &locked, nullptr, D3DLOCK_DISCARD), D3D_OK);
        for (UINT y = 0; y < 8; ++y) {
            for (UINT x = 0; x < 8; ++x) {
                reinterpret_cast<DWORD*>(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch)[x] = colour;
            }
        }
        ASSERT_EQ(texture->UnlockRect(0), D3D_OK);
        DrawQuad(Quad(0, 0, 8, 8));
        EXPECT_EQ(ReadBackBuffer()[3 * kWidth + 3], colour);
    }
    texture->Release();
}

TEST_P(RenderingTest, EveryLevelOfAChainSamplesWhatItsLockWrote) {
    // One colour per level, its bytes all different, so that a level allocated at the wrong size,
    // a swap of red and blue or a lost alpha shows. Blended over black, the result carries alpha.
    const DWORD colours[] = {0xFF102030u, 0x80405060u, 0x40708090u, 0xC0A0B0C0u};
    ASSERT_EQ(nvesk::d3d9::UseShaderProgram(device_, TexturedProgram()), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA), D3D_OK);
    ASSERT_EQ(device_->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_POINT), D3D_OK);
    for (D3DFORMAT format : {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8}) {
        IDirect3DTexture9* texture = nullptr;
        ASSERT_EQ(device_->CreateTexture(8, 8, 4, 0, format, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
        for (UINT level = 0; level < 4; ++level) {
            const UINT size = 8u >> level;
            D3DLOCKED_RECT locked;
            ASSERT_EQ(texture->LockRect(level, &locked, nullptr, 0), D3D_OK);
            for (UINT y = 0; y < size; ++y) {
                for (UINT x = 0; x < size; ++x) {
                    reinterpret_cast<DWORD*>(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch)[x] = colours[level];
                }
            }
            ASSERT_EQ(texture->UnlockRect(level), D3D_OK);
        }
        ASSERT_EQ(device_->SetTexture(0, texture), D3D_OK);
        for (UINT level = 0; level < 4; ++level) {
            // Magnified, the quad samples the most detailed level allowed.
            ASSERT_EQ(device_->SetSamplerState(0, D3DSAMP_MAXMIPLEVEL, level), D3D_OK);
            ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, kBlack, 1.0f, 0), D3D_OK);
            DrawQuad(Quad(0, 0, 16, 16));
            // An X8 texel's alpha reads as 1 whatever its byte holds.
            const int alpha = format == D3DFMT_X8R8G8B8 ? 255 : Channel(colours[level], 24);
            DWORD expected = kBlack;
            for (int shift = 0; shift < 24; shift += 8) {
                expected |= static_cast<DWORD>((Channel(colours[level], shift) * alpha + 127) / 255) << shift;
            }
            const DWORD pixel = ReadBackBuffer()[5 * kWidth + 5];
            EXPECT_TRUE(Near(pixel, expected, 1))
                << std::hex << pixel << " for " << expected << std::dec << ", format " << format << ", level " << level;
        }
        ASSERT_EQ(device_->SetTexture(0, nullptr), D3D_OK);
        texture->Release();
    }
}

TEST_P(RenderingTest, LockedRowsFollowThePitch) {
    // 5 one-byte texels per row: rows are 8 bytes apart.
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(device_->CreateTexture(5, 3, 1, 0, D3DFMT_L8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(locked.Pitch, 8);
    for (UINT y = 0; y < 3; ++y) {
        for (UINT x = 0; x < 5; ++x) {
            static_cast<BYTE*>(locked.pBits)[y * locked.Pitch + x] = static_cast<BYTE>(40 * y + 10 * x);
        }
    }
    ASSERT_EQ(texture->UnlockRect(0), D3D_OK);
    const RECT middle {1, 1, 4, 3};
    ASSERT_EQ(texture->LockRect(0, &locked, &middle, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(static_cast<BYTE*>(locked.pBits)[0], 50);
    EXPECT_EQ(static_cast<BYTE*>(locked.pBits)[locked.Pitch + 2], 110);
    ASSERT_EQ(texture->UnlockRect(0), D3D_OK);

    ASSERT_EQ(nvesk::d3d9::UseShaderProgram(device_, TexturedProgram()), D3D_OK);
    ASSERT_EQ(device_->SetTexture(0, texture), D3D_OK);
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBlack, 1.0f, 0), D3D_OK);
    DrawQuad(Quad(0, 0, 5, 3));
    const std::vector<DWORD> pixels = ReadBackBuffer();
    EXPECT_EQ(At(pixels, 4, 2), 0xFF787878u);  // 80 + 40
    EXPECT_EQ(At(pixels, 1, 1), 0xFF323232u);
    texture->Release();
}

struct SubRectangleCase {
    D3DFORMAT format;
    UINT bytes;
    DWORD usage;
    D3DPOOL pool;
    std::uint32_t background;  // texels as the format stores them, in their low `bytes` bytes
    std::uint32_t marker;
    DWORD backgroundShown;  // and as they are drawn
    DWORD markerShown;
};

// A different value for every byte of a 7 x 5 texture.
BYTE PatternByte(UINT x, UINT y, UINT byte) {
    return static_cast<BYTE>(40 * y + 5 * x + byte + 1);
}

BYTE* TexelAt(const D3DLOCKED_RECT& locked, UINT bytes, UINT column, UINT row) {
    return static_cast<BYTE*>(locked.pBits) + row * locked.Pitch + column * bytes;
}

TEST_P(RenderingTest, SubRectangleLocksStartAtTheRectanglesFirstTexelInEveryTexelSize) {
    // Seven texels a row, so rows of 2-byte texels end in padding; both pools that keep a copy to
    // lock (managed, and dynamic in the default pool, uploaded on unlock).
    const SubRectangleCase cases[] = {
        {D3DFMT_A8R8G8B8, 4, 0, D3DPOOL_MANAGED, 0xFF204060, 0xFFC08010, 0xFF204060, 0xFFC08010},
        {D3DFMT_A8R8G8B8, 4, D3DUSAGE_DYNAMIC, D3DPOOL_DEFAULT, 0xFF204060, 0xFFC08010, 0xFF204060, 0xFFC08010},
        {D3DFMT_R5G6B5, 2, 0, D3DPOOL_MANAGED, 0x001F, 0xF800, 0xFF0000FF, 0xFFFF0000},
        {D3DFMT_R5G6B5, 2, D3DUSAGE_DYNAMIC, D3DPOOL_DEFAULT, 0x001F, 0xF800, 0xFF0000FF, 0xFFFF0000},
        {D3DFMT_A8L8, 2, 0, D3DPOOL_MANAGED, 0xFF40, 0xFFC0, 0xFF404040, 0xFFC0C0C0},
    };
    constexpr UINT kTexWidth = 7;
    constexpr UINT kTexHeight = 5;
    const RECT area {2, 1, 5, 4};
    ASSERT_EQ(nvesk::d3d9::UseShaderProgram(device_, TexturedProgram()), D3D_OK);
    for (const SubRectangleCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "format " << c.format << ", pool " << c.pool);
        TestSupport::ComPtr<IDirect3DTexture9> texture;
        ASSERT_EQ(device_->CreateTexture(kTexWidth, kTexHeight, 1, c.usage, c.format, c.pool, texture.Out(), nullptr),
                  D3D_OK);
        D3DLOCKED_RECT locked;
        ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
        for (UINT y = 0; y < kTexHeight; ++y) {
            for (UINT x = 0; x < kTexWidth; ++x) {
                for (UINT b = 0; b < c.bytes; ++b)
                    TexelAt(locked, c.bytes, x, y)[b] = PatternByte(x, y, b);
            }
        }
        ASSERT_EQ(texture->UnlockRect(0), D3D_OK);

        // Reading through the rectangle: pBits is its top-left texel, rows a pitch apart.
        ASSERT_EQ(texture->LockRect(0, &locked, &area, D3DLOCK_READONLY), D3D_OK);
        for (UINT row = 0; row < 3; ++row) {
            for (UINT column = 0; column < 3; ++column) {
                for (UINT b = 0; b < c.bytes; ++b) {
                    ASSERT_EQ(TexelAt(locked, c.bytes, column, row)[b],
                              PatternByte(area.left + column, area.top + row, b))
                        << "texel " << column << "," << row << " of the rectangle, byte " << b;
                }
            }
        }
        ASSERT_EQ(texture->UnlockRect(0), D3D_OK);

        // Writing through it: the background everywhere, then the marker through the rectangle alone.
        for (const RECT* rect : {static_cast<const RECT*>(nullptr), &area}) {
            const UINT columns = rect != nullptr ? 3 : kTexWidth;
            const UINT rows = rect != nullptr ? 3 : kTexHeight;
            const std::uint32_t texel = rect != nullptr ? c.marker : c.background;
            ASSERT_EQ(texture->LockRect(0, &locked, rect, 0), D3D_OK);
            for (UINT row = 0; row < rows; ++row) {
                for (UINT column = 0; column < columns; ++column)
                    std::memcpy(TexelAt(locked, c.bytes, column, row), &texel, c.bytes);
            }
            ASSERT_EQ(texture->UnlockRect(0), D3D_OK);
        }
        ASSERT_EQ(device_->SetTexture(0, texture.Get()), D3D_OK);
        ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBlack, 1.0f, 0), D3D_OK);
        DrawQuad(Quad(0, 0, kTexWidth, kTexHeight));
        ASSERT_EQ(device_->SetTexture(0, nullptr), D3D_OK);
        const std::vector<DWORD> pixels = ReadBackBuffer();
        for (UINT y = 0; y < kTexHeight; ++y) {
            for (UINT x = 0; x < kTexWidth; ++x) {
                const bool inside = static_cast<LONG>(x) >= area.left && static_cast<LONG>(x) < area.right &&
                                    static_cast<LONG>(y) >= area.top && static_cast<LONG>(y) < area.bottom;
                EXPECT_EQ(At(pixels, x, y), inside ? c.markerShown : c.backgroundShown) << x << "," << y;
            }
        }
    }
}

TEST_P(RenderingTest, IndexedDrawUsesTheBaseVertex) {
    std::vector<QuadVertex> vertices = Quad(0, 0, 8, 8);
    const std::vector<QuadVertex> second = Quad(20, 10, 8, 8);
    vertices.insert(vertices.end(), second.begin(), second.end());
    BindVertices(vertices);
    IDirect3DIndexBuffer9* indices = nullptr;
    ASSERT_EQ(device_->CreateIndexBuffer(12, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED, &indices, nullptr),
              D3D_OK);
    void* data = nullptr;
    ASSERT_EQ(indices->Lock(0, 0, &data, 0), D3D_OK);
    const WORD list[6] = {0, 1, 2, 2, 1, 3};
    std::memcpy(data, list, sizeof(list));
    ASSERT_EQ(indices->Unlock(), D3D_OK);
    ASSERT_EQ(device_->SetIndices(indices), D3D_OK);
    const ShaderProgramHandle program = SolidProgram();
    SetColor(program, 1, 1, 0, 1);
    ASSERT_EQ(nvesk::d3d9::UseShaderProgram(device_, program), D3D_OK);
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBlack, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device_->BeginScene(), D3D_OK);
    ASSERT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 4, 0, 4, 0, 2), D3D_OK);
    ASSERT_EQ(device_->EndScene(), D3D_OK);
    const std::vector<DWORD> pixels = ReadBackBuffer();
    EXPECT_EQ(At(pixels, 2, 2), kBlack);
    EXPECT_EQ(At(pixels, 22, 12), 0xFFFFFF00u);
    indices->Release();
}

// Direct3D reads an X8 target's alpha as 1 whatever was cleared, drawn or locked into it; an A8
// target keeps the alpha it was given. Blending with destination alpha shows which one a pixel holds.
INSTANTIATE_TEST_SUITE_P(BothFramePaths, RenderingTest,
                         ::testing::Values(FramePath::BackBufferImage, FramePath::Window), FramePathName);

TEST_F(DeviceTest, DestinationAlphaIsOneOnX8BackBuffersAndStoredOnA8Ones) {
    for (D3DFORMAT format : {D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8}) {
        D3DPRESENT_PARAMETERS parameters = WindowedParameters(window_->Handle(), kWidth, kHeight);
        parameters.BackBufferFormat = format;
        parameters.Flags = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
        ASSERT_EQ(d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window_->Handle(),
                                     D3DCREATE_HARDWARE_VERTEXPROCESSING, &parameters, &device_),
                  D3D_OK);
        ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00336699, 1.0f, 0), D3D_OK);
        const ShaderProgramHandle program = SolidProgram();
        ASSERT_EQ(nvesk::d3d9::UseShaderProgram(device_, program), D3D_OK);
        SetColor(program, 0.5f, 0.5f, 0.5f, 0.25f);
        BindVertices(Quad(0, 0, 16, 16));
        ASSERT_EQ(device_->BeginScene(), D3D_OK);
        ASSERT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
        ASSERT_EQ(device_->EndScene(), D3D_OK);
        IDirect3DSurface9* backBuffer = nullptr;
        ASSERT_EQ(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer), D3D_OK);
        D3DLOCKED_RECT locked;
        const RECT area {32, 0, 48, 16};
        ASSERT_EQ(backBuffer->LockRect(&locked, &area, 0), D3D_OK);
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                reinterpret_cast<DWORD*>(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch)[x] = 0x00123456;
            }
        }
        ASSERT_EQ(backBuffer->UnlockRect(), D3D_OK);
        backBuffer->Release();

        ASSERT_EQ(device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE), D3D_OK);
        ASSERT_EQ(device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_DESTALPHA), D3D_OK);
        ASSERT_EQ(device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO), D3D_OK);
        SetColor(program, 1.0f, 1.0f, 1.0f, 1.0f);
        BindVertices(Quad(0, 0, kWidth, kHeight));
        ASSERT_EQ(device_->BeginScene(), D3D_OK);
        ASSERT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
        ASSERT_EQ(device_->EndScene(), D3D_OK);
        const std::vector<DWORD> pixels = ReadBackBuffer();
        ASSERT_EQ(pixels.size(), kWidth * kHeight);
        const bool x8 = format == D3DFMT_X8R8G8B8;
        EXPECT_EQ(pixels[8 * kWidth + 8], x8 ? 0xFFFFFFFFu : 0x40404040u) << "drawn, format " << format;
        EXPECT_EQ(pixels[8 * kWidth + 40], x8 ? 0xFFFFFFFFu : 0u) << "locked, format " << format;
        EXPECT_EQ(pixels[30 * kWidth + 20], x8 ? 0xFFFFFFFFu : 0u) << "cleared, format " << format;
        ReleaseDevice();
    }
}

TEST_F(DeviceTest, ReferenceDeviceDrawsTheSamePictureAsTheHardwareDevice) {
    std::vector<DWORD> pictures[2];
    const D3DDEVTYPE types[2] = {D3DDEVTYPE_HAL, D3DDEVTYPE_REF};
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(CreateDevice(types[i]), D3D_OK) << "device type " << types[i];
        IDirect3DTexture9* texture = MakeTexture(16, 16, Gradient);
        ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF203040, 1.0f, 0), D3D_OK);
        ASSERT_EQ(nvesk::d3d9::UseShaderProgram(device_, TexturedProgram()), D3D_OK);
        ASSERT_EQ(device_->SetTexture(0, texture), D3D_OK);
        ASSERT_EQ(device_->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR), D3D_OK);
        BindVertices(Quad(3, 4, 40, 30));
        ASSERT_EQ(device_->BeginScene(), D3D_OK);
        ASSERT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
        ASSERT_EQ(device_->EndScene(), D3D_OK);
        pictures[i] = ReadBackBuffer();
        texture->Release();
        ReleaseDevice();
    }
    ASSERT_EQ(pictures[0].size(), pictures[1].size());
    int differing = 0;
    for (size_t i = 0; i < pictures[0].size(); ++i) {
        differing += Near(pictures[0][i], pictures[1][i], 2) ? 0 : 1;
    }
    EXPECT_EQ(differing, 0);
    EXPECT_NE(pictures[0][10 * kWidth + 10], 0xFF203040u);  // the quad is there
}

}  // namespace
}  // namespace D3D9Test

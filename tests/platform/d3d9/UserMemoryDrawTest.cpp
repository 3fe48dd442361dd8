// DrawPrimitiveUP and DrawIndexedPrimitiveUP: vertices and indices read from the caller's memory at
// the call, through the same checks and draw path as the buffer draws, and what they leave bound.
#include "Direct3DTestSupport.h"

#include <PlatformTesting/Diagnostics.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace D3D9Test {
namespace {

constexpr DWORD kBlack = 0xFF000000;
constexpr DWORD kFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE;

// Whether the red, green and blue of two colours differ by at most 1 each.
bool NearRgb(DWORD a, DWORD b) {
    for (int shift = 0; shift < 24; shift += 8) {
        if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) > 1) {
            return false;
        }
    }
    return true;
}

// D3DFVF_XYZRHW | D3DFVF_DIFFUSE, followed by bytes the draw must skip.
struct PaddedVertex {
    float x, y, z, rhw;
    DWORD diffuse;
    DWORD junk[3];
};

PaddedVertex At(float x, float y, DWORD colour) {
    return PaddedVertex {x, y, 0.5f, 1.0f, colour, {0xDEADBEEF, 0xDEADBEEF, 0xDEADBEEF}};
}

// Two triangles covering pixels [x, x+w) x [y, y+h).
std::vector<PaddedVertex> Rectangle(float x, float y, float w, float h, DWORD colour) {
    return {At(x, y, colour),     At(x + w, y, colour), At(x, y + h, colour),
            At(x, y + h, colour), At(x + w, y, colour), At(x + w, y + h, colour)};
}

class UserMemoryDrawTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        ASSERT_EQ(CreateDevice(), D3D_OK);
        ASSERT_EQ(device_->SetFVF(kFvf), D3D_OK);
        ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBlack, 1.0f, 0), D3D_OK);
        PlatformTesting::ClearLastRefusal();
    }

    HRESULT DrawList(const std::vector<PaddedVertex>& vertices) {
        return device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<UINT>(vertices.size() / 3), vertices.data(),
                                        sizeof(PaddedVertex));
    }

    static DWORD Pixel(const std::vector<DWORD>& pixels, UINT x, UINT y) { return pixels[y * kWidth + x]; }

    // Whether the refused call was refused by the named method.
    static bool RefusedBy(const char* method) {
        return PlatformTesting::LastRefusal().find(method) != std::string::npos;
    }
};

TEST_F(UserMemoryDrawTest, DrawPrimitiveUpShowsEachVertexColourAtItsStride) {
    std::vector<PaddedVertex> vertices = Rectangle(0, 0, 32, 48, 0xFF00FF00);
    const std::vector<PaddedVertex> right = Rectangle(32, 8, 24, 16, 0xFFFF0000);
    vertices.insert(vertices.end(), right.begin(), right.end());
    ASSERT_EQ(device_->BeginScene(), D3D_OK);
    ASSERT_EQ(DrawList(vertices), D3D_OK);
    ASSERT_EQ(device_->EndScene(), D3D_OK);
    const std::vector<DWORD> pixels = ReadBackBuffer();
    EXPECT_EQ(Pixel(pixels, 0, 0), 0xFF00FF00u);
    EXPECT_EQ(Pixel(pixels, 31, 47), 0xFF00FF00u);
    EXPECT_EQ(Pixel(pixels, 32, 8), 0xFFFF0000u);
    EXPECT_EQ(Pixel(pixels, 55, 23), 0xFFFF0000u);
    EXPECT_EQ(Pixel(pixels, 56, 8), kBlack);
    EXPECT_EQ(Pixel(pixels, 40, 24), kBlack);
    EXPECT_EQ(Pixel(pixels, 40, 7), kBlack);
}

TEST_F(UserMemoryDrawTest, DrawIndexedPrimitiveUpReadsOnlyTheIndexedVerticesInBothIndexSizes) {
    // Vertices 0..3 cover the whole target in red; the indices reach only 4..7, a green rectangle.
    const std::vector<PaddedVertex> vertices = {At(0, 0, 0xFFFF0000),   At(64, 0, 0xFFFF0000), At(0, 48, 0xFFFF0000),
                                                At(64, 48, 0xFFFF0000), At(8, 4, 0xFF00FF00),  At(40, 4, 0xFF00FF00),
                                                At(8, 20, 0xFF00FF00),  At(40, 20, 0xFF0000FF)};
    const WORD shortIndices[] = {4, 5, 6, 6, 5, 7};
    const DWORD longIndices[] = {4, 5, 6, 6, 5, 7};
    for (D3DFORMAT format : {D3DFMT_INDEX16, D3DFMT_INDEX32}) {
        SCOPED_TRACE(format == D3DFMT_INDEX16 ? "INDEX16" : "INDEX32");
        ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBlack, 1.0f, 0), D3D_OK);
        const void* indices = format == D3DFMT_INDEX16 ? static_cast<const void*>(shortIndices) : longIndices;
        ASSERT_EQ(device_->BeginScene(), D3D_OK);
        ASSERT_EQ(device_->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 4, 4, 2, indices, format, vertices.data(),
                                                  sizeof(PaddedVertex)),
                  D3D_OK);
        ASSERT_EQ(device_->EndScene(), D3D_OK);
        const std::vector<DWORD> pixels = ReadBackBuffer();
        EXPECT_EQ(Pixel(pixels, 8, 4), 0xFF00FF00u);
        EXPECT_EQ(Pixel(pixels, 9, 5), 0xFF00FF00u);
        EXPECT_EQ(Pixel(pixels, 7, 4), kBlack);
        EXPECT_EQ(Pixel(pixels, 40, 10), kBlack);
        EXPECT_EQ(Pixel(pixels, 20, 20), kBlack);
        EXPECT_EQ(Pixel(pixels, 60, 40), kBlack);
        // The blue last vertex shades the far corner: the fourth indexed vertex was vertex 7.
        const DWORD corner = Pixel(pixels, 39, 19);
        EXPECT_GT(corner & 0xFF, 0x80u) << std::hex << corner;
    }
}

TEST_F(UserMemoryDrawTest, DrawsLeaveNoStreamZeroNorIndicesAndBufferDrawsThenNeedThem) {
    IDirect3DVertexBuffer9* buffer = nullptr;
    ASSERT_EQ(device_->CreateVertexBuffer(6 * sizeof(PaddedVertex), 0, 0, D3DPOOL_MANAGED, &buffer, nullptr), D3D_OK);
    IDirect3DIndexBuffer9* indexBuffer = nullptr;
    ASSERT_EQ(device_->CreateIndexBuffer(12, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &indexBuffer, nullptr), D3D_OK);
    const std::vector<PaddedVertex> vertices = Rectangle(0, 0, 8, 8, 0xFFFFFFFF);
    const WORD indices[] = {0, 1, 2, 3, 4, 5};
    for (int indexed = 0; indexed < 2; ++indexed) {
        SCOPED_TRACE(indexed ? "DrawIndexedPrimitiveUP" : "DrawPrimitiveUP");
        ASSERT_EQ(device_->SetStreamSource(0, buffer, 0, sizeof(PaddedVertex)), D3D_OK);
        ASSERT_EQ(device_->SetIndices(indexBuffer), D3D_OK);
        ASSERT_EQ(device_->BeginScene(), D3D_OK);
        ASSERT_EQ(indexed ? device_->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 6, 2, indices, D3DFMT_INDEX16,
                                                            vertices.data(), sizeof(PaddedVertex))
                          : DrawList(vertices),
                  D3D_OK);
        IDirect3DVertexBuffer9* stream = buffer;
        UINT offset = 1, stride = 1;
        ASSERT_EQ(device_->GetStreamSource(0, &stream, &offset, &stride), D3D_OK);
        EXPECT_EQ(stream, nullptr);
        EXPECT_EQ(offset, 0u);
        EXPECT_EQ(stride, 0u);
        IDirect3DIndexBuffer9* bound = indexBuffer;
        ASSERT_EQ(device_->GetIndices(&bound), D3D_OK);
        EXPECT_EQ(bound, nullptr);
        EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2), D3DERR_INVALIDCALL);
        EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 6, 0, 2), D3DERR_INVALIDCALL);
        ASSERT_EQ(device_->EndScene(), D3D_OK);
    }
    // The device let go of both: these are the last references.
    EXPECT_EQ(buffer->Release(), 0u);
    EXPECT_EQ(indexBuffer->Release(), 0u);
}

TEST_F(UserMemoryDrawTest, ConsecutiveDrawsInOneSceneEachShowTheirOwnData) {
    // One draw per pixel, each from the same caller memory rewritten in between; thousands of
    // draws of padded vertices fill the device's copy buffer many times over.
    struct WideVertex {
        float x, y, z, rhw;
        DWORD diffuse;
        BYTE junk[236];
    };
    WideVertex quad[4] {};
    const auto colourAt = [](UINT x, UINT y) {
        return 0xFF000000u | (x * 4u) << 16 | (y * 5u) << 8 | ((x + y) & 0xFF);
    };
    ASSERT_EQ(device_->BeginScene(), D3D_OK);
    for (UINT y = 0; y < kHeight; ++y) {
        for (UINT x = 0; x < kWidth; ++x) {
            const float corners[4][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
            for (int i = 0; i < 4; ++i) {
                quad[i] = WideVertex {static_cast<float>(x) + corners[i][0],
                                      static_cast<float>(y) + corners[i][1],
                                      0.5f,
                                      1.0f,
                                      colourAt(x, y),
                                      {}};
            }
            if ((x + y) % 2 == 0) {
                ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(WideVertex)), D3D_OK);
            } else {
                const DWORD indices[] = {0, 1, 2, 3};
                ASSERT_EQ(device_->DrawIndexedPrimitiveUP(D3DPT_TRIANGLESTRIP, 0, 4, 2, indices, D3DFMT_INDEX32, quad,
                                                          sizeof(WideVertex)),
                          D3D_OK);
            }
        }
    }
    ASSERT_EQ(device_->EndScene(), D3D_OK);
    const std::vector<DWORD> pixels = ReadBackBuffer();
    int wrong = 0;
    for (UINT y = 0; y < kHeight; ++y) {
        for (UINT x = 0; x < kWidth; ++x) {
            wrong += NearRgb(Pixel(pixels, x, y), colourAt(x, y)) ? 0 : 1;
        }
    }
    EXPECT_EQ(wrong, 0);
}

TEST_F(UserMemoryDrawTest, ADrawLargerThanTheCopyBufferGrowsIt) {
    // 40000 degenerate triangles (over 2 MB of vertices), then one rectangle.
    std::vector<PaddedVertex> vertices(3 * 40000, At(0, 0, 0xFFFF0000));
    const std::vector<PaddedVertex> last = Rectangle(16, 16, 16, 16, 0xFF0000FF);
    vertices.insert(vertices.end(), last.begin(), last.end());
    ASSERT_EQ(device_->BeginScene(), D3D_OK);
    ASSERT_EQ(DrawList(Rectangle(0, 0, 4, 4, 0xFF00FF00)), D3D_OK);
    ASSERT_EQ(DrawList(vertices), D3D_OK);
    ASSERT_EQ(DrawList(Rectangle(48, 0, 4, 4, 0xFFFFFF00)), D3D_OK);
    ASSERT_EQ(device_->EndScene(), D3D_OK);
    const std::vector<DWORD> pixels = ReadBackBuffer();
    EXPECT_EQ(Pixel(pixels, 1, 1), 0xFF00FF00u);
    EXPECT_EQ(Pixel(pixels, 20, 20), 0xFF0000FFu);
    EXPECT_EQ(Pixel(pixels, 49, 1), 0xFFFFFF00u);
    EXPECT_EQ(Pixel(pixels, 40, 40), kBlack);
}

TEST_F(UserMemoryDrawTest, ShadersDrawUserVerticesInPlaceOfTheBoundStream) {
    BindVertices(Quad(0, 0, 64, 48));  // the whole target: must not be what is drawn
    const nvesk::d3d9::ShaderProgramHandle program = SolidProgram();
    SetColor(program, 0.0f, 1.0f, 0.0f, 1.0f);
    ASSERT_EQ(nvesk::d3d9::UseShaderProgram(device_, program), D3D_OK);
    const std::vector<QuadVertex> quad = Quad(8, 8, 8, 8);
    ASSERT_EQ(device_->BeginScene(), D3D_OK);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad.data(), sizeof(QuadVertex)), D3D_OK);
    ASSERT_EQ(device_->EndScene(), D3D_OK);
    const std::vector<DWORD> pixels = ReadBackBuffer();
    EXPECT_EQ(Pixel(pixels, 8, 8), 0xFF00FF00u);
    EXPECT_EQ(Pixel(pixels, 15, 15), 0xFF00FF00u);
    EXPECT_EQ(Pixel(pixels, 16, 16), kBlack);
    EXPECT_EQ(Pixel(pixels, 40, 40), kBlack);
}

TEST_F(UserMemoryDrawTest, InvalidCallsAreRefusedAndDrawNothing) {
    const std::vector<PaddedVertex> vertices = Rectangle(0, 0, 64, 48, 0xFFFFFFFF);
    const void* data = vertices.data();
    const UINT stride = sizeof(PaddedVertex);
    const WORD indices[] = {0, 1, 2, 3, 4, 5};
    const WORD outside[] = {0, 1, 2, 3, 4, 6};

    EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, data, stride), D3DERR_INVALIDCALL);  // no scene
    EXPECT_TRUE(RefusedBy("DrawPrimitiveUP"));
    EXPECT_EQ(device_->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 6, 2, indices, D3DFMT_INDEX16, data, stride),
              D3DERR_INVALIDCALL);
    EXPECT_TRUE(RefusedBy("DrawIndexedPrimitiveUP"));

    ASSERT_EQ(device_->BeginScene(), D3D_OK);
    EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 0, data, stride), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, nullptr, stride), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, data, 0), D3DERR_INVALIDCALL);
    // A stride shorter than the declared vertex.
    EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, data, 16), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->DrawPrimitiveUP(static_cast<D3DPRIMITIVETYPE>(0), 2, data, stride), D3DERR_INVALIDCALL);

    const auto indexed = [&](UINT minIndex, UINT count, const void* list, D3DFORMAT format) {
        return device_->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, minIndex, count, 2, list, format, data, stride);
    };
    EXPECT_EQ(indexed(0, 6, nullptr, D3DFMT_INDEX16), D3DERR_INVALIDCALL);
    EXPECT_EQ(indexed(0, 0, indices, D3DFMT_INDEX16), D3DERR_INVALIDCALL);
    EXPECT_EQ(indexed(0, 6, indices, D3DFMT_A8R8G8B8), D3DERR_INVALIDCALL);
    EXPECT_EQ(indexed(0, 6, outside, D3DFMT_INDEX16), D3DERR_INVALIDCALL);  // index 6 past NumVertices
    EXPECT_EQ(indexed(1, 5, indices, D3DFMT_INDEX16), D3DERR_INVALIDCALL);  // index 0 below MinVertexIndex
    EXPECT_EQ(device_->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 6, 2, indices, D3DFMT_INDEX16, nullptr, stride),
              D3DERR_INVALIDCALL);
    EXPECT_TRUE(RefusedBy("DrawIndexedPrimitiveUP"));

    // A declaration reading a second stream.
    const D3DVERTEXELEMENT9 twoStreams[] = {
        {0, 0, D3DDECLTYPE_FLOAT4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITIONT, 0},
        {1, 0, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
        D3DDECL_END()};
    ASSERT_EQ(device_->CreateVertexDeclaration(twoStreams, &declaration_), D3D_OK);
    ASSERT_EQ(device_->SetVertexDeclaration(declaration_), D3D_OK);
    EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, data, stride), D3DERR_INVALIDCALL);
    ASSERT_EQ(device_->SetVertexDeclaration(nullptr), D3D_OK);
    EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, data, stride), D3DERR_INVALIDCALL);
    ASSERT_EQ(device_->EndScene(), D3D_OK);

    for (DWORD pixel : ReadBackBuffer()) {
        ASSERT_EQ(pixel, kBlack);
    }
}

}  // namespace
}  // namespace D3D9Test

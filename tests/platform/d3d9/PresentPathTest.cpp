// Present's two paths: drawing straight into the window (the usual windowed frame) and drawing
// into the back buffer's own image that Present copies into the window. What the window shows,
// what reads of the back buffer return and what the depth buffer holds must not depend on which
// path a frame took, nor on moving between them.
#include "Direct3DTestSupport.h"

#include <epoxy/gl.h>

namespace D3D9Test {
namespace {

constexpr DWORD kRed = 0xFFFF0000;
constexpr DWORD kGreen = 0xFF00FF00;
constexpr DWORD kBlue = 0xFF0000FF;

class PresentPathTest : public WindowSizedDeviceTest {
protected:
    // A Present the window path cannot serve: the whole back buffer given as a source rectangle.
    void PresentThroughTheImage() {
        const RECT whole {0, 0, static_cast<LONG>(kWidth), static_cast<LONG>(kHeight)};
        ASSERT_EQ(device_->Present(&whole, nullptr, nullptr, nullptr), D3D_OK);
        ASSERT_FALSE(DrawsIntoWindow(device_));
    }

    void ClearRect(LONG x1, LONG y1, LONG x2, LONG y2, DWORD flags, D3DCOLOR colour, float z) {
        const D3DRECT rect {x1, y1, x2, y2};
        ASSERT_EQ(device_->Clear(1, &rect, flags, colour, z, 0), D3D_OK);
    }

    DWORD At(const std::vector<DWORD>& pixels, UINT x, UINT y) { return pixels[y * kWidth + x]; }
};

// The window's own back buffer after a Present, as 0xAARRGGBB; GL counts its rows from the bottom.
DWORD WindowPixel(UINT x, UINT rowFromBottom) {
    DWORD pixel = 0;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glReadBuffer(GL_BACK);
    glReadPixels(static_cast<GLint>(x), static_cast<GLint>(rowFromBottom), 1, 1, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                 &pixel);
    return pixel;
}

TEST_F(PresentPathTest, TheWindowShowsRowZeroAtTheTopOnBothPaths) {
    for (const FramePath path : {FramePath::BackBufferImage, FramePath::Window}) {
        if (path == FramePath::Window) {
            MoveDrawingIntoWindow();
        }
        ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, kBlue, 1.0f, 0), D3D_OK);
        ClearRect(0, 0, kWidth, 4, D3DCLEAR_TARGET, kRed, 1.0f);
        if (path == FramePath::Window) {
            ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
            ASSERT_TRUE(DrawsIntoWindow(device_));
        } else {
            PresentThroughTheImage();
        }
        EXPECT_EQ(WindowPixel(3, kHeight - 1), kRed) << FramePathName({path, 0});
        EXPECT_EQ(WindowPixel(3, kHeight - 4), kRed) << FramePathName({path, 0});
        EXPECT_EQ(WindowPixel(3, kHeight - 5), kBlue) << FramePathName({path, 0});
        EXPECT_EQ(WindowPixel(3, 0), kBlue) << FramePathName({path, 0});
    }
}

TEST_F(PresentPathTest, ReadsShowTheLatestDrawsAcrossPresentsAndPathChanges) {
    MoveDrawingIntoWindow();
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, kGreen, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    // D3DSWAPEFFECT_COPY keeps the presented frame in the back buffer.
    std::vector<DWORD> pixels = ReadBackBuffer();
    EXPECT_EQ(At(pixels, 0, 0), kGreen);
    EXPECT_EQ(At(pixels, kWidth - 1, kHeight - 1), kGreen);

    ClearRect(0, 0, 8, 6, D3DCLEAR_TARGET, kRed, 1.0f);
    pixels = ReadBackBuffer();
    EXPECT_EQ(At(pixels, 7, 5), kRed);
    EXPECT_EQ(At(pixels, 8, 6), kGreen);

    // Out of the window: the image now holds what the window held.
    PresentThroughTheImage();
    pixels = ReadBackBuffer();
    EXPECT_EQ(At(pixels, 7, 5), kRed);
    EXPECT_EQ(At(pixels, 8, 6), kGreen);
    ClearRect(kWidth - 8, kHeight - 6, kWidth, kHeight, D3DCLEAR_TARGET, kBlue, 1.0f);
    pixels = ReadBackBuffer();
    EXPECT_EQ(At(pixels, 7, 5), kRed);
    EXPECT_EQ(At(pixels, kWidth - 8, kHeight - 6), kBlue);
    EXPECT_EQ(At(pixels, kWidth - 9, kHeight - 7), kGreen);

    // And back in: a plain Present of a frame whose swap is known to keep it.
    ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    ASSERT_TRUE(DrawsIntoWindow(device_));
    pixels = ReadBackBuffer();
    EXPECT_EQ(At(pixels, 7, 5), kRed);
    EXPECT_EQ(At(pixels, kWidth - 8, kHeight - 6), kBlue);
}

TEST_F(PresentPathTest, DepthBufferFollowsTheFrameIntoAndOutOfTheWindow) {
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3D_OK);
    ClearRect(0, 0, kWidth / 2, kHeight, D3DCLEAR_ZBUFFER, 0, 0.5f);
    MoveDrawingIntoWindow();  // clears only colour
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0), D3D_OK);
    const nvesk::d3d9::ShaderProgramHandle program = SolidProgram();
    ASSERT_EQ(nvesk::d3d9::UseShaderProgram(device_, program), D3D_OK);
    auto drawAt = [&](float z) {
        BindVertices(Quad(0, 0, kWidth, kHeight, z));
        ASSERT_EQ(device_->BeginScene(), D3D_OK);
        ASSERT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
        ASSERT_EQ(device_->EndScene(), D3D_OK);
    };
    SetColor(program, 1, 0, 0, 1);
    drawAt(0.7f);
    std::vector<DWORD> pixels = ReadBackBuffer();
    EXPECT_EQ(At(pixels, 5, 5), 0xFF000000u);  // 0.7 behind the 0.5 cleared before the move
    EXPECT_EQ(At(pixels, kWidth - 5, 5), kRed);

    PresentThroughTheImage();
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0), D3D_OK);
    SetColor(program, 0, 0, 1, 1);
    drawAt(0.6f);
    pixels = ReadBackBuffer();
    EXPECT_EQ(At(pixels, 5, 5), 0xFF000000u);     // 0.6 behind 0.5
    EXPECT_EQ(At(pixels, kWidth - 5, 5), kBlue);  // 0.6 before the 0.7 drawn in the window
}

TEST_F(PresentPathTest, DiscardEntersAtOnceAndResetStartsOverInTheImage) {
    D3DPRESENT_PARAMETERS parameters = WindowedParameters(window_->Handle(), kWidth, kHeight);
    parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
    ASSERT_EQ(device_->Reset(&parameters), D3D_OK);
    EXPECT_FALSE(DrawsIntoWindow(device_));
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_TRUE(DrawsIntoWindow(device_));
    ClearRect(0, 0, 4, 4, D3DCLEAR_TARGET, kGreen, 1.0f);
    EXPECT_EQ(ReadBackBuffer()[3 * kWidth + 3], kGreen);

    parameters.SwapEffect = D3DSWAPEFFECT_COPY;
    ASSERT_EQ(device_->Reset(&parameters), D3D_OK);
    EXPECT_FALSE(DrawsIntoWindow(device_));
    ClearRect(0, 0, 4, 4, D3DCLEAR_TARGET, kRed, 1.0f);
    EXPECT_EQ(ReadBackBuffer()[3 * kWidth + 3], kRed);
}

TEST_F(PresentPathTest, ACopyingSwapIsTrustedOnlyAfterAFrameThatTellsCameBackWhole) {
    // An A8 back buffer can hold a frame of zero bytes, which a fresh buffer would also show.
    D3DPRESENT_PARAMETERS parameters = WindowedParameters(window_->Handle(), kWidth, kHeight);
    parameters.BackBufferFormat = D3DFMT_A8R8G8B8;
    ASSERT_EQ(device_->Reset(&parameters), D3D_OK);
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00000000, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_FALSE(DrawsIntoWindow(device_)) << "an all-zero frame told nothing";

    // A frame with one differing pixel tells; the ones after it are drawn in the window, and the
    // back buffer still holds each presented frame.
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00000000, 1.0f, 0), D3D_OK);
    ClearRect(kWidth - 1, kHeight - 1, kWidth, kHeight, D3DCLEAR_TARGET, kRed, 1.0f);
    ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_TRUE(DrawsIntoWindow(device_));
    const std::vector<DWORD> pixels = ReadBackBuffer();
    EXPECT_EQ(At(pixels, kWidth - 1, kHeight - 1), kRed);
    EXPECT_EQ(At(pixels, kWidth - 2, kHeight - 1), 0x00000000u);

    // After a Reset the trust starts over, and the first frame that tells moves draws in again.
    ASSERT_EQ(device_->Reset(&parameters), D3D_OK);
    EXPECT_FALSE(DrawsIntoWindow(device_));
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, kGreen, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_TRUE(DrawsIntoWindow(device_));
    EXPECT_EQ(ReadBackBuffer()[0], kGreen);
}

TEST_F(PresentPathTest, APixelStageReadingWindowRowsKeepsTheFrameOutOfTheWindow) {
    // Red in the top four rows by the pixel's own position, blue below.
    static const char kRowsFromTheTop[] = R"(#version 450
in vec2 uv;
out vec4 color;
void main() { color = gl_FragCoord.y < 4.0 ? vec4(1.0, 0.0, 0.0, 1.0) : vec4(0.0, 0.0, 1.0, 1.0); }
)";
    MoveDrawingIntoWindow();
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3D_OK);
    const nvesk::d3d9::ShaderProgramHandle program = ProgramWithFragment(kRowsFromTheTop);
    EXPECT_FALSE(DrawsIntoWindow(device_));
    ASSERT_EQ(nvesk::d3d9::UseShaderProgram(device_, program), D3D_OK);
    for (int frame = 0; frame < 2; ++frame) {
        BindVertices(Quad(0, 0, kWidth, kHeight));
        ASSERT_EQ(device_->BeginScene(), D3D_OK);
        ASSERT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
        ASSERT_EQ(device_->EndScene(), D3D_OK);
        const std::vector<DWORD> pixels = ReadBackBuffer();
        EXPECT_EQ(At(pixels, 5, 3), kRed);
        EXPECT_EQ(At(pixels, 5, 4), kBlue);
        ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
        EXPECT_FALSE(DrawsIntoWindow(device_));
    }
}

TEST_F(DeviceTest, AWindowLargerThanTheBackBufferKeepsTheImageAndStretches) {
    ASSERT_EQ(CreateDevice(), D3D_OK);  // 64 x 48 on a 200 x 150 window
    for (D3DCOLOR colour : {kRed, kGreen, kBlue}) {
        ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, colour, 1.0f, 0), D3D_OK);
        ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
        EXPECT_FALSE(DrawsIntoWindow(device_));
        EXPECT_EQ(ReadBackBuffer()[0], colour);
        EXPECT_EQ(WindowPixel(199, 149), colour);  // stretched over the whole window
    }
}

}  // namespace
}  // namespace D3D9Test

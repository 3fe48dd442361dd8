// The device's back buffer and automatic depth/stencil buffer. Draws go to one of two places:
// - a GL framebuffer object (row 0 at the top, as Direct3D stores it) that Present blits to the
//   window upside down; its colour image has the window's pixel layout, so that blit is a copy;
// - straight into the window's own buffers, when the back buffer matches the window (the usual
//   windowed case): Present then only swaps. The clip origin is then GL's lower left, so that
//   Direct3D's row 0 lands at the window's top; viewport, scissor and reads are flipped to match.
// Anything that needs the image itself (a lock, an upload, an unusual Present) moves the frame
// back into the framebuffer object first.
#pragma once

#include <d3d9.h>

#include "PixelFormats.h"

#include <vector>

namespace nvesk::d3d9 {

// The window's default framebuffer, as the context sees it.
struct WindowBuffers {
    int alphaBits = 0;
    int depthBits = 0;
    int stencilBits = 0;
    int samples = 0;
};

class FrameTarget {
public:
    FrameTarget() = default;
    ~FrameTarget();
    FrameTarget(const FrameTarget&) = delete;
    FrameTarget& operator=(const FrameTarget&) = delete;

    // Context current. depthFormat D3DFMT_UNKNOWN: no depth buffer. Draws go to the framebuffer object.
    bool Create(UINT width, UINT height, const PixelFormat& color, D3DFORMAT depthFormat);
    void Destroy();

    void Bind() const;
    // Viewport and scissor rectangles in Direct3D's top-down rows.
    void SetViewport(LONG x, LONG y, LONG width, LONG height) const;
    void SetScissor(LONG x, LONG y, LONG width, LONG height) const;

    // Whether the window can hold this frame: same size, the same bits per channel, depth and
    // stencil buffers, no multisampling.
    bool FitsWindow(int windowWidth, int windowHeight, const WindowBuffers& window) const;
    bool InWindow() const { return inWindow_; }
    // Context current on the device window, which shows this frame's image. Draws go to the
    // window from now on; depth and stencil come along. False (nothing changed) when the
    // window's depth/stencil cannot take them.
    bool MoveIntoWindow();
    // Context current on the device window. The window's colour, depth and stencil go back to
    // the framebuffer object, and draws with them.
    void MoveOutOfWindow();

    // Copies `source` of the back buffer to `destination` of the window's default framebuffer
    // (window pixels, top-left origin), scaling as needed. Only outside the window.
    void BlitToWindow(const RECT& source, const RECT& destination, int windowHeight) const;
    // Reads `area` into memory with rows `RowPitch` apart, in the colour format's layout.
    void Read(const RECT& area, BYTE* destination) const;
    // `area` of the window's back buffer (after a blit or swap), rows top-down as Read lays them out.
    void ReadWindowArea(const RECT& area, BYTE* destination) const;

    UINT Width() const { return width_; }
    UINT Height() const { return height_; }
    bool HasDepth() const { return depth_ != 0; }
    bool HasStencil() const { return hasStencil_; }
    // The image always stores alpha; for X8 formats it stays 1 (draws and clears leave it alone),
    // so blending reads destination alpha as 1, as Direct3D does.
    bool HasAlpha() const { return hasAlpha_; }
    unsigned int ColorTexture() const { return color_; }
    const PixelFormat& ColorFormat() const { return *colorFormat_; }

private:
    // The GL buffer bits of the depth and stencil images that travel with the frame.
    unsigned int DepthStencilBits() const;
    void ReadFrom(unsigned int framebuffer, const RECT& area, BYTE* destination) const;
    void SetWindowOrigin(bool inWindow);

    unsigned int framebuffer_ = 0;
    unsigned int color_ = 0;
    unsigned int depth_ = 0;
    int depthBits_ = 0;
    bool hasStencil_ = false;
    bool hasAlpha_ = true;
    bool inWindow_ = false;
    UINT width_ = 0;
    UINT height_ = 0;
    const PixelFormat* colorFormat_ = nullptr;
};

// Whether a swap leaves the presented image in the window's back buffer, as D3DSWAPEFFECT_COPY
// (and our FLIP) need once draws go to the window: GLX rarely says (Mesa's software path keeps it
// but reports "undefined"). A frame read back after its swap tells, when it differs from the frame
// before it (an exchanged buffer holds that one) and is not all zeros (a fresh buffer's bytes).
// Frames are compared by a hash taken a band of rows at a time: no frame-sized copies, whose fresh
// pages would cost the first Presents more than the reads themselves.
class SwapKeepsImage {
public:
    void Restart();
    // Whether the next plain Present should look.
    bool Probing() const { return !known_ && probesLeft_ > 0; }
    bool Yes() const { return known_; }
    // Around the swap: the frame as presented, then the window's back buffer after the swap.
    void Before(const FrameTarget& frame);
    void After(const FrameTarget& frame);

private:
    static constexpr int kProbes = 8;
    static constexpr UINT kBandRows = 32;
    // The frame from the back buffer's image, or the window's after the swap; `blank` (when given)
    // tells whether it is all zeros.
    size_t HashFrame(const FrameTarget& frame, bool window, bool* blank);

    bool known_ = false;
    int probesLeft_ = kProbes;
    size_t previousHash_ = 0;
    size_t presentedHash_ = 0;
    bool presentedBlank_ = false;
    std::vector<BYTE> band_;
};

}  // namespace nvesk::d3d9

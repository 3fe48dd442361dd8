// The device's back buffer and automatic depth/stencil buffer: a GL framebuffer object that every
// draw renders into (row 0 at the top, as Direct3D stores it) and that Present blits to the
// window upside down. The colour image has the window's pixel layout, so that blit is a copy.
#pragma once

#include <d3d9.h>

#include "PixelFormats.h"

namespace nvesk::d3d9 {

class FrameTarget {
public:
    FrameTarget() = default;
    ~FrameTarget();
    FrameTarget(const FrameTarget&) = delete;
    FrameTarget& operator=(const FrameTarget&) = delete;

    // Context current. depthFormat D3DFMT_UNKNOWN: no depth buffer.
    bool Create(UINT width, UINT height, const PixelFormat& color, D3DFORMAT depthFormat);
    void Destroy();

    void Bind() const;
    // Copies `source` of the back buffer to `destination` of the window's default framebuffer
    // (window pixels, top-left origin), scaling as needed.
    void BlitToWindow(const RECT& source, const RECT& destination, int windowHeight) const;
    // Reads `area` into memory with rows `RowPitch` apart, in the colour format's layout.
    void Read(const RECT& area, BYTE* destination) const;

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
    unsigned int framebuffer_ = 0;
    unsigned int color_ = 0;
    unsigned int depth_ = 0;
    bool hasStencil_ = false;
    bool hasAlpha_ = true;
    UINT width_ = 0;
    UINT height_ = 0;
    const PixelFormat* colorFormat_ = nullptr;
};

}  // namespace nvesk::d3d9

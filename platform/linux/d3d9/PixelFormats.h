// What each Direct3D format we support is in memory and on the GL side.
#pragma once

#include <d3d9types.h>
#include <epoxy/gl.h>

namespace nvesk::d3d9 {

struct PixelFormat {
    D3DFORMAT format;
    UINT bytesPerPixel;
    GLenum internalFormat;
    GLenum uploadFormat;  // layout of the Direct3D bytes for glTexSubImage/glReadPixels
    GLenum uploadType;
    GLint swizzle[4];  // what the shader reads for r, g, b, a (Direct3D's defaults for missing channels)
};

// Null for a format we cannot store as a texture or surface.
const PixelFormat* FindPixelFormat(D3DFORMAT format);

// Depth/stencil formats we can create: GL internal format, and whether it has stencil bits.
bool DepthStencilFormat(D3DFORMAT format, GLenum* internalFormat, bool* hasStencil);

// Bytes between rows of a level `width` pixels wide: rows start on 4-byte boundaries.
UINT RowPitch(const PixelFormat& format, UINT width);

}  // namespace nvesk::d3d9

#include "PixelFormats.h"

namespace nvesk::d3d9 {
namespace {

const PixelFormat kFormats[] = {
    {D3DFMT_A8R8G8B8, 4, GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA}},
    {D3DFMT_X8R8G8B8, 4, GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, {GL_RED, GL_GREEN, GL_BLUE, GL_ONE}},
    {D3DFMT_A8B8G8R8, 4, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA}},
    {D3DFMT_X8B8G8R8, 4, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, {GL_RED, GL_GREEN, GL_BLUE, GL_ONE}},
    {D3DFMT_R8G8B8, 3, GL_RGB8, GL_BGR, GL_UNSIGNED_BYTE, {GL_RED, GL_GREEN, GL_BLUE, GL_ONE}},
    {D3DFMT_R5G6B5, 2, GL_RGB565, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, {GL_RED, GL_GREEN, GL_BLUE, GL_ONE}},
    {D3DFMT_A1R5G5B5, 2, GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA}},
    {D3DFMT_X1R5G5B5, 2, GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, {GL_RED, GL_GREEN, GL_BLUE, GL_ONE}},
    {D3DFMT_A4R4G4B4, 2, GL_RGBA4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA}},
    {D3DFMT_X4R4G4B4, 2, GL_RGBA4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, {GL_RED, GL_GREEN, GL_BLUE, GL_ONE}},
    {D3DFMT_A2R10G10B10,
     4,
     GL_RGB10_A2,
     GL_BGRA,
     GL_UNSIGNED_INT_2_10_10_10_REV,
     {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA}},
    {D3DFMT_A2B10G10R10,
     4,
     GL_RGB10_A2,
     GL_RGBA,
     GL_UNSIGNED_INT_2_10_10_10_REV,
     {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA}},
    {D3DFMT_A8, 1, GL_R8, GL_RED, GL_UNSIGNED_BYTE, {GL_ZERO, GL_ZERO, GL_ZERO, GL_RED}},
    {D3DFMT_L8, 1, GL_R8, GL_RED, GL_UNSIGNED_BYTE, {GL_RED, GL_RED, GL_RED, GL_ONE}},
    {D3DFMT_A8L8, 2, GL_RG8, GL_RG, GL_UNSIGNED_BYTE, {GL_RED, GL_RED, GL_RED, GL_GREEN}},
    {D3DFMT_L16, 2, GL_R16, GL_RED, GL_UNSIGNED_SHORT, {GL_RED, GL_RED, GL_RED, GL_ONE}},
    {D3DFMT_G16R16, 4, GL_RG16, GL_RG, GL_UNSIGNED_SHORT, {GL_RED, GL_GREEN, GL_ONE, GL_ONE}},
    {D3DFMT_A16B16G16R16, 8, GL_RGBA16, GL_RGBA, GL_UNSIGNED_SHORT, {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA}},
    {D3DFMT_R16F, 2, GL_R16F, GL_RED, GL_HALF_FLOAT, {GL_RED, GL_ONE, GL_ONE, GL_ONE}},
    {D3DFMT_G16R16F, 4, GL_RG16F, GL_RG, GL_HALF_FLOAT, {GL_RED, GL_GREEN, GL_ONE, GL_ONE}},
    {D3DFMT_A16B16G16R16F, 8, GL_RGBA16F, GL_RGBA, GL_HALF_FLOAT, {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA}},
    {D3DFMT_R32F, 4, GL_R32F, GL_RED, GL_FLOAT, {GL_RED, GL_ONE, GL_ONE, GL_ONE}},
    {D3DFMT_G32R32F, 8, GL_RG32F, GL_RG, GL_FLOAT, {GL_RED, GL_GREEN, GL_ONE, GL_ONE}},
    {D3DFMT_A32B32G32R32F, 16, GL_RGBA32F, GL_RGBA, GL_FLOAT, {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA}},
};

}  // namespace

const PixelFormat* FindPixelFormat(D3DFORMAT format) {
    for (const PixelFormat& candidate : kFormats) {
        if (candidate.format == format) {
            return &candidate;
        }
    }
    return nullptr;
}

bool DepthStencilFormat(D3DFORMAT format, GLenum* internalFormat, bool* hasStencil) {
    switch (format) {
    case D3DFMT_D16:
    case D3DFMT_D16_LOCKABLE:
        *internalFormat = GL_DEPTH_COMPONENT16;
        *hasStencil = false;
        return true;
    case D3DFMT_D24X8:
        *internalFormat = GL_DEPTH_COMPONENT24;
        *hasStencil = false;
        return true;
    case D3DFMT_D32:
        *internalFormat = GL_DEPTH_COMPONENT32;
        *hasStencil = false;
        return true;
    case D3DFMT_D24S8:
        *internalFormat = GL_DEPTH24_STENCIL8;
        *hasStencil = true;
        return true;
    case D3DFMT_D24FS8:
        *internalFormat = GL_DEPTH32F_STENCIL8;
        *hasStencil = true;
        return true;
    default:
        return false;
    }
}

UINT RowPitch(const PixelFormat& format, UINT width) {
    return (width * format.bytesPerPixel + 3u) & ~3u;
}

}  // namespace nvesk::d3d9

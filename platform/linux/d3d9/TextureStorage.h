// Where a GL texture's levels get their memory, in a layout that keeps uploads cheap.
#pragma once

#include "PixelFormats.h"

namespace nvesk::d3d9 {

// Context current. Gives `texture` (created for `target`, GL_TEXTURE_2D or GL_TEXTURE_CUBE_MAP, no
// storage yet) `levels` levels, on every face of a cube map, halving from width x height. Formats whose Direct3D bytes
// are B, G, R, A with 8 bits each get Mesa's own B8G8R8A8 layout: their uploads, reads and copies to an X11 window are
// then plain copies rather than a swap of red and blue per texel. Every other format gets immutable sized storage.
void AllocateTextureLevels(GLuint texture, GLenum target, const PixelFormat& format, UINT width, UINT height,
                           UINT levels);

}  // namespace nvesk::d3d9

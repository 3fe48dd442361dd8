// The frame both sides draw: an 800 x 600 alpha-blended quad showing a 256 x 256 texture that the
// CPU rewrites every frame, and a small 66 x 70 quad on top, into an 800 x 600 target.
#pragma once

#include <cstdint>

namespace FrameBench {

constexpr int kWidth = 800;
constexpr int kHeight = 600;
constexpr int kTextureSize = 256;
constexpr int kSpriteWidth = 66;
constexpr int kSpriteHeight = 70;

// Writes frame `frame`'s texels (B, G, R, A bytes) into rows `pitch` bytes apart.
void WriteDynamicTexels(unsigned frame, std::uint8_t* rows, int pitch);
// The sprite's fixed texels, tightly packed.
void WriteSpriteTexels(std::uint8_t* texels);

// The shaders of both sides: pixel positions through an orthographic projection, one texture.
extern const char* const kVertexShader;
extern const char* const kFragmentShader;

// Pixel-to-clip projection for the raw side (column-major 4x4).
void Projection(float* matrix);

}  // namespace FrameBench

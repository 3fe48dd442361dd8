#include "FrameWorkload.h"

namespace FrameBench {

void WriteDynamicTexels(unsigned frame, std::uint8_t* rows, int pitch) {
    for (int y = 0; y < kTextureSize; ++y) {
        std::uint8_t* texel = rows + y * pitch;
        for (int x = 0; x < kTextureSize; ++x) {
            const unsigned value = (static_cast<unsigned>(x) + static_cast<unsigned>(y) * 3u + frame) & 0xFFu;
            texel[0] = static_cast<std::uint8_t>(value);
            texel[1] = static_cast<std::uint8_t>(value >> 1);
            texel[2] = static_cast<std::uint8_t>(255 - value);
            texel[3] = static_cast<std::uint8_t>(value);
            texel += 4;
        }
    }
}

void WriteSpriteTexels(std::uint8_t* texels) {
    for (int y = 0; y < kSpriteHeight; ++y) {
        for (int x = 0; x < kSpriteWidth; ++x) {
            std::uint8_t* texel = texels + (y * kSpriteWidth + x) * 4;
            const bool inside = (x - 33) * (x - 33) + (y - 35) * (y - 35) < 30 * 30;
            texel[0] = 40;
            texel[1] = 200;
            texel[2] = 240;
            texel[3] = inside ? 255 : 0;
        }
    }
}

const char* const kVertexShader = R"(#version 450
in vec3 position;
in vec2 texcoord;
uniform mat4 projection;
out vec2 uv;
void main() {
    uv = texcoord;
    gl_Position = projection * vec4(position, 1.0);
}
)";

const char* const kFragmentShader = R"(#version 450
in vec2 uv;
uniform sampler2D image;
out vec4 color;
void main() { color = texture(image, uv); }
)";

void Projection(float* matrix) {
    for (int i = 0; i < 16; ++i) {
        matrix[i] = 0.0f;
    }
    // x' = 2x/W - 1, y' = 1 - 2y/H, z' = z, w' = 1 (column-major).
    matrix[0] = 2.0f / kWidth;
    matrix[5] = -2.0f / kHeight;
    matrix[10] = 1.0f;
    matrix[12] = -1.0f;
    matrix[13] = 1.0f;
    matrix[15] = 1.0f;
}

}  // namespace FrameBench

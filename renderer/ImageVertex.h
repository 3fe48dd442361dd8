// The screen-quad vertex every 2D image writes into the image box's shared buffer.
#pragma once

#include <d3d9.h>

namespace NVesk {
namespace NRenderer {

// Position in back-buffer pixels (z always 0.5), then the texture coordinate; 20 bytes, no padding.
struct ImageVertex {
    float x;
    float y;
    float z;
    float u;
    float v;
};
static_assert(sizeof(ImageVertex) == 20, "the quad vertex is five packed floats");

// Its declaration: FLOAT3 position at 0, FLOAT2 texture coordinate at 12, then the end marker.
extern const D3DVERTEXELEMENT9 ImageVertexElements[3];

}  // namespace NRenderer
}  // namespace NVesk

// A mesh in system memory as D3DX holds it: one interleaved vertex array in FVF order
// (position, then the normal if any, then one 2D texture coordinate if any), three 32-bit
// indices per face and one attribute (material group) per face.
#pragma once

#include <cstdint>
#include <vector>

namespace nvesk::d3dx9 {

struct MeshGeometry {
    bool hasNormals = false;
    bool hasTextureCoordinates = false;
    std::uint32_t vertexCount = 0;
    std::vector<float> vertices;  // VertexFloats() floats per vertex
    std::vector<std::uint32_t> indices;
    std::vector<std::uint32_t> attributes;

    std::uint32_t VertexFloats() const { return 3u + (hasNormals ? 3u : 0u) + (hasTextureCoordinates ? 2u : 0u); }
    std::uint32_t FaceCount() const { return static_cast<std::uint32_t>(attributes.size()); }
};

}  // namespace nvesk::d3dx9

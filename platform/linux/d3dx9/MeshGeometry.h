// A mesh in system memory as D3DX holds it: one interleaved vertex array in FVF order
// (position, then the normal if any, the diffuse colour if any, then one 2D texture coordinate
// if any), three 32-bit indices per face and one attribute (material group) per face.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nvesk::d3dx9 {

// A material of the file as D3DX describes it (D3DMATERIAL9 colours plus a texture name); the
// defaults are the material D3DX gives a mesh whose file names none.
struct MeshMaterial {
    float diffuse[4] = {0.5f, 0.5f, 0.5f, 0};
    float specular[3] = {0.5f, 0.5f, 0.5f};
    float emissive[3] = {0, 0, 0};
    float power = 0;
    std::string textureFile;
};

struct MeshGeometry {
    bool hasNormals = false;
    bool hasColours = false;
    bool hasTextureCoordinates = false;
    std::uint32_t vertexCount = 0;
    std::vector<float> vertices;  // VertexFloats() floats per vertex; a colour is its D3DCOLOR's bits
    std::vector<std::uint32_t> indices;
    std::vector<std::uint32_t> attributes;  // index into materials
    std::vector<MeshMaterial> materials;

    std::uint32_t VertexFloats() const {
        return 3u + (hasNormals ? 3u : 0u) + (hasColours ? 1u : 0u) + (hasTextureCoordinates ? 2u : 0u);
    }
    std::uint32_t FaceCount() const { return static_cast<std::uint32_t>(attributes.size()); }
};

}  // namespace nvesk::d3dx9

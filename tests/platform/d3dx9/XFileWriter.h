// Writes small DirectX .x mesh files for the tests, as text or as binary tokens.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace D3DX9Tests {

struct XMeshSource {
    std::vector<std::array<float, 3>> positions;
    std::vector<std::array<std::uint32_t, 3>> faces;
    std::vector<std::array<float, 3>> normals;  // per vertex; empty: none in the file
    std::vector<std::array<float, 2>> uvs;      // per vertex; empty: none
    std::vector<std::uint32_t> colours;         // 0xAARRGGBB per vertex; empty: no MeshVertexColors
    std::vector<std::uint32_t> faceMaterials;   // empty: no material list
    std::array<float, 3> frameTranslation {0, 0, 0};
};

std::string TextXFile(const XMeshSource& mesh);
std::vector<std::uint8_t> BinaryXFile(const XMeshSource& mesh);

// A unit cube from -0.5 to 0.5, faces clockwise seen from outside; with `splitCorners` each face
// has its own four vertices (24 in all), otherwise the 8 corners are shared.
XMeshSource Cube(bool splitCorners);

}  // namespace D3DX9Tests

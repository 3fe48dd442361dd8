// Mesh operations on interleaved vertex data whose position (three floats) comes first:
// normals, face adjacency, and the vertex-cache reordering of OptimizeInplace.
#pragma once

#include <cstdint>
#include <vector>

namespace nvesk::d3dx9 {

struct VertexData {
    std::uint8_t* bytes = nullptr;
    std::uint32_t stride = 0;  // bytes per vertex
    std::uint32_t count = 0;
};

// Every index must name a vertex; operations refuse (return false) rather than read outside.
bool IndicesInRange(const std::vector<std::uint32_t>& indices, std::uint32_t vertexCount);

// Sum of the face normals at each vertex, each weighted by the face's angle at that vertex,
// normalised, written at normalOffset.
bool ComputeNormals(VertexData vertices, std::uint32_t normalOffset, const std::vector<std::uint32_t>& indices);

// Three entries per face: the face across edge (0,1), (1,2) and (2,0), or 0xFFFFFFFF.
// Vertices whose positions differ by no more than epsilon in each coordinate count as one.
bool GenerateAdjacency(VertexData vertices, const std::vector<std::uint32_t>& indices, float epsilon,
                       std::vector<std::uint32_t>& adjacency);

// Sorts faces by attribute, orders each attribute group for the post-transform vertex cache and
// renumbers vertices in first-use order. faceRemap[new] = old face; vertexRemap[old] = new vertex.
bool OptimizeForVertexCache(VertexData vertices, std::vector<std::uint32_t>& indices,
                            std::vector<std::uint32_t>& attributes, std::vector<std::uint32_t>& faceRemap,
                            std::vector<std::uint32_t>& vertexRemap);

}  // namespace nvesk::d3dx9

// The mesh scene without Direct3D: the demo's text .x mesh read directly, normals and vertex-cache
// order as the loader gives them, and the scene's camera, pose and light in D3DX's matrix layout.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace SceneBench {

struct MeshVertex {
    float position[3];
    float normal[3];
    std::uint32_t colour;  // 0xAARRGGBB
};

struct Mesh {
    std::vector<MeshVertex> vertices;
    std::vector<std::uint32_t> indices;  // triangles
};

// The first mesh of a text .x file, with its vertex colours (white without them), polygons cut
// into fans, normals from the faces and the triangles in vertex-cache order; false with *error set.
bool LoadXMesh(const std::string& path, Mesh& mesh, std::string* error);

// Row-vector matrices, rows first, as D3DX lays them out.
struct Matrix {
    float m[4][4];
};

Matrix Multiply(const Matrix& a, const Matrix& b);

// The scene's camera and projection, the mesh's pose and the light's direction.
class MeshPose {
public:
    explicit MeshPose(float aspectRatio);
    // The mesh turns about the vertical axis and the light about the viewing axis by `seconds` radians.
    void Advance(float seconds);

    Matrix world;
    Matrix worldViewProjection;
    float lightDirection[3];

private:
    Matrix viewProjection_;
};

}  // namespace SceneBench

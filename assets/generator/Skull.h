// The mesh scene's model: a skull built from signed-distance shapes, meshed, with ambient
// occlusion baked into its vertex colours.
#pragma once

#include "SurfaceNets.h"

#include <string>

namespace AssetGen {

// Signed distance to the skull upright, facing -z, about 9 units tall, centred on the origin.
double SkullDistance(Vec3 p);

struct ColouredMesh {
    TriangleMesh mesh;
    std::vector<double> occlusion;  // per vertex: 1 open, towards 0 enclosed
};

// The meshed skull with baked ambient occlusion, turned so that the mesh scene's starting
// orientation shows it upright, facing the camera.
ColouredMesh BuildSkull(double gridStep);

// Text DirectX .x file: positions, triangles and per-vertex colours (no normals).
std::string WriteXFile(const ColouredMesh& skull);

}  // namespace AssetGen

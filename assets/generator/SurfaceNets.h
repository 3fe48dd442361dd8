// Meshes the zero set of a signed distance function with surface nets: one vertex per grid cell
// that the surface crosses, one quad (two triangles) per grid edge that it crosses.
#pragma once

#include "Geometry.h"

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace AssetGen {

using DistanceFunction = std::function<double(Vec3)>;

struct TriangleMesh {
    std::vector<Vec3> positions;
    std::vector<std::array<std::uint32_t, 3>> faces;  // (b - a) x (c - a) points outwards
};

// Samples `distance` (negative inside) on a grid of spacing `step` over [low, high], which must
// enclose the shape with a margin. Vertices are projected onto the surface.
TriangleMesh MeshSurface(const DistanceFunction& distance, Vec3 low, Vec3 high, double step);

// Unit outward normal from central differences of the distance.
Vec3 SurfaceNormal(const DistanceFunction& distance, Vec3 p, double epsilon);

}  // namespace AssetGen

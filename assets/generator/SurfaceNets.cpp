#include "SurfaceNets.h"

#include <cmath>
#include <cstddef>

namespace AssetGen {

Vec3 SurfaceNormal(const DistanceFunction& distance, Vec3 p, double epsilon) {
    const Vec3 dx {epsilon, 0, 0}, dy {0, epsilon, 0}, dz {0, 0, epsilon};
    return Normalize(Vec3 {distance(p + dx) - distance(p - dx), distance(p + dy) - distance(p - dy),
                           distance(p + dz) - distance(p - dz)});
}

namespace {

class Grid {
public:
    Grid(Vec3 low, Vec3 high, double step) : low_(low), step_(step) {
        counts_[0] = static_cast<int>(std::ceil((high.x - low.x) / step)) + 1;
        counts_[1] = static_cast<int>(std::ceil((high.y - low.y) / step)) + 1;
        counts_[2] = static_cast<int>(std::ceil((high.z - low.z) / step)) + 1;
    }

    int Count(int axis) const { return counts_[axis]; }
    std::size_t Index(int x, int y, int z) const {
        return (static_cast<std::size_t>(z) * counts_[1] + y) * counts_[0] + x;
    }
    std::size_t Size() const { return Index(0, 0, counts_[2]); }
    Vec3 Point(int x, int y, int z) const { return low_ + Vec3 {x * step_, y * step_, z * step_}; }

private:
    Vec3 low_;
    double step_;
    int counts_[3];
};

constexpr std::uint32_t kNoVertex = 0xFFFFFFFFu;

}  // namespace

TriangleMesh MeshSurface(const DistanceFunction& distance, Vec3 low, Vec3 high, double step) {
    const Grid grid(low, high, step);
    const int nx = grid.Count(0), ny = grid.Count(1), nz = grid.Count(2);
    std::vector<double> samples(grid.Size());
    for (int z = 0; z < nz; ++z)
        for (int y = 0; y < ny; ++y)
            for (int x = 0; x < nx; ++x)
                samples[grid.Index(x, y, z)] = distance(grid.Point(x, y, z));

    // One vertex per crossed cell (indexed by its lowest corner): the mean of the edge crossings,
    // then pulled onto the surface along the gradient.
    TriangleMesh mesh;
    std::vector<std::uint32_t> cellVertex(grid.Size(), kNoVertex);
    static const int kEdges[12][2] = {{0, 1}, {2, 3}, {4, 5}, {6, 7}, {0, 2}, {1, 3},
                                      {4, 6}, {5, 7}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};
    for (int z = 0; z + 1 < nz; ++z) {
        for (int y = 0; y + 1 < ny; ++y) {
            for (int x = 0; x + 1 < nx; ++x) {
                double corner[8];
                Vec3 point[8];
                int inside = 0;
                for (int c = 0; c < 8; ++c) {
                    const int cx = x + (c & 1), cy = y + ((c >> 1) & 1), cz = z + ((c >> 2) & 1);
                    corner[c] = samples[grid.Index(cx, cy, cz)];
                    point[c] = grid.Point(cx, cy, cz);
                    if (corner[c] < 0) ++inside;
                }
                if (inside == 0 || inside == 8) continue;
                Vec3 sum;
                int crossings = 0;
                for (const auto& edge : kEdges) {
                    const double a = corner[edge[0]], b = corner[edge[1]];
                    if ((a < 0) == (b < 0)) continue;
                    sum = sum + Lerp(point[edge[0]], point[edge[1]], a / (a - b));
                    ++crossings;
                }
                Vec3 vertex = sum * (1.0 / crossings);
                for (int iteration = 0; iteration < 3; ++iteration) {
                    const Vec3 normal = SurfaceNormal(distance, vertex, step * 0.1);
                    vertex = vertex - normal * distance(vertex);
                }
                // Stay near the cell, so that thin parts cannot fold over.
                const Vec3 cellLow = point[0], cellHigh = point[7];
                const double margin = step * 0.5;
                vertex = Vec3 {Clamp(vertex.x, cellLow.x - margin, cellHigh.x + margin),
                               Clamp(vertex.y, cellLow.y - margin, cellHigh.y + margin),
                               Clamp(vertex.z, cellLow.z - margin, cellHigh.z + margin)};
                cellVertex[grid.Index(x, y, z)] = static_cast<std::uint32_t>(mesh.positions.size());
                mesh.positions.push_back(vertex);
            }
        }
    }

    // A grid edge from inside to outside along axis a faces +a: its four cells, taken around the
    // edge in the order (u, v) = (-,-), (0,-), (0,0), (-,0) with u, v the next axes, give
    // (b - a) x (c - a) along +a.
    auto addQuad = [&](const std::array<std::uint32_t, 4>& quad, bool flip) {
        std::array<std::uint32_t, 4> q = quad;
        if (flip) std::swap(q[1], q[3]);
        const double d02 = Length(mesh.positions[q[0]] - mesh.positions[q[2]]);
        const double d13 = Length(mesh.positions[q[1]] - mesh.positions[q[3]]);
        // Split along the shorter diagonal.
        if (d02 <= d13) {
            mesh.faces.push_back({q[0], q[1], q[2]});
            mesh.faces.push_back({q[0], q[2], q[3]});
        } else {
            mesh.faces.push_back({q[1], q[2], q[3]});
            mesh.faces.push_back({q[1], q[3], q[0]});
        }
    };
    for (int z = 1; z + 1 < nz; ++z) {
        for (int y = 1; y + 1 < ny; ++y) {
            for (int x = 1; x + 1 < nx; ++x) {
                const double here = samples[grid.Index(x, y, z)];
                for (int axis = 0; axis < 3; ++axis) {
                    int next[3] = {x, y, z};
                    ++next[axis];
                    if (next[axis] >= grid.Count(axis)) continue;
                    const double there = samples[grid.Index(next[0], next[1], next[2])];
                    if ((here < 0) == (there < 0)) continue;
                    const int u = (axis + 1) % 3, v = (axis + 2) % 3;
                    std::array<std::uint32_t, 4> quad;
                    static const int kAround[4][2] = {{-1, -1}, {0, -1}, {0, 0}, {-1, 0}};
                    for (int k = 0; k < 4; ++k) {
                        int cell[3] = {x, y, z};
                        cell[u] += kAround[k][0];
                        cell[v] += kAround[k][1];
                        quad[k] = cellVertex[grid.Index(cell[0], cell[1], cell[2])];
                    }
                    addQuad(quad, !(here < 0));
                }
            }
        }
    }
    return mesh;
}

}  // namespace AssetGen

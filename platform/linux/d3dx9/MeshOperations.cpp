#include "MeshOperations.h"

#include "ContentMemo.h"

#include <meshoptimizer.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <map>
#include <numeric>

namespace nvesk::d3dx9 {

namespace {

struct Vec3 {
    float x, y, z;
};

Vec3 PositionOf(const VertexData& vertices, std::uint32_t index) {
    Vec3 position;
    std::memcpy(&position, vertices.bytes + static_cast<std::size_t>(index) * vertices.stride, sizeof(position));
    return position;
}

Vec3 Minus(const Vec3& a, const Vec3& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
Vec3 Cross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
float Dot(const Vec3& a, const Vec3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
Vec3 Normalized(const Vec3& v) {
    const float length = std::sqrt(Dot(v, v));
    return length > 0 ? Vec3 {v.x / length, v.y / length, v.z / length} : Vec3 {0, 0, 0};
}

bool Valid(const VertexData& vertices, const std::vector<std::uint32_t>& indices) {
    return vertices.bytes != nullptr && vertices.stride >= 12 && indices.size() % 3 == 0 &&
           IndicesInRange(indices, vertices.count);
}

// Maps each vertex to the first vertex whose position lies within epsilon of it.
std::vector<std::uint32_t> PositionRepresentatives(const VertexData& vertices, float epsilon) {
    std::vector<std::uint32_t> order(vertices.count);
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        return PositionOf(vertices, a).x < PositionOf(vertices, b).x;
    });
    std::vector<std::uint32_t> representative(vertices.count);
    std::iota(representative.begin(), representative.end(), 0u);
    for (std::size_t i = 0; i < order.size(); ++i) {
        const Vec3 p = PositionOf(vertices, order[i]);
        for (std::size_t j = i; j-- > 0;) {
            const Vec3 q = PositionOf(vertices, order[j]);
            if (p.x - q.x > epsilon) break;
            if (std::fabs(p.y - q.y) <= epsilon && std::fabs(p.z - q.z) <= epsilon) {
                representative[order[i]] = std::min(representative[order[i]], representative[order[j]]);
            }
        }
    }
    return representative;
}

}  // namespace

bool IndicesInRange(const std::vector<std::uint32_t>& indices, std::uint32_t vertexCount) {
    return std::all_of(indices.begin(), indices.end(), [&](std::uint32_t index) { return index < vertexCount; });
}

namespace {

void WriteNormals(VertexData vertices, std::uint32_t normalOffset, const std::vector<std::uint32_t>& indices) {
    std::vector<Vec3> sums(vertices.count, Vec3 {0, 0, 0});
    for (std::size_t f = 0; f < indices.size(); f += 3) {
        const Vec3 corners[3] = {PositionOf(vertices, indices[f]), PositionOf(vertices, indices[f + 1]),
                                 PositionOf(vertices, indices[f + 2])};
        const Vec3 n = Normalized(Cross(Minus(corners[1], corners[0]), Minus(corners[2], corners[0])));
        if (n.x == 0 && n.y == 0 && n.z == 0) continue;  // a degenerate face has no direction
        // Each face counts by its angle at the vertex, so a face split in two weighs no more than a whole one.
        for (int k = 0; k < 3; ++k) {
            const Vec3 toNext = Normalized(Minus(corners[(k + 1) % 3], corners[k]));
            const Vec3 toPrevious = Normalized(Minus(corners[(k + 2) % 3], corners[k]));
            const float cosine = std::clamp(Dot(toNext, toPrevious), -1.0f, 1.0f);
            const float angle = std::acos(cosine);
            Vec3& sum = sums[indices[f + k]];
            sum.x += n.x * angle;
            sum.y += n.y * angle;
            sum.z += n.z * angle;
        }
    }
    for (std::uint32_t v = 0; v < vertices.count; ++v) {
        const Vec3 n = Normalized(sums[v]);
        std::memcpy(vertices.bytes + static_cast<std::size_t>(v) * vertices.stride + normalOffset, &n, sizeof(n));
    }
}

bool ComputeAdjacency(VertexData vertices, const std::vector<std::uint32_t>& indices, float epsilon,
                      std::vector<std::uint32_t>& adjacency) {
    const std::vector<std::uint32_t> representative = PositionRepresentatives(vertices, epsilon);
    const std::size_t faces = indices.size() / 3;
    std::multimap<std::pair<std::uint32_t, std::uint32_t>, std::uint32_t> edgeFaces;
    auto edgeKey = [&](std::size_t face, int edge) {
        const std::uint32_t a = representative[indices[face * 3 + edge]];
        const std::uint32_t b = representative[indices[face * 3 + (edge + 1) % 3]];
        return std::make_pair(std::min(a, b), std::max(a, b));
    };
    for (std::size_t face = 0; face < faces; ++face) {
        for (int edge = 0; edge < 3; ++edge)
            edgeFaces.emplace(edgeKey(face, edge), static_cast<std::uint32_t>(face));
    }
    adjacency.assign(faces * 3, 0xFFFFFFFFu);
    for (std::size_t face = 0; face < faces; ++face) {
        for (int edge = 0; edge < 3; ++edge) {
            const auto key = edgeKey(face, edge);
            if (key.first == key.second) continue;  // a degenerate edge has no neighbour
            const auto range = edgeFaces.equal_range(key);
            for (auto it = range.first; it != range.second; ++it) {
                if (it->second != face) {
                    adjacency[face * 3 + edge] = it->second;
                    break;
                }
            }
        }
    }
    return true;
}

bool ReorderForVertexCache(VertexData vertices, std::vector<std::uint32_t>& indices,
                           std::vector<std::uint32_t>& attributes, std::vector<std::uint32_t>& faceRemap,
                           std::vector<std::uint32_t>& vertexRemap) {
    const std::size_t faces = attributes.size();
    faceRemap.resize(faces);
    std::iota(faceRemap.begin(), faceRemap.end(), 0u);
    std::stable_sort(faceRemap.begin(), faceRemap.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return attributes[a] < attributes[b]; });
    std::vector<std::uint32_t> sortedIndices(indices.size());
    std::vector<std::uint32_t> sortedAttributes(faces);
    for (std::size_t f = 0; f < faces; ++f) {
        std::copy_n(indices.begin() + faceRemap[f] * 3, 3, sortedIndices.begin() + f * 3);
        sortedAttributes[f] = attributes[faceRemap[f]];
    }
    // Each attribute group is reordered on its own so that groups stay contiguous.
    std::vector<std::uint32_t> optimized(indices.size());
    for (std::size_t begin = 0; begin < faces;) {
        std::size_t end = begin;
        while (end < faces && sortedAttributes[end] == sortedAttributes[begin])
            ++end;
        std::vector<std::uint32_t> groupOrder((end - begin) * 3);
        meshopt_optimizeVertexCache(groupOrder.data(), sortedIndices.data() + begin * 3, groupOrder.size(),
                                    vertices.count);
        std::copy(groupOrder.begin(), groupOrder.end(), optimized.begin() + begin * 3);
        // Recover which face went where, so callers can remap per-face data.
        std::multimap<std::array<std::uint32_t, 3>, std::uint32_t> positionOfFace;
        for (std::size_t f = begin; f < end; ++f) {
            positionOfFace.emplace(
                std::array<std::uint32_t, 3> {sortedIndices[f * 3], sortedIndices[f * 3 + 1], sortedIndices[f * 3 + 2]},
                faceRemap[f]);
        }
        for (std::size_t f = begin; f < end; ++f) {
            std::array<std::uint32_t, 3> tri {optimized[f * 3], optimized[f * 3 + 1], optimized[f * 3 + 2]};
            auto found = positionOfFace.find(tri);
            for (int turn = 0; found == positionOfFace.end() && turn < 2; ++turn) {
                std::rotate(tri.begin(), tri.begin() + 1, tri.end());
                found = positionOfFace.find(tri);
            }
            if (found == positionOfFace.end()) return false;
            faceRemap[f] = found->second;
            positionOfFace.erase(found);
        }
        begin = end;
    }
    vertexRemap.resize(vertices.count);
    std::uint32_t next = static_cast<std::uint32_t>(
        meshopt_optimizeVertexFetchRemap(vertexRemap.data(), optimized.data(), optimized.size(), vertices.count));
    // Vertices no face uses keep their place after the used ones: the buffer keeps its size.
    for (std::uint32_t& target : vertexRemap) {
        if (target == ~0u) target = next++;
    }
    std::vector<std::uint8_t> reordered(static_cast<std::size_t>(vertices.count) * vertices.stride);
    meshopt_remapVertexBuffer(reordered.data(), vertices.bytes, vertices.count, vertices.stride, vertexRemap.data());
    std::memcpy(vertices.bytes, reordered.data(), reordered.size());
    meshopt_remapIndexBuffer(indices.data(), optimized.data(), optimized.size(), vertexRemap.data());
    attributes = sortedAttributes;
    return true;
}

// What the reorder makes of its inputs: the vertices' bytes and the four arrays.
struct Reordered {
    std::vector<std::uint8_t> vertexBytes;
    std::vector<std::uint32_t> indices;
    std::vector<std::uint32_t> attributes;
    std::vector<std::uint32_t> faceRemap;
    std::vector<std::uint32_t> vertexRemap;
};

// A mesh reloaded every frame asks the same questions every frame.
ContentMemo<std::vector<std::uint32_t>> g_adjacencies(4);
ContentMemo<Reordered> g_reorders(4);
ContentMemo<std::vector<std::uint8_t>> g_normals(4);

MemoKey VertexKey(const VertexData& vertices) {
    MemoKey key;
    key.Value(vertices.stride).Value(vertices.count);
    key.Add(vertices.bytes, static_cast<std::size_t>(vertices.stride) * vertices.count);
    return key;
}

}  // namespace

bool ComputeNormals(VertexData vertices, std::uint32_t normalOffset, const std::vector<std::uint32_t>& indices) {
    if (!Valid(vertices, indices) || normalOffset + 12 > vertices.stride) return false;
    MemoKey key = VertexKey(vertices);
    key.Value(normalOffset).Add(indices);
    const std::size_t vertexBytes = static_cast<std::size_t>(vertices.stride) * vertices.count;
    if (const auto kept = g_normals.Find(key)) {
        std::memcpy(vertices.bytes, kept->data(), vertexBytes);
        return true;
    }
    WriteNormals(vertices, normalOffset, indices);
    g_normals.Keep(key,
                   std::make_shared<const std::vector<std::uint8_t>>(vertices.bytes, vertices.bytes + vertexBytes));
    return true;
}

bool GenerateAdjacency(VertexData vertices, const std::vector<std::uint32_t>& indices, float epsilon,
                       std::vector<std::uint32_t>& adjacency) {
    if (!Valid(vertices, indices) || !(epsilon >= 0)) return false;
    MemoKey key = VertexKey(vertices);
    key.Value(epsilon).Add(indices);
    if (const auto kept = g_adjacencies.Find(key)) {
        adjacency = *kept;
        return true;
    }
    if (!ComputeAdjacency(vertices, indices, epsilon, adjacency)) return false;
    g_adjacencies.Keep(key, std::make_shared<const std::vector<std::uint32_t>>(adjacency));
    return true;
}

bool OptimizeForVertexCache(VertexData vertices, std::vector<std::uint32_t>& indices,
                            std::vector<std::uint32_t>& attributes, std::vector<std::uint32_t>& faceRemap,
                            std::vector<std::uint32_t>& vertexRemap) {
    if (!Valid(vertices, indices) || attributes.size() * 3 != indices.size()) return false;
    MemoKey key = VertexKey(vertices);
    key.Add(indices).Add(attributes);
    const std::size_t vertexBytes = static_cast<std::size_t>(vertices.stride) * vertices.count;
    if (const auto kept = g_reorders.Find(key)) {
        std::memcpy(vertices.bytes, kept->vertexBytes.data(), vertexBytes);
        indices = kept->indices;
        attributes = kept->attributes;
        faceRemap = kept->faceRemap;
        vertexRemap = kept->vertexRemap;
        return true;
    }
    if (!ReorderForVertexCache(vertices, indices, attributes, faceRemap, vertexRemap)) return false;
    auto result = std::make_shared<Reordered>();
    result->vertexBytes.assign(vertices.bytes, vertices.bytes + vertexBytes);
    result->indices = indices;
    result->attributes = attributes;
    result->faceRemap = faceRemap;
    result->vertexRemap = vertexRemap;
    g_reorders.Keep(key, std::move(result));
    return true;
}

}  // namespace nvesk::d3dx9

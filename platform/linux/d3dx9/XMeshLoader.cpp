#include "XMeshLoader.h"

#include "XFileStructure.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <map>
#include <utility>

namespace nvesk::d3dx9 {

namespace {

// Files larger than this are refused rather than expanded in memory.
constexpr std::uint64_t kMaxVertices = 1u << 24;
constexpr std::uint64_t kMaxFaces = 1u << 24;
constexpr std::uint32_t kWhite = 0xFFFFFFFFu;  // the colour of a vertex MeshVertexColors leaves out

using Matrix = std::array<float, 16>;  // row-major, applied to row vectors as Direct3D does
using Vec3 = std::array<float, 3>;

constexpr Matrix kIdentity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

Matrix Multiply(const Matrix& a, const Matrix& b) {
    Matrix product {};
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            for (int k = 0; k < 4; ++k)
                product[row * 4 + column] += a[row * 4 + k] * b[k * 4 + column];
        }
    }
    return product;
}

Vec3 TransformPoint(const Matrix& m, const Vec3& p) {
    return {p[0] * m[0] + p[1] * m[4] + p[2] * m[8] + m[12], p[0] * m[1] + p[1] * m[5] + p[2] * m[9] + m[13],
            p[0] * m[2] + p[1] * m[6] + p[2] * m[10] + m[14]};
}

// Normals follow the inverse transpose of the upper 3x3: its cofactors, signed by the determinant.
Matrix NormalTransform(const Matrix& m) {
    auto at = [&](int row, int column) { return m[row * 4 + column]; };
    Matrix cofactors = kIdentity;
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            const int r1 = (row + 1) % 3, r2 = (row + 2) % 3, c1 = (column + 1) % 3, c2 = (column + 2) % 3;
            cofactors[row * 4 + column] = at(r1, c1) * at(r2, c2) - at(r1, c2) * at(r2, c1);
        }
    }
    const float determinant = at(0, 0) * cofactors[0] + at(0, 1) * cofactors[1] + at(0, 2) * cofactors[2];
    if (determinant < 0) {
        for (float& value : cofactors)
            value = -value;
    }
    cofactors[12] = cofactors[13] = cofactors[14] = 0;
    return cofactors;
}

Vec3 Normalized(Vec3 v) {
    const float length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (length > 0) {
        for (float& c : v)
            c /= length;
    }
    return v;
}

std::uint32_t ColourOf(const std::vector<XNumber>& values, std::size_t at) {
    std::uint32_t colour = 0;
    for (int shift : {16, 8, 0, 24}) {  // red, green, blue, alpha
        const double channel = std::clamp(values[at++].value, 0.0, 1.0);
        colour |= static_cast<std::uint32_t>(channel * 255.0 + 0.5) << shift;
    }
    return colour;
}

const XObject* ChildOf(const XObject& object, const char* type) {
    for (const XObject& child : object.children) {
        if (child.type == type) return &child;
    }
    return nullptr;
}

// Reads a data object's values in order; the structure check has already matched every count.
class Values {
public:
    explicit Values(const XObject& object) : values_(object.numbers) {}
    std::uint32_t Count() { return static_cast<std::uint32_t>(values_[at_++].value); }
    float Float() { return static_cast<float>(values_[at_++].value); }
    Vec3 Vector() { return {Float(), Float(), Float()}; }
    std::size_t At() const { return at_; }
    void Skip(std::size_t count) { at_ += count; }

private:
    const std::vector<XNumber>& values_;
    std::size_t at_ = 0;
};

std::vector<std::vector<std::uint32_t>> Faces(Values& values) {
    std::vector<std::vector<std::uint32_t>> faces(values.Count());
    for (std::vector<std::uint32_t>& face : faces) {
        face.resize(values.Count());
        for (std::uint32_t& index : face)
            index = values.Count();
    }
    return faces;
}

MeshMaterial MaterialOf(const XObject& material) {
    Values values(material);
    MeshMaterial result;
    for (float& channel : result.diffuse)
        channel = values.Float();
    result.power = values.Float();
    for (float& channel : result.specular)
        channel = values.Float();
    for (float& channel : result.emissive)
        channel = values.Float();
    for (const char* type : {"TextureFilename", "TextureFileName"}) {
        if (const XObject* texture = ChildOf(material, type)) result.textureFile = texture->strings.front();
    }
    return result;
}

class Collector {
public:
    explicit Collector(const std::vector<XObject>& objects) {
        for (const XObject& object : objects) {
            if (object.type == "Material" && !object.name.empty()) namedMaterials_[object.name] = &object;
        }
        for (const XObject& object : objects)
            Find(object, kIdentity);
        for (const Placed& placed : meshes_) {
            geometry_.hasNormals |= ChildOf(*placed.mesh, "MeshNormals") != nullptr;
            geometry_.hasColours |= ChildOf(*placed.mesh, "MeshVertexColors") != nullptr;
            geometry_.hasTextureCoordinates |= ChildOf(*placed.mesh, "MeshTextureCoords") != nullptr;
        }
    }

    bool Run(std::string& error) {
        if (meshes_.empty()) {
            error = "the file holds no mesh";
            return false;
        }
        for (const Placed& placed : meshes_) {
            if (!Append(*placed.mesh, placed.world, error)) return false;
        }
        if (geometry_.attributes.empty()) {
            error = "the file holds no triangles";
            return false;
        }
        return true;
    }

    MeshGeometry Take() { return std::move(geometry_); }

private:
    struct Placed {
        const XObject* mesh;
        Matrix world;
    };

    // Meshes at the top level or inside frames, each with its frames' transforms.
    void Find(const XObject& object, const Matrix& parent) {
        if (object.type == "Mesh") {
            meshes_.push_back({&object, parent});
        } else if (object.type == "Frame") {
            Matrix world = parent;
            if (const XObject* transform = ChildOf(object, "FrameTransformMatrix")) {
                Values values(*transform);
                Matrix local;
                for (float& value : local)
                    value = values.Float();
                world = Multiply(local, parent);
            }
            for (const XObject& child : object.children)
                Find(child, world);
        }
    }

    // The mesh's materials appended to the file's; returns each face's material.
    std::vector<std::uint32_t> Materials(const XObject& mesh, std::size_t faces) {
        const XObject* list = ChildOf(mesh, "MeshMaterialList");
        if (list == nullptr) {
            if (defaultMaterial_ < 0) {
                defaultMaterial_ = static_cast<int>(geometry_.materials.size());
                geometry_.materials.emplace_back();
            }
            return std::vector<std::uint32_t>(faces, static_cast<std::uint32_t>(defaultMaterial_));
        }
        const std::uint32_t base = static_cast<std::uint32_t>(geometry_.materials.size());
        for (const std::string& reference : list->references)
            geometry_.materials.push_back(MaterialOf(*namedMaterials_.at(reference)));
        for (const XObject& material : list->children)
            geometry_.materials.push_back(MaterialOf(material));
        Values values(*list);
        values.Count();
        const std::uint32_t given = values.Count();
        std::vector<std::uint32_t> attributes(faces);
        for (std::size_t f = 0; f < faces; ++f) {
            // One index stands for every face.
            attributes[f] = base + (f < given ? values.Count() : attributes[0] - base);
        }
        return attributes;
    }

    bool Append(const XObject& mesh, const Matrix& world, std::string& error) {
        Values values(mesh);
        std::vector<Vec3> positions(values.Count());
        for (Vec3& position : positions)
            position = TransformPoint(world, values.Vector());
        const std::vector<std::vector<std::uint32_t>> faces = Faces(values);

        // A vertex whose corners name different normals becomes one vertex per normal index, as
        // Direct3D vertices carry one normal each; two indices stay two vertices even where their
        // normals are equal (welding by value is D3DXWeldVertices' work). Everything else stays as
        // the file has it.
        std::vector<std::uint32_t> source(positions.size());  // file vertex of each vertex
        for (std::uint32_t v = 0; v < source.size(); ++v)
            source[v] = v;
        std::vector<std::vector<std::uint32_t>> corners;  // faces as indices into `source`
        corners.reserve(faces.size());
        std::vector<Vec3> normals(positions.size(), Vec3 {0, 0, 0});
        if (const XObject* meshNormals = ChildOf(mesh, "MeshNormals")) {
            Values normalValues(*meshNormals);
            const Matrix transform = NormalTransform(world);
            std::vector<Vec3> given(normalValues.Count());
            for (Vec3& normal : given)
                normal = Normalized(TransformPoint(transform, normalValues.Vector()));
            const std::vector<std::vector<std::uint32_t>> normalFaces = Faces(normalValues);
            constexpr std::uint32_t kUnassigned = ~0u;
            std::vector<std::uint32_t> normalOf(positions.size(), kUnassigned);       // each vertex's normal index
            std::map<std::pair<std::uint32_t, std::uint32_t>, std::uint32_t> copies;  // (vertex, normal) -> copy
            for (std::size_t f = 0; f < faces.size(); ++f) {
                std::vector<std::uint32_t> face = faces[f];
                for (std::size_t k = 0; k < face.size(); ++k) {
                    const std::uint32_t vertex = face[k];
                    const std::uint32_t normal = normalFaces[f][k];
                    if (normalOf[vertex] == kUnassigned) {
                        normalOf[vertex] = normal;
                        normals[vertex] = given[normal];
                        continue;
                    }
                    if (normalOf[vertex] == normal) continue;
                    const auto [copy, added] =
                        copies.try_emplace({vertex, normal}, static_cast<std::uint32_t>(source.size()));
                    if (added) {
                        source.push_back(vertex);
                        normals.push_back(given[normal]);
                    }
                    face[k] = copy->second;
                }
                corners.push_back(std::move(face));
            }
        } else {
            corners = faces;
        }

        std::uint64_t triangles = 0;
        for (const std::vector<std::uint32_t>& face : corners)
            triangles += face.size() - 2;
        if (geometry_.vertexCount + static_cast<std::uint64_t>(source.size()) > kMaxVertices ||
            geometry_.attributes.size() + triangles > kMaxFaces) {
            error = "the mesh is too large";
            return false;
        }

        std::vector<std::uint32_t> colours(positions.size(), kWhite);
        if (const XObject* meshColours = ChildOf(mesh, "MeshVertexColors")) {
            Values colourValues(*meshColours);
            for (std::uint32_t k = colourValues.Count(); k > 0; --k) {
                const std::uint32_t vertex = colourValues.Count();
                colours[vertex] = ColourOf(meshColours->numbers, colourValues.At());
                colourValues.Skip(4);
            }
        }
        std::vector<std::array<float, 2>> uvs(positions.size(), {0, 0});
        if (const XObject* coordinates = ChildOf(mesh, "MeshTextureCoords")) {
            Values uvValues(*coordinates);
            uvValues.Count();
            for (auto& uv : uvs)
                uv = {uvValues.Float(), uvValues.Float()};
        }

        for (std::uint32_t v = 0; v < source.size(); ++v) {
            const std::uint32_t from = source[v];
            geometry_.vertices.insert(geometry_.vertices.end(), positions[from].begin(), positions[from].end());
            if (geometry_.hasNormals)
                geometry_.vertices.insert(geometry_.vertices.end(), normals[v].begin(), normals[v].end());
            if (geometry_.hasColours) {
                float bits;
                std::memcpy(&bits, &colours[from], sizeof(bits));
                geometry_.vertices.push_back(bits);
            }
            if (geometry_.hasTextureCoordinates) {
                geometry_.vertices.insert(geometry_.vertices.end(), uvs[from].begin(), uvs[from].end());
            }
        }

        const std::vector<std::uint32_t> materials = Materials(mesh, corners.size());
        const std::uint32_t base = geometry_.vertexCount;
        for (std::size_t f = 0; f < corners.size(); ++f) {
            const std::vector<std::uint32_t>& face = corners[f];
            for (std::size_t k = 1; k + 1 < face.size(); ++k) {  // polygons fan out from their first corner
                geometry_.indices.insert(geometry_.indices.end(), {base + face[0], base + face[k], base + face[k + 1]});
                geometry_.attributes.push_back(materials[f]);
            }
        }
        geometry_.vertexCount += static_cast<std::uint32_t>(source.size());
        return true;
    }

    std::map<std::string, const XObject*> namedMaterials_;
    std::vector<Placed> meshes_;
    int defaultMaterial_ = -1;
    MeshGeometry geometry_;
};

}  // namespace

XMeshLoadResult LoadXMesh(const void* data, std::size_t size) {
    XMeshLoadResult result;
    std::vector<XObject> objects;
    if (!ReadXFile(data, size, objects, result.error)) return result;
    Collector collector(objects);
    if (!collector.Run(result.error)) return result;
    result.geometry = collector.Take();
    result.ok = true;
    return result;
}

}  // namespace nvesk::d3dx9

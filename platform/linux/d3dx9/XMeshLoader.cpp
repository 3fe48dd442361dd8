#include "XMeshLoader.h"

#include "XFileStructure.h"

#include <assimp/material.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <assimp/Importer.hpp>

#include <cstring>

namespace nvesk::d3dx9 {

namespace {

// Files larger than this are refused rather than expanded in memory.
constexpr std::uint64_t kMaxVertices = 1u << 24;
constexpr std::uint64_t kMaxFaces = 1u << 24;

class Collapser {
public:
    explicit Collapser(const aiScene& scene) : scene_(scene) {
        for (unsigned i = 0; i < scene.mNumMeshes; ++i) {
            const aiMesh* mesh = scene.mMeshes[i];
            if (mesh->HasNormals()) geometry_.hasNormals = true;
            if (mesh->HasTextureCoords(0)) geometry_.hasTextureCoordinates = true;
        }
    }

    bool Run(std::string& error) {
        if (!Visit(*scene_.mRootNode, aiMatrix4x4(), 0, error)) return false;
        ReadMaterials();
        if (geometry_.attributes.empty()) {
            error = "the file holds no triangles";
            return false;
        }
        return true;
    }

    MeshGeometry Take() { return std::move(geometry_); }

    void ReadMaterials() {
        for (unsigned i = 0; i < scene_.mNumMaterials; ++i) {
            const aiMaterial& source = *scene_.mMaterials[i];
            MeshMaterial material;
            aiColor4D colour;
            if (source.Get(AI_MATKEY_COLOR_DIFFUSE, colour) == AI_SUCCESS) {
                material = MeshMaterial {{colour.r, colour.g, colour.b, colour.a}, {0, 0, 0}, {0, 0, 0}, 0, {}};
            }
            if (source.Get(AI_MATKEY_COLOR_SPECULAR, colour) == AI_SUCCESS) {
                material.specular[0] = colour.r, material.specular[1] = colour.g, material.specular[2] = colour.b;
            }
            if (source.Get(AI_MATKEY_COLOR_EMISSIVE, colour) == AI_SUCCESS) {
                material.emissive[0] = colour.r, material.emissive[1] = colour.g, material.emissive[2] = colour.b;
            }
            source.Get(AI_MATKEY_SHININESS, material.power);
            aiString texture;
            if (source.GetTexture(aiTextureType_DIFFUSE, 0, &texture) == AI_SUCCESS)
                material.textureFile = texture.C_Str();
            geometry_.materials.push_back(std::move(material));
        }
    }

private:
    bool Visit(const aiNode& node, const aiMatrix4x4& parent, int depth, std::string& error) {
        if (depth > 256) {
            error = "frames nested too deeply";
            return false;
        }
        const aiMatrix4x4 transform = parent * node.mTransformation;
        for (unsigned i = 0; i < node.mNumMeshes; ++i) {
            if (node.mMeshes[i] >= scene_.mNumMeshes) {
                error = "a frame names a mesh that does not exist";
                return false;
            }
            if (!Append(*scene_.mMeshes[node.mMeshes[i]], transform, error)) return false;
        }
        for (unsigned i = 0; i < node.mNumChildren; ++i) {
            if (!Visit(*node.mChildren[i], transform, depth + 1, error)) return false;
        }
        return true;
    }

    bool Append(const aiMesh& mesh, const aiMatrix4x4& transform, std::string& error) {
        const std::uint32_t base = geometry_.vertexCount;
        if (base + static_cast<std::uint64_t>(mesh.mNumVertices) > kMaxVertices ||
            geometry_.attributes.size() + static_cast<std::uint64_t>(mesh.mNumFaces) > kMaxFaces) {
            error = "the mesh is too large";
            return false;
        }
        aiMatrix3x3 normalTransform(transform);
        normalTransform.Inverse().Transpose();
        for (unsigned v = 0; v < mesh.mNumVertices; ++v) {
            const aiVector3D position = transform * mesh.mVertices[v];
            geometry_.vertices.insert(geometry_.vertices.end(), {position.x, position.y, position.z});
            if (geometry_.hasNormals) {
                aiVector3D normal = mesh.HasNormals() ? normalTransform * mesh.mNormals[v] : aiVector3D();
                if (normal.Length() > 0) normal.Normalize();
                geometry_.vertices.insert(geometry_.vertices.end(), {normal.x, normal.y, normal.z});
            }
            if (geometry_.hasTextureCoordinates) {
                const aiVector3D uv = mesh.HasTextureCoords(0) ? mesh.mTextureCoords[0][v] : aiVector3D();
                geometry_.vertices.insert(geometry_.vertices.end(), {uv.x, uv.y});
            }
        }
        geometry_.vertexCount += mesh.mNumVertices;
        for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
            const aiFace& face = mesh.mFaces[f];
            if (face.mNumIndices != 3) continue;  // points and lines are not drawn as triangles
            for (unsigned k = 0; k < 3; ++k) {
                if (face.mIndices[k] >= mesh.mNumVertices) {
                    error = "a face refers to a vertex that does not exist";
                    return false;
                }
                geometry_.indices.push_back(base + face.mIndices[k]);
            }
            if (mesh.mMaterialIndex >= scene_.mNumMaterials) {
                error = "a face names a material that does not exist";
                return false;
            }
            geometry_.attributes.push_back(mesh.mMaterialIndex);
        }
        return true;
    }

    const aiScene& scene_;
    MeshGeometry geometry_;
};

}  // namespace

XMeshLoadResult LoadXMesh(const void* data, std::size_t size) {
    XMeshLoadResult result;
    // Every .x file starts "xof 0303txt 0032" (or bin, tzip, bzip); anything else is not one.
    if (data == nullptr || size < 16 || std::memcmp(data, "xof ", 4) != 0) {
        result.error = "not a DirectX .x file";
        return result;
    }
    // Assimp's .x importer is not safe on malformed data: only well-formed files reach it.
    if (!CheckXFileStructure(data, size, result.error)) return result;
    Assimp::Importer importer;
    // The .x data is left-handed with clockwise faces already: undo Assimp's conversion.
    const unsigned flags = aiProcess_Triangulate | aiProcess_JoinIdenticalVertices | aiProcess_ConvertToLeftHanded |
                           aiProcess_ValidateDataStructure | aiProcess_SortByPType;
    const aiScene* scene = importer.ReadFileFromMemory(data, size, flags, "x");
    if (scene == nullptr || scene->mRootNode == nullptr || (scene->mFlags & AI_SCENE_FLAGS_INCOMPLETE) != 0) {
        result.error = importer.GetErrorString();
        if (result.error.empty()) result.error = "not a mesh file";
        return result;
    }
    Collapser collapser(*scene);
    if (!collapser.Run(result.error)) return result;
    result.geometry = collapser.Take();
    result.ok = true;
    return result;
}

}  // namespace nvesk::d3dx9

#include "MeshReport.h"

#include "FvfNames.h"

#include "Text.h"

#include <algorithm>
#include <string>

namespace XCheck {

namespace {

std::string Colour(const D3DCOLORVALUE& colour, bool withAlpha) {
    std::vector<float> channels = {colour.r, colour.g, colour.b};
    if (withAlpha) channels.push_back(colour.a);
    return NVeskTools::NumberList(channels);
}

std::string Plural(DWORD count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

// Faces of each material, from the mesh's attribute table.
std::vector<DWORD> FacesByMaterial(ID3DXMesh* mesh, DWORD materials) {
    std::vector<DWORD> faces(materials, 0);
    DWORD size = 0;
    if (FAILED(mesh->GetAttributeTable(nullptr, &size))) return faces;
    std::vector<D3DXATTRIBUTERANGE> table(size);
    if (size > 0 && FAILED(mesh->GetAttributeTable(table.data(), &size))) return faces;
    for (const D3DXATTRIBUTERANGE& range : table) {
        if (range.AttribId < materials) faces[range.AttribId] += range.FaceCount;
    }
    return faces;
}

void ReportTexture(const char* name, const std::filesystem::path& meshFile, std::FILE* out) {
    if (name == nullptr) {
        std::fprintf(out, "    no texture\n");
        return;
    }
    std::string relative = name;
    std::replace(relative.begin(), relative.end(), '\\', '/');  // files written on Windows
    std::error_code status;
    const bool found = std::filesystem::is_regular_file(meshFile.parent_path() / relative, status);
    std::fprintf(out, "    texture \"%s\" (%s)\n", name, found ? "found beside the file" : "not beside the file");
}

}  // namespace

void ReportMesh(const LoadedMesh& loaded, const std::filesystem::path& meshFile, std::FILE* out) {
    ID3DXMesh* mesh = loaded.mesh;
    const DWORD faces = mesh->GetNumFaces();
    std::fprintf(out, "vertices: %u\n", mesh->GetNumVertices());
    std::fprintf(out, "faces: %u\n", faces);
    std::fprintf(out, "vertex format: 0x%X %s, %s\n", mesh->GetFVF(), FvfNames(mesh->GetFVF()).c_str(),
                 Plural(mesh->GetNumBytesPerVertex(), "byte a vertex", "bytes a vertex").c_str());
    if (loaded.adjacency != nullptr) {
        // Edges no other face shares: a closed model has none.
        const auto* adjacency = static_cast<const DWORD*>(loaded.adjacency->GetBufferPointer());
        const DWORD open = static_cast<DWORD>(std::count(adjacency, adjacency + faces * 3, 0xFFFFFFFFu));
        std::fprintf(out, "open edges: %u\n", open);
    }
    std::fprintf(out, "materials: %u\n", loaded.materialCount);
    const auto* materials =
        loaded.materials != nullptr ? static_cast<const D3DXMATERIAL*>(loaded.materials->GetBufferPointer()) : nullptr;
    const std::vector<DWORD> materialFaces = FacesByMaterial(mesh, loaded.materialCount);
    for (DWORD m = 0; materials != nullptr && m < loaded.materialCount; ++m) {
        const D3DMATERIAL9& material = materials[m].MatD3D;
        std::fprintf(out, "  material %u: diffuse %s, specular %s, emissive %s, power %s, %s\n", m,
                     Colour(material.Diffuse, true).c_str(), Colour(material.Specular, false).c_str(),
                     Colour(material.Emissive, false).c_str(), NVeskTools::Number(material.Power).c_str(),
                     Plural(materialFaces[m], "face", "faces").c_str());
        ReportTexture(materials[m].pTextureFilename, meshFile, out);
    }
}

void ReportFrames(const std::vector<PlatformTesting::XFileFrame>& frames, std::FILE* out) {
    std::fprintf(out, "frames: %zu\n", frames.size());
    for (const PlatformTesting::XFileFrame& frame : frames) {
        std::fprintf(out, "%*sframe %s: %s\n", 2 + 2 * frame.depth, "",
                     frame.name.empty() ? "(unnamed)" : frame.name.c_str(),
                     Plural(static_cast<DWORD>(frame.meshes), "mesh", "meshes").c_str());
    }
}

}  // namespace XCheck

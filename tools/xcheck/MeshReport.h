// What xcheck prints about a loaded mesh: its counts, vertex format, materials with their
// textures, and the file's frames.
#pragma once

#include <PlatformTesting/XFiles.h>
#include <d3dx9.h>

#include <cstdio>
#include <filesystem>
#include <vector>

namespace XCheck {

struct LoadedMesh {
    ID3DXMesh* mesh = nullptr;
    ID3DXBuffer* adjacency = nullptr;
    ID3DXBuffer* materials = nullptr;
    DWORD materialCount = 0;
};

// Texture files are looked for beside `meshFile`, where the demo's folder keeps them.
void ReportMesh(const LoadedMesh& loaded, const std::filesystem::path& meshFile, std::FILE* out);
void ReportFrames(const std::vector<PlatformTesting::XFileFrame>& frames, std::FILE* out);

}  // namespace XCheck

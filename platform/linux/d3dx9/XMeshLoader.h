// Reads DirectX .x meshes (text, binary and compressed) through Assimp and collapses every mesh
// of every frame, with the frames' transforms applied, into one MeshGeometry.
#pragma once

#include "MeshGeometry.h"

#include <cstddef>
#include <string>

namespace nvesk::d3dx9 {

struct XMeshLoadResult {
    bool ok = false;
    MeshGeometry geometry;
    std::string error;
};

XMeshLoadResult LoadXMesh(const void* data, std::size_t size);

}  // namespace nvesk::d3dx9

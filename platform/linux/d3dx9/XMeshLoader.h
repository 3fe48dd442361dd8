// Reads DirectX .x meshes (text and binary) as D3DXLoadMeshFromX does: every mesh of every frame,
// with the frames' transforms applied, collapsed into one MeshGeometry that keeps the file's own
// vertices (no welding), its polygons fanned into triangles and its materials in file order.
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

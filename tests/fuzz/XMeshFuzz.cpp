// libFuzzer target: the .x loader on arbitrary bytes must refuse the file or return a mesh whose
// every index names one of its vertices and whose arrays agree in size.
#include "platform/linux/d3dx9/XMeshLoader.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const nvesk::d3dx9::XMeshLoadResult result = nvesk::d3dx9::LoadXMesh(data, size);
    if (!result.ok) return 0;
    const nvesk::d3dx9::MeshGeometry& mesh = result.geometry;
    if (mesh.indices.size() != mesh.attributes.size() * 3) std::abort();
    if (mesh.vertices.size() != static_cast<std::size_t>(mesh.vertexCount) * mesh.VertexFloats()) std::abort();
    for (std::uint32_t index : mesh.indices) {
        if (index >= mesh.vertexCount) std::abort();
    }
    return 0;
}

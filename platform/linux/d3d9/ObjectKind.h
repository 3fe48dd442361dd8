// The kinds of Direct3D object that the leak counters tell apart.
#pragma once

namespace nvesk::d3d9 {

enum class ObjectKind {
    Direct3D,
    Device,
    Texture,
    Surface,  // standalone surfaces: back buffers and offscreen plain surfaces
    VertexBuffer,
    IndexBuffer,
    VertexDeclaration,
    Count
};

}  // namespace nvesk::d3d9

// The mesh scene's restore of its mesh, for the suites that load meshes as the demo does.
#pragma once

#include <d3dx9.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace D3DX9Tests {

// Loads `file` into `*mesh` as the mesh scene does: dynamic buffers, normals added and computed when
// the file has none, adjacency, vertex-cache order. `*loadedFvf` (if given) gets the file's own format.
inline void LoadAsTheMeshSceneDoes(IDirect3DDevice9* device, const std::wstring& file, ID3DXMesh** mesh,
                                   DWORD* loadedFvf = nullptr) {
    ASSERT_EQ(D3DXLoadMeshFromXW(file.c_str(), D3DXMESH_DYNAMIC, device, nullptr, nullptr, nullptr, nullptr, mesh),
              D3D_OK);
    if (loadedFvf != nullptr) *loadedFvf = (*mesh)->GetFVF();
    if (((*mesh)->GetFVF() & D3DFVF_NORMAL) == 0) {
        ID3DXMesh* clone = nullptr;
        ASSERT_EQ((*mesh)->CloneMeshFVF((*mesh)->GetOptions(), (*mesh)->GetFVF() | D3DFVF_NORMAL, device, &clone),
                  D3D_OK);
        ASSERT_EQ(D3DXComputeNormals(clone, nullptr), D3D_OK);
        (*mesh)->Release();
        *mesh = clone;
    }
    std::vector<DWORD> adjacency((*mesh)->GetNumFaces() * 3);
    ASSERT_EQ((*mesh)->GenerateAdjacency(1e-6f, adjacency.data()), D3D_OK);
    ASSERT_EQ((*mesh)->OptimizeInplace(D3DXMESHOPT_VERTEXCACHE, adjacency.data(), nullptr, nullptr, nullptr), D3D_OK);
}

}  // namespace D3DX9Tests

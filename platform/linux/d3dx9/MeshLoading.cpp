// D3DXLoadMeshFromXW and D3DXComputeNormals: .x files into meshes of the device.
#include "Buffer.h"
#include "ContentMemo.h"
#include "Mesh.h"
#include "MeshOperations.h"
#include "WideFile.h"
#include "XMeshLoader.h"
#include "com/Diagnostics.h"
#include "com/Object.h"

#include <d3dx9.h>

#include <algorithm>
#include <cstring>
#include <numeric>

namespace nvesk::d3dx9 {

using com::Reject;

namespace {

// D3DXMATERIAL records followed by their texture names, one buffer as D3DX gives it.
Buffer* MaterialBuffer(const std::vector<MeshMaterial>& materials) {
    std::size_t size = materials.size() * sizeof(D3DXMATERIAL);
    for (const MeshMaterial& material : materials) {
        if (!material.textureFile.empty()) size += material.textureFile.size() + 1;
    }
    Buffer* buffer = new (std::nothrow) Buffer(size);
    if (buffer == nullptr) return nullptr;
    auto* records = static_cast<D3DXMATERIAL*>(buffer->GetBufferPointer());
    char* names = reinterpret_cast<char*>(records + materials.size());
    for (std::size_t i = 0; i < materials.size(); ++i) {
        const MeshMaterial& material = materials[i];
        D3DXMATERIAL& record = records[i];
        std::memset(&record, 0, sizeof(record));
        record.MatD3D.Diffuse = {material.diffuse[0], material.diffuse[1], material.diffuse[2], material.diffuse[3]};
        record.MatD3D.Specular = {material.specular[0], material.specular[1], material.specular[2], 1.0f};
        record.MatD3D.Emissive = {material.emissive[0], material.emissive[1], material.emissive[2], 1.0f};
        record.MatD3D.Power = material.power;
        if (!material.textureFile.empty()) {
            std::memcpy(names, material.textureFile.c_str(), material.textureFile.size() + 1);
            record.pTextureFilename = names;
            names += material.textureFile.size() + 1;
        }
    }
    return buffer;
}

// One effect instance per material, none of them naming an effect file: .x materials carry none here.
Buffer* EffectInstanceBuffer(std::size_t materials) {
    Buffer* buffer = new (std::nothrow) Buffer(materials * sizeof(D3DXEFFECTINSTANCE));
    if (buffer != nullptr && materials > 0) std::memset(buffer->GetBufferPointer(), 0, buffer->GetBufferSize());
    return buffer;
}

// A file's mesh as every load builds it: the geometry, and its faces grouped by material (each
// group in the file's order) with the vertices as bytes.
struct LoadedFile {
    MeshGeometry geometry;
    std::vector<std::uint32_t> indices;
    std::vector<DWORD> attributes;
    std::vector<BYTE> vertexBytes;
};

// The files last loaded, by their whole contents: a file read again unchanged is not parsed again.
ContentMemo<LoadedFile> g_loadedFiles(4);

std::shared_ptr<const LoadedFile> Build(MeshGeometry geometry) {
    auto file = std::make_shared<LoadedFile>();
    file->geometry = std::move(geometry);
    const MeshGeometry& loaded = file->geometry;
    std::vector<std::uint32_t> order(loaded.FaceCount());
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return loaded.attributes[a] < loaded.attributes[b]; });
    file->indices.resize(loaded.indices.size());
    file->attributes.resize(order.size());
    for (std::size_t f = 0; f < order.size(); ++f) {
        std::copy_n(loaded.indices.begin() + order[f] * 3, 3, file->indices.begin() + f * 3);
        file->attributes[f] = loaded.attributes[order[f]];
    }
    file->vertexBytes.resize(loaded.vertices.size() * sizeof(float));
    std::memcpy(file->vertexBytes.data(), loaded.vertices.data(), file->vertexBytes.size());
    return file;
}

HRESULT LoadMesh(LPCWSTR fileName, DWORD options, IDirect3DDevice9* device, LPD3DXBUFFER* adjacency,
                 LPD3DXBUFFER* materials, LPD3DXBUFFER* effectInstances, DWORD* materialCount, LPD3DXMESH* result) {
    std::vector<BYTE> bytes;
    if (!ReadWholeFile(fileName, bytes)) return com::Refuse(D3DXERR_INVALIDDATA, "the file cannot be read");
    MemoKey key;
    key.Add(bytes);
    std::shared_ptr<const LoadedFile> file = g_loadedFiles.Find(key);
    if (file == nullptr) {
        XMeshLoadResult loaded = LoadXMesh(bytes.data(), bytes.size());
        if (!loaded.ok) return com::Refuse(D3DXERR_INVALIDDATA, "%s", loaded.error.c_str());
        file = Build(std::move(loaded.geometry));
        g_loadedFiles.Keep(key, file);
    }
    const MeshGeometry& geometry = file->geometry;

    DWORD fvf = D3DFVF_XYZ;
    if (geometry.hasNormals) fvf |= D3DFVF_NORMAL;
    if (geometry.hasColours) fvf |= D3DFVF_DIFFUSE;
    if (geometry.hasTextureCoordinates) fvf |= D3DFVF_TEX1;
    if (geometry.vertexCount > 0xFFFF) options |= D3DXMESH_32BIT;
    Mesh* mesh = nullptr;
    HRESULT hr = Mesh::Create(device, options, fvf, geometry.FaceCount(), geometry.vertexCount, &mesh);
    if (FAILED(hr)) return hr;
    mesh->Attributes() = file->attributes;
    if (!mesh->WriteVertices(file->vertexBytes) || !mesh->WriteIndices(file->indices) ||
        !mesh->RebuildAttributeTable(file->indices)) {
        mesh->Release();
        return Reject("the mesh's buffers cannot be written");
    }

    Buffer* adjacencyBuffer = nullptr;
    Buffer* materialBuffer = nullptr;
    Buffer* instanceBuffer = nullptr;
    bool ok = true;
    if (adjacency != nullptr) {
        adjacencyBuffer = new (std::nothrow) Buffer(static_cast<std::size_t>(geometry.FaceCount()) * 3 * sizeof(DWORD));
        ok = adjacencyBuffer != nullptr &&
             SUCCEEDED(mesh->GenerateAdjacency(0.0f, static_cast<DWORD*>(adjacencyBuffer->GetBufferPointer())));
    }
    if (ok && materials != nullptr) ok = (materialBuffer = MaterialBuffer(geometry.materials)) != nullptr;
    if (ok && effectInstances != nullptr)
        ok = (instanceBuffer = EffectInstanceBuffer(geometry.materials.size())) != nullptr;
    if (!ok) {
        for (Buffer* buffer : {adjacencyBuffer, materialBuffer, instanceBuffer}) {
            if (buffer != nullptr) buffer->Release();
        }
        mesh->Release();
        return E_OUTOFMEMORY;
    }
    if (adjacency != nullptr) *adjacency = adjacencyBuffer;
    if (materials != nullptr) *materials = materialBuffer;
    if (effectInstances != nullptr) *effectInstances = instanceBuffer;
    if (materialCount != nullptr) *materialCount = static_cast<DWORD>(geometry.materials.size());
    *result = mesh;
    return D3D_OK;
}

}  // namespace

}  // namespace nvesk::d3dx9

extern "C" HRESULT WINAPI D3DXLoadMeshFromXW(LPCWSTR pFilename, DWORD Options, LPDIRECT3DDEVICE9 pD3DDevice,
                                             LPD3DXBUFFER* ppAdjacency, LPD3DXBUFFER* ppMaterials,
                                             LPD3DXBUFFER* ppEffectInstances, DWORD* pNumMaterials,
                                             LPD3DXMESH* ppMesh) {
    NVESK_ENTER_FUNCTION("D3DXLoadMeshFromXW");
    if (pFilename == nullptr || pD3DDevice == nullptr || ppMesh == nullptr)
        return nvesk::com::Reject("pFilename, pD3DDevice or ppMesh is null");
    *ppMesh = nullptr;
    for (LPD3DXBUFFER* out : {ppAdjacency, ppMaterials, ppEffectInstances}) {
        if (out != nullptr) *out = nullptr;
    }
    return nvesk::d3dx9::LoadMesh(pFilename, Options, pD3DDevice, ppAdjacency, ppMaterials, ppEffectInstances,
                                  pNumMaterials, ppMesh);
}

extern "C" HRESULT WINAPI D3DXComputeNormals(LPD3DXBASEMESH pMesh, const DWORD*) {
    NVESK_ENTER_FUNCTION("D3DXComputeNormals");
    nvesk::d3dx9::Mesh* mesh = pMesh == nullptr ? nullptr : nvesk::d3dx9::Mesh::FromInterface(pMesh);
    if (mesh == nullptr || mesh->Layout().normalOffset < 0)
        return nvesk::com::Reject("not a live mesh of ours, or its vertices have no normal");
    std::vector<BYTE> bytes;
    std::vector<std::uint32_t> indices;
    if (!mesh->ReadVertices(bytes) || !mesh->ReadIndices(indices) ||
        !nvesk::d3dx9::ComputeNormals(
            nvesk::d3dx9::VertexData {bytes.data(), mesh->Layout().stride, mesh->GetNumVertices()},
            static_cast<std::uint32_t>(mesh->Layout().normalOffset), indices) ||
        !mesh->WriteVertices(bytes)) {
        return nvesk::com::Reject("the mesh's buffers cannot be read or written");
    }
    return D3D_OK;
}

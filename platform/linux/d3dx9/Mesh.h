// ID3DXMesh: one vertex buffer and one index buffer of the device, an attribute (subset) per
// face kept in system memory, and the attribute table that groups faces for DrawSubset.
#pragma once

#include "FvfLayout.h"
#include "com/Object.h"

#include <d3dx9mesh.h>

#include <cstdint>
#include <vector>

namespace nvesk::d3dx9 {

class Mesh final : public com::ComObject<ID3DXMesh> {
public:
    // Buffers in the pools and usages the D3DXMESH_ options name; 16-bit indices unless
    // D3DXMESH_32BIT. Nothing is created on failure.
    static HRESULT Create(IDirect3DDevice9* device, DWORD options, DWORD fvf, DWORD faces, DWORD vertices, Mesh** mesh);
    // Our live mesh behind an interface pointer; null for anything else.
    static Mesh* FromInterface(ID3DXBaseMesh* mesh);

    // Whole-buffer access for the mesh functions; false when a lock fails.
    bool ReadVertices(std::vector<BYTE>& bytes);
    bool WriteVertices(const std::vector<BYTE>& bytes);
    bool ReadIndices(std::vector<std::uint32_t>& indices);
    bool WriteIndices(const std::vector<std::uint32_t>& indices);
    std::vector<DWORD>& Attributes() { return attributes_; }
    const FvfLayout& Layout() const { return layout_; }
    // Groups consecutive faces of equal attribute into the attribute table.
    bool RebuildAttributeTable();
    // From the indices just written (WriteIndices), without reading the buffer back.
    bool RebuildAttributeTable(const std::vector<std::uint32_t>& written);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;

    // ID3DXBaseMesh
    HRESULT STDMETHODCALLTYPE DrawSubset(DWORD AttribId) override;
    DWORD STDMETHODCALLTYPE GetNumFaces() override;
    DWORD STDMETHODCALLTYPE GetNumVertices() override;
    DWORD STDMETHODCALLTYPE GetFVF() override;
    HRESULT STDMETHODCALLTYPE GetDeclaration(D3DVERTEXELEMENT9 Declaration[MAX_FVF_DECL_SIZE]) override;
    DWORD STDMETHODCALLTYPE GetNumBytesPerVertex() override;
    DWORD STDMETHODCALLTYPE GetOptions() override;
    HRESULT STDMETHODCALLTYPE GetDevice(LPDIRECT3DDEVICE9* ppDevice) override;
    HRESULT STDMETHODCALLTYPE CloneMeshFVF(DWORD Options, DWORD FVF, LPDIRECT3DDEVICE9 pD3DDevice,
                                           LPD3DXMESH* ppCloneMesh) override;
    HRESULT STDMETHODCALLTYPE GetVertexBuffer(LPDIRECT3DVERTEXBUFFER9* ppVB) override;
    HRESULT STDMETHODCALLTYPE GetIndexBuffer(LPDIRECT3DINDEXBUFFER9* ppIB) override;
    HRESULT STDMETHODCALLTYPE LockVertexBuffer(DWORD Flags, LPVOID* ppData) override;
    HRESULT STDMETHODCALLTYPE UnlockVertexBuffer() override;
    HRESULT STDMETHODCALLTYPE LockIndexBuffer(DWORD Flags, LPVOID* ppData) override;
    HRESULT STDMETHODCALLTYPE UnlockIndexBuffer() override;
    HRESULT STDMETHODCALLTYPE GetAttributeTable(D3DXATTRIBUTERANGE* pAttribTable, DWORD* pAttribTableSize) override;
    HRESULT STDMETHODCALLTYPE GenerateAdjacency(FLOAT Epsilon, DWORD* pAdjacency) override;

    // ID3DXMesh
    HRESULT STDMETHODCALLTYPE LockAttributeBuffer(DWORD Flags, DWORD** ppData) override;
    HRESULT STDMETHODCALLTYPE UnlockAttributeBuffer() override;
    HRESULT STDMETHODCALLTYPE OptimizeInplace(DWORD Flags, const DWORD* pAdjacencyIn, DWORD* pAdjacencyOut,
                                              DWORD* pFaceRemap, LPD3DXBUFFER* ppVertexRemap) override;
    HRESULT STDMETHODCALLTYPE SetAttributeTable(const D3DXATTRIBUTERANGE* pAttribTable,
                                                DWORD cAttribTableSize) override;

private:
    Mesh(IDirect3DDevice9* device, DWORD options, DWORD fvf, const FvfLayout& layout, DWORD faces, DWORD vertices);
    void OnFinalRelease() override;

    // A vertex buffer for `count` vertices as the options ask.
    HRESULT CreateVertexBuffer(DWORD count, IDirect3DVertexBuffer9** buffer) const;

    IDirect3DDevice9* device_;
    DWORD options_;
    DWORD fvf_;
    FvfLayout layout_;
    DWORD faces_;
    DWORD vertices_;
    IDirect3DVertexBuffer9* vertexBuffer_ = nullptr;
    IDirect3DIndexBuffer9* indexBuffer_ = nullptr;
    IDirect3DVertexDeclaration9* declaration_ = nullptr;
    std::vector<DWORD> attributes_;
    std::vector<D3DXATTRIBUTERANGE> attributeTable_;
};

}  // namespace nvesk::d3dx9

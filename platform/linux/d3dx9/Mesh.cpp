#include "Mesh.h"

#include "Buffer.h"
#include "MeshOperations.h"
#include "com/Diagnostics.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <numeric>

namespace nvesk::d3dx9 {

using com::Reject;

namespace {

struct Placement {
    D3DPOOL pool;
    DWORD usage;
};

// D3DXMESH_ options for one buffer: system memory, managed, dynamic (default pool), or the
// default pool when none is named.
Placement PlacementOf(DWORD options, DWORD systemMemory, DWORD managed, DWORD dynamic, DWORD writeOnly,
                      DWORD software) {
    Placement placement {D3DPOOL_DEFAULT, 0};
    if ((options & systemMemory) != 0) {
        placement.pool = D3DPOOL_SYSTEMMEM;
    } else if ((options & managed) != 0) {
        placement.pool = D3DPOOL_MANAGED;
    }
    if ((options & dynamic) != 0 && placement.pool != D3DPOOL_MANAGED) placement.usage |= D3DUSAGE_DYNAMIC;
    if ((options & writeOnly) != 0) placement.usage |= D3DUSAGE_WRITEONLY;
    if ((options & software) != 0) placement.usage |= D3DUSAGE_SOFTWAREPROCESSING;
    if ((options & D3DXMESH_DONOTCLIP) != 0) placement.usage |= D3DUSAGE_DONOTCLIP;
    return placement;
}

bool Wide(DWORD options) {
    return (options & D3DXMESH_32BIT) != 0;
}

}  // namespace

Mesh::Mesh(IDirect3DDevice9* device, DWORD options, DWORD fvf, const FvfLayout& layout, DWORD faces, DWORD vertices)
    : ComObject(com::Kind::Mesh),
      device_(device),
      options_(options),
      fvf_(fvf),
      layout_(layout),
      faces_(faces),
      vertices_(vertices),
      attributes_(faces, 0) {
    device_->AddRef();
}

void Mesh::OnFinalRelease() {
    for (IUnknown* part : std::initializer_list<IUnknown*> {declaration_, indexBuffer_, vertexBuffer_}) {
        if (part != nullptr) part->Release();
    }
    declaration_ = nullptr;
    indexBuffer_ = nullptr;
    vertexBuffer_ = nullptr;
    attributes_ = std::vector<DWORD>();
    attributeTable_ = std::vector<D3DXATTRIBUTERANGE>();
    device_->Release();
}

HRESULT Mesh::CreateVertexBuffer(DWORD count, IDirect3DVertexBuffer9** buffer) const {
    const Placement placement = PlacementOf(options_, D3DXMESH_VB_SYSTEMMEM, D3DXMESH_VB_MANAGED, D3DXMESH_VB_DYNAMIC,
                                            D3DXMESH_VB_WRITEONLY, D3DXMESH_VB_SOFTWAREPROCESSING);
    const std::uint64_t bytes = static_cast<std::uint64_t>(count) * layout_.stride;
    if (bytes > 0x7FFFFFFFu) return E_OUTOFMEMORY;
    return device_->CreateVertexBuffer(static_cast<UINT>(bytes), placement.usage, fvf_, placement.pool, buffer,
                                       nullptr);
}

HRESULT Mesh::Create(IDirect3DDevice9* device, DWORD options, DWORD fvf, DWORD faces, DWORD vertices, Mesh** mesh) {
    if (mesh == nullptr) return Reject("not a live mesh of ours");
    *mesh = nullptr;
    const FvfLayout layout = DescribeFvf(fvf);
    if (device == nullptr || !layout.valid || faces == 0 || vertices == 0 || (!Wide(options) && vertices > 0xFFFF)) {
        return Reject(
            "device null, vertex format invalid, no faces or vertices, or over 65535 vertices with 16-bit indices");
    }
    const std::uint64_t indexBytes = static_cast<std::uint64_t>(faces) * 3 * (Wide(options) ? 4 : 2);
    if (indexBytes > 0x7FFFFFFFu) return E_OUTOFMEMORY;
    Mesh* created = new (std::nothrow) Mesh(device, options, fvf, layout, faces, vertices);
    if (created == nullptr) return E_OUTOFMEMORY;
    HRESULT result = created->CreateVertexBuffer(vertices, &created->vertexBuffer_);
    if (SUCCEEDED(result)) {
        const Placement placement =
            PlacementOf(options, D3DXMESH_IB_SYSTEMMEM, D3DXMESH_IB_MANAGED, D3DXMESH_IB_DYNAMIC, D3DXMESH_IB_WRITEONLY,
                        D3DXMESH_IB_SOFTWAREPROCESSING);
        result = device->CreateIndexBuffer(static_cast<UINT>(indexBytes), placement.usage,
                                           Wide(options) ? D3DFMT_INDEX32 : D3DFMT_INDEX16, placement.pool,
                                           &created->indexBuffer_, nullptr);
    }
    if (FAILED(result)) {
        created->Release();
        return result;
    }
    *mesh = created;
    return D3D_OK;
}

Mesh* Mesh::FromInterface(ID3DXBaseMesh* mesh) {
    return mesh == nullptr ? nullptr : com::Object::Find<Mesh>(mesh);
}

HRESULT Mesh::QueryInterface(REFIID riid, void** object) {
    return QueryInterfaceAmong(riid, object, {&IID_ID3DXBaseMesh, &IID_ID3DXMesh});
}

bool Mesh::ReadVertices(std::vector<BYTE>& bytes) {
    void* data = nullptr;
    if (FAILED(vertexBuffer_->Lock(0, 0, &data, D3DLOCK_READONLY))) return false;
    const auto* begin = static_cast<const BYTE*>(data);
    bytes.assign(begin, begin + static_cast<std::size_t>(vertices_) * layout_.stride);
    vertexBuffer_->Unlock();
    return true;
}

bool Mesh::WriteVertices(const std::vector<BYTE>& bytes) {
    void* data = nullptr;
    if (bytes.size() != static_cast<std::size_t>(vertices_) * layout_.stride ||
        FAILED(vertexBuffer_->Lock(0, 0, &data, 0))) {
        return false;
    }
    std::memcpy(data, bytes.data(), bytes.size());
    return SUCCEEDED(vertexBuffer_->Unlock());
}

bool Mesh::ReadIndices(std::vector<std::uint32_t>& indices) {
    void* data = nullptr;
    if (FAILED(indexBuffer_->Lock(0, 0, &data, D3DLOCK_READONLY))) return false;
    indices.resize(static_cast<std::size_t>(faces_) * 3);
    for (std::size_t i = 0; i < indices.size(); ++i) {
        indices[i] = Wide(options_) ? static_cast<const std::uint32_t*>(data)[i] : static_cast<const WORD*>(data)[i];
    }
    indexBuffer_->Unlock();
    return true;
}

bool Mesh::WriteIndices(const std::vector<std::uint32_t>& indices) {
    void* data = nullptr;
    if (indices.size() != static_cast<std::size_t>(faces_) * 3 || FAILED(indexBuffer_->Lock(0, 0, &data, 0))) {
        return false;
    }
    for (std::size_t i = 0; i < indices.size(); ++i) {
        if (Wide(options_)) {
            static_cast<std::uint32_t*>(data)[i] = indices[i];
        } else {
            static_cast<WORD*>(data)[i] = static_cast<WORD>(indices[i]);
        }
    }
    return SUCCEEDED(indexBuffer_->Unlock());
}

bool Mesh::RebuildAttributeTable() {
    std::vector<std::uint32_t> indices;
    return ReadIndices(indices) && RebuildAttributeTable(indices);
}

bool Mesh::RebuildAttributeTable(const std::vector<std::uint32_t>& written) {
    if (written.size() != static_cast<std::size_t>(faces_) * 3) return false;
    // The indices as the buffer holds them: 16 bits each unless the mesh is 32-bit.
    auto index = [&](std::size_t at) { return Wide(options_) ? written[at] : static_cast<WORD>(written[at]); };
    attributeTable_.clear();
    for (DWORD face = 0; face < faces_;) {
        D3DXATTRIBUTERANGE range {attributes_[face], face, 0, 0xFFFFFFFFu, 0};
        DWORD last = 0;
        for (; face < faces_ && attributes_[face] == range.AttribId; ++face, ++range.FaceCount) {
            for (std::size_t k = 0; k < 3; ++k) {
                range.VertexStart = std::min<DWORD>(range.VertexStart, index(face * 3 + k));
                last = std::max<DWORD>(last, index(face * 3 + k));
            }
        }
        range.VertexCount = last - range.VertexStart + 1;
        attributeTable_.push_back(range);
    }
    return true;
}

HRESULT Mesh::DrawSubset(DWORD AttribId) {
    NVESK_ENTER("ID3DXMesh::DrawSubset");
    if (declaration_ == nullptr) {
        const HRESULT created = device_->CreateVertexDeclaration(layout_.elements.data(), &declaration_);
        if (FAILED(created)) return created;
    }
    HRESULT result = device_->SetVertexDeclaration(declaration_);
    if (SUCCEEDED(result)) result = device_->SetStreamSource(0, vertexBuffer_, 0, layout_.stride);
    if (SUCCEEDED(result)) result = device_->SetIndices(indexBuffer_);
    for (const D3DXATTRIBUTERANGE& range : attributeTable_) {
        if (FAILED(result)) break;
        if (range.AttribId != AttribId || range.FaceCount == 0) continue;
        result = device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, range.VertexStart, range.VertexCount,
                                               range.FaceStart * 3, range.FaceCount);
    }
    return result;
}

DWORD Mesh::GetNumFaces() {
    NVESK_ENTER_OR("ID3DXMesh::GetNumFaces", 0);
    return faces_;
}

DWORD Mesh::GetNumVertices() {
    NVESK_ENTER_OR("ID3DXMesh::GetNumVertices", 0);
    return vertices_;
}

DWORD Mesh::GetFVF() {
    NVESK_ENTER_OR("ID3DXMesh::GetFVF", 0);
    return fvf_;
}

DWORD Mesh::GetNumBytesPerVertex() {
    NVESK_ENTER_OR("ID3DXMesh::GetNumBytesPerVertex", 0);
    return layout_.stride;
}

DWORD Mesh::GetOptions() {
    NVESK_ENTER_OR("ID3DXMesh::GetOptions", 0);
    return options_;
}

HRESULT Mesh::GetDeclaration(D3DVERTEXELEMENT9 Declaration[MAX_FVF_DECL_SIZE]) {
    NVESK_ENTER("ID3DXMesh::GetDeclaration");
    if (Declaration == nullptr) return Reject("Declaration is null");
    std::copy(layout_.elements.begin(), layout_.elements.end(), Declaration);
    return D3D_OK;
}

HRESULT Mesh::GetDevice(LPDIRECT3DDEVICE9* ppDevice) {
    NVESK_ENTER("ID3DXMesh::GetDevice");
    if (ppDevice == nullptr) return Reject("ppDevice is null");
    device_->AddRef();
    *ppDevice = device_;
    return D3D_OK;
}

HRESULT Mesh::CloneMeshFVF(DWORD Options, DWORD FVF, LPDIRECT3DDEVICE9 pD3DDevice, LPD3DXMESH* ppCloneMesh) {
    if (ppCloneMesh != nullptr) *ppCloneMesh = nullptr;
    NVESK_ENTER("ID3DXMesh::CloneMeshFVF");
    if (ppCloneMesh == nullptr) return Reject("ppCloneMesh is null");
    Mesh* clone = nullptr;
    HRESULT result = Create(pD3DDevice, Options, FVF, faces_, vertices_, &clone);
    if (FAILED(result)) return result;
    std::vector<BYTE> source;
    std::vector<std::uint32_t> indices;
    if (!ReadVertices(source) || !ReadIndices(indices) || (!Wide(Options) && vertices_ > 0xFFFF)) {
        clone->Release();
        return Reject("the buffers cannot be read, or over 65535 vertices for 16-bit indices");
    }
    // Components both formats have are copied, new ones start at zero.
    std::vector<BYTE> target(static_cast<std::size_t>(vertices_) * clone->layout_.stride, 0);
    for (const D3DVERTEXELEMENT9& to : clone->layout_.elements) {
        if (to.Stream == 0xFF) break;
        for (std::size_t i = 0; i + 1 < layout_.elements.size(); ++i) {
            const D3DVERTEXELEMENT9& from = layout_.elements[i];
            if (from.Usage != to.Usage || from.UsageIndex != to.UsageIndex) continue;
            const UINT fromEnd = i + 2 < layout_.elements.size() ? layout_.elements[i + 1].Offset : layout_.stride;
            const auto next =
                std::find_if(clone->layout_.elements.begin(), clone->layout_.elements.end(),
                             [&](const D3DVERTEXELEMENT9& e) { return e.Offset > to.Offset || e.Stream == 0xFF; });
            const UINT toEnd = next->Stream == 0xFF ? clone->layout_.stride : next->Offset;
            const UINT size = std::min(fromEnd - from.Offset, toEnd - to.Offset);
            for (DWORD v = 0; v < vertices_; ++v) {
                std::memcpy(&target[static_cast<std::size_t>(v) * clone->layout_.stride + to.Offset],
                            &source[static_cast<std::size_t>(v) * layout_.stride + from.Offset], size);
            }
        }
    }
    clone->attributes_ = attributes_;
    if (!clone->WriteVertices(target) || !clone->WriteIndices(indices) || !clone->RebuildAttributeTable(indices)) {
        clone->Release();
        return Reject("the clone's buffers cannot be written");
    }
    *ppCloneMesh = clone;
    return D3D_OK;
}

HRESULT Mesh::GetVertexBuffer(LPDIRECT3DVERTEXBUFFER9* ppVB) {
    NVESK_ENTER("ID3DXMesh::GetVertexBuffer");
    if (ppVB == nullptr) return Reject("ppVB is null");
    vertexBuffer_->AddRef();
    *ppVB = vertexBuffer_;
    return D3D_OK;
}

HRESULT Mesh::GetIndexBuffer(LPDIRECT3DINDEXBUFFER9* ppIB) {
    NVESK_ENTER("ID3DXMesh::GetIndexBuffer");
    if (ppIB == nullptr) return Reject("ppIB is null");
    indexBuffer_->AddRef();
    *ppIB = indexBuffer_;
    return D3D_OK;
}

HRESULT Mesh::LockVertexBuffer(DWORD Flags, LPVOID* ppData) {
    NVESK_ENTER("ID3DXMesh::LockVertexBuffer");
    return vertexBuffer_->Lock(0, 0, ppData, Flags);
}
HRESULT Mesh::UnlockVertexBuffer() {
    NVESK_ENTER("ID3DXMesh::UnlockVertexBuffer");
    return vertexBuffer_->Unlock();
}
HRESULT Mesh::LockIndexBuffer(DWORD Flags, LPVOID* ppData) {
    NVESK_ENTER("ID3DXMesh::LockIndexBuffer");
    return indexBuffer_->Lock(0, 0, ppData, Flags);
}

HRESULT Mesh::UnlockIndexBuffer() {
    NVESK_ENTER("ID3DXMesh::UnlockIndexBuffer");
    const HRESULT result = indexBuffer_->Unlock();
    if (SUCCEEDED(result)) RebuildAttributeTable();  // the vertex ranges follow the indices
    return result;
}

HRESULT Mesh::GetAttributeTable(D3DXATTRIBUTERANGE* pAttribTable, DWORD* pAttribTableSize) {
    NVESK_ENTER("ID3DXMesh::GetAttributeTable");
    if (pAttribTableSize == nullptr) return Reject("pAttribTableSize is null");
    if (pAttribTable != nullptr) std::copy(attributeTable_.begin(), attributeTable_.end(), pAttribTable);
    *pAttribTableSize = static_cast<DWORD>(attributeTable_.size());
    return D3D_OK;
}

HRESULT Mesh::GenerateAdjacency(FLOAT Epsilon, DWORD* pAdjacency) {
    NVESK_ENTER("ID3DXMesh::GenerateAdjacency");
    std::vector<BYTE> bytes;
    std::vector<std::uint32_t> indices;
    std::vector<std::uint32_t> adjacency;
    if (pAdjacency == nullptr || !ReadVertices(bytes) || !ReadIndices(indices) ||
        !d3dx9::GenerateAdjacency(VertexData {bytes.data(), layout_.stride, vertices_}, indices, Epsilon, adjacency)) {
        return Reject("pAdjacency is null, or the buffers cannot be read");
    }
    std::copy(adjacency.begin(), adjacency.end(), pAdjacency);
    return D3D_OK;
}

HRESULT Mesh::LockAttributeBuffer(DWORD, DWORD** ppData) {
    NVESK_ENTER("ID3DXMesh::LockAttributeBuffer");
    if (ppData == nullptr) return Reject("ppData is null");
    *ppData = attributes_.data();
    return D3D_OK;
}

HRESULT Mesh::UnlockAttributeBuffer() {
    NVESK_ENTER("ID3DXMesh::UnlockAttributeBuffer");
    return RebuildAttributeTable() ? D3D_OK : Reject("the index buffer cannot be read");
}

HRESULT Mesh::OptimizeInplace(DWORD Flags, const DWORD* pAdjacencyIn, DWORD* pAdjacencyOut, DWORD* pFaceRemap,
                              LPD3DXBUFFER* ppVertexRemap) {
    NVESK_ENTER("ID3DXMesh::OptimizeInplace");
    constexpr DWORD kOptimisations =
        D3DXMESHOPT_COMPACT | D3DXMESHOPT_ATTRSORT | D3DXMESHOPT_VERTEXCACHE | D3DXMESHOPT_STRIPREORDER;
    if (ppVertexRemap != nullptr) *ppVertexRemap = nullptr;
    if ((Flags & kOptimisations) == 0) return Reject("no optimisation asked for");
    std::vector<BYTE> bytes;
    std::vector<std::uint32_t> indices;
    if (!ReadVertices(bytes) || !ReadIndices(indices) || !IndicesInRange(indices, vertices_))
        return Reject("the buffers cannot be read, or an index lies past the vertices");
    std::vector<std::uint32_t> attributes(attributes_.begin(), attributes_.end());
    std::vector<std::uint32_t> faceRemap;  // new face -> old face
    std::vector<std::uint32_t> vertexToNew(vertices_);
    std::iota(vertexToNew.begin(), vertexToNew.end(), 0u);
    const bool moveVertices = (Flags & D3DXMESHOPT_IGNOREVERTS) == 0;
    if ((Flags & (D3DXMESHOPT_VERTEXCACHE | D3DXMESHOPT_STRIPREORDER)) != 0 && moveVertices) {
        if (!OptimizeForVertexCache(VertexData {bytes.data(), layout_.stride, vertices_}, indices, attributes,
                                    faceRemap, vertexToNew)) {
            return Reject("the vertex-cache order could not be computed");
        }
    } else {
        faceRemap.resize(faces_);
        std::iota(faceRemap.begin(), faceRemap.end(), 0u);
        std::stable_sort(faceRemap.begin(), faceRemap.end(),
                         [&](std::uint32_t a, std::uint32_t b) { return attributes[a] < attributes[b]; });
        std::vector<std::uint32_t> sorted(indices.size());
        std::vector<std::uint32_t> sortedAttributes(faces_);
        for (std::size_t f = 0; f < faces_; ++f) {
            std::copy_n(indices.begin() + faceRemap[f] * 3, 3, sorted.begin() + f * 3);
            sortedAttributes[f] = attributes[faceRemap[f]];
        }
        indices.swap(sorted);
        attributes.swap(sortedAttributes);
    }
    // Compaction drops the vertices no face uses, keeping the others in order.
    DWORD vertexCount = vertices_;
    if ((Flags & D3DXMESHOPT_COMPACT) != 0 && moveVertices) {
        std::vector<bool> used(vertices_, false);
        for (std::uint32_t index : indices)
            used[index] = true;
        std::vector<std::uint32_t> newOrder(vertices_);  // current index -> compacted index
        DWORD next = 0;
        for (DWORD v = 0; v < vertices_; ++v)
            newOrder[v] = used[v] ? next++ : 0xFFFFFFFFu;
        if (next > 0 && next < vertices_) {
            std::vector<BYTE> compacted(static_cast<std::size_t>(next) * layout_.stride);
            for (DWORD v = 0; v < vertices_; ++v) {
                if (used[v]) {
                    std::memcpy(&compacted[static_cast<std::size_t>(newOrder[v]) * layout_.stride],
                                &bytes[static_cast<std::size_t>(v) * layout_.stride], layout_.stride);
                }
            }
            for (std::uint32_t& index : indices)
                index = newOrder[index];
            for (std::uint32_t& target : vertexToNew)
                target = newOrder[target];
            IDirect3DVertexBuffer9* smaller = nullptr;
            if (FAILED(CreateVertexBuffer(next, &smaller))) return E_OUTOFMEMORY;
            vertexBuffer_->Release();
            vertexBuffer_ = smaller;
            bytes.swap(compacted);
            vertexCount = next;
        }
    }
    vertices_ = vertexCount;
    attributes_.assign(attributes.begin(), attributes.end());
    if (!WriteVertices(bytes) || !WriteIndices(indices) || !RebuildAttributeTable(indices))
        return Reject("the buffers cannot be written");

    if (pFaceRemap != nullptr) std::copy(faceRemap.begin(), faceRemap.end(), pFaceRemap);
    if (pAdjacencyOut != nullptr) {
        if (pAdjacencyIn != nullptr) {
            std::vector<DWORD> faceToNew(faces_);
            for (DWORD f = 0; f < faces_; ++f)
                faceToNew[faceRemap[f]] = f;
            for (DWORD f = 0; f < faces_; ++f) {
                for (int e = 0; e < 3; ++e) {
                    const DWORD neighbour = pAdjacencyIn[faceRemap[f] * 3 + e];
                    pAdjacencyOut[f * 3 + e] = neighbour < faces_ ? faceToNew[neighbour] : 0xFFFFFFFFu;
                }
            }
        } else {
            GenerateAdjacency(0.0f, pAdjacencyOut);
        }
    }
    if (ppVertexRemap != nullptr) {
        std::vector<DWORD> newToOld(vertexCount, 0xFFFFFFFFu);
        for (DWORD v = 0; v < vertexToNew.size(); ++v) {
            if (vertexToNew[v] < vertexCount) newToOld[vertexToNew[v]] = v;
        }
        *ppVertexRemap = Buffer::FromBytes(newToOld.data(), newToOld.size() * sizeof(DWORD));
        if (*ppVertexRemap == nullptr) return E_OUTOFMEMORY;
    }
    return D3D_OK;
}

HRESULT Mesh::SetAttributeTable(const D3DXATTRIBUTERANGE* pAttribTable, DWORD cAttribTableSize) {
    NVESK_ENTER("ID3DXMesh::SetAttributeTable");
    if (pAttribTable == nullptr && cAttribTableSize != 0) return Reject("pAttribTable is null");
    for (DWORD i = 0; i < cAttribTableSize; ++i) {
        const D3DXATTRIBUTERANGE& range = pAttribTable[i];
        if (static_cast<std::uint64_t>(range.FaceStart) + range.FaceCount > faces_ ||
            static_cast<std::uint64_t>(range.VertexStart) + range.VertexCount > vertices_) {
            return Reject("range %u lies past the mesh's faces or vertices", i);
        }
    }
    attributeTable_.assign(pAttribTable, pAttribTable + cAttribTableSize);
    return D3D_OK;
}

}  // namespace nvesk::d3dx9

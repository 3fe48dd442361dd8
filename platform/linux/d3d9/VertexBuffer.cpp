#include "VertexBuffer.h"
#include "com/Diagnostics.h"

#include "BufferRules.h"
#include "Device.h"

namespace nvesk::d3d9 {

using com::Reject;

VertexBuffer::VertexBuffer(Device* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool)
    : Resource(device, com::Kind::VertexBuffer, D3DRTYPE_VERTEXBUFFER, pool, true, true),
      storage_(length, usage, pool),
      fvf_(fvf) {}

HRESULT VertexBuffer::Create(Device* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool, VertexBuffer** buffer) {
    if (HRESULT hr = ValidateBufferCreation(length, usage, pool); FAILED(hr)) {
        return hr;
    }
    VertexBuffer* created = new VertexBuffer(device, length, usage, fvf, pool);
    device->MakeCurrent();
    created->storage_.Create();
    *buffer = created;
    return D3D_OK;
}

HRESULT VertexBuffer::QueryInterface(REFIID riid, void** object) {
    return QueryInterfaceAmong(riid, object, {&IID_IDirect3DResource9, &IID_IDirect3DVertexBuffer9});
}

HRESULT VertexBuffer::Lock(UINT offset, UINT size, void** data, DWORD flags) {
    NVESK_ENTER("IDirect3DVertexBuffer9::Lock");
    return storage_.Lock(offset, size, data, flags);
}

HRESULT VertexBuffer::Unlock() {
    NVESK_ENTER("IDirect3DVertexBuffer9::Unlock");
    OwnerDevice()->MakeCurrent();
    return storage_.Unlock();
}

HRESULT VertexBuffer::GetDesc(D3DVERTEXBUFFER_DESC* desc) {
    NVESK_ENTER("IDirect3DVertexBuffer9::GetDesc");
    if (desc == nullptr) {
        return Reject("desc is null");
    }
    desc->Format = D3DFMT_VERTEXDATA;
    desc->Type = D3DRTYPE_VERTEXBUFFER;
    desc->Usage = storage_.Usage();
    desc->Pool = storage_.Pool();
    desc->Size = storage_.Size();
    desc->FVF = fvf_;
    return D3D_OK;
}

void VertexBuffer::FreeResources() {
    OwnerDevice()->MakeCurrent();
    storage_.Free();
}

}  // namespace nvesk::d3d9

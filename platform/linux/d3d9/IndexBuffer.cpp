#include "IndexBuffer.h"

#include "BufferRules.h"
#include "Device.h"

namespace nvesk::d3d9 {

IndexBuffer::IndexBuffer(Device* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool)
    : Resource(device, com::Kind::IndexBuffer, D3DRTYPE_INDEXBUFFER, pool, true, true),
      storage_(length, usage, pool),
      format_(format) {}

HRESULT IndexBuffer::Create(Device* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                            IndexBuffer** buffer) {
    if (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32) {
        return D3DERR_INVALIDCALL;
    }
    if (HRESULT hr = ValidateBufferCreation(length, usage, pool); FAILED(hr)) {
        return hr;
    }
    IndexBuffer* created = new IndexBuffer(device, length, usage, format, pool);
    device->MakeCurrent();
    created->storage_.Create();
    *buffer = created;
    return D3D_OK;
}

HRESULT IndexBuffer::QueryInterface(REFIID riid, void** object) {
    return QueryInterfaceAmong(riid, object, {&IID_IDirect3DResource9, &IID_IDirect3DIndexBuffer9});
}

HRESULT IndexBuffer::Lock(UINT offset, UINT size, void** data, DWORD flags) {
    NVESK_ENTER("IDirect3DIndexBuffer9::Lock");
    return storage_.Lock(offset, size, data, flags);
}

HRESULT IndexBuffer::Unlock() {
    NVESK_ENTER("IDirect3DIndexBuffer9::Unlock");
    OwnerDevice()->MakeCurrent();
    return storage_.Unlock();
}

HRESULT IndexBuffer::GetDesc(D3DINDEXBUFFER_DESC* desc) {
    NVESK_ENTER("IDirect3DIndexBuffer9::GetDesc");
    if (desc == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    desc->Format = format_;
    desc->Type = D3DRTYPE_INDEXBUFFER;
    desc->Usage = storage_.Usage();
    desc->Pool = storage_.Pool();
    desc->Size = storage_.Size();
    return D3D_OK;
}

void IndexBuffer::FreeResources() {
    OwnerDevice()->MakeCurrent();
    storage_.Free();
}

}  // namespace nvesk::d3d9

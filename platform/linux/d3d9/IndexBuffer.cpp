#include "IndexBuffer.h"
#include "com/Diagnostics.h"

#include "BufferRules.h"
#include "Device.h"

namespace nvesk::d3d9 {

using com::Reject;

IndexBuffer::IndexBuffer(Device* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool)
    : Resource(device, com::Kind::IndexBuffer, D3DRTYPE_INDEXBUFFER, pool, true, true),
      storage_(length, usage, pool),
      format_(format),
      ranges_(length / IndexSize(), IndexSize()) {}

HRESULT IndexBuffer::Create(Device* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                            IndexBuffer** buffer) {
    if (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32) {
        return Reject("index format other than INDEX16 and INDEX32");
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
    UINT begin = 0;
    UINT end = 0;
    const HRESULT hr = storage_.Unlock(&begin, &end);
    if (SUCCEEDED(hr) && begin < end) {
        ranges_.Update(storage_.Data(), begin / IndexSize(), (end + IndexSize() - 1) / IndexSize());
    }
    return hr;
}

HRESULT IndexBuffer::GetDesc(D3DINDEXBUFFER_DESC* desc) {
    NVESK_ENTER("IDirect3DIndexBuffer9::GetDesc");
    if (desc == nullptr) {
        return Reject("desc is null");
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

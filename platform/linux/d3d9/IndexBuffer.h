// IDirect3DIndexBuffer9 over BufferStorage: 16- or 32-bit indices.
#pragma once

#include <d3d9.h>

#include "BufferStorage.h"
#include "IndexRanges.h"
#include "Resource.h"

namespace nvesk::d3d9 {

class IndexBuffer final : public Resource<IDirect3DIndexBuffer9> {
public:
    static HRESULT Create(Device* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                          IndexBuffer** buffer);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    HRESULT STDMETHODCALLTYPE Lock(UINT offset, UINT size, void** data, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE Unlock() override;
    HRESULT STDMETHODCALLTYPE GetDesc(D3DINDEXBUFFER_DESC* desc) override;

    const BufferStorage& Storage() const { return storage_; }
    UINT IndexSize() const { return format_ == D3DFMT_INDEX32 ? 4 : 2; }
    // Whether indices [first, first + count) all lie in [low, high]; cheap, from what each write left.
    bool IndicesWithin(UINT first, UINT count, UINT low, UINT high) const {
        return ranges_.Within(storage_.Data(), first, count, low, high);
    }

private:
    IndexBuffer(Device* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool);
    void FreeResources() override;

    BufferStorage storage_;
    D3DFORMAT format_;
    IndexRanges ranges_;
};

}  // namespace nvesk::d3d9

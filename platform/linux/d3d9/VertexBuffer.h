// IDirect3DVertexBuffer9 over BufferStorage.
#pragma once

#include <d3d9.h>

#include "BufferStorage.h"
#include "Resource.h"

namespace nvesk::d3d9 {

class VertexBuffer final : public Resource<IDirect3DVertexBuffer9> {
public:
    static HRESULT Create(Device* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool, VertexBuffer** buffer);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    HRESULT STDMETHODCALLTYPE Lock(UINT offset, UINT size, void** data, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE Unlock() override;
    HRESULT STDMETHODCALLTYPE GetDesc(D3DVERTEXBUFFER_DESC* desc) override;

    const BufferStorage& Storage() const { return storage_; }

private:
    VertexBuffer(Device* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool);
    void FreeResources() override;

    BufferStorage storage_;
    DWORD fvf_;
};

}  // namespace nvesk::d3d9

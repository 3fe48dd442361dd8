// IDirect3DVertexDeclaration9: a validated list of vertex elements.
#pragma once

#include <d3d9.h>

#include "com/Object.h"

#include <vector>

namespace nvesk::d3d9 {

class Device;

class VertexDeclaration final : public com::ComObject<IDirect3DVertexDeclaration9> {
public:
    // Checks the elements as the debug runtime does (types, methods, usages, 4-byte offsets,
    // streams, no usage twice) and copies them, end marker excluded.
    static HRESULT Create(Device* device, const D3DVERTEXELEMENT9* elements, VertexDeclaration** declaration);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** device) override;
    HRESULT STDMETHODCALLTYPE GetDeclaration(D3DVERTEXELEMENT9* elements, UINT* count) override;

    const std::vector<D3DVERTEXELEMENT9>& Elements() const { return elements_; }

    // Bytes one element of this type occupies.
    static UINT TypeSize(BYTE type);

private:
    VertexDeclaration(Device* device, std::vector<D3DVERTEXELEMENT9> elements);
    void OnFinalRelease() override;
    void OnPublicRelease() override;
    void OnPublicRevival() override;

    Device* device_;
    std::vector<D3DVERTEXELEMENT9> elements_;
};

}  // namespace nvesk::d3d9

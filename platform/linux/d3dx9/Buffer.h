// ID3DXBuffer: a block of bytes D3DX hands out (compiler messages, adjacency, materials, remaps).
#pragma once

#include "com/Object.h"

#include <d3dx9core.h>

#include <string>
#include <vector>

namespace nvesk::d3dx9 {

class Buffer final : public com::ComObject<ID3DXBuffer> {
public:
    explicit Buffer(std::size_t size) : ComObject(com::Kind::Buffer), bytes_(size) {}
    // Text with its terminating zero, as D3DX returns compiler messages.
    static Buffer* FromText(const std::string& text);
    static Buffer* FromBytes(const void* data, std::size_t size);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    LPVOID STDMETHODCALLTYPE GetBufferPointer() override;
    DWORD STDMETHODCALLTYPE GetBufferSize() override;

private:
    void OnFinalRelease() override;

    std::vector<BYTE> bytes_;
};

}  // namespace nvesk::d3dx9

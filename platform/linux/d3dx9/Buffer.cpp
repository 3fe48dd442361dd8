#include "Buffer.h"

#include <cstring>
#include <new>

namespace nvesk::d3dx9 {

Buffer* Buffer::FromText(const std::string& text) {
    return FromBytes(text.c_str(), text.size() + 1);
}

Buffer* Buffer::FromBytes(const void* data, std::size_t size) {
    Buffer* buffer = new (std::nothrow) Buffer(size);
    if (buffer != nullptr && size > 0) std::memcpy(buffer->GetBufferPointer(), data, size);
    return buffer;
}

HRESULT Buffer::QueryInterface(REFIID riid, void** object) {
    return Answer(riid, object, {&IID_IUnknown, &IID_ID3DXBuffer});
}

}  // namespace nvesk::d3dx9

extern "C" HRESULT WINAPI D3DXCreateBuffer(DWORD NumBytes, LPD3DXBUFFER* ppBuffer) {
    if (ppBuffer == nullptr) return D3DERR_INVALIDCALL;
    *ppBuffer = nullptr;
    try {
        *ppBuffer = new nvesk::d3dx9::Buffer(NumBytes);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return D3D_OK;
}

#include "Buffer.h"

#include "com/Diagnostics.h"

#include <cstring>
#include <new>

namespace nvesk::d3dx9 {

Buffer* Buffer::FromText(const std::string& text) {
    return FromBytes(text.c_str(), text.size() + 1);
}

Buffer* Buffer::FromBytes(const void* data, std::size_t size) {
    Buffer* buffer = new (std::nothrow) Buffer(size);
    if (buffer != nullptr && size > 0) std::memcpy(buffer->bytes_.data(), data, size);
    return buffer;
}

HRESULT Buffer::QueryInterface(REFIID riid, void** object) {
    return QueryInterfaceAmong(riid, object, {&IID_ID3DXBuffer});
}

LPVOID Buffer::GetBufferPointer() {
    NVESK_ENTER_OR("ID3DXBuffer::GetBufferPointer", nullptr);
    return bytes_.data();
}

DWORD Buffer::GetBufferSize() {
    NVESK_ENTER_OR("ID3DXBuffer::GetBufferSize", 0);
    return static_cast<DWORD>(bytes_.size());
}

void Buffer::OnFinalRelease() {
    bytes_ = std::vector<BYTE>();
}

}  // namespace nvesk::d3dx9

extern "C" HRESULT WINAPI D3DXCreateBuffer(DWORD NumBytes, LPD3DXBUFFER* ppBuffer) {
    NVESK_ENTER_FUNCTION("D3DXCreateBuffer");
    if (ppBuffer == nullptr) return nvesk::com::Reject("ppBuffer is null");
    *ppBuffer = nullptr;
    try {
        *ppBuffer = new nvesk::d3dx9::Buffer(NumBytes);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return D3D_OK;
}

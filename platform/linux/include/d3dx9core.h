// D3DX 9 core: the buffer object through which D3DX hands out variable-sized data (compiler
// messages, adjacency, materials).
#pragma once

#include "d3d9.h"

// {8BA5FB08-5195-40e2-AC58-0D989C3A0102}
DEFINE_GUID(IID_ID3DXBuffer, 0x8ba5fb08, 0x5195, 0x40e2, 0xac, 0x58, 0x0d, 0x98, 0x9c, 0x3a, 0x01, 0x02);

struct ID3DXBuffer : public IUnknown {
    virtual LPVOID STDMETHODCALLTYPE GetBufferPointer() = 0;
    virtual DWORD STDMETHODCALLTYPE GetBufferSize() = 0;

protected:
    ~ID3DXBuffer() = default;
};
typedef ID3DXBuffer *LPD3DXBUFFER, *PD3DXBUFFER;

extern "C" HRESULT WINAPI D3DXCreateBuffer(DWORD NumBytes, LPD3DXBUFFER* ppBuffer);

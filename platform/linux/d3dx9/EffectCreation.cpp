// D3DXCreateEffect and D3DXCreateEffectFromFileW: the effect source from memory or a file.
#include "Buffer.h"
#include "Effect.h"
#include "WideFile.h"
#include "com/Diagnostics.h"
#include "com/Object.h"

#include <user32/Utf8Text.h>

#include <d3dx9.h>

namespace nvesk::d3dx9 {

using com::Reject;

namespace {

// Hands back the compiler's messages when the caller asked for them.
void GiveErrors(const std::string& errors, LPD3DXBUFFER* ppCompilationErrors) {
    if (ppCompilationErrors == nullptr || errors.empty()) return;
    *ppCompilationErrors = Buffer::FromText(errors);
}

HRESULT CreateEffectFromSource(IDirect3DDevice9* device, std::string source, const std::string& fileName,
                               const D3DXMACRO* defines, DWORD flags, LPD3DXEFFECTPOOL pool, LPD3DXEFFECT* effect,
                               LPD3DXBUFFER* errors) {
    // The text may be handed over with or without its terminating zero.
    while (!source.empty() && source.back() == '\0')
        source.pop_back();
    std::string messages;
    if ((defines != nullptr && defines[0].Name != nullptr) || pool != nullptr ||
        (flags & D3DXSHADER_PACKMATRIX_ROWMAJOR) != 0) {
        messages = fileName + ": error: macro definitions, effect pools and row-major packing are not supported\n";
        GiveErrors(messages, errors);
        return E_NOTIMPL;
    }
    Effect* created = nullptr;
    const HRESULT result = Effect::Create(device, source, fileName, &created, messages);
    GiveErrors(messages, errors);
    if (SUCCEEDED(result)) *effect = created;
    return result;
}

}  // namespace

}  // namespace nvesk::d3dx9

extern "C" HRESULT WINAPI D3DXCreateEffect(LPDIRECT3DDEVICE9 pDevice, LPCVOID pSrcData, UINT SrcDataLen,
                                           const D3DXMACRO* pDefines, LPD3DXINCLUDE, DWORD Flags,
                                           LPD3DXEFFECTPOOL pPool, LPD3DXEFFECT* ppEffect,
                                           LPD3DXBUFFER* ppCompilationErrors) {
    NVESK_ENTER_FUNCTION("D3DXCreateEffect");
    if (ppCompilationErrors != nullptr) *ppCompilationErrors = nullptr;
    if (pDevice == nullptr || pSrcData == nullptr || SrcDataLen == 0 || ppEffect == nullptr)
        return nvesk::com::Reject("pDevice, pSrcData or ppEffect is null, or SrcDataLen is 0");
    *ppEffect = nullptr;
    const std::string source(static_cast<const char*>(pSrcData), SrcDataLen);
    return nvesk::d3dx9::CreateEffectFromSource(pDevice, source, "memory", pDefines, Flags, pPool, ppEffect,
                                                ppCompilationErrors);
}

extern "C" HRESULT WINAPI D3DXCreateEffectFromFileW(LPDIRECT3DDEVICE9 pDevice, LPCWSTR pSrcFile,
                                                    const D3DXMACRO* pDefines, LPD3DXINCLUDE, DWORD Flags,
                                                    LPD3DXEFFECTPOOL pPool, LPD3DXEFFECT* ppEffect,
                                                    LPD3DXBUFFER* ppCompilationErrors) {
    NVESK_ENTER_FUNCTION("D3DXCreateEffectFromFileW");
    if (ppCompilationErrors != nullptr) *ppCompilationErrors = nullptr;
    if (pDevice == nullptr || pSrcFile == nullptr || ppEffect == nullptr)
        return nvesk::com::Reject("pDevice, pSrcFile or ppEffect is null");
    *ppEffect = nullptr;
    std::vector<BYTE> bytes;
    if (!nvesk::d3dx9::ReadWholeFile(pSrcFile, bytes, 16u << 20)) return D3DXERR_INVALIDDATA;
    const std::string source(bytes.begin(), bytes.end());
    return nvesk::d3dx9::CreateEffectFromSource(pDevice, source, nvesk::user32::ToUtf8(pSrcFile), pDefines, Flags,
                                                pPool, ppEffect, ppCompilationErrors);
}

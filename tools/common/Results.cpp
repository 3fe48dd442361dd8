#include "Results.h"

#include <PlatformTesting/Diagnostics.h>
#include <d3dx9.h>

#include <cstdio>

namespace NVeskTools {

std::string ResultName(HRESULT result) {
    struct Named {
        HRESULT code;
        const char* name;
    };
    static const Named kNames[] = {
        {D3D_OK, "D3D_OK"},
        {S_FALSE, "S_FALSE"},
        {E_FAIL, "E_FAIL"},
        {E_NOTIMPL, "E_NOTIMPL"},
        {E_OUTOFMEMORY, "E_OUTOFMEMORY"},
        {E_INVALIDARG, "E_INVALIDARG"},
        {D3DERR_INVALIDCALL, "D3DERR_INVALIDCALL"},
        {D3DERR_NOTAVAILABLE, "D3DERR_NOTAVAILABLE"},
        {D3DERR_OUTOFVIDEOMEMORY, "D3DERR_OUTOFVIDEOMEMORY"},
        {D3DERR_DEVICELOST, "D3DERR_DEVICELOST"},
        {D3DERR_NOTFOUND, "D3DERR_NOTFOUND"},
        {D3DERR_CONFLICTINGRENDERSTATE, "D3DERR_CONFLICTINGRENDERSTATE"},
        {D3DERR_UNSUPPORTEDCOLOROPERATION, "D3DERR_UNSUPPORTEDCOLOROPERATION"},
        {D3DERR_UNSUPPORTEDALPHAOPERATION, "D3DERR_UNSUPPORTEDALPHAOPERATION"},
        {D3DERR_TOOMANYOPERATIONS, "D3DERR_TOOMANYOPERATIONS"},
        {D3DXERR_INVALIDDATA, "D3DXERR_INVALIDDATA"},
        {D3DXERR_INVALIDMESH, "D3DXERR_INVALIDMESH"},
        {D3DXERR_LOADEDMESHASNODATA, "D3DXERR_LOADEDMESHASNODATA"},
    };
    char number[16];
    std::snprintf(number, sizeof number, "0x%08X", static_cast<unsigned>(result));
    for (const Named& named : kNames) {
        if (named.code == result) return std::string(named.name) + " (" + number + ")";
    }
    return number;
}

std::string RefusalReason() {
    const std::string refusal = PlatformTesting::LastRefusal();
    // "Interface::Method: rule" or "Function: rule": the operation has no spaces.
    const std::size_t separator = refusal.find(": ");
    if (separator == std::string::npos || refusal.find(' ') < separator) return refusal;
    return refusal.substr(separator + 2);
}

}  // namespace NVeskTools

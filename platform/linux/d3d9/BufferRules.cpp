#include "BufferRules.h"

namespace nvesk::d3d9 {

HRESULT ValidateBufferCreation(UINT length, DWORD usage, D3DPOOL pool) {
    const DWORD allowed = D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY | D3DUSAGE_SOFTWAREPROCESSING | D3DUSAGE_DONOTCLIP |
                          D3DUSAGE_POINTS | D3DUSAGE_RTPATCHES | D3DUSAGE_NPATCHES;
    if (length == 0 || pool > D3DPOOL_SCRATCH || (usage & ~allowed) != 0) {
        return D3DERR_INVALIDCALL;
    }
    if ((usage & D3DUSAGE_DYNAMIC) != 0 && pool == D3DPOOL_MANAGED) {
        return D3DERR_INVALIDCALL;
    }
    return D3D_OK;
}

}  // namespace nvesk::d3d9

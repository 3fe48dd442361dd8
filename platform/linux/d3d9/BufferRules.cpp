#include "BufferRules.h"
#include "com/Diagnostics.h"

namespace nvesk::d3d9 {

using com::Reject;

HRESULT ValidateBufferCreation(UINT length, DWORD usage, D3DPOOL pool) {
    const DWORD allowed = D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY | D3DUSAGE_SOFTWAREPROCESSING | D3DUSAGE_DONOTCLIP |
                          D3DUSAGE_POINTS | D3DUSAGE_RTPATCHES | D3DUSAGE_NPATCHES;
    if (length == 0 || pool > D3DPOOL_SCRATCH || (usage & ~allowed) != 0) {
        return Reject("length 0, unknown pool, or usage flags a buffer cannot have");
    }
    if ((usage & D3DUSAGE_DYNAMIC) != 0 && pool == D3DPOOL_MANAGED) {
        return Reject("a dynamic resource cannot be MANAGED");
    }
    return D3D_OK;
}

}  // namespace nvesk::d3d9

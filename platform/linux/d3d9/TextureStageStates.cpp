#include "TextureStageStates.h"

namespace nvesk::d3d9 {

void TextureStageStates::Reset() {
    for (DWORD stage = 0; stage < kStageCount; ++stage) {
        std::array<DWORD, kStateCount>& values = values_[stage];
        values.fill(0);
        values[D3DTSS_COLOROP] = stage == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
        values[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
        values[D3DTSS_COLORARG2] = D3DTA_CURRENT;
        values[D3DTSS_ALPHAOP] = stage == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
        values[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
        values[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
        values[D3DTSS_TEXCOORDINDEX] = stage;
        values[D3DTSS_TEXTURETRANSFORMFLAGS] = D3DTTFF_DISABLE;
        values[D3DTSS_COLORARG0] = D3DTA_CURRENT;
        values[D3DTSS_ALPHAARG0] = D3DTA_CURRENT;
        values[D3DTSS_RESULTARG] = D3DTA_CURRENT;
    }
}

bool TextureStageStates::Valid(DWORD stage, D3DTEXTURESTAGESTATETYPE type) {
    if (stage >= kStageCount) {
        return false;
    }
    switch (type) {
    case D3DTSS_COLOROP:
    case D3DTSS_COLORARG1:
    case D3DTSS_COLORARG2:
    case D3DTSS_ALPHAOP:
    case D3DTSS_ALPHAARG1:
    case D3DTSS_ALPHAARG2:
    case D3DTSS_BUMPENVMAT00:
    case D3DTSS_BUMPENVMAT01:
    case D3DTSS_BUMPENVMAT10:
    case D3DTSS_BUMPENVMAT11:
    case D3DTSS_TEXCOORDINDEX:
    case D3DTSS_BUMPENVLSCALE:
    case D3DTSS_BUMPENVLOFFSET:
    case D3DTSS_TEXTURETRANSFORMFLAGS:
    case D3DTSS_COLORARG0:
    case D3DTSS_ALPHAARG0:
    case D3DTSS_RESULTARG:
    case D3DTSS_CONSTANT:
        return true;
    default:
        return false;
    }
}

}  // namespace nvesk::d3d9

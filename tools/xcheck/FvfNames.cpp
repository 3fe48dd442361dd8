#include "FvfNames.h"

#include <d3d9.h>

#include <cstdio>

namespace XCheck {

std::string FvfNames(DWORD fvf) {
    std::string names;
    auto add = [&](const std::string& name) { names += (names.empty() ? "" : " | ") + name; };
    // The position is one value of its mask, not a set of bits.
    struct Named {
        DWORD value;
        const char* name;
    };
    static const Named kPositions[] = {{D3DFVF_XYZ, "D3DFVF_XYZ"},     {D3DFVF_XYZRHW, "D3DFVF_XYZRHW"},
                                       {D3DFVF_XYZB1, "D3DFVF_XYZB1"}, {D3DFVF_XYZB2, "D3DFVF_XYZB2"},
                                       {D3DFVF_XYZB3, "D3DFVF_XYZB3"}, {D3DFVF_XYZB4, "D3DFVF_XYZB4"},
                                       {D3DFVF_XYZB5, "D3DFVF_XYZB5"}, {D3DFVF_XYZW, "D3DFVF_XYZW"}};
    DWORD left = fvf;
    for (const Named& position : kPositions) {
        if ((fvf & D3DFVF_POSITION_MASK) == position.value) {
            add(position.name);
            left &= ~static_cast<DWORD>(D3DFVF_POSITION_MASK);
        }
    }
    static const Named kFlags[] = {{D3DFVF_NORMAL, "D3DFVF_NORMAL"},
                                   {D3DFVF_PSIZE, "D3DFVF_PSIZE"},
                                   {D3DFVF_DIFFUSE, "D3DFVF_DIFFUSE"},
                                   {D3DFVF_SPECULAR, "D3DFVF_SPECULAR"},
                                   {D3DFVF_LASTBETA_UBYTE4, "D3DFVF_LASTBETA_UBYTE4"},
                                   {D3DFVF_LASTBETA_D3DCOLOR, "D3DFVF_LASTBETA_D3DCOLOR"}};
    for (const Named& flag : kFlags) {
        if ((fvf & flag.value) != 0) {
            add(flag.name);
            left &= ~flag.value;
        }
    }
    const DWORD textures = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    if (textures > 0) add("D3DFVF_TEX" + std::to_string(textures));
    left &= ~static_cast<DWORD>(D3DFVF_TEXCOUNT_MASK);
    if (left != 0) {
        char number[16];
        std::snprintf(number, sizeof number, "0x%X", static_cast<unsigned>(left));
        add(number);
    }
    return names.empty() ? "0" : names;
}

}  // namespace XCheck

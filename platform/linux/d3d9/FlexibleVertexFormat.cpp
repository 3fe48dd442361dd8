#include "FlexibleVertexFormat.h"

namespace nvesk::d3d9 {
namespace {

constexpr DWORD kDefinedBits = D3DFVF_POSITION_MASK | D3DFVF_NORMAL | D3DFVF_PSIZE | D3DFVF_DIFFUSE | D3DFVF_SPECULAR |
                               D3DFVF_TEXCOUNT_MASK | D3DFVF_LASTBETA_UBYTE4 | D3DFVF_LASTBETA_D3DCOLOR | 0xFFFF0000u;

// FLOAT1..FLOAT4 by component count.
constexpr BYTE kFloatTypes[] = {D3DDECLTYPE_UNUSED, D3DDECLTYPE_FLOAT1, D3DDECLTYPE_FLOAT2, D3DDECLTYPE_FLOAT3,
                                D3DDECLTYPE_FLOAT4};

}  // namespace

bool DescribeFlexibleFormat(DWORD fvf, std::vector<D3DVERTEXELEMENT9>* elements) {
    const DWORD position = fvf & D3DFVF_POSITION_MASK;
    const DWORD texCoordSets = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    const bool lastBetaIndices = (fvf & (D3DFVF_LASTBETA_UBYTE4 | D3DFVF_LASTBETA_D3DCOLOR)) != 0;
    if ((fvf & ~kDefinedBits) != 0 || texCoordSets > 8 || (texCoordSets < 8 && (fvf >> (16 + 2 * texCoordSets)) != 0) ||
        ((position & 0x4000u) != 0 && position != D3DFVF_XYZW) ||
        ((fvf & D3DFVF_LASTBETA_UBYTE4) != 0 && (fvf & D3DFVF_LASTBETA_D3DCOLOR) != 0)) {
        return false;
    }
    elements->clear();
    WORD offset = 0;
    auto add = [&](BYTE type, BYTE usage, BYTE usageIndex, WORD size) {
        elements->push_back({0, offset, type, D3DDECLMETHOD_DEFAULT, usage, usageIndex});
        offset = static_cast<WORD>(offset + size);
    };
    if (position == D3DFVF_XYZRHW) {
        add(D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_POSITIONT, 0, 16);
    } else if (position == D3DFVF_XYZW) {
        add(D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_POSITION, 0, 16);
    } else if (position != 0) {
        add(D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION, 0, 12);
        // XYZB1..XYZB5 are 0x6..0xE: (position - 4) / 2 betas.
        const DWORD betas = position >= D3DFVF_XYZB1 ? (position - D3DFVF_XYZRHW) / 2 : 0;
        const DWORD weights = lastBetaIndices && betas > 0 ? betas - 1 : betas;
        if (weights > 4) {
            return false;  // five weights have no declaration type
        }
        if (weights > 0) {
            add(kFloatTypes[weights], D3DDECLUSAGE_BLENDWEIGHT, 0, static_cast<WORD>(4 * weights));
        }
        if (lastBetaIndices && betas > 0) {
            add((fvf & D3DFVF_LASTBETA_UBYTE4) != 0 ? D3DDECLTYPE_UBYTE4 : D3DDECLTYPE_D3DCOLOR,
                D3DDECLUSAGE_BLENDINDICES, 0, 4);
        }
    }
    if ((fvf & D3DFVF_NORMAL) != 0) {
        add(D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_NORMAL, 0, 12);
    }
    if ((fvf & D3DFVF_PSIZE) != 0) {
        add(D3DDECLTYPE_FLOAT1, D3DDECLUSAGE_PSIZE, 0, 4);
    }
    if ((fvf & D3DFVF_DIFFUSE) != 0) {
        add(D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 0, 4);
    }
    if ((fvf & D3DFVF_SPECULAR) != 0) {
        add(D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 1, 4);
    }
    for (DWORD set = 0; set < texCoordSets; ++set) {
        // The two size bits of set n: 0 two floats, 1 three, 2 four, 3 one.
        static const BYTE kFloats[] = {2, 3, 4, 1};
        const BYTE floats = kFloats[(fvf >> (16 + 2 * set)) & 3];
        add(kFloatTypes[floats], D3DDECLUSAGE_TEXCOORD, static_cast<BYTE>(set), static_cast<WORD>(4 * floats));
    }
    elements->push_back(D3DVERTEXELEMENT9 D3DDECL_END());
    return true;
}

}  // namespace nvesk::d3d9

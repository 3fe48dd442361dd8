#include "FvfLayout.h"
#include "com/Diagnostics.h"

#include <d3dx9mesh.h>

namespace nvesk::d3dx9 {

using com::Reject;

FvfLayout DescribeFvf(DWORD fvf) {
    FvfLayout layout;
    constexpr DWORD kKnown = D3DFVF_POSITION_MASK | D3DFVF_NORMAL | D3DFVF_PSIZE | D3DFVF_DIFFUSE | D3DFVF_SPECULAR |
                             D3DFVF_TEXCOUNT_MASK | 0xFFFF0000u;
    if ((fvf & D3DFVF_POSITION_MASK) != D3DFVF_XYZ || (fvf & ~kKnown) != 0) return layout;
    const UINT textures = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    if (textures > 8 || (textures < 8 && (fvf >> (16 + 2 * textures)) != 0)) return layout;
    auto add = [&](BYTE type, BYTE usage, BYTE usageIndex, UINT size) {
        layout.elements.push_back(
            {0, static_cast<WORD>(layout.stride), type, D3DDECLMETHOD_DEFAULT, usage, usageIndex});
        layout.stride += size;
    };
    add(D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION, 0, 12);
    if ((fvf & D3DFVF_NORMAL) != 0) {
        layout.normalOffset = static_cast<INT>(layout.stride);
        add(D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_NORMAL, 0, 12);
    }
    if ((fvf & D3DFVF_PSIZE) != 0) add(D3DDECLTYPE_FLOAT1, D3DDECLUSAGE_PSIZE, 0, 4);
    if ((fvf & D3DFVF_DIFFUSE) != 0) add(D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 0, 4);
    if ((fvf & D3DFVF_SPECULAR) != 0) add(D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 1, 4);
    for (UINT i = 0; i < textures; ++i) {
        // D3DFVF_TEXTUREFORMAT2 is 0, so 2 floats unless the size bits say otherwise.
        static const UINT kFloats[4] = {2, 3, 4, 1};
        static const BYTE kTypes[4] = {D3DDECLTYPE_FLOAT2, D3DDECLTYPE_FLOAT3, D3DDECLTYPE_FLOAT4, D3DDECLTYPE_FLOAT1};
        const DWORD format = (fvf >> (16 + 2 * i)) & 3;
        add(kTypes[format], D3DDECLUSAGE_TEXCOORD, static_cast<BYTE>(i), kFloats[format] * 4);
    }
    layout.elements.push_back(D3DDECL_END());
    layout.valid = true;
    return layout;
}

}  // namespace nvesk::d3dx9

extern "C" UINT WINAPI D3DXGetFVFVertexSize(DWORD FVF) {
    return nvesk::d3dx9::DescribeFvf(FVF).stride;
}

extern "C" HRESULT WINAPI D3DXDeclaratorFromFVF(DWORD FVF, D3DVERTEXELEMENT9 pDeclarator[MAX_FVF_DECL_SIZE]) {
    const nvesk::d3dx9::FvfLayout layout = nvesk::d3dx9::DescribeFvf(FVF);
    if (!layout.valid || pDeclarator == nullptr)
        return nvesk::com::Reject("not a vertex format D3DX describes, or pDeclarator is null");
    for (std::size_t i = 0; i < layout.elements.size(); ++i)
        pDeclarator[i] = layout.elements[i];
    return D3D_OK;
}

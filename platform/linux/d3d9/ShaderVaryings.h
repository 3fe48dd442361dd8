// Where a value passed from the vertex stage to the pixel stage lives on the GL side: one vec4
// location per Direct3D 9 output register, chosen by semantic, so that stages compiled apart (an
// effect's shader, a fixed-function stage) meet as Direct3D 9 matches them: by register.
// Internal to the Linux platform layer; header only, so that the effect compiler needs no device.
#pragma once

#include <d3d9types.h>

namespace nvesk::d3d9 {

// GL location of a varying of this declaration usage and index; -1 when Direct3D 9 has no
// register for it. Both sides declare it as a vec4 and read or write the components they use.
inline int VaryingLocation(BYTE usage, BYTE usageIndex) {
    switch (usage) {
    case D3DDECLUSAGE_TEXCOORD:
        return usageIndex < 16 ? usageIndex : -1;
    case D3DDECLUSAGE_COLOR:
        return usageIndex < 4 ? 16 + usageIndex : -1;
    case D3DDECLUSAGE_FOG:
        return usageIndex == 0 ? 20 : -1;
    case D3DDECLUSAGE_NORMAL:
        return usageIndex < 2 ? 21 + usageIndex : -1;
    case D3DDECLUSAGE_TANGENT:
        return usageIndex < 2 ? 23 + usageIndex : -1;
    case D3DDECLUSAGE_BINORMAL:
        return usageIndex < 2 ? 25 + usageIndex : -1;
    case D3DDECLUSAGE_POSITION:
        return usageIndex >= 1 && usageIndex < 3 ? 26 + usageIndex : -1;  // POSITION0 is gl_Position
    case D3DDECLUSAGE_BLENDWEIGHT:
        return usageIndex == 0 ? 29 : -1;
    case D3DDECLUSAGE_BLENDINDICES:
        return usageIndex == 0 ? 30 : -1;
    case D3DDECLUSAGE_DEPTH:
        return usageIndex == 0 ? 31 : -1;
    default:
        return -1;
    }
}

}  // namespace nvesk::d3d9

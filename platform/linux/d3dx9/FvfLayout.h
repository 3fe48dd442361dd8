// Where each component of a flexible vertex format lies in a vertex, and the vertex
// declaration that reads it. Positions are D3DFVF_XYZ (three floats first).
#pragma once

#include <d3d9.h>

#include <vector>

namespace nvesk::d3dx9 {

struct FvfLayout {
    bool valid = false;
    UINT stride = 0;
    INT normalOffset = -1;
    std::vector<D3DVERTEXELEMENT9> elements;  // ends with D3DDECL_END
};

FvfLayout DescribeFvf(DWORD fvf);

}  // namespace nvesk::d3dx9

// The vertex elements a flexible vertex format (D3DFVF_*) stands for, in Direct3D 9's order:
// position (and blend weights), normal, point size, diffuse, specular, texture coordinates.
#pragma once

#include <d3d9.h>

#include <vector>

namespace nvesk::d3d9 {

// False when `fvf` has bits Direct3D 9 does not define or more than 8 texture coordinate sets;
// otherwise `elements` is the declaration of one stream 0 vertex, D3DDECL_END included.
bool DescribeFlexibleFormat(DWORD fvf, std::vector<D3DVERTEXELEMENT9>* elements);

}  // namespace nvesk::d3d9

// A flexible vertex format by its flags' names, as d3d9types.h spells them.
#pragma once

#include <windows.h>

#include <string>

namespace XCheck {

// "D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1"; bits without a name are listed as a number at the end.
std::string FvfNames(DWORD fvf);

}  // namespace XCheck

// The rules of a pixel shader's output registers from ps_2_0 on: oDepth takes one component and no
// write mask; in ps_2_0 and ps_2_x, oC# and oDepth are written by mov only, once each, oC#
// whole and from a register as it is, and oC1 ... oC3 only beside the ones before them.
#pragma once

#include "ShaderAssemblyErrors.h"
#include "ShaderAssemblyParser.h"

namespace nvesk::d3dx9 {

void CheckPixelOutputs(const ParsedProgram& program, AssemblyErrors& errors);

}  // namespace nvesk::d3dx9

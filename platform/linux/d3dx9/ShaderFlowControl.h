// The flow-control rules of a shader assembly program: if/else/endif, loop/endloop and
// rep/endrep pair up and close before the end of the program or of a subroutine; break sits in a
// loop; aL is read inside loop...endloop; labels are defined once and follow the main program;
// calls name defined labels without recursion; the nesting depths of the version hold (the 2_x
// versions as a device with every capability at its largest); and, in pixel shaders, what pixels
// of a primitive may run apart takes no gradients of computed values and writes no oC#.
#pragma once

#include "ShaderAssembly.h"
#include "ShaderAssemblyErrors.h"

namespace nvesk::d3dx9 {

void CheckFlowControl(const AssembledShader& shader, AssemblyErrors& errors);

}  // namespace nvesk::d3dx9

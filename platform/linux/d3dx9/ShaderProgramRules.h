// The rules of a version over the whole program: setup instructions first, instruction slots,
// the order rules of ps_1_x (texture instructions before arithmetic, ps_1_4's phase, the texm*
// sequences, co-issue pairs), declarations before use, reads of registers no instruction has
// written, ps_2_0's dependent-read depth, and the pixel outputs' rules (ShaderOutputRules.h).
#pragma once

#include "ShaderAssemblyErrors.h"
#include "ShaderAssemblyParser.h"

namespace nvesk::d3dx9 {

void CheckProgram(const ParsedProgram& program, AssemblyErrors& errors);

}  // namespace nvesk::d3dx9

// The order and register rules of ps_1_1 ... ps_1_4: texture instructions before arithmetic ones
// (in each phase of ps_1_4), one `phase` at most, colour registers in phase 2 only, bem once in
// phase 1, texld from r#
// in phase 2 of what phase 1 wrote, the texm3x2 and texm3x3 sequences, texture registers written
// once and read after they are written, co-issued pairs writing colour and alpha apart, and at most
// two `_dz` and three cmp (ps_1_2, ps_1_3) a shader (their four dp4 are their eight slots).
#pragma once

#include "ShaderAssemblyErrors.h"
#include "ShaderAssemblyParser.h"

namespace nvesk::d3dx9 {

void CheckPixel1Program(const ParsedProgram& program, AssemblyErrors& errors);

}  // namespace nvesk::d3dx9

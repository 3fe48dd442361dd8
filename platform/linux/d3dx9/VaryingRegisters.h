// Direct3D 9 passes values between the stages in vec4 registers matched by semantic: a vertex
// shader may write float4 TEXCOORD0 and the pixel shader read float2 TEXCOORD0. The translated
// GLSL keeps the shader's own widths in plain globals and moves them through vec4 varyings.
#pragma once

#include <string>

namespace nvesk::d3dx9 {

// The GL location of the register a varying of this declaration usage and index sits in, fixed by
// semantic so that stages compiled apart meet; -1 when Direct3D 9 has no register for it.
int RegisterLocation(int usage, int usageIndex);

// Rewrites every `layout(location = N) in|out <float|vecK> fx_var_X;` of a SPIRV-Cross stage into
// a vec4 varying fx_reg_X and a global fx_var_X of the original width, copied in before the
// stage's main (inputs) or out after it (outputs; missing components are 0, w is 1).
std::string WidenVaryings(const std::string& glsl, bool vertexStage);

}  // namespace nvesk::d3dx9

// Direct3D 9 passes values between the stages in vec4 registers matched by semantic: a vertex
// shader may write float4 TEXCOORD0 and the pixel shader read float2 TEXCOORD0. The translated
// GLSL keeps the shader's own widths in plain globals and moves them through vec4 varyings.
#pragma once

#include <string>

namespace nvesk::d3dx9 {

// The GL location of the register a varying of this declaration usage and index sits in, fixed by
// semantic so that stages compiled apart meet; -1 when Direct3D 9 has no register for it.
int RegisterLocation(int usage, int usageIndex);

// Whether a pixel input of this semantic name is a system value (VPOS, VFACE), and the GLSL name
// the pixel stage gives it for WidenVaryings.
bool IsPixelSystemInput(const std::string& semanticName);
std::string SystemInputName(const std::string& semanticName);

// Rewrites every `layout(location = N) in|out <float|vecK> fx_var_X;` of a SPIRV-Cross stage into
// a vec4 varying fx_reg_X and a global fx_var_X of the original width, copied in before the
// stage's main (inputs) or out after it (outputs; missing components are 0, w is 1). A pixel
// stage's system inputs become globals set from the rasteriser: VPOS is the pixel's position from
// the target's top left with Direct3D 9's centres at whole numbers (x, y, 0, 1), VFACE is 1 on
// front faces and -1 on back faces (gl_FrontFacing follows Direct3D's front faces).
std::string WidenVaryings(const std::string& glsl, bool vertexStage);

}  // namespace nvesk::d3dx9

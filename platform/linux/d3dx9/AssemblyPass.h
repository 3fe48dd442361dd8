// A pass with an `asm { ... }` stage: the block assembled and translated to GLSL, the pass's
// shader constant states (`VertexShaderConstant4[0] = <g_Matrix>;`, `PixelShaderConstantF[1] =
// {1, 0, 0, 1};`, `...B`, `...I`) put in the registers the shader reads, and the other stage
// (another asm block, an HLSL shader or the device's) met by register, as PassProgram links it.
#pragma once

#include "EffectDescription.h"
#include "HlslCompiler.h"

#include <string>
#include <vector>

namespace nvesk::d3dx9 {

// VertexShaderConstant, ...1 to ...4, ...F, ...B, ...I, and the same for pixel shaders.
bool IsShaderConstantState(const std::string& name);

// The program of one vertex and one pixel choice of a pass, either of them an asm block; `states`
// are the pass's assignments. Messages name `fileName` and the place of the fault.
ProgramCompileResult CompileAssemblyPass(const EffectDescription& description,
                                         const std::vector<StateAssignment>& states, const ShaderCompileRequest& vertex,
                                         const ShaderCompileRequest& pixel, const std::string& fileName);

}  // namespace nvesk::d3dx9

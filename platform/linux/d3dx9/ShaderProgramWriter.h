// The code of an assembled shader's functions as GLSL: `fx_shader_main` up to its ret or its first
// label, then one function a label (each declared ahead), every instruction in the nesting of its
// flow control, a co-issued pair reading its sources before either half writes.
#pragma once

#include "ShaderRegisters.h"

#include <string>

namespace nvesk::d3dx9 {

// False with `errors` ("file(line,col): error: ...") for a program the translation has no GLSL for.
bool WriteShaderFunctions(const AssembledShader& shader, const ShaderRegisters& registers, const std::string& fileName,
                          std::string& code, std::string& errors);

}  // namespace nvesk::d3dx9

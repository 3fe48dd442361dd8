// Reads a shader in Direct3D 9's assembly language, as an effect's `asm { ... }` block holds it
// once the effect's preprocessor has run, and checks it against the rules of its version: the
// register files and their counts, the instructions and modifiers the version has, instruction
// slots, dependent texture reads, and the order rules of ps_1_x (texture instructions first,
// `phase` in ps_1_4, co-issue pairs).
#pragma once

#include "ShaderAssembly.h"

#include <string>

namespace nvesk::d3dx9 {

// `text` starts at `start` of the file `fileName`, which every message names: positions in the
// text count from there, so a fault reads "file(line,col): error X5xxx: ...". `stage` is the
// state the block is assigned to: a pixel shader program in a VertexShader state is refused.
AssemblyResult AssembleShader(const std::string& text, const std::string& fileName, SourcePosition start,
                              ShaderStage stage);

}  // namespace nvesk::d3dx9

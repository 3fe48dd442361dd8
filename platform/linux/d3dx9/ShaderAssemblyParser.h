// Reads the tokens of a shader assembly program into its instructions: the version line, then each
// instruction with its modifiers and operands. Faults of form (a word that is no register, a
// missing comma) skip the rest of their line; faults of the version's rules on one operand are
// reported and the reading goes on (ShaderOperandRules.h).
#pragma once

#include "ShaderAssembly.h"
#include "ShaderAssemblyErrors.h"
#include "ShaderAssemblyTokens.h"
#include "ShaderInstructionTable.h"

#include <vector>

namespace nvesk::d3dx9 {

struct ParsedProgram {
    AssembledShader shader;
    std::vector<const InstructionInfo*> infos;  // the table entry of each instruction
};

// False where the version line is missing, unknown or of the other stage: nothing else is read.
bool ParseAssemblyProgram(const std::vector<AssemblyToken>& tokens, ShaderStage stage, ParsedProgram& program,
                          AssemblyErrors& errors);

}  // namespace nvesk::d3dx9

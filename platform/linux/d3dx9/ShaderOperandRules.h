// The rules of a version for one instruction on its own: which modifiers it may carry, which
// register files each operand may name and how many of each, source modifiers, swizzles, write
// masks, relative addressing, read ports and predication.
#pragma once

#include "ShaderAssembly.h"
#include "ShaderAssemblyErrors.h"
#include "ShaderInstructionTable.h"

namespace nvesk::d3dx9 {

struct OperandContext {
    const ShaderVersion& version;
    const InstructionInfo& info;
    const AssemblyInstruction& instruction;
    AssemblyErrors& errors;
};

// Reports each fault of the instruction against its version's rules.
void CheckInstruction(const OperandContext& context);

}  // namespace nvesk::d3dx9

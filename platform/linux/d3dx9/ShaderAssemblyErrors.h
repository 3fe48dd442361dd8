// The faults the shader assembler reports, one line each in the compiler's form
// "file(line,col): error X5xxx: text". Each rule group has its own number (this assembler's own
// numbering), so a message names the kind of rule that was broken.
#pragma once

#include "EffectLexer.h"

#include <string>
#include <vector>

namespace nvesk::d3dx9 {

enum class AssemblyRule {
    Syntax = 5001,
    Version = 5002,
    UnknownInstruction = 5003,
    InstructionVersion = 5004,  // the instruction is not in this version
    Operands = 5005,            // count or kind of operands
    RegisterFile = 5006,        // the register is not in this version, or not allowed as this operand
    RegisterIndex = 5007,
    Modifier = 5008,
    Swizzle = 5009,
    WriteMask = 5010,
    Declaration = 5011,
    ConstantDefinition = 5012,
    RelativeAddress = 5013,
    ReadPorts = 5014,
    InstructionSlots = 5015,
    InstructionOrder = 5016,
    FlowControl = 5017,
    CoIssue = 5018,
    Predication = 5019,
    DependentRead = 5020,
    UninitializedRead = 5021,
    TextureRegister = 5022,  // ps_1_x texture register rules
};

class AssemblyErrors {
public:
    void Add(SourcePosition position, AssemblyRule rule, const std::string& text);
    bool Empty() const { return faults_.empty(); }
    // Every fault, in the order of their positions.
    std::string Format(const std::string& fileName) const;

private:
    struct Fault {
        SourcePosition position;
        AssemblyRule rule;
        std::string text;
    };
    std::vector<Fault> faults_;
};

}  // namespace nvesk::d3dx9

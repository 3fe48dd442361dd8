#include "ShaderOutputRules.h"

#include "ShaderRegisterTable.h"

#include <map>

namespace nvesk::d3dx9 {

namespace {

using T = RegisterType;

bool IsIdentity(const std::array<std::uint8_t, 4>& swizzle) {
    return swizzle[0] == 0 && swizzle[1] == 1 && swizzle[2] == 2 && swizzle[3] == 3;
}
bool IsReplicate(const std::array<std::uint8_t, 4>& swizzle) {
    return swizzle[0] == swizzle[1] && swizzle[1] == swizzle[2] && swizzle[2] == swizzle[3];
}

class OutputChecker {
public:
    OutputChecker(const ParsedProgram& program, AssemblyErrors& errors)
        : shader_(program.shader), errors_(errors), model2_(program.shader.version.major == 2) {}

    void Run() {
        for (const AssemblyInstruction& instruction : shader_.instructions) {
            if (!instruction.hasDestination || instruction.name == "dcl") continue;
            const T type = instruction.destination.type;
            if (type == T::DepthOut) CheckDepth(instruction);
            if (type == T::ColorOut && model2_) CheckColour(instruction);
        }
        for (const auto& [index, write] : colours_) {
            for (int before = 0; before < index; ++before) {
                if (colours_.count(before)) continue;
                Report(write->destination.position,
                       "writing oC" + std::to_string(index) + " writes oC" + std::to_string(before) + " too");
                break;
            }
        }
    }

private:
    void Report(SourcePosition at, const std::string& text, AssemblyRule rule = AssemblyRule::Operands) {
        errors_.Add(at, rule, text);
    }

    // The source a mov writes to an output from; null (and reported) for another instruction.
    const SourceOperand* MovedSource(const AssemblyInstruction& instruction, const char* output) {
        if (instruction.name == "mov" && !instruction.sources.empty()) return &instruction.sources[0];
        Report(instruction.position,
               std::string(output) + " is written by mov only in " + VersionName(shader_.version));
        return nullptr;
    }

    // oDepth: one component of its source, no write mask; in ps_2_0 and ps_2_x by one mov of a
    // register as it is.
    void CheckDepth(const AssemblyInstruction& instruction) {
        const DestinationOperand& destination = instruction.destination;
        if (destination.writeMask != 0xF)
            Report(destination.position, "oDepth takes no write mask", AssemblyRule::WriteMask);
        const SourceOperand* source = nullptr;
        if (model2_) {
            source = MovedSource(instruction, "oDepth");
            if (depthWritten_)
                Report(instruction.position, "oDepth is written once in " + VersionName(shader_.version));
            depthWritten_ = true;
            if (source && source->modifier != SourceModifier::None)
                Report(source->position, "the source of oDepth takes no modifier", AssemblyRule::Modifier);
        } else if (!instruction.sources.empty()) {
            source = &instruction.sources[0];
        }
        if (source && !IsReplicate(source->swizzle))
            Report(source->position, "oDepth is written from one component (r0.x)", AssemblyRule::Swizzle);
    }

    // oC# in ps_2_0 and ps_2_x: one mov of a whole register as it is, once.
    void CheckColour(const AssemblyInstruction& instruction) {
        const DestinationOperand& destination = instruction.destination;
        const std::string name = RegisterText(T::ColorOut, destination.index);
        if (!colours_.emplace(destination.index, &instruction).second)
            Report(instruction.position, name + " is written once in " + VersionName(shader_.version));
        if (destination.writeMask != 0xF)
            Report(destination.position, name + " is written whole (no write mask)", AssemblyRule::WriteMask);
        const SourceOperand* source = MovedSource(instruction, name.c_str());
        if (source && (source->modifier != SourceModifier::None || !IsIdentity(source->swizzle))) {
            Report(source->position, "the source of " + name + " takes no modifier or swizzle", AssemblyRule::Modifier);
        }
    }

    const AssembledShader& shader_;
    AssemblyErrors& errors_;
    bool model2_;
    bool depthWritten_ = false;
    std::map<int, const AssemblyInstruction*> colours_;  // the write of each oC#
};

}  // namespace

void CheckPixelOutputs(const ParsedProgram& program, AssemblyErrors& errors) {
    OutputChecker(program, errors).Run();
}

}  // namespace nvesk::d3dx9

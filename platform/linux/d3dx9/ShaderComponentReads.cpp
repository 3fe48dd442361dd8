#include "ShaderComponentReads.h"

#include <cstring>

namespace nvesk::d3dx9 {

namespace {

bool Is(const std::string& name, std::initializer_list<const char*> names) {
    for (const char* candidate : names) {
        if (name == candidate) return true;
    }
    return false;
}

bool IsReplicate(const std::array<std::uint8_t, 4>& swizzle) {
    return swizzle[0] == swizzle[1] && swizzle[1] == swizzle[2] && swizzle[2] == swizzle[3];
}

// The lanes of the source the instruction uses (bit n: the swizzle's n-th component), or
// kAnyComponent.
std::uint8_t LanesUsed(const AssemblyInstruction& instruction, const InstructionInfo& info, int position,
                       int samplerType) {
    const std::string& name = instruction.name;
    const std::uint8_t mask = instruction.hasDestination ? instruction.destination.writeMask : 0x1;
    if (info.matrixRows > 0) return name[1] == '3' ? 0x7 : 0xF;  // the vector, and each row: m3x* or m4x*
    if (name == "dp3" || name == "crs") return 0x7;
    if (name == "dp4") return 0xF;
    if (name == "dp2add") return position < 2 ? 0x3 : 0x1;
    if (name == "nrm") return static_cast<std::uint8_t>(0x7 | (mask & 0x8));
    if (name == "lit") return 0xB;
    if (name == "dst") return position == 0 ? 0x6 : 0xA;
    if (name == "ifc" || name == "breakc") return 0x1;
    if (Is(name, {"rcp", "rsq", "exp", "log", "expp", "logp", "pow", "sincos"})) {
        const bool replicated = IsReplicate(instruction.sources[static_cast<std::size_t>(position)].swizzle);
        return replicated && !(name == "sincos" && position > 0) ? 0x1 : kAnyComponent;
    }
    if (info.kind == InstructionKind::Texture && info.sourceCount >= 2) {
        if (samplerType == 0) return kAnyComponent;
        const std::uint8_t coordinates = samplerType == kSampler2D ? 0x3 : 0x7;
        if (position == 0) return Is(name, {"texldp", "texldb", "texldl"}) ? coordinates | 0x8 : coordinates;
        return coordinates;  // texldd's gradients
    }
    return mask;  // per component
}

}  // namespace

std::uint8_t ComponentsRead(const AssemblyInstruction& instruction, const InstructionInfo& info, int position,
                            int samplerType) {
    const std::uint8_t lanes = LanesUsed(instruction, info, position, samplerType);
    if (lanes == kAnyComponent) return kAnyComponent;
    if (info.matrixRows > 0 && position == 1) return lanes;  // rows are read as they are
    const auto& swizzle = instruction.sources[static_cast<std::size_t>(position)].swizzle;
    std::uint8_t components = 0;
    for (int lane = 0; lane < 4; ++lane) {
        if (lanes & (1u << lane)) components = static_cast<std::uint8_t>(components | (1u << swizzle[lane]));
    }
    return components;
}

}  // namespace nvesk::d3dx9

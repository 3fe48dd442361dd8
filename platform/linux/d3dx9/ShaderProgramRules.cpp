#include "ShaderProgramRules.h"

#include "ShaderComponentReads.h"
#include "ShaderFlowControl.h"
#include "ShaderOutputRules.h"
#include "ShaderPixel1Rules.h"
#include "ShaderRegisterTable.h"

#include <map>
#include <set>
#include <tuple>

namespace nvesk::d3dx9 {

namespace {

using T = RegisterType;

struct SlotLimits {
    int texture;  // ps_1_x (a phase of ps_1_4) and ps_2_0 count texture and arithmetic slots apart
    int arithmetic;
    int total;  // the other versions count them together
};

// The 3_0 versions at the most their caps allow (D3DMAX_*SHADER30_INSTRUCTION_SLOTS), ps_2_x at
// D3DPS20_MAX_NUMINSTRUCTIONSLOTS.
SlotLimits SlotLimitsOf(const ShaderVersion& version) {
    switch (VersionBit(version)) {
    case kVs11:
        return {0, 0, 128};
    case kVs20:
    case kVs2x:
        return {0, 0, 256};
    case kVs30:
    case kPs30:
        return {0, 0, 32768};
    case kPs14:
        return {6, 8, 0};
    case kPs20:
        return {32, 64, 0};
    case kPs2x:
        return {0, 0, 512};
    default:
        return {4, 8, 0};
    }
}

// Dependent texture reads of ps_2_0 go to the third order (2_x is read with
// D3DPS20CAPS_NODEPENDENTREADLIMIT).
constexpr int kPs20DependentOrder = 3;

class ProgramChecker {
public:
    ProgramChecker(const ParsedProgram& program, AssemblyErrors& errors)
        : program_(program),
          shader_(program.shader),
          errors_(errors),
          limits_(SlotLimitsOf(program.shader.version)),
          name_(VersionName(program.shader.version)) {}

    void Run() {
        bool pastSetup = false;
        for (std::size_t i = 0; i < shader_.instructions.size(); ++i) {
            const AssemblyInstruction& instruction = shader_.instructions[i];
            const InstructionInfo& info = *program_.infos[i];
            if (info.kind == InstructionKind::Setup) {
                if (pastSetup) {
                    errors_.Add(instruction.position, AssemblyRule::InstructionOrder,
                                "'" + instruction.name + "' must come before every other instruction");
                }
            } else {
                pastSetup = true;
            }
            if (info.kind == InstructionKind::Phase) {
                textureSlots_ = 0;
                arithmeticSlots_ = 0;
            }
            CheckDeclarations(instruction, info);
            CountSlots(instruction, info);
            CheckReads(instruction, info);
            if (VersionBit(shader_.version) == kPs20) TrackDependentReads(instruction, info);
            RecordWrites(instruction, info);
        }
    }

private:
    // The declared type of the instruction's sampler, 0 where it has none or it is not declared.
    int SamplerTypeOf(const AssemblyInstruction& instruction, const InstructionInfo& info) const {
        for (std::size_t i = 0; i < instruction.sources.size() && i < 4; ++i) {
            if (info.sources[i] != SourceRole::Sampler) continue;
            const auto found = samplerTypes_.find(instruction.sources[i].index);
            return found != samplerTypes_.end() ? found->second : 0;
        }
        return 0;
    }

    void CountSlots(const AssemblyInstruction& instruction, const InstructionInfo& info) {
        if (info.kind == InstructionKind::Setup || info.kind == InstructionKind::Phase) return;
        // A predicate on an arithmetic or texture instruction takes one slot more.
        const bool cube = SamplerTypeOf(instruction, info) == kSamplerCube;
        const int slots = (info.cubeSlots > 0 && cube ? info.cubeSlots : info.slots) + (instruction.predicated ? 1 : 0);
        const std::string where = VersionBit(shader_.version) == kPs14 ? " a phase of ps_1_4" : " " + name_;
        if (limits_.total > 0) {
            total_ += slots;
            if (total_ > limits_.total && !reported_) {
                reported_ = true;
                errors_.Add(instruction.position, AssemblyRule::InstructionSlots,
                            name_ + " holds " + std::to_string(limits_.total) + " instruction slots; '" +
                                instruction.name + "' goes past them");
            }
            return;
        }
        const bool texture = info.kind == InstructionKind::Texture;
        if (texture) {
            textureSlots_ += slots;
            arithmeticSlots_ += info.extraArithmetic;
        } else if (!instruction.coissue) {
            arithmeticSlots_ += slots;  // a co-issued pair takes one slot
        }
        auto report = [&](bool& reported, int limit, const char* what) {
            if (reported) return;
            reported = true;
            errors_.Add(instruction.position, AssemblyRule::InstructionSlots,
                        where.substr(1) + " holds " + std::to_string(limit) + what + " instruction slots; '" +
                            instruction.name + "' goes past them");
        };
        if (textureSlots_ > limits_.texture) report(reportedTexture_, limits_.texture, " texture");
        if (arithmeticSlots_ > limits_.arithmetic) report(reportedArithmetic_, limits_.arithmetic, " arithmetic");
    }

    // Declared registers are declared once (vs_3_0 outputs and ps_3_0 inputs once a component) and
    // before they are used.
    void CheckDeclarations(const AssemblyInstruction& instruction, const InstructionInfo& info) {
        if (instruction.name == "dcl" && instruction.hasDestination) {
            const DestinationOperand& declared = instruction.destination;
            std::uint8_t& mask = declared_[{declared.type, declared.index}];
            const Declaration& usage = instruction.declaration;
            if (mask & declared.writeMask) {
                errors_.Add(declared.position, AssemblyRule::Declaration,
                            "'" + RegisterText(declared.type, declared.index) + "' is declared twice");
            } else if (usage.usage >= 0 && !semantics_.insert({declared.type, usage.usage, usage.usageIndex}).second) {
                errors_.Add(declared.position, AssemblyRule::Declaration,
                            "a semantic is declared once (its usage and index on a second register)");
            }
            mask = static_cast<std::uint8_t>(mask | declared.writeMask);
            if (declared.type == T::Sampler) samplerTypes_[declared.index] = instruction.declaration.samplerType;
            return;
        }
        if (info.kind == InstructionKind::Setup) return;
        auto check = [&](RegisterType type, int index, bool relative, SourcePosition at) {
            const RegisterFile* file = FindRegisterFile(shader_.version, type);
            if (!file || !file->declared || relative || declared_.count({type, index})) return;
            errors_.Add(at, AssemblyRule::Declaration,
                        "'" + RegisterText(type, index) + "' is used without a declaration (dcl)");
            declared_[{type, index}] = 0xF;  // once
        };
        if (instruction.hasDestination)
            check(instruction.destination.type, instruction.destination.index, instruction.destination.relative,
                  instruction.destination.position);
        for (const SourceOperand& source : instruction.sources)
            check(source.type, source.index, source.relative, source.position);
    }

    // Reading a temporary, p0 or a0 that no instruction before has written is refused, as the
    // reference states it ("a temporary register not written by a previous instruction"); from
    // ps_2_0 on, a temporary's components are checked one by one ("components that are not defined
    // in previous code"), with the components each instruction reads (ShaderComponentReads.h).
    // A write anywhere before counts, whatever flow control lies between: the reading chosen where
    // the reference leaves the paths open.
    void CheckReads(const AssemblyInstruction& instruction, const InstructionInfo& info) {
        const bool byComponent = shader_.version.stage == ShaderStage::Pixel && shader_.version.major >= 2;
        // True where it reported.
        auto check = [&](RegisterType type, int index, std::uint8_t components, SourcePosition at) {
            if (type != T::Temp && type != T::Predicate && type != T::Address) return false;
            if (!FindRegisterFile(shader_.version, type)) return false;  // reported as not in the version
            const auto found = written_.find({type, index});
            const std::uint8_t written = found == written_.end() ? 0 : found->second;
            const std::uint8_t missing =
                byComponent && type == T::Temp && components != kAnyComponent ? components & ~written : 0;
            if ((written != 0 && missing == 0) || !reportedReads_.insert({type, index}).second) return false;
            std::string text = "'" + RegisterText(type, index) + "' is read before any instruction writes it";
            if (written != 0) {
                text = "'" + RegisterText(type, index) + "' is read in ." + ComponentLetters(missing) +
                       ", which no instruction before writes";
            }
            errors_.Add(at, AssemblyRule::UninitializedRead, text);
            return true;
        };
        if (info.kind == InstructionKind::Setup) return;
        for (std::size_t i = 0; i < instruction.sources.size(); ++i) {
            const SourceOperand& source = instruction.sources[i];
            if (source.relative && source.address.type == T::Address)
                check(T::Address, 0, kAnyComponent, source.position);
            if (i >= 4 || (info.sources[i] != SourceRole::Value && info.sources[i] != SourceRole::Condition &&
                           info.sources[i] != SourceRole::Predicate)) {
                continue;
            }
            const std::uint8_t components =
                ComponentsRead(instruction, info, static_cast<int>(i), SamplerTypeOf(instruction, info));
            const int rows = i == 1 && info.matrixRows > 0 ? info.matrixRows : 1;
            for (int row = 0; row < rows && !check(source.type, source.index + row, components, source.position);
                 ++row) {}
        }
        if (instruction.predicated) check(T::Predicate, 0, kAnyComponent, instruction.predicate.position);
        if (instruction.name == "texkill" && instruction.hasDestination) {
            // It tests the first three components (ps_1_4 and later read them from the register).
            check(instruction.destination.type, instruction.destination.index, 0x7, instruction.destination.position);
        }
    }

    static std::string ComponentLetters(std::uint8_t mask) {
        std::string letters;
        for (int i = 0; i < 4; ++i) {
            if (mask & (1u << i)) letters += "xyzw"[i];
        }
        return letters;
    }

    void RecordWrites(const AssemblyInstruction& instruction, const InstructionInfo& info) {
        if (!instruction.hasDestination || instruction.name == "texkill" || info.kind == InstructionKind::Setup) return;
        std::uint8_t& written = written_[{instruction.destination.type, instruction.destination.index}];
        written = static_cast<std::uint8_t>(written | instruction.destination.writeMask);
    }

    // A texture read is first-order dependent where its coordinates are an r# or it writes an r#
    // written before; n-th order where those registers hold what an (n-1)-th order read gave.
    void TrackDependentReads(const AssemblyInstruction& instruction, const InstructionInfo& info) {
        auto orderOf = [&](RegisterType type, int index) {
            const auto found = orders_.find(index);
            return type == T::Temp && found != orders_.end() ? found->second : -1;
        };
        const bool writes =
            instruction.hasDestination && instruction.destination.type == T::Temp && instruction.name != "texkill";
        const int previous = writes ? orderOf(T::Temp, instruction.destination.index) : -1;
        int order = -1;
        if (info.kind == InstructionKind::Texture && info.sourceCount >= 2) {
            const SourceOperand& coordinates = instruction.sources[0];
            const bool dependent =
                coordinates.type == T::Temp || (writes && written_.count({T::Temp, instruction.destination.index}));
            order = dependent ? std::max(1, 1 + std::max(orderOf(coordinates.type, coordinates.index), previous)) : 0;
            if (order > kPs20DependentOrder && !reportedOrder_) {
                reportedOrder_ = true;  // the reads after it depend on it
                errors_.Add(instruction.position, AssemblyRule::DependentRead,
                            "ps_2_0 reads textures dependent to the third order at most; this read is of order " +
                                std::to_string(order));
            }
        } else {
            for (const SourceOperand& source : instruction.sources)
                order = std::max(order, orderOf(source.type, source.index));
            if (instruction.destination.writeMask != 0xF) order = std::max(order, previous);
        }
        if (writes) orders_[instruction.destination.index] = order;
    }

    const ParsedProgram& program_;
    const AssembledShader& shader_;
    AssemblyErrors& errors_;
    SlotLimits limits_;
    std::string name_;
    int total_ = 0;
    int textureSlots_ = 0;
    int arithmeticSlots_ = 0;
    bool reported_ = false;
    bool reportedTexture_ = false;
    bool reportedArithmetic_ = false;
    bool reportedOrder_ = false;
    std::map<std::pair<RegisterType, int>, std::uint8_t> declared_;
    std::map<int, int> samplerTypes_;
    std::set<std::tuple<RegisterType, int, int>> semantics_;        // file, usage, usage index
    std::map<std::pair<RegisterType, int>, std::uint8_t> written_;  // the components written
    std::set<std::pair<RegisterType, int>> reportedReads_;
    std::map<int, int> orders_;  // of r#: the order of the texture read its value comes from, -1 for none
};

}  // namespace

void CheckProgram(const ParsedProgram& program, AssemblyErrors& errors) {
    ProgramChecker(program, errors).Run();
    if (program.shader.version.stage == ShaderStage::Pixel && program.shader.version.major == 1)
        CheckPixel1Program(program, errors);
    if (program.shader.version.stage == ShaderStage::Pixel && program.shader.version.major >= 2)
        CheckPixelOutputs(program, errors);
    CheckFlowControl(program.shader, errors);
}

}  // namespace nvesk::d3dx9

#include "ShaderPixel1Rules.h"

#include "ShaderRegisterTable.h"

#include <map>
#include <set>

namespace nvesk::d3dx9 {

namespace {

using T = RegisterType;

bool IsOneOf(const std::string& name, std::initializer_list<const char*> names) {
    for (const char* candidate : names) {
        if (name == candidate) return true;
    }
    return false;
}

class Pixel1Checker {
public:
    Pixel1Checker(const ParsedProgram& program, AssemblyErrors& errors)
        : shader_(program.shader), infos_(program.infos), errors_(errors), ps14_(shader_.version.minor == 4) {
        for (const AssemblyInstruction& instruction : shader_.instructions)
            hasPhase_ = hasPhase_ || instruction.name == "phase";
    }

    void Run() {
        for (std::size_t i = 0; i < shader_.instructions.size(); ++i) {
            const AssemblyInstruction& instruction = shader_.instructions[i];
            const InstructionInfo& info = *infos_[i];
            CheckOrder(instruction, info);
            if (instruction.coissue && info.kind == InstructionKind::Arithmetic) CheckCoIssue(i);
            if (instruction.name == "cmp" && !ps14_ && ++compares_ == 4) {
                Report(instruction.position, AssemblyRule::InstructionSlots,
                       "ps_1_2 and ps_1_3 hold three 'cmp' instructions at most");
            }
            if (ps14_) {
                CheckPhases(instruction, info);
            } else if (info.kind == InstructionKind::Texture) {
                CheckTextureRegisters(instruction);
                CheckSequence(instruction);
            }
        }
        if (sequenceOpener_)
            Report(sequenceOpener_->position, AssemblyRule::TextureRegister,
                   "'" + sequenceOpener_->name + "' begins a sequence that does not end");
    }

private:
    void Report(SourcePosition at, AssemblyRule rule, const std::string& text) { errors_.Add(at, rule, text); }

    // Texture instructions come before arithmetic ones, in ps_1_4 within each phase.
    void CheckOrder(const AssemblyInstruction& instruction, const InstructionInfo& info) {
        if (info.kind == InstructionKind::Phase) {
            if (phaseSeen_)
                Report(instruction.position, AssemblyRule::InstructionOrder, "ps_1_4 has one 'phase' at most");
            phaseSeen_ = true;
            arithmeticSeen_ = false;
            return;
        }
        if (info.kind == InstructionKind::Arithmetic && info.slots > 0) arithmeticSeen_ = true;
        if (info.kind == InstructionKind::Texture && arithmeticSeen_) {
            Report(instruction.position, AssemblyRule::InstructionOrder,
                   std::string("texture instruction '") + instruction.name + "' after an arithmetic instruction" +
                       (ps14_ ? " in the same phase" : ""));
        }
    }

    void CheckCoIssue(std::size_t index) {
        const AssemblyInstruction& instruction = shader_.instructions[index];
        if (index == 0 || infos_[index - 1]->kind != InstructionKind::Arithmetic ||
            shader_.instructions[index - 1].coissue || !shader_.instructions[index - 1].hasDestination) {
            Report(instruction.position, AssemblyRule::CoIssue,
                   "'+' pairs an instruction with the one arithmetic instruction before it");
            return;
        }
        // dp4 runs in the colour and the alpha pipe both; bem takes them both too.
        for (const AssemblyInstruction* half : {&shader_.instructions[index - 1], &instruction}) {
            if (half->name == "dp4" || half->name == "bem") {
                Report(instruction.position, AssemblyRule::CoIssue, "'" + half->name + "' cannot be co-issued");
                return;
            }
        }
        const std::uint8_t first = shader_.instructions[index - 1].destination.writeMask;
        const std::uint8_t second = instruction.destination.writeMask;
        const bool split =
            (first == 0x8 && second != 0 && (second & 0x8) == 0) || (second == 0x8 && first != 0 && (first & 0x8) == 0);
        if (!split) {
            Report(instruction.destination.position, AssemblyRule::CoIssue,
                   "a co-issued pair writes colour (.rgb) in one instruction and alpha (.a) in the other");
        }
    }

    // ps_1_4: v# in phase 2 only (a shader without `phase` is all phase 2); texld of r# in phase 2,
    // of what phase 1 wrote; each t# read with one selector (.xyz or .xyw); two `_dz` at most.
    void CheckPhases(const AssemblyInstruction& instruction, const InstructionInfo& info) {
        const bool phaseOne = hasPhase_ && !phaseSeen_;
        // bem: once, in phase 1, which only a `phase` marker after it makes.
        if (instruction.name == "bem") {
            if (!phaseOne) Report(instruction.position, AssemblyRule::InstructionOrder, "'bem' belongs before 'phase'");
            if (++bems_ == 2)
                Report(instruction.position, AssemblyRule::InstructionOrder, "'bem' is used once a shader at most");
        }
        for (const SourceOperand& source : instruction.sources) {
            if (source.type == T::Input && phaseOne)
                Report(source.position, AssemblyRule::RegisterFile,
                       "ps_1_4 reads colour registers (v#) in phase 2 only");
            if (source.modifier == SourceModifier::DivideByZ && ++divideByZ_ == 3)
                Report(source.position, AssemblyRule::Modifier, "'_dz' may be used twice a shader at most");
            if (info.kind != InstructionKind::Texture) continue;
            if (instruction.name == "texld" && source.type == T::Temp) {
                if (phaseOne || !hasPhase_) {
                    Report(source.position, AssemblyRule::InstructionOrder,
                           "texld reads an r# register in phase 2 only, after 'phase'");
                } else if (!phaseOneWrites_.count(source.index) && writes_.count(source.index)) {
                    // (One no instruction wrote at all is the general rule's, ShaderProgramRules.h.)
                    Report(source.position, AssemblyRule::UninitializedRead,
                           "texld reads '" + RegisterText(T::Temp, source.index) + "', which phase 1 did not write");
                }
            }
            if (source.type == T::Texture) {
                const bool xyw = source.swizzle[2] == 3;
                const auto [found, inserted] = selectors_.insert({source.index, xyw});
                if (!inserted && found->second != xyw) {
                    Report(source.position, AssemblyRule::Swizzle,
                           "every read of '" + RegisterText(T::Texture, source.index) +
                               "' by texld and texcrd uses the same .xyz or .xyw");
                }
            }
        }
        if (instruction.hasDestination && instruction.destination.type == T::Temp) {
            writes_.insert(instruction.destination.index);
            if (phaseOne) phaseOneWrites_.insert(instruction.destination.index);
        }
    }

    // ps_1_1 ... ps_1_3: each t# is written by one texture instruction, and a texture instruction
    // reads t# registers of lower numbers that earlier ones wrote.
    void CheckTextureRegisters(const AssemblyInstruction& instruction) {
        if (instruction.name == "texkill" || !instruction.hasDestination) return;
        const int destination = instruction.destination.index;
        for (const SourceOperand& source : instruction.sources) {
            if (source.type != T::Texture) continue;
            if (source.index >= destination) {
                Report(source.position, AssemblyRule::TextureRegister,
                       "'" + instruction.name + "' reads a texture register of a lower number than it writes");
            } else if (!textureWrites_.count(source.index)) {
                Report(
                    source.position, AssemblyRule::UninitializedRead,
                    "'" + RegisterText(T::Texture, source.index) + "' is read before a texture instruction writes it");
            }
        }
        if (!textureWrites_.insert(destination).second) {
            Report(instruction.destination.position, AssemblyRule::TextureRegister,
                   "'" + RegisterText(T::Texture, destination) + "' is written by one texture instruction only");
        }
    }

    // texm3x2pad t(n), then texm3x2tex or texm3x2depth t(n+1); texm3x3pad t(n), texm3x3pad t(n+1),
    // then texm3x3tex, texm3x3spec, texm3x3vspec or texm3x3 t(n+2).
    void CheckSequence(const AssemblyInstruction& instruction) {
        const std::string& name = instruction.name;
        const int index = instruction.destination.index;
        const bool pad2 = name == "texm3x2pad";
        const bool pad3 = name == "texm3x3pad";
        const bool final2 = IsOneOf(name, {"texm3x2tex", "texm3x2depth"});
        const bool final3 = IsOneOf(name, {"texm3x3tex", "texm3x3spec", "texm3x3vspec", "texm3x3"});
        if (sequenceOpener_) {
            const bool fits = index == expectedIndex_ && (sequenceRows_ == 2 ? final2 : padsLeft_ > 0 ? pad3 : final3);
            if (!fits) {
                Report(sequenceOpener_->position, AssemblyRule::TextureRegister,
                       "'" + sequenceOpener_->name + "' must be followed by the rest of its sequence on t" +
                           std::to_string(expectedIndex_));
                sequenceOpener_ = nullptr;
            } else if (final2 || final3) {
                sequenceOpener_ = nullptr;
                return;
            } else {
                --padsLeft_;
                ++expectedIndex_;
                return;
            }
        }
        if (pad2 || pad3) {
            sequenceOpener_ = &instruction;
            sequenceRows_ = pad2 ? 2 : 3;
            padsLeft_ = pad2 ? 0 : 1;
            expectedIndex_ = index + 1;
        } else if (final2 || final3) {
            Report(instruction.position, AssemblyRule::TextureRegister,
                   "'" + name + "' ends a sequence that " + (final2 ? "texm3x2pad" : "two texm3x3pad") + " must begin");
        }
    }

    const AssembledShader& shader_;
    const std::vector<const InstructionInfo*>& infos_;
    AssemblyErrors& errors_;
    bool ps14_;
    bool hasPhase_ = false;
    bool phaseSeen_ = false;
    bool arithmeticSeen_ = false;
    int divideByZ_ = 0;
    int bems_ = 0;
    int compares_ = 0;
    std::set<int> phaseOneWrites_;
    std::set<int> writes_;
    std::map<int, bool> selectors_;
    std::set<int> textureWrites_;
    const AssemblyInstruction* sequenceOpener_ = nullptr;
    int sequenceRows_ = 0;
    int padsLeft_ = 0;
    int expectedIndex_ = 0;
};

}  // namespace

void CheckPixel1Program(const ParsedProgram& program, AssemblyErrors& errors) {
    Pixel1Checker(program, errors).Run();
}

}  // namespace nvesk::d3dx9

#include "ShaderFlowControl.h"

#include "ShaderInstructionTable.h"
#include "ShaderRegisterTable.h"

#include <functional>
#include <map>
#include <set>
#include <vector>

namespace nvesk::d3dx9 {

namespace {

struct NestingLimits {
    int loops;        // loop/rep nesting
    int calls;        // call nesting
    int staticDepth;  // if b# nesting
    int staticCount;  // if b#, else of if b#, loop, rep, call, callnz b#: 0 where it has no limit
    int dynamic;      // if p0, ifc, breakc, callnz p0
};

NestingLimits LimitsOf(const ShaderVersion& version) {
    switch (VersionBit(version)) {
    case kVs20:
        return {1, 1, 16, 16, 0};
    case kVs2x:
        return {4, 4, 16, 16, 24};
    default:
        return {4, 4, 24, 0, 24};
    }
}

enum class Block { StaticIf, DynamicIf, Loop, Rep };

struct OpenBlock {
    Block block;
    const AssemblyInstruction* opener;
    bool hasElse;
    bool dynamicBreak;  // a loop or rep a breakc or breakp before has made dynamic
};

bool UsesLoopCounter(const AssemblyInstruction& instruction) {
    for (const SourceOperand& source : instruction.sources) {
        if (source.relative && source.address.type == RegisterType::Loop) return true;
    }
    return instruction.hasDestination && instruction.destination.relative &&
           instruction.destination.address.type == RegisterType::Loop;
}

bool DynamicCondition(const AssemblyInstruction& instruction, std::size_t source) {
    return source < instruction.sources.size() && instruction.sources[source].type == RegisterType::Predicate;
}

class FlowChecker {
public:
    FlowChecker(const AssembledShader& shader, AssemblyErrors& errors)
        : shader_(shader), errors_(errors), limits_(LimitsOf(shader.version)), name_(VersionName(shader.version)) {}

    void Run() {
        for (const AssemblyInstruction& instruction : shader_.instructions)
            Step(instruction);
        CloseBlocks(nullptr);
        CheckCalls();
    }

private:
    void Report(SourcePosition at, const std::string& text) { errors_.Add(at, AssemblyRule::FlowControl, text); }

    int Count(Block block) const {
        int count = 0;
        for (const OpenBlock& open : stack_)
            count += open.block == block ? 1 : 0;
        return count;
    }
    bool InLoop() const { return Count(Block::Loop) + Count(Block::Rep) > 0; }

    void MarkDynamicBreak() {
        for (auto open = stack_.rbegin(); open != stack_.rend(); ++open) {
            if (open->block == Block::Loop || open->block == Block::Rep) {
                open->dynamicBreak = true;
                return;
            }
        }
    }

    void CountStatic(const AssemblyInstruction& instruction) {
        if (limits_.staticCount > 0 && ++staticCount_ == limits_.staticCount + 1) {
            Report(instruction.position, name_ + " holds " + std::to_string(limits_.staticCount) +
                                             " static flow-control instructions (if, else, loop, rep, call, callnz)");
        }
    }

    void Open(const AssemblyInstruction& instruction, Block block) {
        stack_.push_back({block, &instruction, false, false});
        if ((block == Block::Loop || block == Block::Rep) && Count(Block::Loop) + Count(Block::Rep) > limits_.loops) {
            Report(instruction.position,
                   "loop and rep nest " + std::to_string(limits_.loops) + " deep at most in " + name_);
        }
        if (block == Block::StaticIf && Count(Block::StaticIf) > limits_.staticDepth)
            Report(instruction.position,
                   "if blocks nest " + std::to_string(limits_.staticDepth) + " deep at most in " + name_);
        if (block == Block::DynamicIf && Count(Block::DynamicIf) > limits_.dynamic) {
            Report(instruction.position,
                   "dynamic if blocks nest " + std::to_string(limits_.dynamic) + " deep at most in " + name_);
        }
    }

    void Close(const AssemblyInstruction& instruction, bool matches, const char* opener) {
        if (!matches) Report(instruction.position, "'" + instruction.name + "' without its '" + opener + "'");
        if (!stack_.empty()) stack_.pop_back();  // a mismatched closer still closes, so that one fault is one message
    }

    static const char* CloserOf(Block block) {
        switch (block) {
        case Block::StaticIf:
        case Block::DynamicIf:
            return "endif";
        case Block::Loop:
            return "endloop";
        case Block::Rep:
            return "endrep";
        }
        return "";
    }

    // Reports each block still open where a subroutine or the program ends.
    void CloseBlocks(const AssemblyInstruction* at) {
        for (const OpenBlock& open : stack_) {
            Report(open.opener->position, "'" + open.opener->name + "' is not closed by '" + CloserOf(open.block) +
                                              "'" + (at ? " before the next label" : ""));
        }
        stack_.clear();
    }

    void Step(const AssemblyInstruction& instruction) {
        const std::string& name = instruction.name;
        if (afterReturn_ && name != "label" && !reportedAfterReturn_) {
            Report(instruction.position, "after 'ret' only a label may follow");
            reportedAfterReturn_ = true;  // once, up to the next label
        }
        if (hasLoopCounter_ && UsesLoopCounter(instruction) && Count(Block::Loop) == 0 && currentLabel_ < 0)
            Report(instruction.position, "aL is read outside loop ... endloop");
        if (shader_.version.stage == ShaderStage::Pixel && shader_.version.major >= 2) CheckPerPixelPaths(instruction);
        if (name == "if") {
            const bool dynamic = DynamicCondition(instruction, 0);
            if (!dynamic) CountStatic(instruction);
            Open(instruction, dynamic ? Block::DynamicIf : Block::StaticIf);
        } else if (name == "ifc") {
            Open(instruction, Block::DynamicIf);
        } else if (name == "else") {
            const bool matches = !stack_.empty() &&
                                 (stack_.back().block == Block::StaticIf || stack_.back().block == Block::DynamicIf) &&
                                 !stack_.back().hasElse;
            if (!matches) {
                Report(instruction.position, "'else' without its 'if'");
            } else {
                stack_.back().hasElse = true;
                if (stack_.back().block == Block::StaticIf) CountStatic(instruction);
            }
        } else if (name == "endif") {
            Close(
                instruction,
                !stack_.empty() && (stack_.back().block == Block::StaticIf || stack_.back().block == Block::DynamicIf),
                "if");
        } else if (name == "loop" || name == "rep") {
            CountStatic(instruction);
            Open(instruction, name == "loop" ? Block::Loop : Block::Rep);
        } else if (name == "endloop") {
            Close(instruction, !stack_.empty() && stack_.back().block == Block::Loop, "loop");
        } else if (name == "endrep") {
            Close(instruction, !stack_.empty() && stack_.back().block == Block::Rep, "rep");
        } else if (name == "break" || name == "breakc" || name == "breakp") {
            if (!InLoop()) Report(instruction.position, "'" + name + "' outside loop or rep");
            if (name != "break") MarkDynamicBreak();
            if (name == "breakc" && Count(Block::DynamicIf) + 1 > limits_.dynamic)
                Report(instruction.position, "'breakc' nests dynamic flow control too deep for " + name_);
        } else if (name == "call" || name == "callnz") {
            if (name == "call" || !DynamicCondition(instruction, 1)) CountStatic(instruction);
            if (!instruction.sources.empty() && instruction.sources[0].type == RegisterType::Label)
                calls_[currentLabel_].push_back(&instruction);
        } else if (name == "label") {
            StartLabel(instruction);
        } else if (name == "ret") {
            if (!stack_.empty()) {
                Report(instruction.position, "'ret' inside an open '" + stack_.back().opener->name + "' block");
            } else {
                afterReturn_ = true;
            }
        }
    }

    // Code that pixels of one primitive may run or skip apart: in a dynamic if, after a dynamic break
    // in its loop, or predicated.
    bool PerPixel(const AssemblyInstruction& instruction) const {
        if (instruction.predicated || Count(Block::DynamicIf) > 0) return true;
        for (const OpenBlock& open : stack_) {
            if (open.dynamicBreak) return true;
        }
        return false;
    }

    // There, no texture read or dsx/dsy takes the gradients of an r#, no oC# is written, and in
    // ps_2_x oDepth is written outside all flow control.
    void CheckPerPixelPaths(const AssemblyInstruction& instruction) {
        const std::string& name = instruction.name;
        const bool perPixel = PerPixel(instruction);
        const bool gradients =
            name == "texld" || name == "texldb" || name == "texldp" || name == "dsx" || name == "dsy";
        if (perPixel && gradients && !instruction.sources.empty() &&
            instruction.sources[0].type == RegisterType::Temp) {
            Report(instruction.position, "'" + name +
                                             "' takes the gradients of an r# register; not inside dynamic flow control "
                                             "or predication");
        }
        if (!instruction.hasDestination) return;
        const RegisterType written = instruction.destination.type;
        if (perPixel && written == RegisterType::ColorOut)
            Report(instruction.position, "oC# is not written inside dynamic flow control or predication");
        if (written == RegisterType::DepthOut && shader_.version.major == 2 &&
            (instruction.predicated || !stack_.empty()))
            Report(instruction.position, "oDepth is not written inside flow control or predication in " + name_);
    }

    void StartLabel(const AssemblyInstruction& instruction) {
        if (!stack_.empty()) {
            CloseBlocks(&instruction);
        } else if (!afterReturn_) {
            Report(instruction.position, "a label follows the 'ret' that ends the code before it");
        }
        afterReturn_ = false;
        reportedAfterReturn_ = false;
        if (instruction.sources.empty()) return;
        const int label = instruction.sources[0].index;
        if (!labels_.insert(label).second)
            Report(instruction.position, "label l" + std::to_string(label) + " is defined twice");
        currentLabel_ = label;
    }

    // Every call names a defined label; calls do not recurse, and nest no deeper than the version's limit.
    void CheckCalls() {
        for (const auto& [caller, calls] : calls_) {
            for (const AssemblyInstruction* call : calls) {
                const int label = call->sources[0].index;
                if (!labels_.count(label))
                    Report(call->position, "'" + call->name + "' of undefined label l" + std::to_string(label));
            }
        }
        std::map<int, int> depth;  // calls made below each label, at most
        std::set<int> visiting;
        bool recursive = false;  // then the depth is no number, and goes unreported
        std::function<int(int, SourcePosition)> deepest = [&](int label, SourcePosition at) -> int {
            if (depth.count(label)) return depth[label];
            if (!visiting.insert(label).second) {
                Report(at, "subroutine l" + std::to_string(label) + " calls itself");
                recursive = true;
                return 0;
            }
            int most = 0;
            const auto found = calls_.find(label);
            if (found != calls_.end()) {
                for (const AssemblyInstruction* call : found->second) {
                    const int callee = call->sources[0].index;
                    if (labels_.count(callee)) most = std::max(most, 1 + deepest(callee, call->position));
                }
            }
            visiting.erase(label);
            return depth[label] = most;
        };
        const auto main = calls_.find(-1);
        if (main == calls_.end()) return;
        for (const AssemblyInstruction* call : main->second) {
            const int callee = call->sources[0].index;
            const int nested = labels_.count(callee) ? 1 + deepest(callee, call->position) : 0;
            if (!recursive && nested > limits_.calls) {
                Report(call->position, "calls nest " + std::to_string(limits_.calls) + " deep at most in " + name_);
            }
        }
    }

    const AssembledShader& shader_;
    AssemblyErrors& errors_;
    NestingLimits limits_;
    std::string name_;
    std::vector<OpenBlock> stack_;
    std::set<int> labels_;
    std::map<int, std::vector<const AssemblyInstruction*>> calls_;  // by calling label, -1 for the main program
    int currentLabel_ = -1;
    int staticCount_ = 0;
    bool afterReturn_ = false;
    bool reportedAfterReturn_ = false;
    bool hasLoopCounter_ = FindRegisterFile(shader_.version, RegisterType::Loop) != nullptr;
};

}  // namespace

void CheckFlowControl(const AssembledShader& shader, AssemblyErrors& errors) {
    FlowChecker(shader, errors).Run();
}

}  // namespace nvesk::d3dx9

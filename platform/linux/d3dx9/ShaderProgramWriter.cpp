#include "ShaderProgramWriter.h"

#include "CompilerMessages.h"
#include "ShaderInstructions.h"

#include <set>
#include <sstream>
#include <vector>

namespace nvesk::d3dx9 {

namespace {

const char* ScalarComparison(Comparison comparison) {
    switch (comparison) {
    case Comparison::Greater:
        return ">";
    case Comparison::Equal:
        return "==";
    case Comparison::GreaterEqual:
        return ">=";
    case Comparison::Less:
        return "<";
    case Comparison::NotEqual:
        return "!=";
    case Comparison::LessEqual:
        return "<=";
    case Comparison::None:
        break;
    }
    return nullptr;
}

std::string LabelFunction(int label) {
    return "fx_label" + std::to_string(label);
}

// Instructions that only declare, or mark ps_1_4's second phase (its registers carry over).
bool EmitsNothing(const std::string& name) {
    return name == "def" || name == "defi" || name == "defb" || name == "dcl" || name == "nop" || name == "phase";
}

// The program's code: `main` up to its ret or the first label, then one function a label, with
// the nesting of their flow control.
class ProgramWriter {
public:
    ProgramWriter(const ShaderRegisters& registers, const std::string& fileName)
        : registers_(registers), instructions_(registers), fileName_(fileName) {}

    bool Write(const AssembledShader& shader, std::string& code, std::string& errors) {
        std::set<int> labels;
        for (const AssemblyInstruction& instruction : shader.instructions) {
            if (instruction.name == "label" && !instruction.sources.empty())
                labels.insert(instruction.sources[0].index);
        }
        for (const int label : labels)
            prototypes_ += "void " + LabelFunction(label) + "();\n";
        Open("void fx_shader_main()");
        const auto& list = shader.instructions;
        for (std::size_t i = 0; i < list.size(); ++i) {
            const AssemblyInstruction& instruction = list[i];
            if (EmitsNothing(instruction.name)) continue;
            if (IsFlow(instruction.name)) {
                if (!Flow(instruction)) break;
                continue;
            }
            // A co-issued pair reads all its sources before either writes.
            std::vector<const AssemblyInstruction*> group {&instruction};
            while (i + 1 < list.size() && list[i + 1].coissue)
                group.push_back(&list[++i]);
            std::vector<InstructionCode> codes(group.size());
            bool translated = true;
            for (std::size_t k = 0; k < group.size() && translated; ++k) {
                std::string error;
                translated = instructions_.Translate(*group[k], codes[k], error);
                if (!translated) Fail(group[k]->position, error);
            }
            if (!translated) break;
            if (!open_) {
                Fail(instruction.position, "instruction '" + instruction.name + "' outside any function");
                break;
            }
            for (const InstructionCode& part : codes)
                Emit(part.compute);
            for (const InstructionCode& part : codes)
                Emit(part.write);
        }
        if (errors_.empty() && !blocks_.empty()) Fail(SourcePosition(), "flow control is not closed at the end");
        if (open_) Close();
        errors = errors_;
        code = prototypes_ + body_;
        return errors_.empty();
    }

private:
    enum class Block { If, Rep, Loop };

    static bool IsFlow(const std::string& name) {
        static const std::set<std::string> kFlow = {"if",     "ifc",  "else",    "endif", "rep",
                                                    "endrep", "loop", "endloop", "break", "breakc",
                                                    "breakp", "call", "callnz",  "label", "ret"};
        return kFlow.count(name) != 0;
    }

    void Fail(SourcePosition position, const std::string& message) {
        if (errors_.empty()) errors_ = FormatError(fileName_, position, message) + "\n";
    }

    void Emit(const std::string& code) {
        std::istringstream lines(code);
        std::string line;
        while (std::getline(lines, line))
            body_ += std::string(static_cast<std::size_t>(4 * depth_), ' ') + line + "\n";
    }

    void Open(const std::string& signature) {
        body_ += signature + "\n{\n";
        open_ = true;
        depth_ = 1;
    }

    void Close() {
        body_ += "}\n";
        open_ = false;
        depth_ = 0;
    }

    const SourceOperand* SourceOf(const AssemblyInstruction& instruction, RegisterType type) const {
        for (const SourceOperand& source : instruction.sources)
            if (source.type == type) return &source;
        return nullptr;
    }

    // The condition of if, callnz and breakp: a b# or p0 source.
    bool Condition(const AssemblyInstruction& instruction, std::string& condition) {
        for (const SourceOperand& source : instruction.sources) {
            if (source.type == RegisterType::ConstBool || source.type == RegisterType::Predicate) {
                condition = registers_.ReadBool(source);
                return true;
            }
        }
        Fail(instruction.position, instruction.name + " needs a boolean or predicate register");
        return false;
    }

    bool Comparison(const AssemblyInstruction& instruction, std::string& condition) {
        const char* op = ScalarComparison(instruction.comparison);
        if (op == nullptr || instruction.sources.size() != 2) {
            Fail(instruction.position, instruction.name + " needs a comparison of two sources");
            return false;
        }
        condition = registers_.ReadScalar(instruction.sources[0]) + " " + op + " " +
                    registers_.ReadScalar(instruction.sources[1]);
        return true;
    }

    bool Flow(const AssemblyInstruction& instruction) {
        const std::string& name = instruction.name;
        if (name == "label") {
            if (!blocks_.empty()) {
                Fail(instruction.position, "a label inside flow control");
                return false;
            }
            if (instruction.sources.empty()) {
                Fail(instruction.position, "label needs a label register");
                return false;
            }
            if (open_) Close();
            Open("void " + LabelFunction(instruction.sources[0].index) + "()");
            return true;
        }
        if (!open_) {
            Fail(instruction.position, "instruction '" + name + "' outside any function");
            return false;
        }
        std::string condition;
        if (name == "ret") {
            if (blocks_.empty()) {
                Close();
            } else {
                Emit("return;");
            }
        } else if (name == "if" || name == "ifc") {
            if (!(name == "if" ? Condition(instruction, condition) : Comparison(instruction, condition))) return false;
            Emit("if (" + condition + ") {");
            Push(Block::If);
        } else if (name == "else") {
            if (!Top(Block::If, instruction)) return false;
            --depth_;
            Emit("} else {");
            ++depth_;
        } else if (name == "endif" || name == "endrep") {
            if (!Top(name == "endif" ? Block::If : Block::Rep, instruction)) return false;
            Pop();
            Emit("}");
        } else if (name == "rep") {
            const SourceOperand* count = SourceOf(instruction, RegisterType::ConstInt);
            if (count == nullptr) {
                Fail(instruction.position, "rep needs an integer register");
                return false;
            }
            // Direct3D 9 runs a loop at most 255 times.
            const std::string counter = "fx_rep" + std::to_string(loops_++);
            Emit("for (int " + counter + " = 0; " + counter + " < clamp(" + registers_.ReadInt(*count) +
                 ".x, 0, 255); ++" + counter + ") {");
            Push(Block::Rep);
        } else if (name == "loop") {
            const SourceOperand* count = SourceOf(instruction, RegisterType::ConstInt);
            if (count == nullptr) {
                Fail(instruction.position, "loop needs an integer register");
                return false;
            }
            // aL starts at i#.y and steps by i#.z, i#.x times; an outer loop's comes back after.
            const std::string id = std::to_string(loops_++);
            Emit("{");
            ++depth_;
            Emit("int fx_saved_aL" + id + " = aL;\nivec4 fx_loop" + id + " = " + registers_.ReadInt(*count) +
                 ";\naL = fx_loop" + id + ".y;\nfor (int fx_count" + id + " = 0; fx_count" + id + " < clamp(fx_loop" +
                 id + ".x, 0, 255); ++fx_count" + id + ", aL += fx_loop" + id + ".z) {");
            Push(Block::Loop);
            loopIds_.push_back(id);
        } else if (name == "endloop") {
            if (!Top(Block::Loop, instruction)) return false;
            Pop();
            Emit("}");
            const std::string id = loopIds_.back();
            loopIds_.pop_back();
            Emit("aL = fx_saved_aL" + id + ";");
            --depth_;
            Emit("}");
        } else if (name == "break" || name == "breakc" || name == "breakp") {
            if (!InLoop()) {
                Fail(instruction.position, name + " outside a loop");
                return false;
            }
            if (name == "break") {
                Emit("break;");
            } else {
                if (!(name == "breakc" ? Comparison(instruction, condition) : Condition(instruction, condition)))
                    return false;
                Emit("if (" + condition + ") break;");
            }
        } else if (name == "call" || name == "callnz") {
            const SourceOperand* label = SourceOf(instruction, RegisterType::Label);
            if (label == nullptr) {
                Fail(instruction.position, name + " needs a label");
                return false;
            }
            const std::string call = LabelFunction(label->index) + "();";
            if (name == "call") {
                Emit(call);
            } else {
                if (!Condition(instruction, condition)) return false;
                Emit("if (" + condition + ") " + call);
            }
        }
        return true;
    }

    void Push(Block block) {
        blocks_.push_back(block);
        ++depth_;
    }

    void Pop() {
        blocks_.pop_back();
        --depth_;
    }

    bool Top(Block block, const AssemblyInstruction& instruction) {
        if (!blocks_.empty() && blocks_.back() == block) return true;
        Fail(instruction.position, instruction.name + " does not close the block it stands in");
        return false;
    }

    bool InLoop() const {
        for (const Block block : blocks_)
            if (block != Block::If) return true;
        return false;
    }

    const ShaderRegisters& registers_;
    InstructionTranslator instructions_;
    std::string fileName_;
    std::string prototypes_;
    std::string body_;
    std::string errors_;
    std::vector<Block> blocks_;
    std::vector<std::string> loopIds_;
    int depth_ = 0;
    int loops_ = 0;
    bool open_ = false;
};

}  // namespace

bool WriteShaderFunctions(const AssembledShader& shader, const ShaderRegisters& registers, const std::string& fileName,
                          std::string& code, std::string& errors) {
    ProgramWriter writer(registers, fileName);
    return writer.Write(shader, code, errors);
}

}  // namespace nvesk::d3dx9

#include "ShaderAssemblyParser.h"

#include "ShaderOperandRules.h"
#include "ShaderRegisterTable.h"

#include <d3d9types.h>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace nvesk::d3dx9 {

namespace {

std::string Lowered(const std::string& text) {
    std::string lowered = text;
    for (char& c : lowered)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lowered;
}

std::vector<std::string> SplitUnderscores(const std::string& word) {
    std::vector<std::string> parts(1);
    for (char c : word) {
        if (c == '_') {
            parts.emplace_back();
        } else {
            parts.back() += c;
        }
    }
    return parts;
}

// Which component a swizzle or mask letter names: xyzw or rgba; -1 for another letter.
int ComponentOf(char c, bool& colour) {
    const char* xyzw = "xyzw";
    const char* rgba = "rgba";
    for (int i = 0; i < 4; ++i) {
        if (c == xyzw[i]) {
            colour = false;
            return i;
        }
        if (c == rgba[i]) {
            colour = true;
            return i;
        }
    }
    return -1;
}

Comparison ComparisonOf(const std::string& part) {
    if (part == "gt") return Comparison::Greater;
    if (part == "eq") return Comparison::Equal;
    if (part == "ge") return Comparison::GreaterEqual;
    if (part == "lt") return Comparison::Less;
    if (part == "ne") return Comparison::NotEqual;
    if (part == "le") return Comparison::LessEqual;
    return Comparison::None;
}

int UsageOf(const std::string& name) {
    struct Usage {
        const char* name;
        int usage;
    };
    static const Usage kUsages[] = {
        {"position", D3DDECLUSAGE_POSITION},
        {"blendweight", D3DDECLUSAGE_BLENDWEIGHT},
        {"blendindices", D3DDECLUSAGE_BLENDINDICES},
        {"normal", D3DDECLUSAGE_NORMAL},
        {"psize", D3DDECLUSAGE_PSIZE},
        {"texcoord", D3DDECLUSAGE_TEXCOORD},
        {"tangent", D3DDECLUSAGE_TANGENT},
        {"binormal", D3DDECLUSAGE_BINORMAL},
        {"tessfactor", D3DDECLUSAGE_TESSFACTOR},
        {"positiont", D3DDECLUSAGE_POSITIONT},
        {"color", D3DDECLUSAGE_COLOR},
        {"fog", D3DDECLUSAGE_FOG},
        {"depth", D3DDECLUSAGE_DEPTH},
        {"sample", D3DDECLUSAGE_SAMPLE},
    };
    for (const Usage& usage : kUsages) {
        if (name == usage.name) return usage.usage;
    }
    return -1;
}

struct SyntaxFault {
    SourcePosition position;
    AssemblyRule rule;
    std::string text;
};

class AssemblyParser {
public:
    AssemblyParser(const std::vector<AssemblyToken>& tokens, ParsedProgram& program, AssemblyErrors& errors)
        : tokens_(tokens), program_(program), errors_(errors) {}

    bool Run(ShaderStage stage) {
        if (!ReadVersion(stage)) return false;
        while (Current().kind != AssemblyTokenKind::End) {
            const std::size_t first = index_;
            try {
                ReadInstruction();
            } catch (const SyntaxFault& fault) {
                errors_.Add(fault.position, fault.rule, fault.text);
                // The rest of the faulty line goes; at least one token, so that reading moves on.
                const int line = fault.position.line;
                if (index_ == first) ++index_;
                while (Current().kind != AssemblyTokenKind::End && Current().position.line <= line)
                    ++index_;
            }
        }
        return true;
    }

private:
    const AssemblyToken& Current() const { return tokens_[index_]; }
    const AssemblyToken& Next() const { return tokens_[index_ + 1 < tokens_.size() ? index_ + 1 : index_]; }
    bool IsSymbol(const char* symbol) const {
        return Current().kind == AssemblyTokenKind::Symbol && Current().text == symbol;
    }
    const ShaderVersion& Version() const { return program_.shader.version; }

    [[noreturn]] void Fail(const AssemblyToken& at, const std::string& text,
                           AssemblyRule rule = AssemblyRule::Syntax) const {
        throw SyntaxFault {at.position, rule, text};
    }

    static std::string Describe(const AssemblyToken& token) {
        return token.kind == AssemblyTokenKind::End ? std::string("the end of the program") : "'" + token.text + "'";
    }

    bool ReadVersion(ShaderStage stage) {
        const AssemblyToken& token = Current();
        const std::string word = Lowered(token.text);
        struct Known {
            const char* name;
            ShaderStage stage;
            int major;
            int minor;
            bool extended;
        };
        static const Known kVersions[] = {
            {"vs_1_1", ShaderStage::Vertex, 1, 1, false}, {"vs_2_0", ShaderStage::Vertex, 2, 0, false},
            {"vs_2_x", ShaderStage::Vertex, 2, 0, true},  {"vs_3_0", ShaderStage::Vertex, 3, 0, false},
            {"ps_1_1", ShaderStage::Pixel, 1, 1, false},  {"ps_1_2", ShaderStage::Pixel, 1, 2, false},
            {"ps_1_3", ShaderStage::Pixel, 1, 3, false},  {"ps_1_4", ShaderStage::Pixel, 1, 4, false},
            {"ps_2_0", ShaderStage::Pixel, 2, 0, false},  {"ps_2_x", ShaderStage::Pixel, 2, 0, true},
            {"ps_3_0", ShaderStage::Pixel, 3, 0, false},
        };
        if (token.kind == AssemblyTokenKind::Word) {
            for (const Known& known : kVersions) {
                if (word != known.name) continue;
                if (known.stage != stage) {
                    errors_.Add(token.position, AssemblyRule::Version,
                                std::string("a ") + (known.stage == ShaderStage::Vertex ? "vertex" : "pixel") +
                                    " shader version '" + token.text + "' where a " +
                                    (stage == ShaderStage::Vertex ? "vertex" : "pixel") + " shader is expected");
                    return false;
                }
                program_.shader.version = {known.stage, known.major, known.minor, known.extended};
                ++index_;
                return true;
            }
        }
        const bool versionLike =
            token.kind == AssemblyTokenKind::Word && (word.rfind("vs_", 0) == 0 || word.rfind("ps_", 0) == 0);
        const bool software = versionLike && word.size() > 3 && word.compare(word.size() - 3, 3, "_sw") == 0;
        errors_.Add(token.position, AssemblyRule::Version,
                    software      ? "software shader versions ('" + token.text + "') are not supported"
                    : versionLike ? "unknown shader version '" + token.text + "'"
                                  : "a shader version (vs_1_1 ... ps_3_0) must come first, not " + Describe(token));
        return false;
    }

    void ReadInstruction() {
        AssemblyInstruction instruction;
        instruction.position = Current().position;
        if (IsSymbol("+")) {
            instruction.coissue = true;
            ++index_;
        }
        if (IsSymbol("(")) {
            ReadPredicate(instruction);
        }
        const AssemblyToken& nameToken = Current();
        if (nameToken.kind != AssemblyTokenKind::Word)
            Fail(nameToken, "expected an instruction, not " + Describe(nameToken));
        instruction.position = nameToken.position;
        ++index_;

        std::vector<std::string> parts = SplitUnderscores(Lowered(nameToken.text));
        std::string name = parts[0];
        std::vector<std::string> modifiers(parts.begin() + 1, parts.end());
        std::string usagePart;
        if (name == "dcl" && !modifiers.empty() && modifiers[0] != "pp" && modifiers[0] != "centroid") {
            usagePart = modifiers[0];
            modifiers.erase(modifiers.begin());
        }
        if (!modifiers.empty()) {
            const Comparison comparison = ComparisonOf(modifiers[0]);
            if (comparison != Comparison::None && (name == "if" || name == "break" || name == "setp")) {
                instruction.comparison = comparison;
                modifiers.erase(modifiers.begin());
                if (name != "setp") name += "c";
            }
        }
        if (name == "setp" && instruction.comparison == Comparison::None)
            Fail(nameToken, "'setp' needs a comparison (setp_gt ... setp_le)", AssemblyRule::Operands);
        instruction.name = name;

        const InstructionInfo* info = nullptr;
        switch (FindInstruction(name, Version(), info)) {
        case InstructionLookup::Unknown:
            Fail(nameToken, "unknown instruction '" + nameToken.text + "'", AssemblyRule::UnknownInstruction);
        case InstructionLookup::NotInVersion:
            Fail(nameToken, "'" + name + "' is not an instruction of " + VersionName(Version()),
                 AssemblyRule::InstructionVersion);
        case InstructionLookup::Found:
            break;
        }
        if (info->comparison && instruction.comparison == Comparison::None) {
            Fail(nameToken,
                 "'" + name + "' is written with its comparison (" + (name == "ifc" ? "if" : "break") + "_gt ... _le)",
                 AssemblyRule::Operands);
        }
        ReadInstructionModifiers(instruction, modifiers, nameToken);
        if (!usagePart.empty()) ReadUsage(instruction, usagePart, nameToken);

        ReadOperands(instruction, *info, nameToken);
        program_.shader.instructions.push_back(std::move(instruction));
        program_.infos.push_back(info);
        const OperandContext context {Version(), *info, program_.shader.instructions.back(), errors_};
        CheckInstruction(context);
    }

    void ReadPredicate(AssemblyInstruction& instruction) {
        ++index_;
        SourceOperand predicate;
        predicate.position = Current().position;
        if (IsSymbol("!")) {
            predicate.modifier = SourceModifier::Not;
            ++index_;
        }
        const AssemblyToken& reg = Current();
        RegisterType type;
        int number = 0;
        bool hasIndex = false;
        if (reg.kind != AssemblyTokenKind::Word || !ParseRegisterName(Lowered(reg.text), type, number, hasIndex) ||
            type != RegisterType::Predicate || !hasIndex) {
            Fail(reg, "expected the predicate register p0 in '(', not " + Describe(reg), AssemblyRule::Predication);
        }
        predicate.type = type;
        predicate.index = number;
        ++index_;
        if (IsSymbol(".")) {
            ++index_;
            std::string rest;
            ReadSwizzle(predicate, rest);
            if (!rest.empty()) Fail(tokens_[index_ - 1], "a predicate takes no modifier", AssemblyRule::Predication);
        }
        if (!IsSymbol(")")) Fail(Current(), "expected ')' to close the predicate opened here", AssemblyRule::Syntax);
        ++index_;
        instruction.predicated = true;
        instruction.predicate = predicate;
    }

    void ReadInstructionModifiers(AssemblyInstruction& instruction, const std::vector<std::string>& modifiers,
                                  const AssemblyToken& at) {
        DestinationOperand& destination = instruction.destination;
        for (const std::string& modifier : modifiers) {
            if (modifier == "sat") {
                destination.saturate = true;
            } else if (modifier == "pp") {
                destination.partialPrecision = true;
            } else if (modifier == "centroid") {
                destination.centroid = true;
            } else if (modifier.size() == 2 && (modifier[0] == 'x' || modifier[0] == 'd') &&
                       (modifier[1] == '2' || modifier[1] == '4' || modifier[1] == '8')) {
                if (destination.shift != 0) Fail(at, "only one of _x2 ... _d8 may be given", AssemblyRule::Modifier);
                const int amount = modifier[1] == '2' ? 1 : modifier[1] == '4' ? 2 : 3;
                destination.shift = modifier[0] == 'x' ? amount : -amount;
            } else {
                Fail(at, "unknown instruction modifier '_" + modifier + "'", AssemblyRule::Modifier);
            }
        }
    }

    // dcl_position1, dcl_texcoord, dcl_2d, dcl_cube, dcl_volume.
    void ReadUsage(AssemblyInstruction& instruction, const std::string& part, const AssemblyToken& at) {
        Declaration& declaration = instruction.declaration;
        if (part == "2d") {
            declaration.samplerType = kSampler2D;
            return;
        }
        if (part == "cube") {
            declaration.samplerType = kSamplerCube;
            return;
        }
        if (part == "volume") {
            declaration.samplerType = kSamplerVolume;
            return;
        }
        std::size_t digits = part.size();
        while (digits > 0 && std::isdigit(static_cast<unsigned char>(part[digits - 1])))
            --digits;
        const int usage = UsageOf(part.substr(0, digits));
        if (usage < 0) Fail(at, "unknown declaration usage '" + part + "'", AssemblyRule::Declaration);
        int usageIndex = 0;
        if (digits < part.size()) {
            if (part.size() - digits > 2)
                Fail(at, "usage index of '" + part + "' out of range", AssemblyRule::Declaration);
            usageIndex = std::atoi(part.c_str() + digits);
            if (usageIndex > 15)
                Fail(at, "usage index of '" + part + "' out of range (0-15)", AssemblyRule::Declaration);
        }
        declaration.usage = usage;
        declaration.usageIndex = usageIndex;
    }

    void ExpectComma(const InstructionInfo& info, const AssemblyToken& nameToken) {
        if (IsSymbol(",")) {
            ++index_;
            return;
        }
        // Where the operands stop at the end of the line, the instruction is the one at fault.
        const bool sameLine =
            Current().kind != AssemblyTokenKind::End && Current().position.line == tokens_[index_ - 1].position.line;
        const int count = OperandCount(info);
        Fail(sameLine ? Current() : nameToken,
             "'" + nameToken.text + "' takes " + std::to_string(count) + " operand" + (count == 1 ? "" : "s") +
                 (sameLine ? "; expected ',' before " + Describe(Current()) : std::string()),
             AssemblyRule::Operands);
    }

    static int OperandCount(const InstructionInfo& info) {
        switch (info.destination) {
        case DestinationRole::None:
            return info.sourceCount;
        case DestinationRole::FloatConstant:
        case DestinationRole::IntConstant:
            return 5;
        case DestinationRole::BoolConstant:
            return 2;
        default:
            return 1 + info.sourceCount;
        }
    }

    void ReadOperands(AssemblyInstruction& instruction, const InstructionInfo& info, const AssemblyToken& nameToken) {
        bool first = true;
        if (info.destination != DestinationRole::None) {
            instruction.hasDestination = true;
            ReadDestination(instruction.destination);
            first = false;
        }
        switch (info.destination) {
        case DestinationRole::FloatConstant:
        case DestinationRole::IntConstant:
            for (int i = 0; i < 4; ++i) {
                ExpectComma(info, nameToken);
                ReadConstantValue(instruction, info.destination, i);
            }
            break;
        case DestinationRole::BoolConstant: {
            ExpectComma(info, nameToken);
            const std::string value = Lowered(Current().text);
            if (Current().kind != AssemblyTokenKind::Word || (value != "true" && value != "false"))
                Fail(Current(), "defb takes true or false, not " + Describe(Current()),
                     AssemblyRule::ConstantDefinition);
            instruction.intValues[0] = value == "true" ? 1 : 0;
            ++index_;
            break;
        }
        default:
            for (int i = 0; i < info.sourceCount; ++i) {
                if (!first) ExpectComma(info, nameToken);
                first = false;
                instruction.sources.push_back(ReadSource());
            }
        }
        if (IsSymbol(","))
            Fail(Current(),
                 "'" + nameToken.text + "' takes " + std::to_string(OperandCount(info)) + " operand" +
                     (OperandCount(info) == 1 ? "" : "s"),
                 AssemblyRule::Operands);
    }

    void ReadConstantValue(AssemblyInstruction& instruction, DestinationRole role, int component) {
        const AssemblyToken& first = Current();
        bool negative = false;
        if (IsSymbol("-") || IsSymbol("+")) {
            negative = IsSymbol("-");
            ++index_;
        }
        const AssemblyToken& number = Current();
        if (number.kind != AssemblyTokenKind::Number)
            Fail(number, "expected a number, not " + Describe(number), AssemblyRule::ConstantDefinition);
        ++index_;
        std::string text = number.text;
        if (!text.empty() && (text.back() == 'f' || text.back() == 'F')) text.pop_back();
        if (role == DestinationRole::IntConstant) {
            if (text.find_first_not_of("0123456789") != std::string::npos || text.size() > 9)
                Fail(first, "defi takes integers, not '" + number.text + "'", AssemblyRule::ConstantDefinition);
            const int value = std::atoi(text.c_str());
            instruction.intValues[component] = negative ? -value : value;
            return;
        }
        const double value = std::strtod(text.c_str(), nullptr);
        if (!(std::fabs(value) <= std::numeric_limits<float>::max()))
            Fail(first, "constant '" + number.text + "' out of range", AssemblyRule::ConstantDefinition);
        instruction.floatValues[component] = static_cast<float>(negative ? -value : value);
    }

    // A register's word, split into the register and what follows an underscore ("r0_bx2").
    struct RegisterWord {
        RegisterType type = RegisterType::Temp;
        int index = 0;
        bool hasIndex = false;
        std::vector<std::string> suffixes;
    };

    RegisterWord ReadRegisterWord() {
        const AssemblyToken& token = Current();
        if (token.kind != AssemblyTokenKind::Word) Fail(token, "expected a register, not " + Describe(token));
        std::vector<std::string> parts = SplitUnderscores(Lowered(token.text));
        RegisterWord word;
        if (!ParseRegisterName(parts[0], word.type, word.index, word.hasIndex))
            Fail(token, "'" + token.text + "' is not a register", AssemblyRule::RegisterFile);
        word.suffixes.assign(parts.begin() + 1, parts.end());
        ++index_;
        return word;
    }

    // `[a0.x + 4]`, `[4 + a0.x]`, `[aL]`: the offset is added to `index`.
    void ReadRelative(bool& relative, RelativeAddress& address, int& index) {
        const AssemblyToken& open = Current();
        ++index_;
        bool haveRegister = false;
        bool haveOffset = false;
        for (;;) {
            const AssemblyToken& token = Current();
            if (token.kind == AssemblyTokenKind::Number && !haveOffset) {
                if (token.text.find_first_not_of("0123456789") != std::string::npos || token.text.size() > 5)
                    Fail(token, "a relative offset is a whole number, not '" + token.text + "'",
                         AssemblyRule::RelativeAddress);
                index += std::atoi(token.text.c_str());
                haveOffset = true;
                ++index_;
            } else if (token.kind == AssemblyTokenKind::Word && !haveRegister) {
                RegisterType type;
                int number = 0;
                bool hasIndex = false;
                if (!ParseRegisterName(Lowered(token.text), type, number, hasIndex) || !hasIndex ||
                    (type != RegisterType::Address && type != RegisterType::Loop)) {
                    Fail(token, "a relative index is a0 or aL, not '" + token.text + "'",
                         AssemblyRule::RelativeAddress);
                }
                address.type = type;
                address.index = number;
                haveRegister = true;
                ++index_;
                if (IsSymbol(".")) {
                    ++index_;
                    const AssemblyToken& component = Current();
                    const std::string letter = Lowered(component.text);
                    bool colour = false;
                    const int which = component.kind == AssemblyTokenKind::Word && letter.size() == 1
                                          ? ComponentOf(letter[0], colour)
                                          : -1;
                    if (which < 0) {
                        Fail(component, "a relative index takes one component (a0.x), not " + Describe(component),
                             AssemblyRule::RelativeAddress);
                    }
                    address.component = which;
                    ++index_;
                }
            } else {
                Fail(token, "expected a0, aL or an offset in '[', not " + Describe(token),
                     AssemblyRule::RelativeAddress);
            }
            if (IsSymbol("+")) {
                ++index_;
                continue;
            }
            if (IsSymbol("]")) break;
            Fail(Current(), "expected '+' or ']' in the relative index, not " + Describe(Current()),
                 AssemblyRule::RelativeAddress);
        }
        ++index_;
        if (!haveRegister) Fail(open, "a relative index needs a0 or aL", AssemblyRule::RelativeAddress);
        relative = true;
    }

    void ReadDestination(DestinationOperand& destination) {
        destination.position = Current().position;
        const AssemblyToken& token = Current();
        RegisterWord word = ReadRegisterWord();
        if (!word.suffixes.empty())
            Fail(token, "a destination takes no modifier; '_" + word.suffixes[0] + "' belongs on the instruction",
                 AssemblyRule::Modifier);
        destination.type = word.type;
        destination.index = word.index;
        if (IsSymbol("[")) ReadRelative(destination.relative, destination.address, destination.index);
        if (IsSymbol(".")) {
            ++index_;
            destination.writeMask = ReadWriteMask();
        }
    }

    std::uint8_t ReadWriteMask() {
        const AssemblyToken& token = Current();
        if (token.kind != AssemblyTokenKind::Word) Fail(token, "expected a write mask, not " + Describe(token));
        const std::string letters = Lowered(token.text);
        std::uint8_t mask = 0;
        int last = -1;
        bool colourSet = false;
        for (std::size_t i = 0; i < letters.size(); ++i) {
            bool colour = false;
            const int component = ComponentOf(letters[i], colour);
            if (component < 0 || letters.size() > 4)
                Fail(token, "'" + token.text + "' is not a write mask", AssemblyRule::WriteMask);
            if (i > 0 && colour != colourSet)
                Fail(token, "write mask '" + token.text + "' mixes xyzw and rgba", AssemblyRule::WriteMask);
            if (component <= last)
                Fail(token, "write mask '" + token.text + "' must name components once each, in order",
                     AssemblyRule::WriteMask);
            colourSet = colour;
            last = component;
            mask = static_cast<std::uint8_t>(mask | (1u << component));
        }
        ++index_;
        return mask;
    }

    // Reads `.xyzw`-like letters; what follows an underscore in the same word ("xyz_dz") goes to
    // `rest`.
    void ReadSwizzle(SourceOperand& operand, std::string& rest) {
        const AssemblyToken& token = Current();
        if (token.kind != AssemblyTokenKind::Word) Fail(token, "expected a swizzle, not " + Describe(token));
        std::string letters = Lowered(token.text);
        const std::size_t underscore = letters.find('_');
        if (underscore != std::string::npos) {
            rest = letters.substr(underscore + 1);
            letters.resize(underscore);
        }
        if (letters.empty() || letters.size() > 4)
            Fail(token, "'" + token.text + "' is not a swizzle", AssemblyRule::Swizzle);
        bool colourSet = false;
        for (std::size_t i = 0; i < 4; ++i) {
            const char letter = letters[i < letters.size() ? i : letters.size() - 1];
            bool colour = false;
            const int component = ComponentOf(letter, colour);
            if (component < 0) Fail(token, "'" + token.text + "' is not a swizzle", AssemblyRule::Swizzle);
            if (i > 0 && colour != colourSet)
                Fail(token, "swizzle '" + token.text + "' mixes xyzw and rgba", AssemblyRule::Swizzle);
            colourSet = colour;
            operand.swizzle[i] = static_cast<std::uint8_t>(component);
        }
        ++index_;
    }

    SourceOperand ReadSource() {
        SourceOperand operand;
        operand.position = Current().position;
        bool negate = false;
        bool complement = false;
        bool logicalNot = false;
        if (IsSymbol("-")) {
            negate = true;
            ++index_;
        } else if (IsSymbol("!")) {
            logicalNot = true;
            ++index_;
        } else if (Current().kind == AssemblyTokenKind::Number && Next().kind == AssemblyTokenKind::Symbol &&
                   Next().text == "-") {
            if (Current().text != "1")
                Fail(Current(), "a source may be inverted as '1-' only, not '" + Current().text + "-'",
                     AssemblyRule::Modifier);
            complement = true;
            index_ += 2;
        }
        const AssemblyToken& token = Current();
        RegisterWord word = ReadRegisterWord();
        operand.type = word.type;
        operand.index = word.index;
        if (IsSymbol("[")) ReadRelative(operand.relative, operand.address, operand.index);
        std::vector<std::string> suffixes = word.suffixes;
        if (IsSymbol(".")) {
            ++index_;
            std::string rest;
            ReadSwizzle(operand, rest);
            if (!rest.empty()) {
                const std::vector<std::string> more = SplitUnderscores(rest);
                suffixes.insert(suffixes.end(), more.begin(), more.end());
            }
        }
        if (suffixes.size() > 1) Fail(token, "a source takes one modifier at most", AssemblyRule::Modifier);
        const std::string suffix = suffixes.empty() ? std::string() : suffixes[0];
        if (complement && (!suffix.empty()))
            Fail(token, "'1-' cannot be combined with another modifier", AssemblyRule::Modifier);
        if (logicalNot && !suffix.empty())
            Fail(token, "'!' cannot be combined with another modifier", AssemblyRule::Modifier);
        operand.modifier = SourceModifierOf(suffix, negate, token);
        if (complement) operand.modifier = SourceModifier::Complement;
        if (logicalNot) operand.modifier = SourceModifier::Not;
        return operand;
    }

    SourceModifier SourceModifierOf(const std::string& suffix, bool negate, const AssemblyToken& at) const {
        if (suffix.empty()) return negate ? SourceModifier::Negate : SourceModifier::None;
        if (suffix == "bias") return negate ? SourceModifier::BiasNegate : SourceModifier::Bias;
        if (suffix == "bx2") return negate ? SourceModifier::SignNegate : SourceModifier::Sign;
        if (suffix == "x2") return negate ? SourceModifier::X2Negate : SourceModifier::X2;
        if (suffix == "abs") return negate ? SourceModifier::AbsNegate : SourceModifier::Abs;
        if (suffix == "dz" || suffix == "db" || suffix == "dw" || suffix == "da") {
            if (negate) Fail(at, "'-' cannot be combined with '_" + suffix + "'", AssemblyRule::Modifier);
            return suffix == "dz" || suffix == "db" ? SourceModifier::DivideByZ : SourceModifier::DivideByW;
        }
        Fail(at, "unknown source modifier '_" + suffix + "'", AssemblyRule::Modifier);
    }

    const std::vector<AssemblyToken>& tokens_;
    ParsedProgram& program_;
    AssemblyErrors& errors_;
    std::size_t index_ = 0;
};

}  // namespace

bool ParseAssemblyProgram(const std::vector<AssemblyToken>& tokens, ShaderStage stage, ParsedProgram& program,
                          AssemblyErrors& errors) {
    return AssemblyParser(tokens, program, errors).Run(stage);
}

}  // namespace nvesk::d3dx9

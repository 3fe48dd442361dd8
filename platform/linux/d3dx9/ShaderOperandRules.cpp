#include "ShaderOperandRules.h"

#include "ShaderRegisterTable.h"

#include <map>
#include <set>

namespace nvesk::d3dx9 {

namespace {

using T = RegisterType;
using M = SourceModifier;

bool IsIdentity(const std::array<std::uint8_t, 4>& swizzle) {
    return swizzle[0] == 0 && swizzle[1] == 1 && swizzle[2] == 2 && swizzle[3] == 3;
}
bool IsReplicate(const std::array<std::uint8_t, 4>& swizzle) {
    return swizzle[0] == swizzle[1] && swizzle[1] == swizzle[2] && swizzle[2] == swizzle[3];
}
bool IsSwizzle(const std::array<std::uint8_t, 4>& swizzle, const char* letters) {
    for (int i = 0; i < 4; ++i) {
        if ("xyzw"[swizzle[i]] != letters[i]) return false;
    }
    return true;
}

// A register file as the reference names it: "c#", "oT#", "aL".
std::string FileText(RegisterType type) {
    std::string text = RegisterText(type, 0);
    if (text.back() == '0') text.back() = '#';
    return text;
}

bool IsNegated(SourceModifier modifier) {
    return modifier == M::Negate || modifier == M::BiasNegate || modifier == M::SignNegate || modifier == M::X2Negate ||
           modifier == M::AbsNegate;
}

const char* ModifierText(SourceModifier modifier) {
    switch (modifier) {
    case M::None:
        return "none";
    case M::Negate:
        return "'-'";
    case M::Bias:
    case M::BiasNegate:
        return "'_bias'";
    case M::Sign:
    case M::SignNegate:
        return "'_bx2'";
    case M::Complement:
        return "'1-'";
    case M::X2:
    case M::X2Negate:
        return "'_x2'";
    case M::DivideByZ:
        return "'_dz'";
    case M::DivideByW:
        return "'_dw'";
    case M::Abs:
    case M::AbsNegate:
        return "'_abs'";
    case M::Not:
        return "'!'";
    }
    return "";
}

class InstructionChecker {
public:
    explicit InstructionChecker(const OperandContext& context)
        : context_(context),
          version_(context.version),
          info_(context.info),
          instruction_(context.instruction),
          bit_(VersionBit(context.version)),
          versionName_(VersionName(context.version)) {}

    void Run() {
        CheckModifiers();
        if (instruction_.hasDestination) CheckDestination(instruction_.destination);
        for (std::size_t i = 0; i < instruction_.sources.size() && i < 4; ++i)
            CheckSource(instruction_.sources[i], info_.sources[i], static_cast<int>(i));
        CheckReadPorts();
        if (instruction_.predicated) CheckPredicate();
        if (instruction_.coissue &&
            !((bit_ & kPixel1Versions) && info_.kind == InstructionKind::Arithmetic && instruction_.hasDestination)) {
            Report(instruction_.position, AssemblyRule::CoIssue,
                   "'+' (co-issue) pairs arithmetic instructions of ps_1_x only");
        }
        if (Pixel13()) CheckSelections();
        if (info_.matrixRows > 0) CheckMatrix();
        if (Name() == "sincos") CheckSincos();
        if (Name() == "crs") CheckCross();
    }

private:
    bool Pixel1() const { return (bit_ & kPixel1Versions) != 0; }
    bool Pixel13() const { return (bit_ & kPixel13Versions) != 0; }
    bool Pixel14() const { return bit_ == kPs14; }
    bool Model3() const { return version_.major == 3; }
    bool Arithmetic() const { return info_.kind == InstructionKind::Arithmetic; }
    bool TextureKind() const { return info_.kind == InstructionKind::Texture; }
    const std::string& Name() const { return instruction_.name; }

    void Report(SourcePosition at, AssemblyRule rule, const std::string& text) const {
        context_.errors.Add(at, rule, text);
    }

    // Sources an instruction reads one component of, with a replicate swizzle; sources that cannot be
    // the register it writes. Bit n: source n.
    struct SourceRule {
        const char* name;
        unsigned sources;
    };
    static constexpr SourceRule kReplicated[] = {
        {"ifc", 0x3}, {"breakc", 0x3}, {"pow", 0x3}, {"dp2add", 0x4}, {"sincos", 0x1}};
    static constexpr SourceRule kApartFromDestination[] = {{"crs", 0x3}, {"nrm", 0x1}};

    template <std::size_t N>
    unsigned SourcesOf(const SourceRule (&rules)[N]) const {
        for (const SourceRule& rule : rules) {
            if (Name() == rule.name) return rule.sources;
        }
        return 0;
    }

    bool ReadsDestination(const SourceOperand& source) const {
        return instruction_.hasDestination && source.type == instruction_.destination.type &&
               source.index == instruction_.destination.index;
    }

    // crs writes some of .xyz of an r#, from two sources read as they are.
    void CheckCross() const {
        const DestinationOperand& destination = instruction_.destination;
        if (destination.type != T::Temp || (destination.writeMask & 0x8) != 0)
            Report(destination.position, AssemblyRule::WriteMask, "'crs' writes some of .xyz of an r# register");
        for (const SourceOperand& source : instruction_.sources) {
            if (!IsIdentity(source.swizzle) && !ReadsDestination(source))
                Report(source.position, AssemblyRule::Swizzle, "the sources of 'crs' take no swizzle");
        }
    }

    // sincos writes .x (cosine), .y (sine) or both of an r#; before
    // 3.0 its two constants are two registers, and a predicate on it names one component.
    void CheckSincos() const {
        const DestinationOperand& destination = instruction_.destination;
        const std::uint8_t mask = destination.writeMask;
        if (destination.type != T::Temp || !(mask == 0x1 || mask == 0x2 || mask == 0x3))
            Report(destination.position, AssemblyRule::WriteMask, "'sincos' writes .x, .y or .xy of an r# register");
        const auto& sources = instruction_.sources;
        if (sources.size() == 3 && sources[1].type == sources[2].type && sources[1].index == sources[2].index)
            Report(sources[2].position, AssemblyRule::Operands, "'sincos' takes two different constant registers");
        if (instruction_.predicated && !Model3() && !IsReplicate(instruction_.predicate.swizzle))
            Report(instruction_.predicate.position, AssemblyRule::Swizzle,
                   "a predicate on 'sincos' names one component in " + versionName_);
    }

    // m3x2 ... m4x4: the destination takes one component a row of the matrix, and is neither the
    // vector nor a row; the matrix is read as it is.
    void CheckMatrix() const {
        const DestinationOperand& destination = instruction_.destination;
        const int rows = info_.matrixRows;
        const std::uint8_t mask = static_cast<std::uint8_t>((1u << rows) - 1);
        if (destination.writeMask != mask) {
            Report(destination.position, AssemblyRule::WriteMask,
                   "'" + Name() + "' writes ." + std::string("xyzw").substr(0, static_cast<std::size_t>(rows)));
        }
        if (instruction_.sources.size() < 2) return;
        const SourceOperand& vector = instruction_.sources[0];
        const SourceOperand& matrix = instruction_.sources[1];
        if (!IsIdentity(matrix.swizzle))
            Report(matrix.position, AssemblyRule::Swizzle, "the matrix of '" + Name() + "' takes no swizzle");
        const bool vectorSame = vector.type == destination.type && vector.index == destination.index;
        const bool rowSame = matrix.type == destination.type && destination.index >= matrix.index &&
                             destination.index < matrix.index + rows;
        if (!destination.relative && (vectorSame || rowSame)) {
            Report(destination.position, AssemblyRule::Operands, "'" + Name() + "' cannot write a register it reads");
        }
    }

    // ps_1_1 ... ps_1_3: cnd selects by r0.a; cmp (1_2, 1_3) writes none of the registers it reads.
    void CheckSelections() const {
        const auto& sources = instruction_.sources;
        if (Name() == "cnd" && !sources.empty()) {
            const SourceOperand& condition = sources[0];
            if (condition.type != T::Temp || condition.index != 0 || !IsSwizzle(condition.swizzle, "wwww") ||
                condition.modifier != M::None) {
                Report(condition.position, AssemblyRule::Operands, "'cnd' of " + versionName_ + " selects by r0.a");
            }
        }
        if (Name() == "cmp") {
            for (const SourceOperand& source : sources) {
                if (ReadsDestination(source)) {
                    Report(source.position, AssemblyRule::Operands,
                           "'cmp' of " + versionName_ + " cannot read the register it writes");
                    break;
                }
            }
        }
    }

    void CheckModifiers() {
        const DestinationOperand& destination = instruction_.destination;
        const SourcePosition at = instruction_.position;
        const bool pixel = version_.stage == ShaderStage::Pixel;
        if (destination.saturate) CheckSaturate(pixel);
        if (destination.partialPrecision &&
            !(pixel && version_.major >= 2 &&
              (((Arithmetic() || TextureKind()) && instruction_.hasDestination) || Name() == "dcl"))) {
            Report(at, AssemblyRule::Modifier, "'_pp' is not allowed on '" + Name() + "' in " + versionName_);
        }
        if (destination.centroid && !(pixel && version_.major >= 2 && (TextureKind() || Name() == "dcl")))
            Report(at, AssemblyRule::Modifier, "'_centroid' is not allowed on '" + Name() + "' in " + versionName_);
        if (destination.shift != 0) {
            const bool wide = destination.shift == 3 || destination.shift < -1;
            if (!(Pixel1() && Arithmetic() && instruction_.hasDestination) || (wide && !Pixel14())) {
                Report(at, AssemblyRule::Modifier,
                       std::string("the result shift '") + ShiftText(destination.shift) + "' is not allowed on '" +
                           Name() + "' in " + versionName_);
            }
        }
    }

    // _sat: arithmetic of every pixel version and of vs_3_0, but not frc or sincos; nor, before
    // ps_3_0, on a write to oC# or oDepth.
    void CheckSaturate(bool pixel) const {
        const DestinationOperand& destination = instruction_.destination;
        std::string rule;
        if (!(Arithmetic() && instruction_.hasDestination && (pixel || Model3())) || Name() == "frc" ||
            Name() == "sincos") {
            rule = "'_sat' is not allowed on '" + Name() + "' in " + versionName_;
        } else if (pixel && version_.major == 2 &&
                   (destination.type == T::ColorOut || destination.type == T::DepthOut)) {
            rule = "'_sat' is not allowed on a write to an output register in " + versionName_;
        }
        if (!rule.empty()) Report(instruction_.position, AssemblyRule::Modifier, rule);
    }

    static const char* ShiftText(int shift) {
        switch (shift) {
        case 1:
            return "_x2";
        case 2:
            return "_x4";
        case 3:
            return "_x8";
        case -1:
            return "_d2";
        case -2:
            return "_d4";
        default:
            return "_d8";
        }
    }

    // The file of a register named as an operand, with its index checked; null (and reported)
    // where the version has no such file.
    const RegisterFile* CheckFile(RegisterType type, int index, bool relative, SourcePosition at) const {
        const RegisterFile* file = FindRegisterFile(version_, type);
        if (!file) {
            Report(at, AssemblyRule::RegisterFile,
                   "register '" + RegisterText(type, index) + "' is not in " + versionName_);
            return nullptr;
        }
        if (index < 0 || index >= file->count) {
            const std::string name = RegisterText(type, index);
            Report(at, AssemblyRule::RegisterIndex,
                   (relative ? "relative offset of '" : "register '") + name + "' out of range: " + versionName_ +
                       " has " + std::to_string(file->count) +
                       (file->count == 1 ? " such register" : " such registers"));
        }
        return file;
    }

    void CheckRelative(const RegisterFile& file, const RelativeAddress& address, SourcePosition at) const {
        const bool byAddress = address.type == T::Address;
        if (!(byAddress ? file.relativeA0 : file.relativeLoop)) {
            Report(at, AssemblyRule::RelativeAddress,
                   FileText(file.type) + " cannot be indexed by " + (byAddress ? "a0" : "aL") + " in " + versionName_);
            return;
        }
        if (!FindRegisterFile(version_, address.type)) {
            Report(at, AssemblyRule::RelativeAddress,
                   std::string(byAddress ? "a0" : "aL") + " is not in " + versionName_);
        } else if (byAddress && address.index != 0) {
            Report(at, AssemblyRule::RegisterIndex, "the address register is a0");
        } else if (byAddress && bit_ == kVs11 && address.component != 0) {
            Report(at, AssemblyRule::RelativeAddress, "vs_1_1 indexes by a0.x only");
        }
    }

    void CheckWriteMask(const DestinationOperand& destination) const {
        const std::uint8_t mask = destination.writeMask;
        const SourcePosition at = destination.position;
        if (Pixel13()) {
            const bool allowed = TextureKind() ? mask == 0xF : (mask == 0xF || mask == 0x7 || mask == 0x8);
            if (!allowed) {
                Report(at, AssemblyRule::WriteMask,
                       TextureKind() ? "texture instructions of " + versionName_ + " write every component"
                                     : versionName_ + " writes .rgba, .rgb or .a only");
            }
        } else if (Pixel14() && TextureKind()) {
            const bool allowed = Name() == "texcrd" ? (mask == 0xF || mask == 0x7 || mask == 0x3) : mask == 0xF;
            if (!allowed) Report(at, AssemblyRule::WriteMask, "'" + Name() + "' of ps_1_4 cannot take this write mask");
        } else if (Name() == "bem" && mask != 0x3) {
            Report(at, AssemblyRule::WriteMask, "'bem' writes .rg");
        }
        if (Pixel13() && Name() == "dp3" && mask == 0x8)
            Report(at, AssemblyRule::WriteMask, "'dp3' of " + versionName_ + " writes the colour components");
        if (destination.type == T::Address && bit_ == kVs11 && mask != 0x1)
            Report(at, AssemblyRule::WriteMask, "vs_1_1 writes a0.x only");
    }

    void CheckDestination(const DestinationOperand& destination) {
        const SourcePosition at = destination.position;
        const RegisterFile* file = CheckFile(destination.type, destination.index, destination.relative, at);
        if (!file) return;
        if (destination.relative) {
            if (destination.type != T::Output) {
                Report(at, AssemblyRule::RelativeAddress, "only o# of vs_3_0 is written through a relative index");
            } else {
                CheckRelative(*file, destination.address, at);
            }
        }
        const T type = destination.type;
        switch (info_.destination) {
        case DestinationRole::Value:
            CheckValueDestination(*file, destination);
            break;
        case DestinationRole::Address:
            if (type != T::Address) Report(at, AssemblyRule::RegisterFile, "'mova' writes a0");
            break;
        case DestinationRole::Predicate:
            if (type != T::Predicate) Report(at, AssemblyRule::RegisterFile, "'setp' writes p0");
            break;
        case DestinationRole::Declared:
            CheckDeclaration(destination);
            break;
        case DestinationRole::FloatConstant:
        case DestinationRole::IntConstant:
        case DestinationRole::BoolConstant: {
            const T wanted = info_.destination == DestinationRole::FloatConstant ? T::Const
                             : info_.destination == DestinationRole::IntConstant ? T::ConstInt
                                                                                 : T::ConstBool;
            if (type != wanted || destination.relative || destination.writeMask != 0xF) {
                Report(at, AssemblyRule::ConstantDefinition,
                       "'" + Name() + "' defines a whole " + FileText(wanted) + " register");
            }
            break;
        }
        case DestinationRole::None:
            break;
        }
    }

    void CheckValueDestination(const RegisterFile& file, const DestinationOperand& destination) {
        const SourcePosition at = destination.position;
        const T type = destination.type;
        const std::string text = RegisterText(type, destination.index);
        if (Name() == "texkill") {
            const bool allowed = Pixel13() ? type == T::Texture
                                           : (type == T::Temp || type == T::Texture || (Model3() && type == T::Input));
            if (!allowed)
                Report(at, AssemblyRule::RegisterFile, "'texkill' cannot test '" + text + "' in " + versionName_);
            return;
        }
        if (type == T::Address && Name() == "mov" && bit_ == kVs11) {
            CheckWriteMask(destination);
            return;
        }
        if (!file.writable || type == T::Address || type == T::Predicate) {
            Report(at, AssemblyRule::RegisterFile,
                   "'" + text + "' cannot be written by '" + Name() + "' in " + versionName_);
            return;
        }
        if (Pixel13() && TextureKind() && type != T::Texture)
            Report(at, AssemblyRule::RegisterFile, "texture instructions of " + versionName_ + " write t# registers");
        if (Pixel14() && type != T::Temp)
            Report(at, AssemblyRule::RegisterFile, "ps_1_4 instructions write r# registers");
        if (Pixel14() && Name() == "texdepth" && !(type == T::Temp && destination.index == 5))
            Report(at, AssemblyRule::RegisterFile, "'texdepth' writes r5");
        if (version_.major >= 2 && TextureKind() && type != T::Temp)
            Report(at, AssemblyRule::RegisterFile, "'" + Name() + "' writes an r# register");
        if (Sampling2() && destination.writeMask != 0xF)
            Report(at, AssemblyRule::WriteMask, "'" + Name() + "' writes every component in " + versionName_);
        CheckWriteMask(destination);
    }

    void CheckDeclaration(const DestinationOperand& destination) {
        const SourcePosition at = destination.position;
        const Declaration& declaration = instruction_.declaration;
        const T type = destination.type;
        const bool vertex = version_.stage == ShaderStage::Vertex;
        const std::string text = RegisterText(type, destination.index);
        bool declarable = false;
        bool needsUsage = false;
        if (vertex) {
            declarable = type == T::Input || (Model3() && (type == T::Output || type == T::Sampler));
            needsUsage = type != T::Sampler;
        } else if (Model3()) {
            declarable = type == T::Input || type == T::Sampler || type == T::MiscType;
            needsUsage = type == T::Input;
        } else {
            declarable = type == T::Input || type == T::Texture || type == T::Sampler;
        }
        if (!declarable) {
            Report(at, AssemblyRule::Declaration, "'" + text + "' cannot be declared in " + versionName_);
            return;
        }
        if (type == T::Sampler) {
            if (declaration.samplerType == 0)
                Report(at, AssemblyRule::Declaration, "a sampler is declared with dcl_2d, dcl_cube or dcl_volume");
            if (destination.writeMask != 0xF) Report(at, AssemblyRule::WriteMask, "a sampler takes no write mask");
            return;
        }
        if (declaration.samplerType != 0)
            Report(at, AssemblyRule::Declaration, "only a sampler (s#) has a texture type; '" + text + "' is not one");
        if (needsUsage && declaration.usage < 0)
            Report(at, AssemblyRule::Declaration, "'" + text + "' is declared with its usage (dcl_texcoord0 ...)");
        if (!needsUsage && declaration.usage >= 0)
            Report(at, AssemblyRule::Declaration, "'" + text + "' is declared without a usage in " + versionName_);
        if (type == T::MiscType) {
            const std::uint8_t mask = destination.writeMask;
            if (destination.index == 0 ? !(mask == 0x1 || mask == 0x2 || mask == 0x3) : mask != 0xF) {
                Report(at, AssemblyRule::WriteMask,
                       destination.index == 0 ? "vPos is declared with .x, .y or .xy" : "vFace takes no write mask");
            }
        }
    }

    void CheckSource(const SourceOperand& source, SourceRole role, int position) {
        const SourcePosition at = source.position;
        const RegisterFile* file = CheckFile(source.type, source.index, source.relative, at);
        if (!file) return;
        if (source.relative) CheckRelative(*file, source.address, at);
        const std::string text = RegisterText(source.type, source.index);
        const T type = source.type;
        auto plain = [&](T wanted, const char* what) {
            if (type != wanted) {
                Report(at, AssemblyRule::Operands, "'" + Name() + "' takes " + what + " here, not '" + text + "'");
            } else if (source.modifier != M::None || !IsIdentity(source.swizzle) || source.relative) {
                Report(at, AssemblyRule::Modifier, std::string(what) + " takes no modifier, swizzle or index");
            }
        };
        switch (role) {
        case SourceRole::Sampler:
            if (Model3() && type == T::Sampler && source.modifier == M::None && !source.relative)
                return;  // swizzle allowed
            plain(T::Sampler, "a sampler (s#)");
            return;
        case SourceRole::Label:
            plain(T::Label, "a label (l#)");
            return;
        case SourceRole::IntConstant:
            plain(T::ConstInt, "an integer constant (i#)");
            return;
        case SourceRole::LoopCounter:
            plain(T::Loop, "the loop counter (aL)");
            return;
        case SourceRole::Condition:
        case SourceRole::Predicate:
            CheckCondition(source, role);
            return;
        case SourceRole::Value:
            break;
        }
        CheckValueSource(source, position);
    }

    void CheckCondition(const SourceOperand& source, SourceRole role) {
        const SourcePosition at = source.position;
        const bool boolean = source.type == T::ConstBool && role == SourceRole::Condition;
        if (!boolean && source.type != T::Predicate) {
            Report(at, AssemblyRule::Operands,
                   "'" + Name() + "' takes " + (role == SourceRole::Condition ? "b# or p0" : "p0") + ", not '" +
                       RegisterText(source.type, source.index) + "'");
            return;
        }
        if (source.modifier != M::None && source.modifier != M::Not)
            Report(at, AssemblyRule::Modifier, "a condition takes '!' only");
        if (boolean ? !IsIdentity(source.swizzle) : !IsReplicate(source.swizzle)) {
            Report(at, AssemblyRule::Swizzle,
                   boolean ? "a boolean constant takes no swizzle" : "p0 as a condition names one component (p0.x)");
        }
    }

    bool ModifierAllowed(const SourceOperand& source) const {
        const M modifier = source.modifier;
        if (modifier == M::None) return true;
        if (modifier == M::Not) return false;
        if (Pixel14() && source.type == T::Const) return false;
        if (modifier == M::DivideByZ || modifier == M::DivideByW)
            return Pixel14() && (Name() == "texld" || (Name() == "texcrd" && modifier == M::DivideByW));
        if (Pixel1() && TextureKind()) {
            // The one source modifier of texture addressing: _bx2 on texm* (1_1), on any (1_2, 1_3).
            const bool sign = modifier == M::Sign;
            return sign && (bit_ == kPs11 ? Name().rfind("texm", 0) == 0 : Pixel13());
        }
        if (modifier == M::Negate) return true;
        if (modifier == M::Abs || modifier == M::AbsNegate) return Model3();
        if (modifier == M::X2 || modifier == M::X2Negate) return Pixel14();
        return Pixel1();  // _bias, _bx2, 1-
    }

    // texld, texldb, texldp and texldd of ps_2_0 and ps_2_x: coordinates from t# or r# as they are, a
    // whole r# written.
    bool Sampling2() const { return TextureKind() && version_.stage == ShaderStage::Pixel && version_.major == 2; }

    // Before 3.0, sincos reads the constants D3DSINCOSCONST1 and 2 besides its angle.
    bool SincosConstant(int position) const { return Name() == "sincos" && position > 0; }

    void CheckValueSource(const SourceOperand& source, int position) {
        const SourcePosition at = source.position;
        const T type = source.type;
        const std::string text = RegisterText(type, source.index);
        const bool comparison = Name() == "ifc" || Name() == "breakc" || Name() == "setp";
        bool allowed = type == T::Temp || type == T::Input || type == T::Const || type == T::Texture ||
                       (type == T::MiscType && (source.index == 0 || comparison));
        if (Pixel13() && TextureKind()) {
            allowed = type == T::Texture || (Name() == "texm3x3spec" && position == 1 && type == T::Const);
        } else if (Pixel14() && TextureKind()) {
            allowed = type == T::Texture || (Name() == "texld" && type == T::Temp);
        } else if (Pixel14() && type == T::Texture) {
            allowed = false;  // ps_1_4's t# holds coordinates for texld and texcrd only
        }
        if (SincosConstant(position) && type != T::Const) {
            Report(at, AssemblyRule::Operands, "'sincos' takes its two constants from c# registers");
            return;
        }
        if (Sampling2() && position == 0) allowed = type == T::Texture || type == T::Temp;
        if (!allowed) {
            Report(at, AssemblyRule::RegisterFile, "'" + Name() + "' cannot read '" + text + "' in " + versionName_);
            return;
        }
        if (Sampling2() && position == 0 && (source.modifier != M::None || !IsIdentity(source.swizzle))) {
            Report(at, AssemblyRule::Modifier,
                   "the coordinates of '" + Name() + "' take no modifier or swizzle in " + versionName_);
            return;
        }
        if (!ModifierAllowed(source)) {
            Report(at, AssemblyRule::Modifier,
                   std::string("source modifier ") + ModifierText(source.modifier) + " is not allowed on '" + text +
                       "' of '" + Name() + "' in " + versionName_);
        } else if (source.modifier == M::DivideByZ && type != T::Temp) {
            Report(at, AssemblyRule::Modifier, "'_dz' divides an r# source of texld (phase 2) only");
        } else if (IsNegated(source.modifier) && info_.matrixRows > 0 && position == 1) {
            Report(at, AssemblyRule::Modifier, "the matrix of '" + Name() + "' cannot be negated");
        }
        const bool scalar = type == T::MiscType && source.index == 1;  // vFace has one component
        if ((SourcesOf(kReplicated) & (1u << position)) && !scalar && !IsReplicate(source.swizzle)) {
            Report(at, AssemblyRule::Swizzle, "'" + Name() + "' reads one component of this source (r0.x)");
            return;
        }
        if ((SourcesOf(kApartFromDestination) & (1u << position)) && ReadsDestination(source)) {
            Report(at, AssemblyRule::Operands, "'" + Name() + "' cannot read the register it writes");
            return;
        }
        CheckSwizzle(source);
    }

    void CheckSwizzle(const SourceOperand& source) const {
        const auto& swizzle = source.swizzle;
        if (IsIdentity(swizzle) || version_.stage == ShaderStage::Vertex || bit_ == kPs2x || bit_ == kPs30) return;
        bool allowed = false;
        std::string rule;
        if (Pixel13()) {
            const bool blue = IsSwizzle(swizzle, "zzzz") && instruction_.destination.writeMask == 0x8;
            allowed = !TextureKind() && (IsSwizzle(swizzle, "wwww") || blue);
            rule = TextureKind() ? "texture instructions of " + versionName_ + " take no swizzle"
                                 : versionName_ + " swizzles .a (and .b when writing .a) only";
        } else if (Pixel14()) {
            if (TextureKind()) {
                allowed = IsSwizzle(swizzle, "xyzz") || IsSwizzle(swizzle, "xyww");
                rule = "'" + Name() + "' of ps_1_4 reads .xyz or .xyw";
            } else {
                allowed = IsReplicate(swizzle);
                rule = "ps_1_4 swizzles replicate one component only (.r, .g, .b, .a)";
            }
        } else {
            allowed = IsReplicate(swizzle) || IsSwizzle(swizzle, "yzxw") || IsSwizzle(swizzle, "zxyw") ||
                      IsSwizzle(swizzle, "wzyx");
            rule = "ps_2_0 swizzles are .xyzw, .yzxw, .zxyw, .wzyx or one replicated component";
        }
        if (!allowed) context_.errors.Add(source.position, AssemblyRule::Swizzle, rule);
    }

    void CheckReadPorts() const {
        std::map<T, std::set<std::pair<int, bool>>> read;
        bool constants = false;
        bool absoluteConstants = false;
        bool plainConstants = false;
        for (std::size_t i = 0; i < instruction_.sources.size() && i < 4; ++i) {
            if (info_.sources[i] != SourceRole::Value || SincosConstant(static_cast<int>(i))) continue;
            const SourceOperand& source = instruction_.sources[i];
            const RegisterFile* file = FindRegisterFile(version_, source.type);
            if (!file) continue;
            auto& registers = read[source.type];
            registers.insert({source.index, source.relative});
            if (static_cast<int>(registers.size()) > file->readPorts) {
                Report(source.position, AssemblyRule::ReadPorts,
                       "'" + Name() + "' reads more than " + std::to_string(file->readPorts) + " different " +
                           FileText(source.type) + " register" + (file->readPorts == 1 ? "" : "s") + " (" +
                           versionName_ + ")");
                registers.erase({source.index, source.relative});
            }
            if (source.type == T::Const) {
                constants = true;
                const bool absolute = source.modifier == M::Abs || source.modifier == M::AbsNegate;
                (absolute ? absoluteConstants : plainConstants) = true;
            }
        }
        if (Model3() && constants && absoluteConstants && plainConstants) {
            Report(instruction_.position, AssemblyRule::Modifier,
                   "in " + versionName_ + " every constant an instruction reads takes '_abs', or none does");
        }
    }

    void CheckPredicate() const {
        const SourceOperand& predicate = instruction_.predicate;
        if (!FindRegisterFile(version_, T::Predicate)) {
            Report(predicate.position, AssemblyRule::Predication, versionName_ + " has no predication");
            return;
        }
        if (predicate.index != 0)
            Report(predicate.position, AssemblyRule::RegisterIndex, "the predicate register is p0");
        if (!(Arithmetic() || TextureKind()) || !instruction_.hasDestination) {
            Report(predicate.position, AssemblyRule::Predication, "'" + Name() + "' cannot be predicated");
        }
        if (!IsIdentity(predicate.swizzle) && !IsReplicate(predicate.swizzle))
            Report(predicate.position, AssemblyRule::Swizzle, "a predicate is p0 or p0 with one component");
    }

    const OperandContext& context_;
    const ShaderVersion& version_;
    const InstructionInfo& info_;
    const AssemblyInstruction& instruction_;
    unsigned bit_;
    std::string versionName_;
};

}  // namespace

void CheckInstruction(const OperandContext& context) {
    InstructionChecker(context).Run();
}

}  // namespace nvesk::d3dx9

#include "ShaderRegisters.h"

#include "GlslLiterals.h"
#include "VaryingRegisters.h"

#include <d3d9types.h>

#include <algorithm>

namespace nvesk::d3dx9 {

namespace {

constexpr const char* kComponents = "xyzw";

// The constant registers a version has: relative reads past them give 0.
int FloatConstantRegisters(const ShaderVersion& version) {
    if (version.stage == ShaderStage::Vertex) return version.major == 1 ? 96 : 256;
    if (version.major == 1) return 8;
    return version.major == 2 ? 32 : 224;
}

// ps_1_1 to ps_1_3 keep registers in [-1, 1], the range every ps_1_x device has
// (PixelShader1xMaxValue is at least 1); ps_1_4 in [-8, 8], the range its _x8 and _d8 shifts
// are made for. Constants are always in [-1, 1].
float PixelShader1xRange(const ShaderVersion& version) {
    return version.minor < 4 ? 1.0f : 8.0f;
}

std::string Components(std::uint8_t mask) {
    std::string text;
    for (int c = 0; c < 4; ++c)
        if ((mask & (1u << c)) != 0) text += kComponents[c];
    return text;
}

int FirstComponent(std::uint8_t mask) {
    for (int c = 0; c < 4; ++c)
        if ((mask & (1u << c)) != 0) return c;
    return 0;
}

// A vec4 varying with `count` of the register's components first, the rest as a narrower
// HLSL value fills its register (0, and 1 in w).
std::string PaddedRegister(const std::string& value, int count) {
    static const char* const kPadding[] = {"", ", 0.0, 0.0, 1.0", ", 0.0, 1.0", ", 1.0", ""};
    if (count >= 4) return value;
    return "vec4(" + value + kPadding[count] + ")";
}

std::string VaryingName(int usage, int usageIndex) {
    return "fx_reg_" + UsageName(usage) + std::to_string(usageIndex);
}

// vs_1_1-style inputs without a declaration read the register Direct3D 8 gave each usage.
UsageRegister FixedVertexInput(int index) {
    UsageRegister input;
    input.index = index;
    static const int kUsages[] = {D3DDECLUSAGE_POSITION, D3DDECLUSAGE_BLENDWEIGHT, D3DDECLUSAGE_BLENDINDICES,
                                  D3DDECLUSAGE_NORMAL,   D3DDECLUSAGE_PSIZE,       D3DDECLUSAGE_COLOR,
                                  D3DDECLUSAGE_COLOR};
    if (index < 7) {
        input.usage = kUsages[index];
        input.usageIndex = index == 6 ? 1 : 0;
    } else if (index < 15) {
        input.usage = D3DDECLUSAGE_TEXCOORD;
        input.usageIndex = index - 7;
    } else {
        input.usage = D3DDECLUSAGE_POSITION;
        input.usageIndex = 1;
    }
    return input;
}

bool IsTextureAddressing(const std::string& name) {
    return name.rfind("tex", 0) == 0 && name != "texld" && name != "texldp" && name != "texldb" && name != "texldd" &&
           name != "texldl" && name != "texcrd" && name != "texkill" && name != "texdepth";
}

// Texture addressing of ps_1_1 to ps_1_3 whose lookup takes three coordinates.
bool LooksUpInThreeDimensions(const std::string& name) {
    return name == "texm3x3tex" || name == "texm3x3spec" || name == "texm3x3vspec" || name == "texreg2rgb";
}

}  // namespace

SamplerKind SamplerKindOf(int samplerType) {
    const int type = samplerType >= (1 << 27) ? samplerType >> 27 : samplerType;
    return type == 3 ? SamplerKind::Cube : type == 4 ? SamplerKind::Volume : SamplerKind::Texture2D;
}

std::string UsageName(int usage) {
    static const char* const kNames[] = {"POSITION", "BLENDWEIGHT", "BLENDINDICES", "NORMAL",     "PSIZE",
                                         "TEXCOORD", "TANGENT",     "BINORMAL",     "TESSFACTOR", "POSITIONT",
                                         "COLOR",    "FOG",         "DEPTH",        "SAMPLE"};
    return usage >= 0 && usage <= D3DDECLUSAGE_SAMPLE ? kNames[usage] : std::string();
}

ShaderRegisters::ShaderRegisters(const AssembledShader& shader, const PixelShader1xTextures& textures)
    : version_(shader.version) {
    Scan(shader, textures);
}

void ShaderRegisters::Fail(SourcePosition position, const std::string& message) {
    if (!error_.empty()) return;
    error_ = message;
    errorPosition_ = position;
}

void ShaderRegisters::Scan(const AssembledShader& shader, const PixelShader1xTextures& textures) {
    // Definitions first: a register a `def` fixes is read as its literal wherever it is read.
    for (const AssemblyInstruction& instruction : shader.instructions) {
        const int index = instruction.destination.index;
        if (instruction.name == "def") floatDefinitions_[index] = instruction.floatValues;
        if (instruction.name == "defi") intDefinitions_[index] = instruction.intValues;
        if (instruction.name == "defb") boolDefinitions_[index] = instruction.intValues[0] != 0;
    }
    if (PixelShader1x()) temps_ = 1;  // r0 is the colour
    for (const AssemblyInstruction& instruction : shader.instructions) {
        if (instruction.name == "def" || instruction.name == "defi" || instruction.name == "defb") continue;
        if (instruction.name == "dcl") {
            NoteDeclaration(instruction);
            continue;
        }
        for (const SourceOperand& source : instruction.sources)
            NoteSource(source);
        if (instruction.predicated) NoteSource(instruction.predicate);
        if (instruction.hasDestination) NoteDestination(instruction.destination);
        NoteTextures(instruction, textures);
    }
    // Vertex inputs read without a declaration (vs_1_1 style), in their fixed registers.
    if (Vertex()) {
        for (int index = 0; index < inputs_; ++index) {
            const bool declared = std::any_of(vertexInputs_.begin(), vertexInputs_.end(),
                                              [&](const UsageRegister& input) { return input.index == index; });
            if (!declared && (relativeInputs_ || readInputs_.count(index) != 0))
                vertexInputs_.push_back(FixedVertexInput(index));
        }
    }
    if (Vertex() && version_.major < 3) {
        for (const int index : attributeOutputs_)
            varyings_.push_back({D3DDECLUSAGE_COLOR, index, index, 0xF});
        for (const int index : texCoordOutputs_)
            varyings_.push_back({D3DDECLUSAGE_TEXCOORD, index, index, 0xF});
        if (rastOutputs_.count(1) != 0) varyings_.push_back({D3DDECLUSAGE_FOG, 0, 1, 0x1});
    } else if (!Vertex() && version_.major < 3) {
        for (const int index : colorInputs_)
            varyings_.push_back({D3DDECLUSAGE_COLOR, index, index, 0xF});
        for (const int index : textureCoordinates_)
            varyings_.push_back({D3DDECLUSAGE_TEXCOORD, index, index, 0xF});
    }
    for (const UsageRegister& varying : varyings_) {
        if (RegisterLocation(varying.usage, varying.usageIndex) < 0)
            Fail(SourcePosition(), UsageName(varying.usage) + std::to_string(varying.usageIndex) +
                                       " has no Direct3D 9 register between the stages");
    }
}

void ShaderRegisters::NoteSource(const SourceOperand& source) {
    const int count = source.index + 1;
    if (source.relative && source.address.type == RegisterType::Address && !Vertex())
        Fail(source.position, "a pixel shader has no address register");
    switch (source.type) {
    case RegisterType::Temp:
        temps_ = std::max(temps_, count);
        break;
    case RegisterType::Input:
        inputs_ = std::max(inputs_, count);
        if (source.relative) relativeInputs_ = true;
        readInputs_.insert(source.index);
        if (!Vertex() && version_.major < 3) colorInputs_.insert(source.index);
        break;
    case RegisterType::Const:
        if (source.relative) {
            relativeConstants_ = true;
        } else if (floatDefinitions_.count(source.index) == 0) {
            constants_ = std::max(constants_, count);
        }
        break;
    case RegisterType::Texture:
        textures_ = std::max(textures_, count);
        if (!TextureRegistersHoldResults()) textureCoordinates_.insert(source.index);
        break;
    case RegisterType::ConstInt:
        if (intDefinitions_.count(source.index) == 0) intConstants_ = std::max(intConstants_, count);
        break;
    case RegisterType::ConstBool:
        if (boolDefinitions_.count(source.index) == 0) boolConstants_ = std::max(boolConstants_, count);
        break;
    case RegisterType::MiscType:
        if (source.index == 0) usesPosition_ = true;
        if (source.index == 1) usesFace_ = true;
        break;
    case RegisterType::Loop:
    case RegisterType::Predicate:
    case RegisterType::Sampler:
    case RegisterType::Label:
        break;
    default:
        Fail(source.position, "this register cannot be read");
        break;
    }
}

void ShaderRegisters::NoteDestination(const DestinationOperand& destination) {
    const int count = destination.index + 1;
    switch (destination.type) {
    case RegisterType::Temp:
        temps_ = std::max(temps_, count);
        break;
    case RegisterType::Texture:
        if (!TextureRegistersHoldResults()) Fail(destination.position, "texture coordinates cannot be written");
        textures_ = std::max(textures_, count);
        break;
    case RegisterType::RastOut:
        rastOutputs_.insert(destination.index);
        break;
    case RegisterType::AttrOut:
        attributeOutputs_.insert(destination.index);
        break;
    case RegisterType::TexCoordOut:
        texCoordOutputs_.insert(destination.index);
        break;
    case RegisterType::Output:
        if (destination.relative) relativeOutputs_ = true;
        break;
    case RegisterType::ColorOut:
        colorOutputs_.insert(destination.index);
        break;
    case RegisterType::DepthOut:
        writesDepth_ = true;
        break;
    case RegisterType::Address:
    case RegisterType::Predicate:
        break;
    default:
        Fail(destination.position, "this register cannot be written");
        break;
    }
}

void ShaderRegisters::NoteDeclaration(const AssemblyInstruction& instruction) {
    const DestinationOperand& reg = instruction.destination;
    const Declaration& declaration = instruction.declaration;
    const UsageRegister declared {declaration.usage, declaration.usageIndex, reg.index, reg.writeMask};
    switch (reg.type) {
    case RegisterType::Sampler:
        samplerTypes_[reg.index] = SamplerKindOf(declaration.samplerType);
        break;
    case RegisterType::Input:
        inputs_ = std::max(inputs_, reg.index + 1);
        if (Vertex()) {
            if (declaration.usage < 0) {
                vertexInputs_.push_back(FixedVertexInput(reg.index));
            } else {
                vertexInputs_.push_back(declared);
            }
        } else if (version_.major >= 3) {
            if (declaration.usage < 0) Fail(reg.position, "a ps_3_0 input needs a usage");
            varyings_.push_back(declared);
        } else {
            colorInputs_.insert(reg.index);
        }
        break;
    case RegisterType::Texture:
        textures_ = std::max(textures_, reg.index + 1);
        textureCoordinates_.insert(reg.index);
        break;
    case RegisterType::Output:
        if (declaration.usage == D3DDECLUSAGE_POSITION && declaration.usageIndex == 0) {
            positionOutput_ = reg.index;
        } else if (declaration.usage == D3DDECLUSAGE_PSIZE) {
            pointSizeOutput_ = declared;
        } else {
            varyings_.push_back(declared);
        }
        break;
    case RegisterType::MiscType:
        if (reg.index == 0) usesPosition_ = true;
        if (reg.index == 1) usesFace_ = true;
        break;
    default:
        Fail(instruction.position, "this register takes no declaration");
        break;
    }
}

void ShaderRegisters::NoteTextures(const AssemblyInstruction& instruction, const PixelShader1xTextures& textures) {
    const std::string& name = instruction.name;
    if (name == "texbem" || name == "texbeml" || name == "bem") usesBumpEnvironment_ = true;
    if (name == "tex" && TextureRegistersHoldResults()) usesProjection_ = true;
    if (name == "texdepth") writesDepth_ = true;
    if (!PixelShader1x()) {
        // texld/texldp/texldb/texldd/texldl name their sampler, declared by dcl.
        for (const SourceOperand& source : instruction.sources) {
            if (source.type == RegisterType::Sampler && samplerTypes_.count(source.index) == 0)
                samplerTypes_[source.index] = SamplerKind::Texture2D;
        }
        return;
    }
    const int stage = instruction.destination.index;
    auto sampled = [&](bool threeCoordinates) {
        const int given = stage < 8 ? textures.types[static_cast<std::size_t>(stage)] : 0;
        samplerTypes_[stage] = given != 0         ? SamplerKindOf(given)
                               : threeCoordinates ? SamplerKind::Cube
                                                  : SamplerKind::Texture2D;
    };
    if (name == "texld") {  // ps_1_4: the destination register names the stage
        sampled(false);
        return;
    }
    if (!TextureRegistersHoldResults()) return;
    if (name == "texkill") {
        textureCoordinates_.insert(stage);
        return;
    }
    if (!IsTextureAddressing(name)) return;
    // Every ps_1_1-1_3 texture instruction but texreg2* reads its own stage's coordinates.
    if (name != "texreg2ar" && name != "texreg2gb" && name != "texreg2rgb") textureCoordinates_.insert(stage);
    if (name == "texm3x3vspec") {
        textureCoordinates_.insert(stage - 1);
        textureCoordinates_.insert(stage - 2);
    }
    const bool samples = name == "tex" || name == "texbem" || name == "texbeml" || name == "texreg2ar" ||
                         name == "texreg2gb" || name == "texreg2rgb" || name == "texdp3tex" || name == "texm3x2tex" ||
                         name == "texm3x3tex" || name == "texm3x3spec" || name == "texm3x3vspec";
    if (samples) sampled(LooksUpInThreeDimensions(name));
    if (name == "texm3x2depth") writesDepth_ = true;
}

std::string ShaderRegisters::RelativeIndex(const SourceOperand& source) const {
    const std::string base = source.address.type == RegisterType::Loop
                                 ? std::string("aL")
                                 : std::string("a0.") + kComponents[source.address.component & 3];
    return "(" + base + " + " + std::to_string(source.index) + ")";
}

std::string ShaderRegisters::ConstantRead(int index) const {
    const auto defined = floatDefinitions_.find(index);
    if (defined != floatDefinitions_.end()) {
        std::array<float, 4> values = defined->second;
        if (PixelShader1x()) {
            for (float& value : values)
                value = std::clamp(value, -1.0f, 1.0f);
        }
        return Vec4Literal(values);
    }
    const std::string element = ConstantsName('c') + "[" + std::to_string(index) + "]";
    return PixelShader1x() ? "clamp(" + element + ", -1.0, 1.0)" : element;
}

std::string ShaderRegisters::RegisterValue(const SourceOperand& source) const {
    const std::string index = std::to_string(source.index);
    switch (source.type) {
    case RegisterType::Temp:
        return "r[" + index + "]";
    case RegisterType::Input:
        return source.relative ? "fx_input(" + RelativeIndex(source) + ")" : "v[" + index + "]";
    case RegisterType::Const:
        return source.relative ? "fx_constant(" + RelativeIndex(source) + ")" : ConstantRead(source.index);
    case RegisterType::Texture:
        return TextureRegistersHoldResults() ? "t[" + index + "]" : TextureCoordinates(source.index);
    case RegisterType::ConstInt:
        return "vec4(" + ReadInt(source) + ")";
    case RegisterType::Loop:
        return "vec4(float(aL))";
    case RegisterType::MiscType:
        return source.index == 0 ? "fx_vpos" : "vec4(fx_vface)";
    default:
        return "vec4(0.0)";  // refused by the scan
    }
}

std::string ShaderRegisters::TextureCoordinates(int stage) const {
    return "tc[" + std::to_string(stage) + "]";
}

std::string ShaderRegisters::Read(const SourceOperand& source) const {
    std::string value = RegisterValue(source);
    const bool identity =
        source.swizzle[0] == 0 && source.swizzle[1] == 1 && source.swizzle[2] == 2 && source.swizzle[3] == 3;
    if (!identity) {
        std::string swizzle;
        for (const std::uint8_t component : source.swizzle)
            swizzle += kComponents[component & 3];
        value = "(" + value + ")." + swizzle;
    }
    switch (source.modifier) {
    case SourceModifier::None:
    case SourceModifier::Not:
        return value;
    case SourceModifier::Negate:
        return "(-" + value + ")";
    case SourceModifier::Bias:
        return "(" + value + " - vec4(0.5))";
    case SourceModifier::BiasNegate:
        return "(vec4(0.5) - " + value + ")";
    case SourceModifier::Sign:
        return "(2.0 * " + value + " - vec4(1.0))";
    case SourceModifier::SignNegate:
        return "(vec4(1.0) - 2.0 * " + value + ")";
    case SourceModifier::Complement:
        return "(vec4(1.0) - " + value + ")";
    case SourceModifier::X2:
        return "(2.0 * " + value + ")";
    case SourceModifier::X2Negate:
        return "(-2.0 * " + value + ")";
    case SourceModifier::DivideByZ:
        return "fx_divide_by_z(" + value + ")";
    case SourceModifier::DivideByW:
        return "fx_divide_by_w(" + value + ")";
    case SourceModifier::Abs:
        return "abs(" + value + ")";
    case SourceModifier::AbsNegate:
        return "(-abs(" + value + "))";
    }
    return value;
}

std::string ShaderRegisters::ReadBool(const SourceOperand& source) const {
    std::string value;
    if (source.type == RegisterType::Predicate) {
        value = std::string("p0.") + kComponents[source.swizzle[0] & 3];
    } else {
        const auto defined = boolDefinitions_.find(source.index);
        value = defined != boolDefinitions_.end()
                    ? (defined->second ? "true" : "false")
                    : "(" + ConstantsName('b') + "[" + std::to_string(source.index) + "].x != 0)";
    }
    return source.modifier == SourceModifier::Not ? "!" + value : value;
}

std::string ShaderRegisters::ReadInt(const SourceOperand& source) const {
    const auto defined = intDefinitions_.find(source.index);
    if (defined == intDefinitions_.end()) return ConstantsName('i') + "[" + std::to_string(source.index) + "]";
    const std::array<int, 4>& v = defined->second;
    return "ivec4(" + std::to_string(v[0]) + ", " + std::to_string(v[1]) + ", " + std::to_string(v[2]) + ", " +
           std::to_string(v[3]) + ")";
}

std::string ShaderRegisters::DestinationName(const DestinationOperand& destination) const {
    const std::string index = std::to_string(destination.index);
    switch (destination.type) {
    case RegisterType::Temp:
        return "r[" + index + "]";
    case RegisterType::Texture:
        return "t[" + index + "]";
    case RegisterType::RastOut:
        return destination.index == 0 ? "oPos" : destination.index == 1 ? "oFog" : "oPts";
    case RegisterType::AttrOut:
        return "oD[" + index + "]";
    case RegisterType::TexCoordOut:
        return "oT[" + index + "]";
    case RegisterType::Output: {
        if (!destination.relative) return "o[" + index + "]";
        SourceOperand asSource;
        asSource.index = destination.index;
        asSource.address = destination.address;
        // Direct3D leaves writes past o11 undefined; they land in the last register.
        return "o[clamp(" + RelativeIndex(asSource) + ", 0, 11)]";
    }
    case RegisterType::ColorOut:
        return "oC[" + index + "]";
    case RegisterType::DepthOut:
        return "oDepth";
    case RegisterType::Address:
        return "a0";
    case RegisterType::Predicate:
        return "p0";
    default:
        return "fx_discarded";
    }
}

std::string ShaderRegisters::Write(const AssemblyInstruction& instruction, const std::string& value,
                                   bool rangeClamp) const {
    const DestinationOperand& destination = instruction.destination;
    std::string code;
    if (destination.shift != 0) {
        const float factor = destination.shift > 0 ? static_cast<float>(1 << destination.shift)
                                                   : 1.0f / static_cast<float>(1 << -destination.shift);
        code += value + " *= " + FloatLiteral(factor) + ";\n";
    }
    if (destination.saturate) code += value + " = clamp(" + value + ", 0.0, 1.0);\n";
    const bool registerFile = destination.type == RegisterType::Temp || destination.type == RegisterType::Texture;
    if (PixelShader1x() && rangeClamp && registerFile) {
        const std::string range = FloatLiteral(PixelShader1xRange(version_));
        code += value + " = clamp(" + value + ", -" + range + ", " + range + ");\n";
    }
    const std::string name = DestinationName(destination);
    auto store = [&](int component) -> std::string {
        const std::string target = name + "." + kComponents[component];
        const std::string source = value + "." + kComponents[component];
        if (destination.type == RegisterType::Address) return target + " = int(floor(" + source + " + 0.5));";
        if (destination.type == RegisterType::Predicate) return target + " = " + source + " != 0.0;";
        return target + " = " + source + ";";
    };
    const std::uint8_t mask = destination.writeMask;
    const bool plain = destination.type != RegisterType::Address && destination.type != RegisterType::Predicate;
    if (!instruction.predicated && plain) {
        if (mask == 0xF) return code + name + " = " + value + ";\n";
        const std::string components = Components(mask);
        return code + name + "." + components + " = " + value + "." + components + ";\n";
    }
    for (int c = 0; c < 4; ++c) {
        if ((mask & (1u << c)) == 0) continue;
        if (instruction.predicated) {
            // Each component written takes the predicate's component its swizzle names there.
            const SourceOperand& predicate = instruction.predicate;
            const std::string test = std::string(predicate.modifier == SourceModifier::Not ? "!" : "") + "p0." +
                                     kComponents[predicate.swizzle[static_cast<std::size_t>(c)] & 3];
            code += "if (" + test + ") " + store(c) + "\n";
        } else {
            code += store(c) + "\n";
        }
    }
    return code;
}

std::string ShaderRegisters::ConstantsName(char file) const {
    const std::string prefix = StagePrefix();
    if (file == 'c') return prefix + "constants";
    if (file == 'i') return prefix + "int_constants";
    return prefix + "bool_constants";
}

int ShaderRegisters::ConstantCount(char file) const {
    if (file == 'c') return relativeConstants_ ? FloatConstantRegisters(version_) : constants_;
    return file == 'i' ? intConstants_ : boolConstants_;
}

std::string ShaderRegisters::SamplerName(int stage) const {
    return std::string(StagePrefix()) + "sampler" + std::to_string(stage);
}

std::string ShaderRegisters::Declarations() const {
    std::string text;
    if (const int count = ConstantCount('c'); count > 0)
        text += "uniform vec4 " + ConstantsName('c') + "[" + std::to_string(count) + "];\n";
    if (intConstants_ > 0) text += "uniform ivec4 " + ConstantsName('i') + "[" + std::to_string(intConstants_) + "];\n";
    if (boolConstants_ > 0)
        text += "uniform ivec4 " + ConstantsName('b') + "[" + std::to_string(boolConstants_) + "];\n";
    for (const auto& [stage, type] : samplerTypes_) {
        const char* glslType = type == SamplerKind::Cube     ? "samplerCube"
                               : type == SamplerKind::Volume ? "sampler3D"
                                                             : "sampler2D";
        text += std::string("uniform ") + glslType + " " + SamplerName(stage) + ";\n";
    }
    if (usesBumpEnvironment_) {
        text += std::string("uniform vec4 ") + BumpMatrixName() + "[8];\n";
        text += std::string("uniform vec2 ") + BumpLuminanceName() + "[8];\n";
    }
    if (usesProjection_) text += std::string("uniform int ") + ProjectedStagesName() + ";\n";
    // The interface.
    if (Vertex()) {
        for (const UsageRegister& input : vertexInputs_)
            text += "in vec4 " + VertexInputName(input) + ";\n";
    }
    const char* direction = Vertex() ? "out" : "in";
    std::set<std::string> declared;
    for (const UsageRegister& varying : varyings_) {
        const std::string name = VaryingName(varying.usage, varying.usageIndex);
        if (!declared.insert(name).second) continue;
        text += "layout(location = " + std::to_string(RegisterLocation(varying.usage, varying.usageIndex)) + ") " +
                direction + " vec4 " + name + ";\n";
    }
    if (!Vertex()) {
        std::set<int> outputs = colorOutputs_;
        outputs.insert(0);  // COLOR0 always: the device's alpha test reads it
        for (const int index : outputs) {
            text += "layout(location = " + std::to_string(index) + ") out vec4 fx_out_COLOR" + std::to_string(index) +
                    ";\n";
        }
    }
    // The register files.
    auto array = [&](const char* type, const char* name, int count) {
        if (count > 0) text += std::string(type) + " " + name + "[" + std::to_string(count) + "];\n";
    };
    array("vec4", "r", temps_);
    array("vec4", "v", relativeInputs_ ? std::max(inputs_, Vertex() ? 16 : 10) : inputs_);
    if (TextureRegistersHoldResults()) array("vec4", "t", textures_);
    if (!Vertex()) array("vec4", "tc", textureCoordinates_.empty() ? 0 : *textureCoordinates_.rbegin() + 1);
    text += "ivec4 a0;\nint aL;\nbvec4 p0;\nvec3 fx_texm;\n";
    if (Vertex()) {
        text += "vec4 oPos;\nvec4 oFog;\nvec4 oPts;\nvec4 oD[2];\nvec4 oT[8];\nvec4 o[12];\n";
    } else {
        text += "vec4 oC[4];\nvec4 oDepth;\nvec4 fx_vpos;\nfloat fx_vface;\n";
    }
    text += "vec4 fx_discarded;\n";
    return text;
}

std::string ShaderRegisters::AccessHelpers() const {
    // ps_1_4's _dz and _dw: x and y over z or w (1 where that is 0), for a projected lookup; z and w
    // are left undefined there.
    std::string text =
        "vec4 fx_divide_by_z(vec4 v) { return vec4(v.z == 0.0 ? vec2(1.0) : v.xy / v.z, 1.0, 1.0); }\n"
        "vec4 fx_divide_by_w(vec4 v) { return vec4(v.w == 0.0 ? vec2(1.0) : v.xy / v.w, 1.0, 1.0); }\n";
    if (relativeConstants_) {
        const int count = ConstantCount('c');
        text += "vec4 fx_constant(int index)\n{\n    if (index < 0 || index >= " + std::to_string(count) +
                ") return vec4(0.0);\n";
        for (const auto& entry : floatDefinitions_)
            text += "    if (index == " + std::to_string(entry.first) + ") return " + ConstantRead(entry.first) + ";\n";
        text += "    return " + ConstantsName('c') + "[index];\n}\n";
    }
    if (relativeInputs_) {
        text += "vec4 fx_input(int index)\n{\n    return index >= 0 && index < v.length() ? v[index] : vec4(0.0);\n}\n";
    }
    return text;
}

std::string ShaderRegisters::VertexInputName(const UsageRegister& input) {
    return "fx_in_" + UsageName(input.usage) + std::to_string(input.usageIndex);
}

std::string ShaderRegisters::LoadInputs() const {
    std::string code;
    auto clear = [&](const char* name, int count, const char* value) {
        if (count > 0)
            code += std::string("    for (int i = 0; i < ") + std::to_string(count) + "; ++i) " + name +
                    "[i] = " + value + ";\n";
    };
    clear("r", temps_, "vec4(0.0)");
    clear("v", relativeInputs_ ? std::max(inputs_, Vertex() ? 16 : 10) : inputs_, "vec4(0.0)");
    if (TextureRegistersHoldResults()) clear("t", textures_, "vec4(0.0)");
    code += "    a0 = ivec4(0);\n    aL = 0;\n    p0 = bvec4(false);\n    fx_texm = vec3(0.0);\n";
    if (Vertex()) {
        code += "    oPos = vec4(0.0, 0.0, 0.0, 1.0);\n    oFog = vec4(0.0);\n    oPts = vec4(0.0);\n";
        clear("oD", 2, "vec4(0.0, 0.0, 0.0, 1.0)");
        clear("oT", 8, "vec4(0.0, 0.0, 0.0, 1.0)");
        clear("o", 12, "vec4(0.0, 0.0, 0.0, 1.0)");
        for (const UsageRegister& input : vertexInputs_)
            code += "    v[" + std::to_string(input.index) + "] = " + VertexInputName(input) + ";\n";
        return code;
    }
    clear("oC", 4, "vec4(0.0)");
    // Depth an instruction may leave unwritten on some path keeps the rasteriser's.
    code += writesDepth_ ? "    oDepth = vec4(gl_FragCoord.z);\n" : "    oDepth = vec4(0.0);\n";
    if (usesPosition_) code += "    fx_vpos = vec4(gl_FragCoord.xy - vec2(0.5), 0.0, 1.0);\n";
    if (usesFace_) code += "    fx_vface = gl_FrontFacing ? 1.0 : -1.0;\n";
    if (version_.major >= 3) {
        for (const UsageRegister& input : varyings_) {
            const std::string components = Components(input.mask);
            code += "    v[" + std::to_string(input.index) + "]." + components + " = " +
                    VaryingName(input.usage, input.usageIndex) + "." +
                    std::string(kComponents).substr(0, components.size()) + ";\n";
        }
        return code;
    }
    for (const UsageRegister& input : varyings_) {
        const std::string name = VaryingName(input.usage, input.usageIndex);
        const std::string index = std::to_string(input.index);
        if (input.usage == D3DDECLUSAGE_COLOR) {
            // Colours reach ps_1_x and ps_2_x in [0, 1].
            code += "    v[" + index + "] = clamp(" + name + ", 0.0, 1.0);\n";
        } else {
            code += "    " + TextureCoordinates(input.index) + " = " + name + ";\n";
        }
    }
    return code;
}

std::string ShaderRegisters::StoreOutputs() const {
    std::string code;
    if (!Vertex()) {
        for (const int index : ColorOutputsWithZero()) {
            const std::string source = PixelShader1x() ? std::string("r[0]") : "oC[" + std::to_string(index) + "]";
            code += "    fx_out_COLOR" + std::to_string(index) + " = " + source + ";\n";
        }
        if (writesDepth_) code += "    gl_FragDepth = clamp(oDepth.x, 0.0, 1.0);\n";
        return code;
    }
    if (version_.major < 3) {
        code += "    gl_Position = oPos;\n";
        if (rastOutputs_.count(2) != 0) code += "    gl_PointSize = oPts.x;\n";
        for (const UsageRegister& output : varyings_) {
            const std::string name = VaryingName(output.usage, output.usageIndex);
            const std::string index = std::to_string(output.index);
            if (output.usage == D3DDECLUSAGE_COLOR) {
                code += "    " + name + " = clamp(oD[" + index + "], 0.0, 1.0);\n";
            } else if (output.usage == D3DDECLUSAGE_FOG) {
                code += "    " + name + " = " + PaddedRegister("oFog.x", 1) + ";\n";
            } else {
                code += "    " + name + " = oT[" + index + "];\n";
            }
        }
        return code;
    }
    if (positionOutput_ >= 0) code += "    gl_Position = o[" + std::to_string(positionOutput_) + "];\n";
    if (pointSizeOutput_.usage == D3DDECLUSAGE_PSIZE) {
        code += "    gl_PointSize = o[" + std::to_string(pointSizeOutput_.index) + "]." +
                kComponents[FirstComponent(pointSizeOutput_.mask)] + ";\n";
    }
    for (const UsageRegister& output : varyings_) {
        const std::string components = Components(output.mask);
        code += "    " + VaryingName(output.usage, output.usageIndex) + " = " +
                PaddedRegister("o[" + std::to_string(output.index) + "]." + components,
                               static_cast<int>(components.size())) +
                ";\n";
    }
    return code;
}

std::set<int> ShaderRegisters::ColorOutputsWithZero() const {
    std::set<int> outputs = colorOutputs_;
    outputs.insert(0);
    return outputs;
}

}  // namespace nvesk::d3dx9

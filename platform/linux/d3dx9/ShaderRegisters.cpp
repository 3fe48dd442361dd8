#include "ShaderRegisters.h"

#include "GlslLiterals.h"
#include "VaryingRegisters.h"

#include <d3d9types.h>

#include <algorithm>

namespace nvesk::d3dx9 {

namespace {

// The constant registers a version has: relative reads past them give 0.
int FloatConstantRegisters(const ShaderVersion& version) {
    if (version.stage == ShaderStage::Vertex) return version.major == 1 ? 96 : 256;
    if (version.major == 1) return 8;
    return version.major == 2 ? 32 : 224;
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

std::string MaskComponents(std::uint8_t mask) {
    std::string text;
    for (int c = 0; c < 4; ++c)
        if ((mask & (1u << c)) != 0) text += "xyzw"[c];
    return text;
}

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
        // m4x4 and its kind read one register a row from their second source on.
        const std::string& name = instruction.name;
        if (name.size() == 4 && name[0] == 'm' && name[2] == 'x' && instruction.sources.size() == 2) {
            for (int row = 1; row < name[3] - '0'; ++row) {
                SourceOperand matrixRow = instruction.sources[1];
                matrixRow.index += row;
                NoteSource(matrixRow);
            }
        }
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

std::string ShaderRegisters::VertexInputName(const UsageRegister& input) {
    return "fx_in_" + UsageName(input.usage) + std::to_string(input.usageIndex);
}

std::set<int> ShaderRegisters::ColorOutputsWithZero() const {
    std::set<int> outputs = colorOutputs_;
    outputs.insert(0);
    return outputs;
}

}  // namespace nvesk::d3dx9

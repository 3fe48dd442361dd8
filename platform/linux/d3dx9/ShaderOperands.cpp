// How an operand of an assembled shader reads and how a result reaches its destination.
#include "ShaderRegisters.h"

#include "GlslLiterals.h"

#include <algorithm>

namespace nvesk::d3dx9 {

namespace {

// ps_1_1 to ps_1_3 keep registers in [-1, 1], the range every ps_1_x device has
// (PixelShader1xMaxValue is at least 1); ps_1_4 in [-8, 8], the range its _x8 and _d8 shifts
// are made for. Constants are always in [-1, 1].
float PixelShader1xRange(const ShaderVersion& version) {
    return version.minor < 4 ? 1.0f : 8.0f;
}

}  // namespace

std::string ShaderRegisters::RelativeIndex(const SourceOperand& source) const {
    const std::string base = source.address.type == RegisterType::Loop
                                 ? std::string("aL")
                                 : std::string("a0.") + "xyzw"[source.address.component & 3];
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
            swizzle += "xyzw"[component & 3];
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
        value = std::string("p0.") + "xyzw"[source.swizzle[0] & 3];
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
        const std::string target = name + "." + "xyzw"[component];
        const std::string source = value + "." + "xyzw"[component];
        if (destination.type == RegisterType::Address) return target + " = int(floor(" + source + " + 0.5));";
        if (destination.type == RegisterType::Predicate) return target + " = " + source + " != 0.0;";
        return target + " = " + source + ";";
    };
    const std::uint8_t mask = destination.writeMask;
    const bool plain = destination.type != RegisterType::Address && destination.type != RegisterType::Predicate;
    if (!instruction.predicated && plain) {
        if (mask == 0xF) return code + name + " = " + value + ";\n";
        const std::string components = MaskComponents(mask);
        return code + name + "." + components + " = " + value + "." + components + ";\n";
    }
    for (int c = 0; c < 4; ++c) {
        if ((mask & (1u << c)) == 0) continue;
        if (instruction.predicated) {
            // Each component written takes the predicate's component its swizzle names there.
            const SourceOperand& predicate = instruction.predicate;
            const std::string test = std::string(predicate.modifier == SourceModifier::Not ? "!" : "") + "p0." +
                                     "xyzw"[predicate.swizzle[static_cast<std::size_t>(c)] & 3];
            code += "if (" + test + ") " + store(c) + "\n";
        } else {
            code += store(c) + "\n";
        }
    }
    return code;
}

}  // namespace nvesk::d3dx9

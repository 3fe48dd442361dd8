// Texture instructions: texld and its forms (ps_1_4 on, vs_3_0's texldl), texkill, texdepth, bem,
// and the texture addressing of ps_1_1 to ps_1_3, whose t# registers hold coordinates in and
// results out.
#include "ShaderInstructions.h"

namespace nvesk::d3dx9 {

std::string InstructionTranslator::Sample(int stage, const std::string& coordinates, const std::string& kind,
                                          const std::string& ddx, const std::string& ddy) const {
    const auto found = registers_.Samplers().find(stage);
    const SamplerKind type = found != registers_.Samplers().end() ? found->second : SamplerKind::Texture2D;
    const std::string sampler = registers_.SamplerName(stage);
    const char* point = type == SamplerKind::Texture2D ? ".xy" : ".xyz";
    const std::string at = coordinates + point;
    if (kind == "proj") {
        // A cube map has no projected lookup: its direction is divided first.
        if (type == SamplerKind::Cube) return "texture(" + sampler + ", " + at + " / " + coordinates + ".w)";
        return "textureProj(" + sampler + ", " + coordinates + ")";
    }
    if (kind == "bias") return "texture(" + sampler + ", " + at + ", " + coordinates + ".w)";
    if (kind == "lod") return "textureLod(" + sampler + ", " + at + ", " + coordinates + ".w)";
    if (kind == "grad") return "textureGrad(" + sampler + ", " + at + ", " + ddx + point + ", " + ddy + point + ")";
    return "texture(" + sampler + ", " + at + ")";
}

std::string InstructionTranslator::DestinationValue(const AssemblyInstruction& instruction) const {
    const DestinationOperand& destination = instruction.destination;
    if (destination.type == RegisterType::Texture) return registers_.TextureCoordinates(destination.index);
    return "r[" + std::to_string(destination.index) + "]";
}

bool InstructionTranslator::Texture(const AssemblyInstruction& instruction, InstructionCode& code, std::string& error) {
    const std::string& name = instruction.name;
    if (name == "texkill") {
        // Discards where any of x, y, z is below zero (ps_1_1-1_3: of the stage's coordinates).
        const std::string value = instruction.sources.empty() ? DestinationValue(instruction) : Read(instruction, 0);
        const std::string predicate =
            instruction.predicated ? registers_.ReadBool(instruction.predicate) + " && " : std::string();
        code.compute = "if (" + predicate + "any(lessThan((" + value + ").xyz, vec3(0.0)))) discard;\n";
        return true;
    }
    if (name == "texdepth") {
        // ps_1_4: depth r5.r / r5.g, 1 where g is 0.
        const std::string value = DestinationValue(instruction);
        code.compute = "oDepth = vec4(" + value + ".y == 0.0 ? 1.0 : " + value + ".x / " + value + ".y);\n";
        return true;
    }
    // Each form's sources, as its version writes them (the assembler checks them too).
    const std::size_t needed = name == "bem"                                                                 ? 2
                               : name == "texcrd" || (name == "texld" && registers_.PixelShader1x())         ? 1
                               : name == "texld" || name == "texldp" || name == "texldb" || name == "texldl" ? 2
                               : name == "texldd"                                                            ? 4
                                                                                                             : 0;
    if (instruction.sources.size() < needed) {
        error = name + " needs " + std::to_string(needed) + " sources";
        return false;
    }
    if (name == "bem") {
        // ps_1_4: src0.rg plus the bump matrix of the destination's stage applied to src1.rg.
        const std::string result = NewName("fx_value");
        const std::string matrix =
            std::string(ShaderRegisters::BumpMatrixName()) + "[" + std::to_string(instruction.destination.index) + "]";
        const std::string a = NewName("fx_bump");
        const std::string b = NewName("fx_bump");
        code.compute = "vec4 " + a + " = " + Read(instruction, 0) + ";\nvec4 " + b + " = " + Read(instruction, 1) +
                       ";\nvec4 " + result + " = vec4(" + a + ".x + " + matrix + ".x * " + b + ".x + " + matrix +
                       ".z * " + b + ".y, " + a + ".y + " + matrix + ".y * " + b + ".x + " + matrix + ".w * " + b +
                       ".y, 0.0, 0.0);\n";
        code.write = registers_.Write(instruction, result);
        return true;
    }
    if (registers_.TextureRegistersHoldResults()) return PixelShader1xTexture(instruction, code, error);
    const bool lookup = name == "texld" || name == "texldp" || name == "texldb" || name == "texldl" || name == "texldd";
    if (!lookup && name != "texcrd") return false;
    const std::string result = NewName("fx_value");
    if (name == "texcrd") {
        // ps_1_4: coordinates as data, in their own range.
        code.compute = "vec4 " + result + " = " + Read(instruction, 0) + ";\n";
        code.write = registers_.Write(instruction, result, false);
        return true;
    }
    const std::string coordinates = NewName("fx_coordinates");
    code.compute = "vec4 " + coordinates + " = " + Read(instruction, 0) + ";\n";
    if (registers_.PixelShader1x()) {
        // ps_1_4: texld rN samples stage N; its source is projected already by _dz or _dw.
        code.compute += "vec4 " + result + " = " + Sample(instruction.destination.index, coordinates, "") + ";\n";
        code.write = registers_.Write(instruction, result);
        return true;
    }
    if (instruction.sources[1].type != RegisterType::Sampler) {
        error = name + " needs a sampler as its second source";
        return false;
    }
    const SourceOperand& sampler = instruction.sources[1];
    std::string kind = name == "texldp" ? "proj" : name == "texldb" ? "bias" : name == "texldl" ? "lod" : "";
    std::string ddx;
    std::string ddy;
    if (name == "texldd") {
        kind = "grad";
        ddx = NewName("fx_ddx");
        ddy = NewName("fx_ddy");
        code.compute +=
            "vec4 " + ddx + " = " + Read(instruction, 2) + ";\nvec4 " + ddy + " = " + Read(instruction, 3) + ";\n";
    }
    std::string sampled = Sample(sampler.index, coordinates, kind, ddx, ddy);
    // A swizzle on the sampler reorders the result.
    const bool identity =
        sampler.swizzle[0] == 0 && sampler.swizzle[1] == 1 && sampler.swizzle[2] == 2 && sampler.swizzle[3] == 3;
    if (!identity) {
        std::string swizzle;
        for (const std::uint8_t component : sampler.swizzle)
            swizzle += "xyzw"[component & 3];
        sampled = "(" + sampled + ")." + swizzle;
    }
    code.compute += "vec4 " + result + " = " + sampled + ";\n";
    code.write = registers_.Write(instruction, result);
    return true;
}

bool InstructionTranslator::PixelShader1xTexture(const AssemblyInstruction& instruction, InstructionCode& code,
                                                 std::string& error) {
    const std::string& name = instruction.name;
    if (name.rfind("tex", 0) != 0) return false;
    const int stage = instruction.destination.index;
    const std::string coordinates = registers_.TextureCoordinates(stage);
    const std::string result = NewName("fx_value");
    const std::string source = instruction.sources.empty() ? std::string() : NewName("fx_source");
    if (!source.empty()) code.compute = "vec4 " + source + " = " + Read(instruction, 0) + ";\n";
    auto dotWithCoordinates = [&] { return "dot(" + coordinates + ".xyz, " + source + ".xyz)"; };
    auto sampleAt = [&](const std::string& at) {
        const std::string point = NewName("fx_coordinates");
        code.compute += "vec4 " + point + " = " + at + ";\n";
        code.compute += "vec4 " + result + " = " + Sample(stage, point, "") + ";\n";
    };
    auto needsSource = [&] {
        if (!source.empty()) return true;
        error = name + " needs a source register";
        return false;
    };
    if (name == "tex") {
        sampleAt("((" + std::string(ShaderRegisters::ProjectedStagesName()) + " & " + std::to_string(1 << stage) +
                 ") != 0 ? " + coordinates + " / " + coordinates + ".w : " + coordinates + ")");
    } else if (name == "texcoord") {
        code.compute += "vec4 " + result + " = vec4(clamp(" + coordinates + ".xyz, 0.0, 1.0), 1.0);\n";
    } else if (name == "texbem" || name == "texbeml") {
        if (!needsSource()) return false;
        // The matrix of the destination's stage turns (du, dv) into an offset of its coordinates.
        const std::string matrix = std::string(ShaderRegisters::BumpMatrixName()) + "[" + std::to_string(stage) + "]";
        sampleAt("vec4(" + coordinates + ".xy + vec2(" + matrix + ".x * " + source + ".x + " + matrix + ".z * " +
                 source + ".y, " + matrix + ".y * " + source + ".x + " + matrix + ".w * " + source + ".y), 0.0, 0.0)");
        if (name == "texbeml") {
            const std::string luminance =
                std::string(ShaderRegisters::BumpLuminanceName()) + "[" + std::to_string(stage) + "]";
            code.compute += result + " *= " + source + ".z * " + luminance + ".x + " + luminance + ".y;\n";
        }
    } else if (name == "texreg2ar" || name == "texreg2gb" || name == "texreg2rgb") {
        if (!needsSource()) return false;
        const char* swizzle = name == "texreg2ar" ? ".wxxx" : name == "texreg2gb" ? ".yzzz" : ".xyzz";
        sampleAt(source + swizzle);
    } else if (name == "texm3x2pad" || name == "texm3x3pad") {
        if (!needsSource()) return false;
        if (pads_ > 1) {
            error = name + " follows two others";
            return false;
        }
        code.compute += std::string("fx_texm.") + "xy"[pads_++] + " = " + dotWithCoordinates() + ";\n";
        return true;
    } else if (name == "texm3x2tex" || name == "texm3x2depth") {
        if (!needsSource()) return false;
        pads_ = 0;
        code.compute += "fx_texm.y = " + dotWithCoordinates() + ";\n";
        if (name == "texm3x2depth") {
            // Depth z / w from the two dot products, 1 where w is 0.
            code.compute += "oDepth = vec4(fx_texm.y == 0.0 ? 1.0 : fx_texm.x / fx_texm.y);\n";
            return true;
        }
        sampleAt("vec4(fx_texm.xy, 0.0, 0.0)");
    } else if (name == "texm3x3" || name == "texm3x3tex" || name == "texm3x3spec" || name == "texm3x3vspec") {
        if (!needsSource()) return false;
        pads_ = 0;
        code.compute += "fx_texm.z = " + dotWithCoordinates() + ";\n";
        if (name == "texm3x3") {
            code.compute += "vec4 " + result + " = vec4(fx_texm, 1.0);\n";
        } else if (name == "texm3x3tex") {
            sampleAt("vec4(fx_texm, 0.0)");
        } else {
            // The normal reflects the eye ray: a constant (texm3x3spec) or the coordinates' w (texm3x3vspec).
            std::string eye;
            if (name == "texm3x3spec") {
                if (instruction.sources.size() < 2) {
                    error = "texm3x3spec needs the eye-ray constant";
                    return false;
                }
                eye = "(" + Read(instruction, 1) + ").xyz";
            } else {
                eye = "vec3(" + registers_.TextureCoordinates(stage - 2) + ".w, " +
                      registers_.TextureCoordinates(stage - 1) + ".w, " + coordinates + ".w)";
            }
            const std::string eyeName = NewName("fx_eye");
            code.compute += "vec3 " + eyeName + " = " + eye + ";\n";
            sampleAt("vec4(2.0 * fx_texm * dot(fx_texm, " + eyeName + ") / dot(fx_texm, fx_texm) - " + eyeName +
                     ", 0.0)");
        }
    } else if (name == "texdp3") {
        if (!needsSource()) return false;
        code.compute += "vec4 " + result + " = vec4(" + dotWithCoordinates() + ");\n";
    } else if (name == "texdp3tex") {
        if (!needsSource()) return false;
        // A one-dimensional lookup at (u, 0, 0), as the reference states it.
        sampleAt("vec4(" + dotWithCoordinates() + ", 0.0, 0.0, 0.0)");
    } else {
        error = "instruction '" + name + "' has no GLSL translation";
        return false;
    }
    code.write = registers_.Write(instruction, result);
    return true;
}

}  // namespace nvesk::d3dx9

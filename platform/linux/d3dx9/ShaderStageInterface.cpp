// The GLSL of an assembled shader's register files and interface: uniforms, varyings in the
// registers of their semantics, the copies in before the program and out after it.
#include "ShaderRegisters.h"

#include "VaryingRegisters.h"

#include <d3d9types.h>

#include <algorithm>

namespace nvesk::d3dx9 {

namespace {

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

}  // namespace

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
        for (const int index : ColorOutputsWithZero()) {
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
            const std::string components = MaskComponents(input.mask);
            code += "    v[" + std::to_string(input.index) + "]." + components + " = " +
                    VaryingName(input.usage, input.usageIndex) + "." +
                    std::string("xyzw").substr(0, components.size()) + ";\n";
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
                "xyzw"[FirstComponent(pointSizeOutput_.mask)] + ";\n";
    }
    for (const UsageRegister& output : varyings_) {
        const std::string components = MaskComponents(output.mask);
        code += "    " + VaryingName(output.usage, output.usageIndex) + " = " +
                PaddedRegister("o[" + std::to_string(output.index) + "]." + components,
                               static_cast<int>(components.size())) +
                ";\n";
    }
    return code;
}

}  // namespace nvesk::d3dx9

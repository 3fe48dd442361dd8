#include "VaryingRegisters.h"

#include <d3d9types.h>

#include <regex>

namespace nvesk::d3dx9 {

namespace {

// The components of a vec4 register a value of `type` fills, and the register built from it.
std::string FromRegister(const std::string& type, const std::string& reg) {
    if (type == "float") return reg + ".x";
    if (type == "vec2") return reg + ".xy";
    if (type == "vec3") return reg + ".xyz";
    return reg;
}

std::string ToRegister(const std::string& type, const std::string& value) {
    if (type == "float") return "vec4(" + value + ", 0.0, 0.0, 1.0)";
    if (type == "vec2") return "vec4(" + value + ", 0.0, 1.0)";
    if (type == "vec3") return "vec4(" + value + ", 1.0)";
    return value;
}

// The vec4 register a system input reads.
std::string SystemRegister(const std::string& name) {
    if (name == SystemInputName("VPOS")) return "vec4(gl_FragCoord.xy - vec2(0.5), 0.0, 1.0)";
    return "vec4(gl_FrontFacing ? 1.0 : -1.0, 0.0, 0.0, 1.0)";
}

}  // namespace

bool IsPixelSystemInput(const std::string& semanticName) {
    return semanticName == "VPOS" || semanticName == "VFACE";
}

std::string SystemInputName(const std::string& semanticName) {
    return "fx_sys_" + semanticName;
}

int RegisterLocation(int usage, int usageIndex) {
    if (usageIndex < 0) return -1;
    switch (usage) {
    case D3DDECLUSAGE_TEXCOORD:
        return usageIndex < 16 ? usageIndex : -1;
    case D3DDECLUSAGE_COLOR:
        return usageIndex < 4 ? 16 + usageIndex : -1;
    case D3DDECLUSAGE_FOG:
        return usageIndex == 0 ? 20 : -1;
    case D3DDECLUSAGE_NORMAL:
        return usageIndex < 2 ? 21 + usageIndex : -1;
    case D3DDECLUSAGE_TANGENT:
        return usageIndex < 2 ? 23 + usageIndex : -1;
    case D3DDECLUSAGE_BINORMAL:
        return usageIndex < 2 ? 25 + usageIndex : -1;
    case D3DDECLUSAGE_POSITION:
        return usageIndex >= 1 && usageIndex < 3 ? 26 + usageIndex : -1;  // POSITION0 is gl_Position
    case D3DDECLUSAGE_BLENDWEIGHT:
        return usageIndex == 0 ? 29 : -1;
    case D3DDECLUSAGE_BLENDINDICES:
        return usageIndex == 0 ? 30 : -1;
    case D3DDECLUSAGE_DEPTH:
        return usageIndex == 0 ? 31 : -1;
    default:
        return -1;
    }
}

std::string WidenVaryings(const std::string& glsl, bool vertexStage) {
    static const std::regex declaration(
        R"(layout\(location = (\d+)\) ((?:[a-z]+ )*)(in|out) (float|vec2|vec3|vec4) fx_(var|sys)_(\w+);)");
    static const std::regex entry(R"(\bvoid main\(\))");
    const char* direction = vertexStage ? "out" : "in";
    std::string body;
    std::string before;
    std::string after;
    auto last = glsl.cbegin();
    for (auto it = std::sregex_iterator(glsl.begin(), glsl.end(), declaration); it != std::sregex_iterator(); ++it) {
        const std::smatch& match = *it;
        if (match[3].str() != direction) continue;
        const std::string type = match[4].str();
        body.append(last, match[0].first);
        last = match[0].second;
        if (match[5].str() == "sys") {
            const std::string value = SystemInputName(match[6].str());
            body += type + " " + value + ";";
            before += "    " + value + " = " + FromRegister(type, SystemRegister(value)) + ";\n";
            continue;
        }
        const std::string value = "fx_var_" + match[6].str();
        const std::string reg = "fx_reg_" + match[6].str();
        body += "layout(location = " + match[1].str() + ") " + match[2].str() + direction + " vec4 " + reg + ";\n" +
                type + " " + value + ";";
        if (vertexStage) {
            after += "    " + reg + " = " + ToRegister(type, value) + ";\n";
        } else {
            before += "    " + value + " = " + FromRegister(type, reg) + ";\n";
        }
    }
    if (before.empty() && after.empty()) return glsl;
    body.append(last, glsl.cend());
    body = std::regex_replace(body, entry, "void fx_stage_main()", std::regex_constants::format_first_only);
    return body + "\nvoid main()\n{\n" + before + "    fx_stage_main();\n" + after + "}\n";
}

}  // namespace nvesk::d3dx9

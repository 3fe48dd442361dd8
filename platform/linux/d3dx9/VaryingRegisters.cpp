#include "VaryingRegisters.h"

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

}  // namespace

std::string WidenVaryings(const std::string& glsl, bool vertexStage) {
    static const std::regex declaration(
        R"(layout\(location = (\d+)\) ((?:[a-z]+ )*)(in|out) (float|vec2|vec3|vec4) fx_var_(\w+);)");
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
        const std::string value = "fx_var_" + match[5].str();
        const std::string reg = "fx_reg_" + match[5].str();
        body.append(last, match[0].first);
        body += "layout(location = " + match[1].str() + ") " + match[2].str() + direction + " vec4 " + reg + ";\n" +
                type + " " + value + ";";
        last = match[0].second;
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

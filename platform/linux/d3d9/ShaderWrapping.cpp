#include "ShaderWrapping.h"

#include <regex>
#include <vector>

namespace nvesk::d3d9 {
namespace {

// Splits after the #version line and renames main in what follows.
bool RenameMain(const std::string& source, std::string* renamed, std::string* error, bool generated) {
    static const std::regex versionLine(R"(^[ \t]*#[ \t]*version[^\n]*\n?)", std::regex::multiline);
    std::smatch match;
    if (!std::regex_search(source, match, versionLine)) {
        *error = "shader source has no #version line";
        return false;
    }
    if (!generated && source.find("nvesk_") != std::string::npos) {
        *error = "shader source uses the reserved prefix nvesk_";
        return false;
    }
    std::string version = match.str();
    if (version.empty() || version.back() != '\n') {
        version += '\n';
    }
    *renamed =
        match.prefix().str() + version + "#define main nvesk_user_main\n" + match.suffix().str() + "\n#undef main\n";
    return true;
}

bool FindColorOutput(const std::string& source, std::string* name, std::string* error) {
    static const std::regex output(R"(\bout\s+(?:(?:highp|mediump|lowp)\s+)?vec4\s+([A-Za-z_][A-Za-z0-9_]*)\s*;)");
    std::vector<std::string> names;
    for (auto it = std::sregex_iterator(source.begin(), source.end(), output); it != std::sregex_iterator(); ++it) {
        names.push_back((*it)[1].str());
    }
    if (names.size() != 1) {
        *error = names.empty() ? "fragment shader has no vec4 output" : "fragment shader has several vec4 outputs";
        return false;
    }
    *name = names.front();
    return true;
}

}  // namespace

bool WrapVertexShader(const std::string& source, std::string* wrapped, std::string* error, bool generated) {
    std::string renamed;
    if (!RenameMain(source, &renamed, error, generated)) {
        return false;
    }
    *wrapped = renamed + "uniform vec2 " + kPixelOffsetUniform +
               ";\n"
               "void main() {\n"
               "    nvesk_user_main();\n"
               "    gl_Position.xy += " +
               kPixelOffsetUniform +
               " * gl_Position.w;\n"
               "}\n";
    return true;
}

bool WrapFragmentShader(const std::string& source, const std::string& colorOutput, std::string* wrapped,
                        std::string* error, bool generated) {
    std::string output = colorOutput;
    if (output.empty() && !FindColorOutput(source, &output, error)) {
        return false;
    }
    std::string renamed;
    if (!RenameMain(source, &renamed, error, generated)) {
        return false;
    }
    // Direct3D compares the alpha as an 8-bit value with the 8-bit reference.
    *wrapped = renamed + "uniform int " + kAlphaFunctionUniform + ";\n" + "uniform float " + kAlphaReferenceUniform +
               ";\n"
               "void main() {\n"
               "    nvesk_user_main();\n"
               "    int f = " +
               kAlphaFunctionUniform +
               ";\n"
               "    if (f != 8) {\n"
               "        float a = floor(clamp(" +
               output +
               ".a, 0.0, 1.0) * 255.0 + 0.5);\n"
               "        float r = " +
               kAlphaReferenceUniform +
               ";\n"
               "        bool pass = (f == 2 && a < r) || (f == 3 && a == r) || (f == 4 && a <= r) ||\n"
               "                    (f == 5 && a > r) || (f == 6 && a != r) || (f == 7 && a >= r);\n"
               "        if (!pass) discard;\n"
               "    }\n"
               "}\n";
    return true;
}

}  // namespace nvesk::d3d9

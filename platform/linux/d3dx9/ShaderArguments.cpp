#include "ShaderArguments.h"

#include <algorithm>
#include <set>
#include <sstream>

namespace nvesk::d3dx9 {

namespace {

// The numeric type a uniform parameter declares (`bool`, `float3`, `int2x2`), or "" when it is an
// array or of another type.
std::string NumericType(const FunctionParameterDesc& parameter) {
    static const std::set<std::string> kModifiers = {"uniform", "in", "const", "row_major", "column_major"};
    std::istringstream words(parameter.text);
    std::string word;
    while (words >> word && kModifiers.count(word) != 0) {}
    if (parameter.text.find('[') != std::string::npos) return std::string();
    ExpressionValue shape;
    const std::string type = word.substr(0, word.find_first_of(" \t:"));
    return ParseExpressionType(type, shape) ? type : std::string();
}

}  // namespace

bool BindShaderArguments(const EffectDescription& description, const ShaderCompileRequest& request,
                         const std::string& entryName, std::string& hlsl, ShaderCompileRequest& bound,
                         std::string& error) {
    bound = request;
    if (request.arguments.empty()) return true;
    const auto& signatures = description.signatures;
    const auto function = std::find_if(signatures.begin(), signatures.end(),
                                       [&](const FunctionDesc& known) { return known.name == request.entry; });
    if (function == signatures.end()) {
        error = "undeclared identifier '" + request.entry + "'";
        return false;
    }
    const std::size_t uniforms =
        static_cast<std::size_t>(std::count_if(function->parameters.begin(), function->parameters.end(),
                                               [](const FunctionParameterDesc& p) { return p.isUniform; }));
    if (uniforms != request.arguments.size()) {
        error = "'" + request.entry + "' has " + std::to_string(uniforms) + " uniform parameters and is given " +
                std::to_string(request.arguments.size()) + " arguments";
        return false;
    }
    std::string parameters;
    std::string call;
    std::size_t argument = 0;
    for (const FunctionParameterDesc& parameter : function->parameters) {
        if (!call.empty()) call += ", ";
        if (parameter.isUniform) {
            // Converted as the uniform declares it: a parameter named here is a global of the
            // effect, and bool and int globals are held as floats.
            const std::string type = NumericType(parameter);
            const std::string value = "(" + request.arguments[argument++] + ")";
            call += type.empty() ? value : "((" + type + ")" + value + ")";
            continue;
        }
        call += parameter.name;
        if (!parameters.empty()) parameters += ", ";
        parameters += parameter.text;
    }
    const bool returns = function->returnType != "void";
    hlsl += "\n" + function->returnType + " " + entryName + "(" + parameters + ")" +
            (function->returnSemantic.empty() ? "" : " : " + function->returnSemantic) + "\n{\n    " +
            (returns ? "return " : "") + request.entry + "(" + call + ");\n}\n";
    bound.entry = entryName;
    bound.arguments.clear();
    return true;
}

}  // namespace nvesk::d3dx9

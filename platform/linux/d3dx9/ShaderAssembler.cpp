#include "ShaderAssembler.h"

#include "ShaderAssemblyErrors.h"
#include "ShaderAssemblyParser.h"
#include "ShaderAssemblyTokens.h"
#include "ShaderProgramRules.h"

namespace nvesk::d3dx9 {

AssemblyResult AssembleShader(const std::string& text, const std::string& fileName, SourcePosition start,
                              ShaderStage stage) {
    AssemblyResult result;
    AssemblyErrors errors;
    const AssemblyTokens tokens = TokenizeAssembly(text, start);
    if (!tokens.ok) {
        errors.Add(tokens.errorPosition, AssemblyRule::Syntax, tokens.error);
    } else {
        ParsedProgram program;
        if (ParseAssemblyProgram(tokens.tokens, stage, program, errors)) {
            CheckProgram(program, errors);
            result.shader = std::move(program.shader);
        }
    }
    result.ok = errors.Empty();
    if (!result.ok) result.errors = errors.Format(fileName);
    return result;
}

}  // namespace nvesk::d3dx9

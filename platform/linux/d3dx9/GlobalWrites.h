// Writes to globals in shader code. A global that is neither static nor const is a uniform, which
// the legacy compiler treats as constant: an assignment to it is refused, unless the effect is
// compiled in compatibility mode (D3DXSHADER_ENABLE_BACKWARDS_COMPATIBILITY), where each shader
// invocation works on its own copy, initialised from the uniform. The copy keeps the global's name
// in the HLSL; the uniform itself is renamed, and its constant reported under the parameter's name.
#pragma once

#include "EffectLexer.h"
#include "SourceEdit.h"

#include <map>
#include <string>
#include <vector>

namespace nvesk::d3dx9 {

// The reference compiler's words for a write to a uniform global outside compatibility mode.
constexpr const char* kGlobalWriteError =
    "global variables are implicitly constant, enable compatibility mode to allow modification";

// A uniform global as declared.
struct UniformGlobal {
    std::size_t nameToken = 0;    // its name among the tokens
    std::string copy;             // the declaration of a copy without its value: "static float4 g[2]"
    std::size_t end = 0;          // offset just after its declaration's `;`
    std::vector<int> dimensions;  // an array's, outermost first
};

struct GlobalWrite {
    std::string name;
    SourcePosition position;  // of the name written
};

// Per function name, which of its parameters are `out` or `inout` (in any of its overloads).
using OutParameters = std::map<std::string, std::vector<bool>>;

// The writes the function body of tokens [open, close] makes to `uniforms` where no parameter
// (`parameters`) or local of the function of the same name hides them: assignments, increments,
// decrements, and arguments to `out` and `inout` parameters.
std::vector<GlobalWrite> FindGlobalWrites(const std::vector<Token>& tokens, std::size_t open, std::size_t close,
                                          const std::map<std::string, UniformGlobal>& uniforms,
                                          const std::vector<std::string>& parameters, const OutParameters& outs);

// Compatibility mode: the uniform is renamed and a copy of its name, initialised from it, follows
// its declaration.
void CopyWrittenGlobal(const std::vector<Token>& tokens, const UniformGlobal& global, std::vector<SourceEdit>& edits);

// The effect parameter a stage's constant holds: the global's own name for a renamed uniform.
std::string ParameterOfConstant(const std::string& constantName);

}  // namespace nvesk::d3dx9

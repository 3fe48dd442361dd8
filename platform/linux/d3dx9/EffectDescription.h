// What an effect file declares: its parameters, samplers and techniques with their passes, and
// the HLSL that remains once the effect-only constructs are blanked out (line breaks unchanged).
#pragma once

#include "EffectExpression.h"
#include "EffectLexer.h"

#include <string>
#include <vector>

namespace nvesk::d3dx9 {

enum class ParameterClass { Scalar, Vector, MatrixRows, Object };
enum class ParameterType { Void, Bool, Int, Float, String, Texture, Sampler };

struct Annotation {
    std::string type;
    std::string name;
    std::string value;  // the literal as written (strings without their quotes)
    // As a parameter of its type: its shape, and its numbers in order as a default value's (true: 1).
    ParameterClass parameterClass = ParameterClass::Scalar;
    ParameterType valueType = ParameterType::Float;
    int rows = 1;
    int columns = 1;
    std::vector<float> numbers;
};

// `Name = value;` inside a pass or a sampler_state block.
struct StateAssignment {
    std::string name;                // as written
    int index = 0;                   // `Name[index]`
    std::string value;               // the value's tokens joined by spaces, e.g. "TRUE", "0x0000007F", "g_Texture"
    bool isReference = false;        // `<name>` or `(name)`
    std::vector<Token> valueTokens;  // the value as tokens, for an expression
    SourcePosition valueEnd;         // where the `;` after it stands
    SourcePosition position;
};

// A `static const` global whose initialiser folds to a value, which state expressions may read.
struct NamedConstant {
    std::string name;
    ExpressionValue value;
};

// `compile vs_2_0 Fn(args)` or `asm { ... }`; neither an entry nor assembly stands for NULL (the
// stage is left to the device).
struct ShaderCompileRequest {
    std::string profile;  // vs_2_0, ps_3_0, ...; an asm block's version line
    std::string entry;
    std::vector<std::string> arguments;  // for Fn's uniform parameters, each as written
    SourcePosition position;
    // An asm block: its text between the braces, and where that text starts in the file.
    std::string assembly;
    SourcePosition assemblyStart;

    bool IsNull() const { return entry.empty() && assembly.empty(); }
};

enum class ShaderAssignment {
    None,      // the pass does not name this stage: the device's shader stays
    Compiled,  // `= compile ...` or `= NULL`
    Selected   // `= (shaders[i])`, `= <shader>`: a VertexShader/PixelShader global
};

struct PassShader {
    ShaderAssignment assignment = ShaderAssignment::None;
    ShaderCompileRequest compiled;   // Compiled
    std::string object;              // Selected: the global's name
    int index = 0;                   // Selected: a literal element
    std::string indexParameter;      // Selected: the int parameter that picks the element at BeginPass
    std::vector<Token> indexTokens;  // Selected: an expression that picks it, e.g. `g_Lights - 1`
    SourcePosition indexEnd;         // where the `]` after the expression stands
    SourcePosition position;
};

// `VertexShader vs = compile ...;` or `PixelShader ps[2] = { compile ..., compile ... };`
struct ShaderObjectDesc {
    std::string name;
    bool vertex = true;
    int elements = 0;  // 0 when not an array
    std::vector<ShaderCompileRequest> shaders;
    SourcePosition position;
};

// A function of the HLSL, for the entries that take uniform arguments.
struct FunctionParameterDesc {
    std::string text;  // the declaration as written, semantic included
    std::string name;
    bool isUniform = false;
};

struct FunctionDesc {
    std::string name;
    std::string returnType;
    std::string returnSemantic;
    std::vector<FunctionParameterDesc> parameters;
};

struct EffectParameterDesc {
    std::string name;
    std::string typeName;  // as written: float4x4, texture, sampler, ...
    ParameterClass parameterClass = ParameterClass::Scalar;
    ParameterType type = ParameterType::Float;
    int rows = 1;
    int columns = 1;
    int elements = 0;  // array length, 0 when not an array
    std::string semantic;
    std::vector<Annotation> annotations;
    std::vector<float> defaultValue;             // empty: zero-filled
    std::string text;                            // a string's value, without its quotes
    std::vector<StateAssignment> samplerStates;  // sampler_state contents
    SourcePosition position;
};

struct EffectPassDesc {
    std::string name;
    std::vector<Annotation> annotations;
    PassShader vertexShader;
    PassShader pixelShader;
    std::vector<StateAssignment> states;  // every other assignment, in order
    SourcePosition position;
};

struct EffectTechniqueDesc {
    std::string name;
    std::vector<Annotation> annotations;
    std::vector<EffectPassDesc> passes;
    SourcePosition position;
};

struct EffectDescription {
    std::vector<EffectParameterDesc> parameters;
    std::vector<EffectTechniqueDesc> techniques;
    std::vector<std::string> functions;    // names of the functions the HLSL defines
    std::vector<FunctionDesc> signatures;  // their signatures, first definition of each name
    std::vector<ShaderObjectDesc> shaders;
    std::vector<NamedConstant> constants;
    // Same line breaks as the source, and the same columns but after the type names of int and
    // bool globals, which are declared as floats there.
    std::string hlsl;
};

}  // namespace nvesk::d3dx9

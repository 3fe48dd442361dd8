#include "AssemblyPass.h"

#include "CompilerMessages.h"
#include "EffectCompileAhead.h"
#include "EffectParser.h"
#include "ShaderAssembler.h"
#include "ShaderTranslator.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <memory>

namespace nvesk::d3dx9 {

namespace {

// One constant state: the stage and register file it fills, from register `assignment.index` on.
struct ConstantState {
    bool vertex = true;
    char file = 'c';  // c#, i# or b#
    int count = 0;    // registers; 0: as many as the value fills
    const StateAssignment* assignment = nullptr;
};

bool ReadConstantState(const StateAssignment& assignment, ConstantState& state) {
    std::string name = assignment.name;
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::toupper(c); });
    for (const bool vertex : {true, false}) {
        const std::string prefix = vertex ? "VERTEXSHADERCONSTANT" : "PIXELSHADERCONSTANT";
        if (name.compare(0, prefix.size(), prefix) != 0) continue;
        const std::string rest = name.substr(prefix.size());
        if (!(rest.empty() || rest == "1" || rest == "2" || rest == "3" || rest == "4" || rest == "F" || rest == "B" ||
              rest == "I"))
            return false;
        state.vertex = vertex;
        state.file = rest == "B" ? 'b' : rest == "I" ? 'i' : 'c';
        state.count = rest.size() == 1 && std::isdigit(static_cast<unsigned char>(rest[0])) ? rest[0] - '0' : 0;
        state.assignment = &assignment;
        return true;
    }
    return false;
}

// The numbers of a literal value: `{1, 2, 3, 4}`, `float4(1, 2, 3, 4)`, `-0.5`, `TRUE`.
bool LiteralNumbers(const StateAssignment& assignment, std::vector<float>& numbers) {
    static const char* const kTypes[] = {"float", "float2", "float3", "float4", "int",   "int2", "int3",
                                         "int4",  "bool",   "bool2",  "bool3",  "bool4", "half", "half4"};
    bool negative = false;
    for (const Token& token : assignment.valueTokens) {
        const std::string word = Lower(token.text);
        if (token.kind == TokenKind::Number) {
            const float value = std::strtof(token.text.c_str(), nullptr);
            numbers.push_back(negative ? -value : value);
            negative = false;
        } else if (token.kind == TokenKind::Symbol && token.text == "-") {
            negative = !negative;
        } else if (token.kind == TokenKind::Identifier && (word == "true" || word == "false")) {
            numbers.push_back(word == "true" ? 1.0f : 0.0f);
        } else if (token.kind == TokenKind::Symbol && std::string("{},()").find(token.text) != std::string::npos) {
            continue;
        } else if (token.kind != TokenKind::Identifier ||
                   std::find(std::begin(kTypes), std::end(kTypes), word) == std::end(kTypes)) {
            return false;
        }
    }
    return !numbers.empty();
}

// The slot a parameter's values take from register `first` on: one register a vector or array
// element, one a column of a matrix (HLSL's packing, as D3DX sets a matrix for a shader), or a row
// where the parameter is declared row_major.
ConstantSlot ParameterSlot(const EffectParameterDesc& parameter, char file, int first) {
    ConstantSlot slot;
    slot.name = parameter.name;
    slot.offset = static_cast<std::uint32_t>(first) * 16;
    slot.matrixStride = 16;
    slot.columnMajor = parameter.typeName.find("row_major") == std::string::npos;
    const int perElement = parameter.parameterClass != ParameterClass::MatrixRows ? 1
                           : slot.columnMajor                                     ? parameter.columns
                                                                                  : parameter.rows;
    slot.arrayStride = static_cast<std::uint32_t>(perElement) * 16;
    slot.baseType = file == 'c'   ? ConstantBaseType::Float
                    : file == 'i' ? ConstantBaseType::Int
                                  : ConstantBaseType::Bool;
    return slot;
}

// A literal value as `def`, `defi` or `defb` of the registers it fills.
std::vector<AssemblyInstruction> Definitions(const ConstantState& state, const std::vector<float>& numbers) {
    const int registers = state.count != 0 ? state.count : static_cast<int>((numbers.size() + 3) / 4);
    std::vector<AssemblyInstruction> definitions;
    for (int r = 0; r < registers; ++r) {
        AssemblyInstruction definition;
        definition.name = state.file == 'c' ? "def" : state.file == 'i' ? "defi" : "defb";
        definition.hasDestination = true;
        definition.destination.type = state.file == 'c'   ? RegisterType::Const
                                      : state.file == 'i' ? RegisterType::ConstInt
                                                          : RegisterType::ConstBool;
        definition.destination.index = state.assignment->index + r;
        for (std::size_t c = 0; c < 4; ++c) {
            const std::size_t at = static_cast<std::size_t>(r) * 4 + c;
            const float value = at < numbers.size() ? numbers[at] : 0.0f;
            definition.floatValues[c] = value;
            definition.intValues[c] = static_cast<int>(value);
        }
        definitions.push_back(definition);
    }
    return definitions;
}

// The kind of texture each stage reads, for ps_1_x which declares none: a cube or volume texture
// (or sampler of one) the pass's Texture[n] or Sampler[n] names; 0 (2D) otherwise.
PixelShader1xTextures StageTextures(const EffectDescription& description, const std::vector<StateAssignment>& states) {
    auto find = [&](const std::string& name) -> const EffectParameterDesc* {
        for (const EffectParameterDesc& parameter : description.parameters)
            if (parameter.name == name) return &parameter;
        return nullptr;
    };
    auto kindOf = [&](const std::string& name) {
        const EffectParameterDesc* parameter = find(name);
        if (parameter != nullptr && parameter->type == ParameterType::Sampler) {
            for (const StateAssignment& state : parameter->samplerStates) {
                if (Lower(state.name) == "texture") {
                    const EffectParameterDesc* texture = find(state.value);
                    if (texture != nullptr) parameter = texture;
                }
            }
        }
        const std::string type = parameter != nullptr ? Lower(parameter->typeName) : std::string();
        const auto endsWith = [&](const char* tail) {
            const std::string end = tail;
            return type.size() >= end.size() && type.compare(type.size() - end.size(), end.size(), end) == 0;
        };
        return endsWith("cube") ? 3 : endsWith("3d") || endsWith("volume") ? 4 : 0;
    };
    PixelShader1xTextures textures;
    for (const StateAssignment& state : states) {
        const std::string name = Lower(state.name);
        if ((name == "texture" || name == "sampler") && state.index >= 0 && state.index < 8) {
            const int kind = kindOf(state.value);
            if (kind != 0) textures.types[static_cast<std::size_t>(state.index)] = kind;
        }
    }
    return textures;
}

// An asm stage, with the constant states of its stage: parameters as slots of its register
// arrays, literal values as definitions ahead of its code (a `def` of its own still wins, as a
// shader's definitions win over the device's registers on Direct3D 9).
bool TranslateStage(const EffectDescription& description, const std::vector<StateAssignment>& states,
                    const std::vector<ConstantState>& constants, const ShaderCompileRequest& request, bool vertex,
                    const std::string& fileName, ShaderTranslation& translation, std::string& errors) {
    AssemblyResult assembled = AssembleShader(request.assembly, fileName, request.assemblyStart,
                                              vertex ? ShaderStage::Vertex : ShaderStage::Pixel);
    if (!assembled.ok) {
        errors = assembled.errors;
        return false;
    }
    std::vector<AssemblyInstruction> definitions;
    std::vector<std::pair<char, ConstantSlot>> slots;
    for (const ConstantState& state : constants) {
        if (state.vertex != vertex) continue;
        const StateAssignment& assignment = *state.assignment;
        if (assignment.isReference) {
            const auto parameter =
                std::find_if(description.parameters.begin(), description.parameters.end(),
                             [&](const EffectParameterDesc& p) { return p.name == assignment.value; });
            const bool numeric = parameter != description.parameters.end() &&
                                 (parameter->type == ParameterType::Float || parameter->type == ParameterType::Int ||
                                  parameter->type == ParameterType::Bool);
            if (!numeric) {
                errors =
                    FormatError(fileName, assignment.position, "'" + assignment.value + "' is not a number") + "\n";
                return false;
            }
            slots.push_back({state.file, ParameterSlot(*parameter, state.file, assignment.index)});
            continue;
        }
        std::vector<float> numbers;
        if (!LiteralNumbers(assignment, numbers)) {
            errors =
                FormatError(fileName, assignment.position,
                            "'" + assignment.name + "' takes a parameter or numbers, not '" + assignment.value + "'") +
                "\n";
            return false;
        }
        for (AssemblyInstruction& definition : Definitions(state, numbers))
            definitions.push_back(std::move(definition));
    }
    auto& code = assembled.shader.instructions;
    code.insert(code.begin(), definitions.begin(), definitions.end());
    ShaderTranslationOptions options;
    options.fileName = fileName;
    options.pixelShader1xTextures = StageTextures(description, states);
    translation = TranslateShader(assembled.shader, options);
    if (!translation.ok) {
        errors = translation.errors;
        return false;
    }
    for (const auto& [file, slot] : slots) {
        StageConstants& target = file == 'c'   ? translation.floatConstants
                                 : file == 'i' ? translation.intConstants
                                               : translation.boolConstants;
        target.slots.push_back(slot);
    }
    return true;
}

// One stage as a program of that stage alone.
ProgramCompileResult StageProgram(const EffectDescription& description, const std::vector<StateAssignment>& states,
                                  const std::vector<ConstantState>& constants, const ShaderCompileRequest& request,
                                  bool vertex, const std::string& fileName) {
    ProgramCompileResult result;
    if (!request.assembly.empty()) {
        ShaderTranslation translation;
        if (!TranslateStage(description, states, constants, request, vertex, fileName, translation, result.errors))
            return result;
        return vertex ? PairTranslations(&translation, nullptr) : PairTranslations(nullptr, &translation);
    }
    BoundStage bound;
    std::string error;
    if (!BindStage(description, request, vertex, bound, error)) {
        result.errors = FormatError(fileName, request.position, error);
        return result;
    }
    return vertex ? CompileProgram(bound.hlsl, bound.hlsl, fileName, bound.request, ShaderCompileRequest())
                  : CompileProgram(bound.hlsl, bound.hlsl, fileName, ShaderCompileRequest(), bound.request);
}

// An asm stage's samplers keep their units; an HLSL stage's take the first units left free.
void AddSamplers(const CompiledProgram& stage, bool assembly, std::vector<std::string>& samplers) {
    if (assembly) {
        if (samplers.size() < stage.samplers.size()) samplers.resize(stage.samplers.size());
        for (std::size_t unit = 0; unit < stage.samplers.size(); ++unit)
            if (!stage.samplers[unit].empty()) samplers[unit] = stage.samplers[unit];
        return;
    }
    std::size_t unit = 0;
    for (const std::string& name : stage.samplers) {
        while (unit < samplers.size() && !samplers[unit].empty())
            ++unit;
        if (unit == samplers.size()) samplers.emplace_back();
        samplers[unit] = name;
    }
}

}  // namespace

bool IsShaderConstantState(const std::string& name) {
    StateAssignment assignment;
    assignment.name = name;
    ConstantState state;
    return ReadConstantState(assignment, state);
}

ProgramCompileResult CompileAssemblyPass(const EffectDescription& description,
                                         const std::vector<StateAssignment>& states, const ShaderCompileRequest& vertex,
                                         const ShaderCompileRequest& pixel, const std::string& fileName) {
    ProgramCompileResult result;
    std::vector<ConstantState> constants;
    for (const StateAssignment& assignment : states) {
        ConstantState state;
        if (!ReadConstantState(assignment, state)) continue;
        if ((state.vertex ? vertex : pixel).assembly.empty()) {
            result.errors = FormatError(fileName, assignment.position,
                                        "shader constant states are not supported for an HLSL or the device's "
                                        "shader: it reads its constants from the effect's parameters");
            return result;
        }
        constants.push_back(state);
    }
    auto program = std::make_shared<CompiledProgram>();
    // The samplers of an asm stage first, which keep their units.
    std::vector<std::pair<std::shared_ptr<const CompiledProgram>, bool>> stages;
    for (const bool isVertex : {true, false}) {
        const ShaderCompileRequest& request = isVertex ? vertex : pixel;
        if (request.IsNull()) continue;
        ProgramCompileResult stage = StageProgram(description, states, constants, request, isVertex, fileName);
        if (stage.program == nullptr) return stage;
        const CompiledProgram& half = *stage.program;
        if (isVertex) {
            program->vertexGlsl = half.vertexGlsl;
            program->vertexInputs = half.vertexInputs;
            program->vertexOutputs = half.vertexOutputs;
            program->vertexConstants = half.vertexConstants;
            program->vertexIntConstants = half.vertexIntConstants;
            program->vertexBoolConstants = half.vertexBoolConstants;
        } else {
            program->fragmentGlsl = half.fragmentGlsl;
            program->colorOutput = half.colorOutput;
            program->pixelInputs = half.pixelInputs;
            program->pixelConstants = half.pixelConstants;
            program->pixelIntConstants = half.pixelIntConstants;
            program->pixelBoolConstants = half.pixelBoolConstants;
        }
        stages.push_back({stage.program, !request.assembly.empty()});
    }
    std::stable_sort(stages.begin(), stages.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
    for (const auto& [stage, assembly] : stages)
        AddSamplers(*stage, assembly, program->samplers);
    result.program = std::move(program);
    return result;
}

}  // namespace nvesk::d3dx9

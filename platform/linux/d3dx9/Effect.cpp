#include "Effect.h"
#include "com/Diagnostics.h"

#include "AssemblyPass.h"
#include "CompilerMessages.h"
#include "EffectCompileAhead.h"
#include "EffectParser.h"

#include <d3d9/Lighting.h>

#include <strings.h>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <new>
#include <tuple>

namespace nvesk::d3dx9 {

using com::Reject;

namespace {

D3DXPARAMETER_CLASS ClassOf(const EffectParameterDesc& desc) {
    switch (desc.parameterClass) {
    case ParameterClass::Scalar:
        return D3DXPC_SCALAR;
    case ParameterClass::Vector:
        return D3DXPC_VECTOR;
    case ParameterClass::MatrixRows:
        return D3DXPC_MATRIX_ROWS;
    default:
        return D3DXPC_OBJECT;
    }
}

D3DXPARAMETER_TYPE TypeOf(const EffectParameterDesc& desc) {
    const std::string lower = Lower(desc.typeName);
    switch (desc.type) {
    case ParameterType::Void:
        return D3DXPT_VOID;
    case ParameterType::Bool:
        return D3DXPT_BOOL;
    case ParameterType::Int:
        return D3DXPT_INT;
    case ParameterType::Float:
        return D3DXPT_FLOAT;
    case ParameterType::String:
        return D3DXPT_STRING;
    case ParameterType::Texture:
        return lower == "texture1d"     ? D3DXPT_TEXTURE1D
               : lower == "texture2d"   ? D3DXPT_TEXTURE2D
               : lower == "texture3d"   ? D3DXPT_TEXTURE3D
               : lower == "texturecube" ? D3DXPT_TEXTURECUBE
                                        : D3DXPT_TEXTURE;
    case ParameterType::Sampler:
        return lower == "sampler1d"     ? D3DXPT_SAMPLER1D
               : lower == "sampler2d"   ? D3DXPT_SAMPLER2D
               : lower == "sampler3d"   ? D3DXPT_SAMPLER3D
               : lower == "samplercube" ? D3DXPT_SAMPLERCUBE
                                        : D3DXPT_SAMPLER;
    }
    return D3DXPT_UNSUPPORTED;
}

// An annotation as a read-only parameter of its type, so that GetParameterDesc and the Get
// methods read it as D3DX reads annotations.
EffectParameterDesc AsParameter(const Annotation& annotation) {
    EffectParameterDesc desc;
    desc.name = annotation.name;
    desc.typeName = annotation.type;
    desc.parameterClass = annotation.parameterClass;
    desc.type = annotation.valueType;
    desc.rows = annotation.rows;
    desc.columns = annotation.columns;
    desc.defaultValue = annotation.numbers;
    if (annotation.valueType == ParameterType::String) desc.text = annotation.value;
    return desc;
}

// In the order of annotations_: the parameters', then each technique's followed by its passes'.
std::vector<EffectParameterDesc> AllAnnotations(const EffectDescription& description) {
    std::vector<EffectParameterDesc> all;
    auto add = [&](const std::vector<Annotation>& annotations) {
        for (const Annotation& annotation : annotations)
            all.push_back(AsParameter(annotation));
    };
    for (const EffectParameterDesc& parameter : description.parameters)
        add(parameter.annotations);
    for (const EffectTechniqueDesc& technique : description.techniques) {
        add(technique.annotations);
        for (const EffectPassDesc& pass : technique.passes)
            add(pass.annotations);
    }
    return all;
}

// "vs_2_0" as D3DVS_VERSION(2, 0), "ps_3_0" as D3DPS_VERSION(3, 0); the 2_a and 2_b profiles as 2.0.
DWORD ProfileVersion(const std::string& profile) {
    if (profile.size() < 4 || profile[2] != '_' || profile[3] < '0' || profile[3] > '9') return 0;
    const DWORD major = static_cast<DWORD>(profile[3] - '0');
    const DWORD minor =
        profile.size() >= 6 && profile[4] == '_' && profile[5] >= '0' && profile[5] <= '9' ? profile[5] - '0' : 0;
    if (profile.compare(0, 2, "vs") == 0) return D3DVS_VERSION(major, minor);
    if (profile.compare(0, 2, "ps") == 0) return D3DPS_VERSION(major, minor);
    return 0;
}

DWORD HighestVersion(const std::vector<ShaderCompileRequest>& choices) {
    DWORD version = 0;
    for (const ShaderCompileRequest& choice : choices)
        version = std::max(version, choice.IsNull() ? 0 : ProfileVersion(choice.profile));
    return version;
}

std::string Written(const StateAssignment& assignment) {
    std::string text = assignment.name;
    if (assignment.index != 0) text += "[" + std::to_string(assignment.index) + "]";
    return text + " = " + (assignment.isReference ? "<" + assignment.value + ">" : assignment.value);
}

}  // namespace

bool Effect::SameState(const PassState& a, const PassState& b) {
    return a.target == b.target && a.state == b.state && a.unit == b.unit &&
           (a.target != StateTarget::Fixed || a.fixedGroup == b.fixedGroup);
}

Effect::Effect(IDirect3DDevice9* device, const EffectDescription& description)
    : ComObject(com::Kind::Effect),
      device_(device),
      parameters_(description.parameters),
      annotations_(AllAnnotations(description)),
      samplers_(description.parameters.size()),
      constants_(description.constants) {
    device_->AddRef();
}

void Effect::OnFinalRelease() {
    if (begun_) RestoreState();
    for (Technique& technique : techniques_) {
        for (Pass& pass : technique.passes) {
            for (PassProgram& program : pass.programs)
                program.Free(device_);
        }
    }
    techniques_ = std::vector<Technique>();
    samplers_ = std::vector<SamplerBinding>();
    parameters_.Clear();
    annotations_.Clear();
    device_->Release();
}

HRESULT Effect::Create(IDirect3DDevice9* device, const std::string& source, const std::string& fileName, DWORD flags,
                       Effect** effect, std::string& errors) {
    *effect = nullptr;
    // The legacy compiler lets shader code write to uniform globals; compatibility mode does too.
    const bool backwardsCompatible =
        (flags & (D3DXSHADER_ENABLE_BACKWARDS_COMPATIBILITY | D3DXSHADER_USE_LEGACY_D3DX9_31_DLL)) != 0;
    const ParseResult parsed = ParseEffect(source, backwardsCompatible);
    if (!parsed.ok) {
        errors = FormatError(fileName, parsed.errorPosition, parsed.error);
        return E_FAIL;
    }
    const EffectDescription& description = parsed.description;
    Effect* created = new (std::nothrow) Effect(device, description);
    if (created == nullptr) return E_OUTOFMEMORY;
    HRESULT result = D3D_OK;
    auto fail = [&](SourcePosition position, const std::string& message, HRESULT code) {
        errors += FormatError(fileName, position, message);
        if (SUCCEEDED(result)) result = code;
    };
    // Ranges taken in the order AllAnnotations lists them.
    UINT nextAnnotation = 0;
    auto annotations = [&](const std::vector<Annotation>& list) {
        const AnnotationRange range {nextAnnotation, static_cast<UINT>(list.size())};
        nextAnnotation += range.count;
        return range;
    };
    for (const EffectParameterDesc& parameter : description.parameters)
        created->parameterAnnotations_.push_back(annotations(parameter.annotations));

    for (std::size_t i = 0; i < description.parameters.size(); ++i) {
        const EffectParameterDesc& parameter = description.parameters[i];
        for (const StateAssignment& assignment : parameter.samplerStates) {
            if (strcasecmp(assignment.name.c_str(), "Texture") == 0) {
                const int texture = created->parameters_.FindByName(assignment.value.c_str());
                if (texture < 0 ||
                    description.parameters[static_cast<std::size_t>(texture)].type != ParameterType::Texture) {
                    fail(assignment.position, "'" + assignment.value + "' is not a texture", E_FAIL);
                }
                created->samplers_[i].textureParameter = texture;
                continue;
            }
            PassState state;
            std::string error;
            if (!created->ResolveState(assignment, true, state, error)) {
                fail(assignment.position, error, E_FAIL);
            } else {
                state.written = Written(assignment);
                created->samplers_[i].states.push_back(state);
            }
        }
    }

    const CompileAhead ahead(description, fileName);
    created->techniques_.resize(description.techniques.size());
    for (std::size_t t = 0; t < description.techniques.size(); ++t) {
        const EffectTechniqueDesc& techniqueDesc = description.techniques[t];
        Technique& technique = created->techniques_[t];
        technique.name = techniqueDesc.name;
        technique.annotations = annotations(techniqueDesc.annotations);
        technique.passes.resize(techniqueDesc.passes.size());
        for (std::size_t p = 0; p < techniqueDesc.passes.size(); ++p) {
            const EffectPassDesc& passDesc = techniqueDesc.passes[p];
            Pass& pass = technique.passes[p];
            pass.name = passDesc.name;
            pass.annotations = annotations(passDesc.annotations);
            for (const StateAssignment& assignment : passDesc.states) {
                if (IsShaderConstantState(assignment.name)) continue;  // the asm stage's registers (CreatePass)
                PassState state;
                std::string error;
                if (!created->ResolveState(assignment, false, state, error)) {
                    fail(assignment.position, error, E_FAIL);
                } else {
                    state.written = Written(assignment);
                    // A pass ignores all but the last of a state's assignments.
                    pass.states.erase(
                        std::remove_if(pass.states.begin(), pass.states.end(),
                                       [&](const PassState& earlier) { return SameState(earlier, state); }),
                        pass.states.end());
                    pass.states.push_back(state);
                }
            }
            if (FAILED(result)) continue;  // report every error the front end finds, compile nothing
            const HRESULT created_pass = created->CreatePass(description, passDesc, fileName, pass, errors);
            if (FAILED(created_pass)) result = created_pass;
        }
    }
    // Direct3D 9 compiles the file's HLSL whatever its passes use: a pass that compiled an HLSL stage
    // has checked it; asm blocks and NULL check none of it.
    const bool compiledHlsl = std::any_of(
        description.techniques.begin(), description.techniques.end(), [&](const EffectTechniqueDesc& technique) {
            return std::any_of(technique.passes.begin(), technique.passes.end(), [&](const EffectPassDesc& pass) {
                for (const PassShader* shader : {&pass.vertexShader, &pass.pixelShader}) {
                    for (const ShaderCompileRequest& choice : StageChoices(description, *shader))
                        if (!choice.entry.empty()) return true;
                }
                return false;
            });
        });
    if (SUCCEEDED(result) && !compiledHlsl && !CheckHlsl(description.hlsl, fileName, errors)) result = E_FAIL;
    if (FAILED(result)) {
        created->Release();
        return result;
    }
    created->currentTechnique_ = created->techniques_.empty() ? -1 : 0;
    *effect = created;
    return D3D_OK;
}

HRESULT Effect::CreatePass(const EffectDescription& description, const EffectPassDesc& passDesc,
                           const std::string& fileName, Pass& pass, std::string& errors) {
    const std::vector<ShaderCompileRequest> vertexChoices = StageChoices(description, passDesc.vertexShader);
    const std::vector<ShaderCompileRequest> pixelChoices = StageChoices(description, passDesc.pixelShader);
    // Shader constant states fill the registers of an asm stage; without one they have nothing to fill.
    const auto isAssembly = [](const ShaderCompileRequest& choice) { return !choice.assembly.empty(); };
    const bool anyAssembly = std::any_of(vertexChoices.begin(), vertexChoices.end(), isAssembly) ||
                             std::any_of(pixelChoices.begin(), pixelChoices.end(), isAssembly);
    for (const StateAssignment& assignment : passDesc.states) {
        if (!anyAssembly && IsShaderConstantState(assignment.name)) {
            errors += FormatError(fileName, assignment.position,
                                  "shader constant states are not supported without an asm shader: an HLSL shader "
                                  "reads its constants from the effect's parameters");
            return E_FAIL;
        }
    }
    pass.setsShaders = passDesc.vertexShader.assignment != ShaderAssignment::None ||
                       passDesc.pixelShader.assignment != ShaderAssignment::None;
    if (!pass.setsShaders) return D3D_OK;
    pass.vertexChoices = vertexChoices.size();
    pass.pixelChoices = pixelChoices.size();
    pass.vertexShaderVersion = HighestVersion(vertexChoices);
    pass.pixelShaderVersion = HighestVersion(pixelChoices);
    if (!passDesc.vertexShader.indexParameter.empty())
        pass.vertexSelector = parameters_.FindByName(passDesc.vertexShader.indexParameter.c_str());
    if (!passDesc.pixelShader.indexParameter.empty())
        pass.pixelSelector = parameters_.FindByName(passDesc.pixelShader.indexParameter.c_str());
    std::string indexError;
    SourcePosition indexAt;
    if (!ResolveShaderIndex(passDesc.vertexShader, vertexChoices.size(), pass.vertexIndex, indexAt, indexError) ||
        !ResolveShaderIndex(passDesc.pixelShader, pixelChoices.size(), pass.pixelIndex, indexAt, indexError)) {
        errors += FormatError(fileName, indexAt, indexError);
        return E_FAIL;
    }
    pass.programs.resize(vertexChoices.size() * pixelChoices.size());
    HRESULT result = D3D_OK;
    for (std::size_t v = 0; v < vertexChoices.size(); ++v) {
        for (std::size_t p = 0; p < pixelChoices.size(); ++p) {
            if (vertexChoices[v].IsNull() && pixelChoices[p].IsNull()) continue;  // both NULL
            std::string log;
            PassProgram& program = pass.programs[v * pixelChoices.size() + p];
            if (isAssembly(vertexChoices[v]) || isAssembly(pixelChoices[p])) {
                const ProgramCompileResult assembled =
                    CompileAssemblyPass(description, passDesc.states, vertexChoices[v], pixelChoices[p], fileName);
                const HRESULT linked =
                    assembled.program == nullptr ? E_FAIL : program.Prepare(device_, assembled.program, log);
                if (assembled.program == nullptr) errors += assembled.errors;
                if (assembled.program != nullptr && FAILED(linked))
                    errors += FormatError(fileName, passDesc.position, "the device cannot link this pass: " + log);
                if (FAILED(linked)) result = linked;
                continue;
            }
            BoundStage vertex;
            BoundStage pixel;
            std::string error;
            const bool vertexBound = BindStage(description, vertexChoices[v], true, vertex, error);
            if (!vertexBound || !BindStage(description, pixelChoices[p], false, pixel, error)) {
                errors += FormatError(fileName, (vertexBound ? pixelChoices[p] : vertexChoices[v]).position, error);
                result = E_FAIL;
                continue;
            }
            const ProgramCompileResult compiled =
                CompileProgram(vertex.hlsl, pixel.hlsl, fileName, vertex.request, pixel.request);
            if (compiled.program == nullptr) {
                errors += compiled.errors;
                result = E_FAIL;
                continue;
            }
            const HRESULT linked = program.Prepare(device_, compiled.program, log);
            if (FAILED(linked)) {
                errors += FormatError(fileName, passDesc.position, "the device cannot link this pass: " + log);
                result = linked;
            }
        }
    }
    return result;
}

int Effect::IntParameter(int index) const {
    float value = 0;
    parameters_.GetNumbers(index, &value, 1);
    return static_cast<int>(value);
}

bool Effect::ResolveShaderIndex(const PassShader& shader, std::size_t choices, std::shared_ptr<const Expression>& index,
                                SourcePosition& errorAt, std::string& error) const {
    if (shader.indexTokens.empty()) return true;
    std::unique_ptr<Expression> expression = Expression::Parse(
        shader.indexTokens, shader.indexEnd, ExpressionNames(StateValueKind::Dword, false), errorAt, error);
    if (expression != nullptr && expression->Shape().Count() != 1) {
        errorAt = shader.indexTokens.front().position;
        error = "a shader index must be a scalar";
        return false;
    }
    if (expression == nullptr) {
        error = "invalid shader index: " + error;
        return false;
    }
    if (!expression->ReadsParameters()) {
        const double value = expression->Fold().numbers[0];
        if (!(value >= 0 && value < static_cast<double>(choices))) {
            errorAt = shader.position;
            error = "index " + std::to_string(static_cast<long long>(value)) + " is outside '" + shader.object + "'";
            return false;
        }
    }
    index = std::move(expression);
    return true;
}

int Effect::ChosenProgram(const Pass& pass) const {
    auto choose = [&](int selector, const std::shared_ptr<const Expression>& index, std::size_t choices) {
        if (selector < 0 && index == nullptr) return 0;
        const double value = index != nullptr ? std::trunc(Evaluate(*index).numbers[0]) : IntParameter(selector);
        return value >= 0 && value < static_cast<double>(choices) ? static_cast<int>(value) : -1;
    };
    const int vertex = choose(pass.vertexSelector, pass.vertexIndex, pass.vertexChoices);
    const int pixel = choose(pass.pixelSelector, pass.pixelIndex, pass.pixelChoices);
    if (vertex < 0 || pixel < 0) return -1;
    return vertex * static_cast<int>(pass.pixelChoices) + pixel;
}

bool Effect::ResolveState(const StateAssignment& assignment, bool inSampler, PassState& state,
                          std::string& error) const {
    StateInfo info;
    // `Sampler[n] = (s)` and `Texture[n] = <t>` name a parameter of that type for stage n.
    struct ObjectState {
        const char* name;
        StateTarget target;
        ParameterType type;
        const char* what;
    };
    static const ObjectState kObjectStates[] = {
        {"Sampler", StateTarget::SamplerBlock, ParameterType::Sampler, "a sampler"},
        {"Texture", StateTarget::Texture, ParameterType::Texture, "a texture"}};
    for (const ObjectState& object : kObjectStates) {
        if (inSampler || strcasecmp(assignment.name.c_str(), object.name) != 0) continue;
        state.target = object.target;
        state.unit = static_cast<DWORD>(assignment.index);
        // `Texture[n] = NULL;` or `= 0;` unbinds the stage's texture.
        const bool none =
            !assignment.isReference && (assignment.value == "0" || strcasecmp(assignment.value.c_str(), "NULL") == 0);
        if (none && object.target == StateTarget::Texture) {
            state.parameter = -1;
            return state.unit < 16 || (error = std::string(object.name) + " stage out of range", false);
        }
        state.parameter = parameters_.FindByName(assignment.value.c_str());
        if (state.parameter < 0 || parameters_.At(state.parameter).desc.type != object.type) {
            error = "'" + assignment.value + "' is not " + object.what;
            return false;
        }
        return state.unit < 16 || (error = std::string(object.name) + " stage out of range", false);
    }
    if (!inSampler && FindRenderState(assignment.name, info)) {
        state.target = StateTarget::Render;
    } else if (!inSampler && FindTextureStageState(assignment.name, info)) {
        state.target = StateTarget::TextureStage;
        state.unit = static_cast<DWORD>(assignment.index);
        if (state.unit >= 8) {
            error = "texture stage out of range";
            return false;
        }
    } else if (FindSamplerState(assignment.name, info)) {
        state.target = StateTarget::Sampler;
        state.unit = static_cast<DWORD>(assignment.index);
        if (state.unit >= 16) {
            error = "sampler index out of range";
            return false;
        }
    } else if (!inSampler) {
        return ResolveFixedState(assignment, state, error);
    } else {
        error = "unknown state '" + assignment.name + "'";
        return false;
    }
    state.state = info.state;
    state.kind = info.kind;
    if (!assignment.isReference && ParseStateValue(info.kind, assignment.value, state.value)) return true;
    state.parameter = parameters_.FindByName(assignment.value.c_str());
    if (state.parameter >= 0) {
        const ParameterClass parameterClass = parameters_.At(state.parameter).desc.parameterClass;
        // A colour state also takes a vector parameter, converted to a D3DCOLOR when applied.
        if (parameterClass == ParameterClass::Scalar ||
            (parameterClass == ParameterClass::Vector && info.kind == StateValueKind::Color)) {
            return true;
        }
    }
    state.parameter = -1;
    return ResolveExpression(assignment, state, error);
}

NameLookup Effect::ExpressionNames(StateValueKind kind, bool variableOnly) const {
    // The state's own values (`CCW`, `Red`) come first, then the static consts, then the parameters.
    return [this, kind, variableOnly](const std::string& name, ExpressionName& found) {
        DWORD named = 0;
        if (!variableOnly && FindStateValueName(kind, name, named)) {
            found.value.type = ExpressionType::Int;
            found.value.numbers = {static_cast<double>(static_cast<INT>(named))};
            found.valueName = true;
            return true;
        }
        for (const NamedConstant& constant : constants_) {
            if (!variableOnly && constant.name == name) {
                found.value = constant.value;
                return true;
            }
        }
        const int parameter = parameters_.FindByName(name.c_str());
        if (parameter < 0) return false;
        const EffectParameterDesc& desc = parameters_.At(parameter).desc;
        if (desc.type != ParameterType::Bool && desc.type != ParameterType::Int && desc.type != ParameterType::Float) {
            return false;
        }
        found.value.type = desc.type == ParameterType::Bool  ? ExpressionType::Bool
                           : desc.type == ParameterType::Int ? ExpressionType::Int
                                                             : ExpressionType::Float;
        found.value.rows = desc.rows;
        found.value.columns = desc.columns;
        found.parameter = parameter;
        found.elements = desc.elements;
        return true;
    };
}

bool Effect::ResolveExpression(const StateAssignment& assignment, PassState& state, std::string& error) const {
    // `<name>` names a parameter only.
    const bool variableOnly = assignment.isReference && assignment.valueTokens.size() == 1;
    const NameLookup names = ExpressionNames(state.kind, variableOnly);
    SourcePosition errorAt;
    std::string why;
    std::unique_ptr<Expression> expression =
        assignment.valueTokens.empty()
            ? nullptr
            : Expression::Parse(assignment.valueTokens, assignment.valueEnd, names, errorAt, why);
    if (expression != nullptr && !ExpressionFitsState(state.kind, expression->Shape(), why)) {
        why = "the state takes " + why;
        expression.reset();
    }
    if (expression == nullptr) {
        error = "invalid value '" + assignment.value + "' for state '" + assignment.name + "'" +
                (why.empty() ? std::string() : ": " + why);
        return false;
    }
    if (expression->ReadsParameters()) {
        state.expression = std::move(expression);
        return true;
    }
    const ExpressionValue folded = expression->Fold();
    if (state.kind == StateValueKind::Vector) {
        state.vector = ExpressionAsVector(folded);
    } else if (state.kind == StateValueKind::Matrix) {
        state.matrix = ExpressionAsMatrix(folded);
    } else {
        state.value = ExpressionAsStateValue(state.kind, folded);
    }
    return true;
}

ExpressionValue Effect::Evaluate(const Expression& expression) const {
    return expression.Evaluate([this](int parameter, std::size_t first, std::size_t count, double* numbers) {
        // Ints and bools from their exact copies, so that every bit of a large int is kept.
        const EffectParameter& values = parameters_.At(parameter);
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t at = first + i;
            numbers[i] = at < values.integers.size() ? static_cast<double>(values.integers[at])
                         : at < values.values.size() ? static_cast<double>(values.values[at])
                                                     : 0.0;
        }
    });
}

bool Effect::ResolveFixedState(const StateAssignment& assignment, PassState& state, std::string& error) const {
    FixedStateInfo info;
    if (!FindFixedFunctionState(assignment.name, info)) {
        const char* refused = RefusedStateReason(assignment.name);
        error = refused != nullptr ? refused : "unknown state '" + assignment.name + "'";
        return false;
    }
    const auto index = static_cast<DWORD>(assignment.index);
    if (index >= info.indexLimit) {
        error = "'" + assignment.name + "' index out of range";
        return false;
    }
    state.target = StateTarget::Fixed;
    state.fixedGroup = info.group;
    state.unit = index;
    state.state = info.group == FixedStateGroup::Transform ? info.state + index : info.state;
    state.kind = info.kind;
    if (!assignment.isReference) {
        if (info.kind == StateValueKind::Vector && ParseVectorValue(assignment.value, state.vector)) return true;
        if (ParseStateValue(info.kind, assignment.value, state.value)) return true;
    }
    state.parameter = parameters_.FindByName(assignment.value.c_str());
    if (state.parameter >= 0) {
        const ParameterClass parameterClass = parameters_.At(state.parameter).desc.parameterClass;
        const ParameterType type = parameters_.At(state.parameter).desc.type;
        const bool numeric = type == ParameterType::Float || type == ParameterType::Int || type == ParameterType::Bool;
        if (numeric && (info.kind == StateValueKind::Matrix ? parameterClass == ParameterClass::MatrixRows
                        : info.kind == StateValueKind::Vector
                            ? parameterClass == ParameterClass::Scalar || parameterClass == ParameterClass::Vector
                            : parameterClass == ParameterClass::Scalar)) {
            return true;
        }
    }
    state.parameter = -1;
    return ResolveExpression(assignment, state, error);
}

HRESULT Effect::QueryInterface(REFIID riid, void** object) {
    return QueryInterfaceAmong(riid, object, {&IID_ID3DXBaseEffect, &IID_ID3DXEffect});
}

// --- descriptions and handles ---

HRESULT Effect::GetDesc(D3DXEFFECT_DESC* pDesc) {
    NVESK_ENTER("ID3DXEffect::GetDesc");
    if (pDesc == nullptr) return Reject("pDesc is null");
    pDesc->Creator = "NVesk effect compiler";
    pDesc->Parameters = parameters_.Count();
    pDesc->Techniques = static_cast<UINT>(techniques_.size());
    pDesc->Functions = 0;
    return D3D_OK;
}

HRESULT Effect::GetParameterDesc(D3DXHANDLE hParameter, D3DXPARAMETER_DESC* pDesc) {
    NVESK_ENTER("ID3DXEffect::GetParameterDesc");
    const auto [values, index] = Readable(hParameter);
    if (index < 0 || pDesc == nullptr) return Reject("no such parameter or annotation, or pDesc is null");
    const EffectParameterDesc& desc = values->Desc(index);
    const bool annotation = values == &annotations_;
    pDesc->Name = desc.name.c_str();
    pDesc->Semantic = desc.semantic.empty() ? nullptr : desc.semantic.c_str();
    pDesc->Class = ClassOf(desc);
    pDesc->Type = TypeOf(desc);
    pDesc->Rows = static_cast<UINT>(desc.parameterClass == ParameterClass::Object ? 0 : desc.rows);
    pDesc->Columns = static_cast<UINT>(desc.parameterClass == ParameterClass::Object ? 0 : desc.columns);
    pDesc->Elements = static_cast<UINT>(desc.elements);
    pDesc->Annotations =
        annotation || values->IsElement(index) ? 0 : parameterAnnotations_[static_cast<std::size_t>(index)].count;
    pDesc->StructMembers = 0;
    pDesc->Flags = annotation ? D3DX_PARAMETER_ANNOTATION : 0;
    pDesc->Bytes = values->ByteSize(index);
    return D3D_OK;
}

std::pair<const EffectParameters*, int> Effect::Readable(D3DXHANDLE handle) const {
    const int annotation = annotations_.FindHandle(handle);
    if (annotation >= 0) return {&annotations_, annotation};
    return {&parameters_, parameters_.Find(handle)};
}

int Effect::FindTechnique(D3DXHANDLE handle) const {
    if (handle == nullptr) return -1;
    const auto address = reinterpret_cast<std::uintptr_t>(handle);
    for (std::size_t i = 0; i < techniques_.size(); ++i) {
        if (address == reinterpret_cast<std::uintptr_t>(&techniques_[i])) return static_cast<int>(i);
    }
    for (std::size_t i = 0; i < techniques_.size(); ++i) {
        if (techniques_[i].name == handle) return static_cast<int>(i);
    }
    return -1;
}

HRESULT Effect::GetTechniqueDesc(D3DXHANDLE hTechnique, D3DXTECHNIQUE_DESC* pDesc) {
    NVESK_ENTER("ID3DXEffect::GetTechniqueDesc");
    const int index = FindTechnique(hTechnique);
    if (index < 0 || pDesc == nullptr) return Reject("no such parameter or technique, or pDesc is null");
    const Technique& technique = techniques_[static_cast<std::size_t>(index)];
    pDesc->Name = technique.name.empty() ? nullptr : technique.name.c_str();
    pDesc->Passes = static_cast<UINT>(technique.passes.size());
    pDesc->Annotations = technique.annotations.count;
    return D3D_OK;
}

const Effect::Pass* Effect::FindPass(D3DXHANDLE handle) const {
    for (const Technique& technique : techniques_) {
        for (const Pass& pass : technique.passes) {
            if (reinterpret_cast<D3DXHANDLE>(&pass) == handle) return &pass;
        }
    }
    return nullptr;
}

HRESULT Effect::GetPassDesc(D3DXHANDLE hPass, D3DXPASS_DESC* pDesc) {
    NVESK_ENTER("ID3DXEffect::GetPassDesc");
    const Pass* pass = FindPass(hPass);
    if (pass == nullptr || pDesc == nullptr) return Reject("no such pass, or pDesc is null");
    pDesc->Name = pass->name.empty() ? nullptr : pass->name.c_str();
    pDesc->Annotations = pass->annotations.count;
    // Our shaders are GLSL programs: there is no Direct3D shader bytecode to point at.
    pDesc->pVertexShaderFunction = nullptr;
    pDesc->pPixelShaderFunction = nullptr;
    return D3D_OK;
}

const Effect::AnnotationRange* Effect::AnnotationsOf(D3DXHANDLE handle) const {
    if (handle == nullptr || annotations_.FindHandle(handle) >= 0) return nullptr;
    if (const Pass* pass = FindPass(handle)) return &pass->annotations;
    // Handles before names, so that a technique's handle is never read as a parameter's name.
    for (const Technique& technique : techniques_) {
        if (reinterpret_cast<D3DXHANDLE>(&technique) == handle) return &technique.annotations;
    }
    const int parameter = parameters_.Find(handle);
    static const AnnotationRange kNone {0, 0};  // an array's element has none of its own
    if (parameter >= 0 && parameters_.IsElement(parameter)) return &kNone;
    if (parameter >= 0) return &parameterAnnotations_[static_cast<std::size_t>(parameter)];
    const int technique = FindTechnique(handle);
    return technique < 0 ? nullptr : &techniques_[static_cast<std::size_t>(technique)].annotations;
}

D3DXHANDLE Effect::GetAnnotation(D3DXHANDLE hObject, UINT Index) {
    NVESK_ENTER_OR("ID3DXEffect::GetAnnotation", nullptr);
    const AnnotationRange* range = AnnotationsOf(hObject);
    if (range == nullptr || Index >= range->count) return nullptr;
    return annotations_.HandleOf(static_cast<int>(range->first + Index));
}

D3DXHANDLE Effect::GetAnnotationByName(D3DXHANDLE hObject, LPCSTR pName) {
    NVESK_ENTER_OR("ID3DXEffect::GetAnnotationByName", nullptr);
    const AnnotationRange* range = AnnotationsOf(hObject);
    if (range == nullptr || pName == nullptr) return nullptr;
    for (UINT i = range->first; i < range->first + range->count; ++i) {
        if (annotations_.At(static_cast<int>(i)).desc.name == pName) return annotations_.HandleOf(static_cast<int>(i));
    }
    return nullptr;
}

D3DXHANDLE Effect::GetParameter(D3DXHANDLE hParameter, UINT Index) {
    NVESK_ENTER_OR("ID3DXEffect::GetParameter", nullptr);
    // A parameter's children are its elements, as an array's; the top level's are the parameters.
    if (hParameter != nullptr) return parameters_.ElementHandle(Parameter(hParameter), Index);
    if (Index >= parameters_.Count()) return nullptr;
    return parameters_.HandleOf(static_cast<int>(Index));
}

D3DXHANDLE Effect::GetParameterElement(D3DXHANDLE hParameter, UINT ElementIndex) {
    NVESK_ENTER_OR("ID3DXEffect::GetParameterElement", nullptr);
    if (hParameter != nullptr) return parameters_.ElementHandle(Parameter(hParameter), ElementIndex);
    if (ElementIndex >= parameters_.Count()) return nullptr;
    return parameters_.HandleOf(static_cast<int>(ElementIndex));
}

D3DXHANDLE Effect::GetParameterByName(D3DXHANDLE hParameter, LPCSTR pName) {
    NVESK_ENTER_OR("ID3DXEffect::GetParameterByName", nullptr);
    if (hParameter != nullptr) return nullptr;
    const int index = parameters_.FindByName(pName);
    return index < 0 ? nullptr : parameters_.HandleOf(index);
}

D3DXHANDLE Effect::GetParameterBySemantic(D3DXHANDLE hParameter, LPCSTR pSemantic) {
    NVESK_ENTER_OR("ID3DXEffect::GetParameterBySemantic", nullptr);
    if (hParameter != nullptr) return nullptr;
    const int index = parameters_.FindBySemantic(pSemantic);
    return index < 0 ? nullptr : parameters_.HandleOf(index);
}

D3DXHANDLE Effect::GetTechnique(UINT Index) {
    NVESK_ENTER_OR("ID3DXEffect::GetTechnique", nullptr);
    return Index < techniques_.size() ? reinterpret_cast<D3DXHANDLE>(&techniques_[Index]) : nullptr;
}

D3DXHANDLE Effect::GetTechniqueByName(LPCSTR pName) {
    NVESK_ENTER_OR("ID3DXEffect::GetTechniqueByName", nullptr);
    if (pName == nullptr) return nullptr;
    for (const Technique& technique : techniques_) {
        if (technique.name == pName) return reinterpret_cast<D3DXHANDLE>(&technique);
    }
    return nullptr;
}

D3DXHANDLE Effect::GetPass(D3DXHANDLE hTechnique, UINT Index) {
    NVESK_ENTER_OR("ID3DXEffect::GetPass", nullptr);
    const int index = FindTechnique(hTechnique);
    if (index < 0) return nullptr;
    const Technique& technique = techniques_[static_cast<std::size_t>(index)];
    return Index < technique.passes.size() ? reinterpret_cast<D3DXHANDLE>(&technique.passes[Index]) : nullptr;
}

// --- values ---

HRESULT Effect::SetValue(D3DXHANDLE hParameter, LPCVOID pData, UINT Bytes) {
    NVESK_ENTER("ID3DXEffect::SetValue");
    const int index = Parameter(hParameter);
    return index < 0 ? Reject("no such parameter") : parameters_.SetValue(index, pData, Bytes);
}

HRESULT Effect::GetValue(D3DXHANDLE hParameter, LPVOID pData, UINT Bytes) {
    NVESK_ENTER("ID3DXEffect::GetValue");
    const auto [values, index] = Readable(hParameter);
    return index < 0 ? Reject("no such parameter") : values->GetValue(index, pData, Bytes);
}

HRESULT Effect::SetBool(D3DXHANDLE hParameter, BOOL b) {
    NVESK_ENTER("ID3DXEffect::SetBool");
    return SetInt(hParameter, b ? TRUE : FALSE);
}

HRESULT Effect::GetBool(D3DXHANDLE hParameter, BOOL* pb) {
    NVESK_ENTER("ID3DXEffect::GetBool");
    float value = 0;  // a float parameter of 0.5 is TRUE
    if (pb == nullptr) return Reject("pb is null");
    const HRESULT result = GetFloat(hParameter, &value);
    if (SUCCEEDED(result)) *pb = value != 0.0f ? TRUE : FALSE;
    return result;
}

HRESULT Effect::SetInt(D3DXHANDLE hParameter, INT n) {
    NVESK_ENTER("ID3DXEffect::SetInt");
    const int index = Parameter(hParameter);
    return index < 0 ? Reject("no such parameter") : parameters_.SetIntegers(index, &n, 1);
}

HRESULT Effect::GetInt(D3DXHANDLE hParameter, INT* pn) {
    NVESK_ENTER("ID3DXEffect::GetInt");
    const auto [values, index] = Readable(hParameter);
    return index < 0 ? Reject("no such parameter") : values->GetIntegers(index, pn, 1);
}

HRESULT Effect::SetFloat(D3DXHANDLE hParameter, FLOAT f) {
    NVESK_ENTER("ID3DXEffect::SetFloat");
    return SetFloatArray(hParameter, &f, 1);
}

HRESULT Effect::GetFloat(D3DXHANDLE hParameter, FLOAT* pf) {
    NVESK_ENTER("ID3DXEffect::GetFloat");
    return GetFloatArray(hParameter, pf, 1);
}

HRESULT Effect::SetFloatArray(D3DXHANDLE hParameter, const FLOAT* pf, UINT Count) {
    NVESK_ENTER("ID3DXEffect::SetFloatArray");
    const int index = Parameter(hParameter);
    return index < 0 ? Reject("no such parameter") : parameters_.SetNumbers(index, pf, Count);
}

HRESULT Effect::GetFloatArray(D3DXHANDLE hParameter, FLOAT* pf, UINT Count) {
    NVESK_ENTER("ID3DXEffect::GetFloatArray");
    const auto [values, index] = Readable(hParameter);
    return index < 0 ? Reject("no such parameter") : values->GetNumbers(index, pf, Count);
}

HRESULT Effect::SetVector(D3DXHANDLE hParameter, const D3DXVECTOR4* pVector) {
    NVESK_ENTER("ID3DXEffect::SetVector");
    const int index = Parameter(hParameter);
    if (index < 0 || pVector == nullptr) return Reject("no such parameter, or pVector is null");
    return parameters_.SetVector(index, static_cast<const FLOAT*>(*pVector));
}

HRESULT Effect::GetVector(D3DXHANDLE hParameter, D3DXVECTOR4* pVector) {
    NVESK_ENTER("ID3DXEffect::GetVector");
    const auto [values, index] = Readable(hParameter);
    if (index < 0 || pVector == nullptr) return Reject("no such parameter, or pVector is null");
    return values->GetVector(index, static_cast<FLOAT*>(*pVector));
}

HRESULT Effect::SetMatrix(D3DXHANDLE hParameter, const D3DXMATRIX* pMatrix) {
    NVESK_ENTER("ID3DXEffect::SetMatrix");
    const int index = Parameter(hParameter);
    return index < 0 || pMatrix == nullptr ? Reject("no such parameter, or pMatrix is null")
                                           : parameters_.SetMatrix(index, *pMatrix, false);
}

HRESULT Effect::GetMatrix(D3DXHANDLE hParameter, D3DXMATRIX* pMatrix) {
    NVESK_ENTER("ID3DXEffect::GetMatrix");
    const auto [values, index] = Readable(hParameter);
    return index < 0 || pMatrix == nullptr ? Reject("no such parameter, or pMatrix is null")
                                           : values->GetMatrix(index, *pMatrix, false);
}

HRESULT Effect::SetMatrixTranspose(D3DXHANDLE hParameter, const D3DXMATRIX* pMatrix) {
    NVESK_ENTER("ID3DXEffect::SetMatrixTranspose");
    const int index = Parameter(hParameter);
    return index < 0 || pMatrix == nullptr ? Reject("no such parameter, or pMatrix is null")
                                           : parameters_.SetMatrix(index, *pMatrix, true);
}

HRESULT Effect::GetMatrixTranspose(D3DXHANDLE hParameter, D3DXMATRIX* pMatrix) {
    NVESK_ENTER("ID3DXEffect::GetMatrixTranspose");
    const auto [values, index] = Readable(hParameter);
    return index < 0 || pMatrix == nullptr ? Reject("no such parameter, or pMatrix is null")
                                           : values->GetMatrix(index, *pMatrix, true);
}

HRESULT Effect::GetString(D3DXHANDLE hParameter, LPCSTR* ppString) {
    NVESK_ENTER("ID3DXEffect::GetString");
    const auto [values, index] = Readable(hParameter);
    return index < 0 ? Reject("no such parameter") : values->GetString(index, ppString);
}

HRESULT Effect::SetTexture(D3DXHANDLE hParameter, LPDIRECT3DBASETEXTURE9 pTexture) {
    NVESK_ENTER("ID3DXEffect::SetTexture");
    const int index = Parameter(hParameter);
    return index < 0 ? Reject("no such parameter") : parameters_.SetTexture(index, pTexture);
}

HRESULT Effect::GetTexture(D3DXHANDLE hParameter, LPDIRECT3DBASETEXTURE9* ppTexture) {
    NVESK_ENTER("ID3DXEffect::GetTexture");
    const int index = Parameter(hParameter);
    return index < 0 ? Reject("no such parameter") : parameters_.GetTexture(index, ppTexture);
}

// --- techniques and passes ---

HRESULT Effect::GetPool(LPD3DXEFFECTPOOL* ppPool) {
    NVESK_ENTER("ID3DXEffect::GetPool");
    if (ppPool == nullptr) return Reject("ppPool is null");
    *ppPool = nullptr;  // effects here never share a pool
    return D3D_OK;
}

HRESULT Effect::SetTechnique(D3DXHANDLE hTechnique) {
    NVESK_ENTER("ID3DXEffect::SetTechnique");
    const int index = FindTechnique(hTechnique);
    if (index < 0 || begun_) return Reject("no such technique, or called inside Begin and End");
    currentTechnique_ = index;
    return D3D_OK;
}

D3DXHANDLE Effect::GetCurrentTechnique() {
    NVESK_ENTER_OR("ID3DXEffect::GetCurrentTechnique", nullptr);
    return currentTechnique_ < 0
               ? nullptr
               : reinterpret_cast<D3DXHANDLE>(&techniques_[static_cast<std::size_t>(currentTechnique_)]);
}

HRESULT Effect::Validate(const Technique& technique) {
    // Every pass was compiled and checked when the effect was created; what is left is whether this
    // device takes the shaders' versions, whether its driver links them, and every state the
    // passes set.
    D3DCAPS9 caps {};
    if (FAILED(device_->GetDeviceCaps(&caps))) return Reject("the device's caps cannot be read");
    for (std::size_t p = 0; p < technique.passes.size(); ++p) {
        const Pass& pass = technique.passes[p];
        if (pass.vertexShaderVersion > caps.VertexShaderVersion || pass.pixelShaderVersion > caps.PixelShaderVersion) {
            const bool vertex = pass.vertexShaderVersion > caps.VertexShaderVersion;
            const DWORD needed = vertex ? pass.vertexShaderVersion : pass.pixelShaderVersion;
            const DWORD offered = vertex ? caps.VertexShaderVersion : caps.PixelShaderVersion;
            return Reject("pass %zu '%s': its %s shader needs shader model %u.%u, the device offers %u.%u", p,
                          pass.name.c_str(), vertex ? "vertex" : "pixel", (needed >> 8) & 0xFF, needed & 0xFF,
                          (offered >> 8) & 0xFF, offered & 0xFF);
        }
    }
    for (std::size_t p = 0; p < technique.passes.size(); ++p) {
        for (const PassProgram& program : technique.passes[p].programs) {
            const HRESULT linked = program.Link(device_);
            if (FAILED(linked)) return linked;
        }
    }
    // The states are applied as BeginPass would, then put back; inside Begin and End the states
    // saved for End are kept aside meanwhile.
    SavedState outer = std::move(saved_);
    SaveState(technique, 0);
    HRESULT result = D3D_OK;
    for (std::size_t p = 0; p < technique.passes.size() && SUCCEEDED(result); ++p) {
        const Pass& pass = technique.passes[p];
        const PassState* failed = nullptr;
        const HRESULT applied = ApplyStates(pass, false, &failed);
        if (FAILED(applied)) {
            result = com::Refuse(applied, "pass %zu '%s': the device refuses %s", p, pass.name.c_str(),
                                 failed != nullptr ? failed->written.c_str() : "its lights or material");
        }
    }
    RestoreState();
    saved_ = std::move(outer);
    return result;
}

HRESULT Effect::ValidateTechnique(D3DXHANDLE hTechnique) {
    NVESK_ENTER("ID3DXEffect::ValidateTechnique");
    // NULL stands for the current technique.
    const int index = hTechnique == nullptr ? currentTechnique_ : FindTechnique(hTechnique);
    if (index < 0) return Reject("no such technique");
    return Validate(techniques_[static_cast<std::size_t>(index)]);
}

HRESULT Effect::FindNextValidTechnique(D3DXHANDLE hTechnique, D3DXHANDLE* pTechnique) {
    NVESK_ENTER("ID3DXEffect::FindNextValidTechnique");
    if (pTechnique == nullptr) return Reject("pTechnique is null");
    const int after = hTechnique == nullptr ? -1 : FindTechnique(hTechnique);
    if (hTechnique != nullptr && after < 0) return Reject("no such technique");
    *pTechnique = nullptr;
    for (std::size_t next = static_cast<std::size_t>(after + 1); next < techniques_.size(); ++next) {
        if (SUCCEEDED(Validate(techniques_[next]))) {
            *pTechnique = reinterpret_cast<D3DXHANDLE>(&techniques_[next]);
            break;
        }
    }
    return D3D_OK;
}

DWORD Effect::StateValue(const PassState& state) const {
    if (state.expression != nullptr) return ExpressionAsStateValue(state.kind, Evaluate(*state.expression));
    if (state.parameter < 0) return state.value;
    if (parameters_.At(state.parameter).desc.parameterClass == ParameterClass::Vector) {
        return VectorAsColor(VectorValue(state));
    }
    float number = 0;
    parameters_.GetNumbers(state.parameter, &number, 1);
    return NumberAsStateValue(state.kind, number);
}

std::array<float, 4> Effect::VectorValue(const PassState& state) const {
    if (state.expression != nullptr) return ExpressionAsVector(Evaluate(*state.expression));
    if (state.parameter < 0) return state.vector;
    std::array<float, 4> values = {0.0f, 0.0f, 0.0f, 1.0f};
    const int columns = parameters_.At(state.parameter).desc.columns;
    parameters_.GetNumbers(state.parameter, values.data(), static_cast<UINT>(std::min(4, columns)));
    if (columns == 1) values.fill(values[0]);  // a scalar widens to every component, as in HLSL
    return values;
}

void Effect::SaveFixedState(const PassState& state) {
    switch (state.fixedGroup) {
    case FixedStateGroup::Transform: {
        const auto type = static_cast<D3DTRANSFORMSTATETYPE>(state.state);
        for (const auto& entry : saved_.transforms) {
            if (entry.first == type) return;
        }
        D3DMATRIX matrix;
        if (SUCCEEDED(device_->GetTransform(type, &matrix))) saved_.transforms.emplace_back(type, matrix);
        return;
    }
    case FixedStateGroup::Light:
    case FixedStateGroup::LightEnable: {
        for (const SavedState::Light& entry : saved_.lights) {
            if (entry.index == state.unit) return;
        }
        SavedState::Light light;
        light.index = state.unit;
        light.defined = SUCCEEDED(device_->GetLight(state.unit, &light.light)) &&
                        SUCCEEDED(device_->GetLightEnable(state.unit, &light.enabled));
        saved_.lights.push_back(light);
        return;
    }
    case FixedStateGroup::Material:
        if (!saved_.materialSaved) saved_.materialSaved = SUCCEEDED(device_->GetMaterial(&saved_.material));
        return;
    case FixedStateGroup::VertexFormat:
        if (saved_.vertexFormatSaved || FAILED(device_->GetFVF(&saved_.fvf))) return;
        saved_.vertexFormatSaved = saved_.fvf != 0 || SUCCEEDED(device_->GetVertexDeclaration(&saved_.declaration));
        return;
    }
}

void Effect::SaveState(const Technique& technique, DWORD flags) {
    saved_ = SavedState();
    if ((flags & D3DXFX_DONOTSAVESTATE) != 0) return;
    auto savedRender = [&](DWORD state) {
        return std::any_of(saved_.renderStates.begin(), saved_.renderStates.end(),
                           [&](const auto& entry) { return entry.first == static_cast<D3DRENDERSTATETYPE>(state); });
    };
    auto saveSampler = [&](DWORD unit, DWORD state) {
        if ((flags & D3DXFX_DONOTSAVESAMPLERSTATE) != 0) return;
        const auto type = static_cast<D3DSAMPLERSTATETYPE>(state);
        for (const auto& entry : saved_.samplerStates) {
            if (std::get<0>(entry) == unit && std::get<1>(entry) == type) return;
        }
        DWORD value = 0;
        if (SUCCEEDED(device_->GetSamplerState(unit, type, &value)))
            saved_.samplerStates.emplace_back(unit, type, value);
    };
    auto saveStage = [&](DWORD stage, DWORD state) {
        const auto type = static_cast<D3DTEXTURESTAGESTATETYPE>(state);
        for (const auto& entry : saved_.textureStageStates) {
            if (std::get<0>(entry) == stage && std::get<1>(entry) == type) return;
        }
        DWORD value = 0;
        if (SUCCEEDED(device_->GetTextureStageState(stage, type, &value)))
            saved_.textureStageStates.emplace_back(stage, type, value);
    };
    auto saveTexture = [&](DWORD unit) {
        if ((flags & D3DXFX_DONOTSAVESAMPLERSTATE) != 0) return;
        for (const auto& entry : saved_.textures) {
            if (entry.first == unit) return;
        }
        IDirect3DBaseTexture9* texture = nullptr;
        if (SUCCEEDED(device_->GetTexture(unit, &texture))) saved_.textures.emplace_back(unit, texture);
    };
    for (const Pass& pass : technique.passes) {
        for (const PassState& state : pass.states) {
            if (state.target == StateTarget::Render && !savedRender(state.state)) {
                DWORD value = 0;
                const auto type = static_cast<D3DRENDERSTATETYPE>(state.state);
                if (SUCCEEDED(device_->GetRenderState(type, &value))) saved_.renderStates.emplace_back(type, value);
            } else if (state.target == StateTarget::TextureStage) {
                saveStage(state.unit, state.state);
            } else if (state.target == StateTarget::Sampler) {
                saveSampler(state.unit, state.state);
            } else if (state.target == StateTarget::Texture) {
                saveTexture(state.unit);
            } else if (state.target == StateTarget::Fixed) {
                SaveFixedState(state);
            }
        }
        auto saveSamplerBlock = [&](DWORD unit, int sampler) {
            if (samplers_[static_cast<std::size_t>(sampler)].textureParameter >= 0) saveTexture(unit);
            for (const PassState& entry : samplers_[static_cast<std::size_t>(sampler)].states) {
                saveSampler(unit, entry.state);
            }
        };
        for (const PassState& state : pass.states) {
            if (state.target == StateTarget::SamplerBlock) saveSamplerBlock(state.unit, state.parameter);
        }
        for (const PassProgram& program : pass.programs) {
            for (std::size_t unit = 0; unit < program.Samplers().size(); ++unit) {
                const int sampler = parameters_.FindByName(program.Samplers()[unit].c_str());
                if (sampler >= 0) saveSamplerBlock(static_cast<DWORD>(unit), sampler);
            }
        }
    }
}

void Effect::RestoreState() {
    for (const auto& [state, value] : saved_.renderStates)
        device_->SetRenderState(state, value);
    for (const auto& [stage, state, value] : saved_.textureStageStates)
        device_->SetTextureStageState(stage, state, value);
    for (const auto& [unit, state, value] : saved_.samplerStates)
        device_->SetSamplerState(unit, state, value);
    for (const auto& [unit, texture] : saved_.textures) {
        device_->SetTexture(unit, texture);
        if (texture != nullptr) texture->Release();
    }
    for (const auto& [type, matrix] : saved_.transforms)
        device_->SetTransform(type, &matrix);
    for (const SavedState::Light& light : saved_.lights) {
        if (light.defined) {
            device_->SetLight(light.index, &light.light);
            device_->LightEnable(light.index, light.enabled);
        } else {
            // A light the pass created stays defined, as Direct3D 9 cannot remove one, but off.
            BOOL enabled = FALSE;
            if (SUCCEEDED(device_->GetLightEnable(light.index, &enabled))) device_->LightEnable(light.index, FALSE);
        }
    }
    if (saved_.materialSaved) device_->SetMaterial(&saved_.material);
    if (saved_.vertexFormatSaved) {
        if (saved_.fvf != 0) {
            device_->SetFVF(saved_.fvf);
        } else {
            device_->SetVertexDeclaration(saved_.declaration);
            if (saved_.declaration != nullptr) saved_.declaration->Release();
        }
    }
    saved_ = SavedState();
}

HRESULT Effect::Begin(UINT* pPasses, DWORD Flags) {
    NVESK_ENTER("ID3DXEffect::Begin");
    if (currentTechnique_ < 0 || begun_) return Reject("no technique, or Begin inside Begin and End");
    const Technique& technique = techniques_[static_cast<std::size_t>(currentTechnique_)];
    SaveState(technique, Flags);
    begun_ = true;
    currentPass_ = -1;
    if (pPasses != nullptr) *pPasses = static_cast<UINT>(technique.passes.size());
    return D3D_OK;
}

void Effect::ApplySampler(DWORD stage, int sampler) {
    const SamplerBinding& binding = samplers_[static_cast<std::size_t>(sampler)];
    if (binding.textureParameter >= 0) device_->SetTexture(stage, parameters_.At(binding.textureParameter).texture);
    for (const PassState& state : binding.states) {
        device_->SetSamplerState(stage, static_cast<D3DSAMPLERSTATETYPE>(state.state), StateValue(state));
    }
}

void Effect::ApplyParameters(const Pass& pass) {
    for (const PassState& state : pass.states) {
        if (state.target == StateTarget::SamplerBlock) ApplySampler(state.unit, state.parameter);
    }
    if (currentProgram_ < 0) return;
    const PassProgram& program = pass.programs[static_cast<std::size_t>(currentProgram_)];
    program.UploadConstants(device_, parameters_);
    for (std::size_t unit = 0; unit < program.Samplers().size(); ++unit) {
        const int sampler = parameters_.FindByName(program.Samplers()[unit].c_str());
        if (sampler >= 0) ApplySampler(static_cast<DWORD>(unit), sampler);
    }
}

namespace {

D3DCOLORVALUE ColorOf(const std::array<float, 4>& v) {
    return D3DCOLORVALUE {v[0], v[1], v[2], v[3]};
}

D3DVECTOR VectorOf(const std::array<float, 4>& v) {
    return D3DVECTOR {v[0], v[1], v[2]};
}

float FloatOf(DWORD bits) {
    float value;
    std::memcpy(&value, &bits, sizeof(value));
    return value;
}

void SetLightMember(D3DLIGHT9& light, DWORD member, const std::array<float, 4>& vector, DWORD value) {
    switch (member) {
    case kLightType:
        light.Type = static_cast<D3DLIGHTTYPE>(value);
        break;
    case kLightDiffuse:
        light.Diffuse = ColorOf(vector);
        break;
    case kLightSpecular:
        light.Specular = ColorOf(vector);
        break;
    case kLightAmbient:
        light.Ambient = ColorOf(vector);
        break;
    case kLightPosition:
        light.Position = VectorOf(vector);
        break;
    case kLightDirection:
        light.Direction = VectorOf(vector);
        break;
    default: {
        float* const numbers[] = {&light.Range,        &light.Falloff, &light.Attenuation0, &light.Attenuation1,
                                  &light.Attenuation2, &light.Theta,   &light.Phi};
        *numbers[member - kLightRange] = FloatOf(value);
    }
    }
}

void SetMaterialMember(D3DMATERIAL9& material, DWORD member, const std::array<float, 4>& vector, DWORD value) {
    D3DCOLORVALUE* const colors[] = {&material.Diffuse, &material.Ambient, &material.Specular, &material.Emissive};
    if (member == kMaterialPower) {
        material.Power = FloatOf(value);
    } else {
        *colors[member] = ColorOf(vector);
    }
}

}  // namespace

HRESULT Effect::ApplyStates(const Pass& pass, bool parametersOnly, const PassState** failed) {
    HRESULT result = D3D_OK;
    auto note = [&](HRESULT applied, const PassState* state) {
        if (SUCCEEDED(result) && FAILED(applied)) {
            result = applied;
            if (failed != nullptr) *failed = state;
        }
    };
    // Lights and the material are set whole, once every member the pass names is in place.
    std::map<DWORD, D3DLIGHT9> lights;
    bool materialChanged = false;
    D3DMATERIAL9 material {};
    for (const PassState& state : pass.states) {
        if (parametersOnly && state.parameter < 0 && state.expression == nullptr) continue;
        // Texture and sampler-block states name an object parameter, which has no number to read.
        const bool numeric = state.target != StateTarget::Texture && state.target != StateTarget::SamplerBlock &&
                             state.kind != StateValueKind::Vector && state.kind != StateValueKind::Matrix;
        const DWORD value = numeric ? StateValue(state) : 0;
        switch (state.target) {
        case StateTarget::Render:
            note(device_->SetRenderState(static_cast<D3DRENDERSTATETYPE>(state.state), value), &state);
            break;
        case StateTarget::TextureStage:
            note(device_->SetTextureStageState(state.unit, static_cast<D3DTEXTURESTAGESTATETYPE>(state.state), value),
                 &state);
            break;
        case StateTarget::Sampler:
            note(device_->SetSamplerState(state.unit, static_cast<D3DSAMPLERSTATETYPE>(state.state), value), &state);
            break;
        case StateTarget::Texture:
            note(device_->SetTexture(state.unit,
                                     state.parameter >= 0 ? parameters_.At(state.parameter).texture : nullptr),
                 &state);
            break;
        case StateTarget::SamplerBlock:
            break;  // with the parameters, so that CommitChanges brings its texture up to date
        case StateTarget::Fixed:
            if (state.fixedGroup == FixedStateGroup::Transform) {
                D3DXMATRIX matrix;
                if (state.parameter >= 0) {
                    parameters_.GetMatrix(state.parameter, matrix, false);
                } else {
                    const std::array<float, 16> numbers =
                        state.expression != nullptr ? ExpressionAsMatrix(Evaluate(*state.expression)) : state.matrix;
                    std::memcpy(&matrix, numbers.data(), sizeof(matrix));
                }
                note(device_->SetTransform(static_cast<D3DTRANSFORMSTATETYPE>(state.state), &matrix), &state);
            } else if (state.fixedGroup == FixedStateGroup::LightEnable) {
                note(device_->LightEnable(state.unit, value != 0 ? TRUE : FALSE), &state);
            } else if (state.fixedGroup == FixedStateGroup::VertexFormat) {
                note(device_->SetFVF(value), &state);
            } else if (state.fixedGroup == FixedStateGroup::Light) {
                auto found = lights.find(state.unit);
                if (found == lights.end()) {
                    // A light the device does not have yet starts as the one LightEnable would create.
                    D3DLIGHT9 light = d3d9::DefaultLight();
                    device_->GetLight(state.unit, &light);
                    found = lights.emplace(state.unit, light).first;
                }
                SetLightMember(found->second, state.state, VectorValue(state), value);
            } else {
                if (!materialChanged) device_->GetMaterial(&material);
                materialChanged = true;
                SetMaterialMember(material, state.state, VectorValue(state), value);
            }
            break;
        }
    }
    for (const auto& [index, light] : lights)
        note(device_->SetLight(index, &light), nullptr);
    if (materialChanged) note(device_->SetMaterial(&material), nullptr);
    return result;
}

HRESULT Effect::BeginPass(UINT Pass) {
    NVESK_ENTER("ID3DXEffect::BeginPass");
    if (!begun_ || currentPass_ >= 0) return Reject("BeginPass outside Begin and End, or inside another pass");
    const Technique& technique = techniques_[static_cast<std::size_t>(currentTechnique_)];
    if (Pass >= technique.passes.size())
        return Reject("pass %u of a %zu-pass technique", Pass, technique.passes.size());
    const Effect::Pass& pass = technique.passes[Pass];
    int program = -1;
    if (pass.setsShaders) {
        program = ChosenProgram(pass);
        if (program < 0) return Reject("a shader index parameter is outside its array");
        const HRESULT used = pass.programs[static_cast<std::size_t>(program)].Use(device_);
        if (FAILED(used)) return used;
    }
    ApplyStates(pass, false);
    currentProgram_ = program;
    ApplyParameters(pass);
    currentPass_ = static_cast<int>(Pass);
    return D3D_OK;
}

HRESULT Effect::CommitChanges() {
    NVESK_ENTER("ID3DXEffect::CommitChanges");
    if (currentPass_ < 0) return Reject("called outside BeginPass and EndPass");
    const Pass& pass =
        techniques_[static_cast<std::size_t>(currentTechnique_)].passes[static_cast<std::size_t>(currentPass_)];
    ApplyStates(pass, true);
    ApplyParameters(pass);
    return D3D_OK;
}

HRESULT Effect::EndPass() {
    NVESK_ENTER("ID3DXEffect::EndPass");
    if (currentPass_ < 0) return Reject("called outside BeginPass and EndPass");
    currentPass_ = -1;
    return D3D_OK;
}

HRESULT Effect::End() {
    NVESK_ENTER("ID3DXEffect::End");
    if (!begun_) return Reject("End without Begin");
    RestoreState();
    begun_ = false;
    currentPass_ = -1;
    return D3D_OK;
}

HRESULT Effect::GetDevice(LPDIRECT3DDEVICE9* ppDevice) {
    NVESK_ENTER("ID3DXEffect::GetDevice");
    if (ppDevice == nullptr) return Reject("ppDevice is null");
    device_->AddRef();
    *ppDevice = device_;
    return D3D_OK;
}

// Programs survive device loss and our effects hold no default-pool resources of their own.
HRESULT Effect::OnLostDevice() {
    NVESK_ENTER("ID3DXEffect::OnLostDevice");
    return D3D_OK;
}
HRESULT Effect::OnResetDevice() {
    NVESK_ENTER("ID3DXEffect::OnResetDevice");
    return D3D_OK;
}

}  // namespace nvesk::d3dx9

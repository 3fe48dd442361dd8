#include "HlslCompiler.h"

#include "CompilerMessages.h"
#include "ComputedOnce.h"
#include "EffectParser.h"
#include "EntryParameters.h"
#include "GlobalWrites.h"
#include "OneWideValues.h"
#include "ProgramCache.h"
#include "SelectionGuard.h"
#include "VaryingRegisters.h"

#include <d3d9types.h>

#include <glslang/Public/ResourceLimits.h>
#include <glslang/Public/ShaderLang.h>
#include <glslang/SPIRV/GlslangToSpv.h>
#include <spirv_cross/spirv_cross_c.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstring>
#include <map>
#include <optional>
#include <set>

namespace nvesk::d3dx9 {

namespace {

// A failure with no position in the user's source: one line naming the file.
bool FailWith(const std::string& fileName, const std::string& message, std::string& errors) {
    errors = fileName + ": error: " + message + "\n";
    return false;
}

constexpr const char* kVertexConstants = "fx_vs_constants";
constexpr const char* kPixelConstants = "fx_ps_constants";

std::atomic<std::uint64_t> g_compileCount {0};

bool ValidProfile(const std::string& profile, const char* prefix) {
    static const std::set<std::string> kVersions = {"1_1", "1_2", "1_3",  "1_4", "2_0",
                                                    "2_a", "2_b", "2_sw", "3_0", "3_sw"};
    return profile.rfind(prefix, 0) == 0 && kVersions.count(profile.substr(3)) != 0;
}

// Ahead of every source, outside its lines and columns. Direct3D 9 has no 1D textures: tex1D
// reads a 2D texture (a 1D texture there is one texel high) at the middle of its height, so the
// 1D samplers are 2D ones; a wider coordinate is cut to its x, as HLSL truncates it.
// `(float[4])v` casts, written by the effect parser as `fx_Af4(v)`, spread a vector's components
// over an array.
const std::string& Preamble() {
    static const std::string text = [] {
        std::string preamble =
            "#define sampler1D sampler2D\n"
            "float4 fx_tex1D(sampler2D s, float t) { return tex2D(s, float2(t, 0.5)); }\n"
            "float4 fx_tex1D(sampler2D s, float2 t) { return fx_tex1D(s, t.x); }\n"
            "float4 fx_tex1D(sampler2D s, float3 t) { return fx_tex1D(s, t.x); }\n"
            "float4 fx_tex1D(sampler2D s, float4 t) { return fx_tex1D(s, t.x); }\n"
            "float4 fx_tex1D(sampler2D s, float t, float dx, float dy)\n"
            "{ return tex2Dgrad(s, float2(t, 0.5), float2(dx, 0), float2(dy, 0)); }\n"
            "float4 fx_tex1Dgrad(sampler2D s, float t, float dx, float dy) { return fx_tex1D(s, t, dx, dy); }\n"
            "float4 fx_tex1Dbias(sampler2D s, float4 t) { return tex2Dbias(s, float4(t.x, 0.5, 0, t.w)); }\n"
            "float4 fx_tex1Dlod(sampler2D s, float4 t) { return tex2Dlod(s, float4(t.x, 0.5, 0, t.w)); }\n"
            "float4 fx_tex1Dproj(sampler2D s, float4 t) { return tex2D(s, float2(t.x / t.w, 0.5)); }\n"
            "#define tex1D fx_tex1D\n#define tex1Dgrad fx_tex1Dgrad\n#define tex1Dbias fx_tex1Dbias\n"
            "#define tex1Dlod fx_tex1Dlod\n#define tex1Dproj fx_tex1Dproj\n"
            // Direct3D 9 computes in 32-bit floats: a double is one, as a half is (it shares their registers).
            "#define double float\n";
        // HLSL's fmod keeps the sign of x (x = i * y + f, i whole); glslang's that of y.
        preamble += "float fx_fmod(float x, float y) { return x - y * trunc(x / y); }\n";
        for (const char* type : {"float2", "float3", "float4"}) {
            const std::string t = type;
            for (const auto& [x, y] :
                 {std::pair(t, t), std::pair(t, std::string("float")), std::pair(std::string("float"), t)})
                preamble += t + " fx_fmod(" + x + " x, " + y + " y) { return x - y * trunc(x / y); }\n";
        }
        // glslang gives texCUBEproj to GLSL's textureProj, which has no cube form: divide, then look up.
        preamble += "float4 fx_texCUBEproj(samplerCUBE s, float4 t) { return texCUBE(s, t.xyz / t.w); }\n";
        // glslang's lit() multiplies n_dot_h by m where the reference raises it to the power m.
        preamble +=
            "float4 fx_lit(float n_dot_l, float n_dot_h, float m)\n"
            "{ return float4(1, max(n_dot_l, 0), (n_dot_l < 0 || n_dot_h < 0) ? 0 : pow(n_dot_h, m), 1); }\n";
        // any() and all() of a scalar: glslang emits them as vector operations, which are invalid on a
        // scalar, so every call goes through overloads that compare with zero first.
        for (const char* name : {"any", "all"}) {
            for (const char* type : {"float", "int", "uint", "bool"}) {
                const std::string zero = std::string(type) == "bool" ? "false" : "0";
                preamble += std::string("bool fx_") + name + "(" + type + " x) { return x != " + zero + "; }\n";
                for (int size = 2; size <= 4; ++size) {
                    preamble += std::string("bool fx_") + name + "(" + type + std::to_string(size) + " x) { return " +
                                name + "(x != " + zero + "); }\n";
                }
            }
        }
        static const char* const kComponents[] = {"v.x", "v.y", "v.z", "v.w"};
        for (const std::string& type : ArrayCastTypes()) {
            for (int count = 1; count <= kMaxArrayCast; ++count) {
                const std::string array = "fx_" + type + std::to_string(count) + "_array";
                const std::string vector = count == 1 ? type : type + std::to_string(count);
                preamble += "typedef " + type + " " + array + "[" + std::to_string(count) + "];\n";
                preamble += array + " " + ArrayCastFunction(type, count) + "(" + vector + " v) { " + array + " r = {";
                for (int i = 0; i < count; ++i)
                    preamble += std::string(i == 0 ? "" : ", ") + (count == 1 ? "v" : kComponents[i]);
                preamble += "}; return r; }\n";
            }
        }
        return preamble;
    }();
    return text;
}

// glslang crashes on a mul() whose sizes differ where matching them would leave a matrix with one
// row or column (a 1-component vector or a matrix with one row or column as an operand). Where the
// source can hold such a value (MayHoldOneWideValues), every mul operand passes through an identity
// that refuses those shapes, so such a call is an ordinary "no matching overloaded function" error
// at the call.
const std::string& MulGuard() {
    static const std::string text = [] {
        const std::string refused = "fx_mul_operand_with_one_row_or_column";
        std::string guard = "struct " + refused + " { float v; };\n";
        for (const char* base : {"float", "int", "uint", "bool"}) {  // a double is a float (Preamble)
            std::vector<std::string> shapes = {""};
            for (int rows = 1; rows <= 4; ++rows) {
                shapes.push_back(std::to_string(rows));
                for (int columns = 1; columns <= 4; ++columns)
                    shapes.push_back(std::to_string(rows) + "x" + std::to_string(columns));
            }
            for (const std::string& shape : shapes) {
                const std::string type = base + shape;
                const bool oneWide = shape == "1" || (shape.size() == 3 && shape.find('1') != std::string::npos);
                guard += oneWide
                             ? refused + " fx_mul_operand(" + type + " v) { " + refused + " r; r.v = 0; return r; }\n"
                             : type + " fx_mul_operand(" + type + " v) { return v; }\n";
            }
        }
        return guard + "#define mul(a, b) mul(fx_mul_operand(a), fx_mul_operand(b))\n";
    }();
    return text;
}

// The intrinsics the preamble replaces (fx_ plus the name) where glslang's own differ from the
// reference or crash. A name is replaced only where the source uses it for calls alone: a variable
// or parameter of the name (`bool lit`, a constant the effect fills by name) and a function of the
// file's own keep it. noise has no replacement, only a name glslang does not crash on, so the
// file's own noise() functions take that name too.
std::string IntrinsicReplacements(const std::string& hlsl) {
    static const std::pair<const char*, bool> kReplaced[] = {{"noise", true}, {"fmod", false}, {"lit", false},
                                                             {"any", false},  {"all", false},  {"texCUBEproj", false}};
    std::string macros;
    for (const auto& [name, mayBeDefined] : kReplaced) {
        const std::size_t length = std::strlen(name);
        bool used = false;
        bool callsOnly = true;
        for (std::size_t at = hlsl.find(name); at != std::string::npos && callsOnly; at = hlsl.find(name, at + 1)) {
            const std::size_t end = at + length;
            if ((at > 0 && IsIdentifierPart(hlsl[at - 1])) || (end < hlsl.size() && IsIdentifierPart(hlsl[end])))
                continue;
            used = true;
            const std::size_t next = hlsl.find_first_not_of(" \t\r\n", end);
            // What stands before: a word other than `return` or `else` makes this a declaration.
            std::size_t before = at;
            while (before > 0 && std::isspace(static_cast<unsigned char>(hlsl[before - 1])))
                --before;
            std::size_t word = before;
            while (word > 0 && IsIdentifierPart(hlsl[word - 1]))
                --word;
            const std::string previous = hlsl.substr(word, before - word);
            const bool declared = !mayBeDefined && !previous.empty() && previous != "return" && previous != "else";
            callsOnly = next != std::string::npos && hlsl[next] == '(' && !declared;
        }
        if (used && callsOnly) macros += std::string("#define ") + name + " fx_" + name + "\n";
    }
    return macros;
}

bool CompileToSpirv(const std::string& hlsl, const std::string& fileName, const std::string& entry, EShLanguage stage,
                    std::vector<std::uint32_t>& spirv, std::string& errors) {
    glslang::TShader shader(stage);
    const char* text = hlsl.c_str();
    const int length = static_cast<int>(hlsl.size());
    const char* name = fileName.c_str();
    shader.setStringsWithLengthsAndNames(&text, &length, &name, 1);
    const std::string preamble =
        (MayHoldOneWideValues(hlsl) ? Preamble() + MulGuard() : Preamble()) + IntrinsicReplacements(hlsl);
    shader.setPreamble(preamble.c_str());
    shader.setEntryPoint(entry.c_str());
    shader.setEnvInput(glslang::EShSourceHlsl, stage, glslang::EShClientVulkan, 100);
    shader.setEnvClient(glslang::EShClientVulkan, glslang::EShTargetVulkan_1_0);
    shader.setEnvTarget(glslang::EShTargetSpv, glslang::EShTargetSpv_1_0);
    shader.setEnvTargetHlslFunctionality1();  // keeps the semantics on the interface variables
    shader.setAutoMapBindings(true);
    shader.setAutoMapLocations(true);
    const auto messages = static_cast<EShMessages>(EShMsgReadHlsl | EShMsgHlslDX9Compatible | EShMsgSpvRules |
                                                   EShMsgVulkanRules | EShMsgEnhanced);
    const SelectionGuard selections;
    const bool parsed = shader.parse(GetDefaultResources(), 100, false, messages);
    SourcePosition selection;
    if (selections.Failed(selection)) {
        errors = (parsed ? std::string() : TranslateGlslangLog(shader.getInfoLog(), hlsl, fileName)) +
                 FormatError(fileName, selection, "':' : the two results of the ?: have no common type");
        return false;
    }
    if (!parsed) {
        errors = TranslateGlslangLog(shader.getInfoLog(), hlsl, fileName);
        return false;
    }
    glslang::TProgram program;
    program.addShader(&shader);
    if (!program.link(messages) || !program.mapIO()) {
        errors = TranslateGlslangLog(program.getInfoLog(), hlsl, fileName);
        if (errors.empty()) FailWith(fileName, "cannot link entry point '" + entry + "'", errors);
        return false;
    }
    glslang::SpvOptions options;
    options.disableOptimizer = false;  // the optimiser legalises HLSL
    spv::SpvBuildLogger logger;
    glslang::GlslangToSpv(*program.getIntermediate(stage), spirv, &logger, &options);
    // glslang notes what it cannot translate, and goes on with code that is wrong there.
    const std::string notes = logger.getAllMessages();
    if (notes.find("Missing functionality") != std::string::npos) {
        spirv.clear();
        return FailWith(fileName, "the HLSL compiler cannot translate this: " + notes.substr(0, notes.find('\n')),
                        errors);
    }
    return !spirv.empty() || FailWith(fileName, notes, errors);
}

// One SPIRV-Cross translation of one stage; releases its context on destruction.
class CrossCompiler {
public:
    explicit CrossCompiler(const std::vector<std::uint32_t>& spirv) {
        spvc_context_create(&context_);
        spvc_parsed_ir ir = nullptr;
        ok_ = spvc_context_parse_spirv(context_, spirv.data(), spirv.size(), &ir) == SPVC_SUCCESS &&
              spvc_context_create_compiler(context_, SPVC_BACKEND_GLSL, ir, SPVC_CAPTURE_MODE_TAKE_OWNERSHIP,
                                           &compiler_) == SPVC_SUCCESS &&
              spvc_compiler_create_shader_resources(compiler_, &resources_) == SPVC_SUCCESS;
    }
    ~CrossCompiler() { spvc_context_destroy(context_); }
    CrossCompiler(const CrossCompiler&) = delete;
    CrossCompiler& operator=(const CrossCompiler&) = delete;

    bool Ok() const { return ok_; }
    spvc_compiler Compiler() const { return compiler_; }

    std::vector<spvc_reflected_resource> Resources(spvc_resource_type type) const {
        const spvc_reflected_resource* list = nullptr;
        size_t count = 0;
        spvc_resources_get_resource_list_for_type(resources_, type, &list, &count);
        return std::vector<spvc_reflected_resource>(list, list + count);
    }

    // An array member of a structure (`float4 pair[2] : TEXCOORD1`) reaches here one element at a
    // time, each named `...pair[k]` and given the array's semantic: element k takes the index after
    // k more, as the array's elements take consecutive registers.
    Semantic SemanticOf(spvc_variable_id id) const {
        const char* text = spvc_compiler_get_decoration_string(compiler_, id, SpvDecorationHlslSemanticGOOGLE);
        Semantic semantic = ParseSemantic(text != nullptr ? text : "");
        const std::string name = spvc_compiler_get_name(compiler_, id);
        const std::size_t open = name.rfind('[');
        if (open != std::string::npos && name.size() > open + 2 && name.back() == ']' &&
            std::all_of(name.begin() + static_cast<std::ptrdiff_t>(open) + 1, name.end() - 1,
                        [](unsigned char c) { return std::isdigit(c) != 0; })) {
            semantic.index += std::atoi(name.c_str() + open + 1);
        }
        return semantic;
    }

    void Rename(spvc_variable_id id, const std::string& name) { spvc_compiler_set_name(compiler_, id, name.c_str()); }

    // The stage's globals become one vec4 array named `uniformName`.
    StageConstants FlattenConstants(const std::string& uniformName) {
        StageConstants constants;
        for (const spvc_reflected_resource& block : Resources(SPVC_RESOURCE_TYPE_UNIFORM_BUFFER)) {
            spvc_type type = spvc_compiler_get_type_handle(compiler_, block.base_type_id);
            size_t size = 0;
            spvc_compiler_get_declared_struct_size(compiler_, type, &size);
            constants.uniformName = uniformName;
            constants.registerCount = static_cast<std::uint32_t>((size + 15) / 16);
            const unsigned members = spvc_type_get_num_member_types(type);
            for (unsigned i = 0; i < members; ++i) {
                ConstantSlot slot;
                slot.name = ParameterOfConstant(spvc_compiler_get_member_name(compiler_, block.base_type_id, i));
                unsigned value = 0;
                spvc_compiler_type_struct_member_offset(compiler_, type, i, &value);
                slot.offset = value;
                spvc_type member = spvc_compiler_get_type_handle(compiler_, spvc_type_get_member_type(type, i));
                if (spvc_type_get_columns(member) > 1) {
                    spvc_compiler_type_struct_member_matrix_stride(compiler_, type, i, &value);
                    slot.matrixStride = value;
                }
                if (const unsigned dimensions = spvc_type_get_num_array_dimensions(member); dimensions > 0) {
                    // An array of arrays is uploaded as one array of all its elements (as D3DX
                    // describes it): the stride of the outermost dimension over the elements it holds.
                    spvc_compiler_type_struct_member_array_stride(compiler_, type, i, &value);
                    unsigned inner = 1;
                    for (unsigned d = 0; d + 1 < dimensions; ++d)
                        inner *= spvc_type_get_array_dimension(member, d);
                    slot.arrayStride = inner > 0 ? value / inner : value;
                }
                // glslang states HLSL's column-major packing as SPIR-V row-major, and the reverse.
                slot.columnMajor = spvc_compiler_has_member_decoration(compiler_, block.base_type_id, i,
                                                                       SpvDecorationRowMajor) != SPVC_FALSE;
                const spvc_basetype base = spvc_type_get_basetype(member);
                slot.baseType = base == SPVC_BASETYPE_FP32      ? ConstantBaseType::Float
                                : base == SPVC_BASETYPE_BOOLEAN ? ConstantBaseType::Bool
                                                                : ConstantBaseType::Int;
                constants.slots.push_back(slot);
            }
            spvc_compiler_set_name(compiler_, block.base_type_id, uniformName.c_str());
            spvc_compiler_set_name(compiler_, block.id, uniformName.c_str());
            spvc_compiler_flatten_buffer_block(compiler_, block.id);
        }
        return constants;
    }

    bool ToGlsl(std::string& glsl, std::string& error) {
        spvc_compiler_options options = nullptr;
        spvc_compiler_create_compiler_options(compiler_, &options);
        spvc_compiler_options_set_uint(options, SPVC_COMPILER_OPTION_GLSL_VERSION, 450);
        spvc_compiler_options_set_bool(options, SPVC_COMPILER_OPTION_GLSL_ES, SPVC_FALSE);
        spvc_compiler_options_set_bool(options, SPVC_COMPILER_OPTION_GLSL_VULKAN_SEMANTICS, SPVC_FALSE);
        spvc_compiler_install_compiler_options(compiler_, options);
        const char* source = nullptr;
        if (spvc_compiler_compile(compiler_, &source) != SPVC_SUCCESS) {
            error = spvc_context_get_last_error_string(context_);
            return false;
        }
        glsl = source;
        return true;
    }

    std::string LastError() const { return spvc_context_get_last_error_string(context_); }

private:
    spvc_context context_ = nullptr;
    spvc_compiler compiler_ = nullptr;
    spvc_resources resources_ = nullptr;
    bool ok_ = false;
};

std::string IoName(const char* prefix, const Semantic& semantic) {
    return std::string(prefix) + semantic.name + std::to_string(semantic.index);
}

void AddSamplers(CrossCompiler& cross, std::vector<std::string>& samplers) {
    for (const spvc_reflected_resource& sampler : cross.Resources(SPVC_RESOURCE_TYPE_SAMPLED_IMAGE)) {
        if (std::find(samplers.begin(), samplers.end(), sampler.name) == samplers.end())
            samplers.push_back(sampler.name);
    }
}

// The varying of a semantic in its register; false with `errors` set when it has none.
bool RegisterOf(const Semantic& semantic, const char* what, const std::string& fileName, StageVarying& varying,
                std::string& errors) {
    varying.usage = DeclarationUsage(semantic.name);
    varying.usageIndex = semantic.index;
    const int location = varying.usage < 0 ? -1 : RegisterLocation(varying.usage, semantic.index);
    if (location < 0) {
        return FailWith(fileName, std::string(what) + " '" + IoName("", semantic) + "' has no Direct3D 9 register",
                        errors);
    }
    varying.location = static_cast<unsigned>(location);
    return true;
}

// Vertex stage: inputs named by semantic (the device binds them by usage), POSITION becomes
// gl_Position, other outputs take the location of their register.
bool TranslateVertexStage(const std::vector<std::uint32_t>& spirv, const std::string& fileName,
                          CompiledProgram& program, std::string& errors) {
    CrossCompiler cross(spirv);
    if (!cross.Ok()) return FailWith(fileName, cross.LastError(), errors);
    spvc_compiler compiler = cross.Compiler();
    for (const spvc_reflected_resource& input : cross.Resources(SPVC_RESOURCE_TYPE_STAGE_INPUT)) {
        const Semantic semantic = cross.SemanticOf(input.id);
        const int usage = DeclarationUsage(semantic.name);
        if (usage < 0) {
            errors = fileName + ": error: vertex input '" + input.name + "' has no Direct3D 9 semantic\n";
            return false;
        }
        const std::string name = IoName("fx_in_", semantic);
        cross.Rename(input.id, name);
        spvc_compiler_unset_decoration(compiler, input.id, SpvDecorationLocation);
        program.vertexInputs.push_back({name, usage, semantic.index});
    }
    for (const spvc_reflected_resource& output : cross.Resources(SPVC_RESOURCE_TYPE_STAGE_OUTPUT)) {
        const Semantic semantic = cross.SemanticOf(output.id);
        if (semantic.name == "POSITION" && semantic.index == 0) {
            spvc_compiler_set_decoration(compiler, output.id, SpvDecorationBuiltIn, SpvBuiltInPosition);
        } else if (semantic.name == "PSIZE") {
            spvc_compiler_set_decoration(compiler, output.id, SpvDecorationBuiltIn, SpvBuiltInPointSize);
        } else {
            StageVarying varying;
            if (!RegisterOf(semantic, "vertex output", fileName, varying, errors)) return false;
            cross.Rename(output.id, IoName("fx_var_", semantic));
            spvc_compiler_set_decoration(compiler, output.id, SpvDecorationLocation, varying.location);
            program.vertexOutputs.push_back(varying);
        }
    }
    program.vertexConstants = cross.FlattenConstants(kVertexConstants);
    AddSamplers(cross, program.samplers);
    std::string error;
    if (!cross.ToGlsl(program.vertexGlsl, error)) return FailWith(fileName, error, errors);
    program.vertexGlsl = WidenVaryings(program.vertexGlsl, true);
    return true;
}

// Pixel stage: each input reads the register of its semantic; VPOS and VFACE (ps_3_0) read the
// rasteriser's position and facing instead.
bool TranslatePixelStage(const std::vector<std::uint32_t>& spirv, const std::string& fileName,
                         const ShaderCompileRequest& request, CompiledProgram& program, std::string& errors) {
    CrossCompiler cross(spirv);
    if (!cross.Ok()) return FailWith(fileName, cross.LastError(), errors);
    spvc_compiler compiler = cross.Compiler();
    for (const spvc_reflected_resource& input : cross.Resources(SPVC_RESOURCE_TYPE_STAGE_INPUT)) {
        const Semantic semantic = cross.SemanticOf(input.id);
        if (IsPixelSystemInput(semantic.name)) {
            if (request.profile != "ps_3_0" && request.profile != "ps_3_sw") {
                errors = FormatError(fileName, request.position,
                                     "pixel input '" + semantic.name + "' needs ps_3_0, not " + request.profile);
                return false;
            }
            cross.Rename(input.id, SystemInputName(semantic.name));
            spvc_compiler_set_decoration(compiler, input.id, SpvDecorationLocation, 0);
            continue;
        }
        StageVarying varying;
        if (!RegisterOf(semantic, "pixel input", fileName, varying, errors)) return false;
        spvc_compiler_set_decoration(compiler, input.id, SpvDecorationLocation, varying.location);
        program.pixelInputs.push_back(varying);
        cross.Rename(input.id, IoName("fx_var_", semantic));
    }
    for (const spvc_reflected_resource& output : cross.Resources(SPVC_RESOURCE_TYPE_STAGE_OUTPUT)) {
        const Semantic semantic = cross.SemanticOf(output.id);
        if (semantic.name != "COLOR") continue;  // depth is a built-in already
        const std::string name = IoName("fx_out_", semantic);
        cross.Rename(output.id, name);
        spvc_compiler_set_decoration(compiler, output.id, SpvDecorationLocation, static_cast<unsigned>(semantic.index));
        if (semantic.index == 0) program.colorOutput = name;
    }
    program.pixelConstants = cross.FlattenConstants(kPixelConstants);
    AddSamplers(cross, program.samplers);
    std::string error;
    if (!cross.ToGlsl(program.fragmentGlsl, error)) return FailWith(fileName, error, errors);
    program.fragmentGlsl = WidenVaryings(program.fragmentGlsl, false);
    return true;
}

}  // namespace

Semantic ParseSemantic(const std::string& text) {
    Semantic semantic;
    std::string upper = text;
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
    if (upper == "SV_POSITION") upper = "POSITION";
    if (upper.rfind("SV_TARGET", 0) == 0) upper = "COLOR" + upper.substr(9);
    // `TEXCOORD0_centroid` asks for centroid sampling, which only multisampling tells apart.
    static const std::string kCentroid = "_CENTROID";
    if (upper.size() > kCentroid.size() &&
        upper.compare(upper.size() - kCentroid.size(), kCentroid.size(), kCentroid) == 0)
        upper.erase(upper.size() - kCentroid.size());
    std::size_t digits = upper.size();
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(upper[digits - 1])))
        --digits;
    semantic.name = upper.substr(0, digits);
    semantic.index = digits < upper.size() ? std::atoi(upper.c_str() + digits) : 0;
    return semantic;
}

int DeclarationUsage(const std::string& semanticName) {
    static const std::map<std::string, int> kUsages = {{"POSITION", D3DDECLUSAGE_POSITION},
                                                       {"BLENDWEIGHT", D3DDECLUSAGE_BLENDWEIGHT},
                                                       {"BLENDINDICES", D3DDECLUSAGE_BLENDINDICES},
                                                       {"NORMAL", D3DDECLUSAGE_NORMAL},
                                                       {"PSIZE", D3DDECLUSAGE_PSIZE},
                                                       {"TEXCOORD", D3DDECLUSAGE_TEXCOORD},
                                                       {"TANGENT", D3DDECLUSAGE_TANGENT},
                                                       {"BINORMAL", D3DDECLUSAGE_BINORMAL},
                                                       {"TESSFACTOR", D3DDECLUSAGE_TESSFACTOR},
                                                       {"POSITIONT", D3DDECLUSAGE_POSITIONT},
                                                       {"COLOR", D3DDECLUSAGE_COLOR},
                                                       {"FOG", D3DDECLUSAGE_FOG},
                                                       {"DEPTH", D3DDECLUSAGE_DEPTH},
                                                       {"SAMPLE", D3DDECLUSAGE_SAMPLE}};
    const auto found = kUsages.find(semanticName);
    return found == kUsages.end() ? -1 : found->second;
}

namespace {

// One stage of a program (the other stage left empty), or the compiler's messages.
struct StageResult {
    std::shared_ptr<const CompiledProgram> program;
    std::string errors;
};

// A stage goes through glslang and SPIRV-Cross on its own, so that passes sharing a vertex or a
// pixel shader compile it once; stages meet by register, as on Direct3D 9. The disk cache keeps
// a stage under the key of a program of that stage alone.
std::shared_ptr<const StageResult> TranslateStage(const std::string& hlsl, const std::string& fileName,
                                                  const ShaderCompileRequest& request, bool vertex,
                                                  const std::string& key) {
    auto result = std::make_shared<StageResult>();
    // The disk cache, read again at each miss so that the environment may change between effects.
    const auto diskDirectory = ProgramCache::DirectoryFromEnvironment();
    std::optional<ProgramCache> disk;
    if (diskDirectory) disk.emplace(*diskDirectory, CompilerVersion());
    if (disk) {
        if (auto stored = disk->Load(key)) {
            result->program = std::move(stored);
            return result;
        }
    }
    static const bool initialised = glslang::InitializeProcess();
    if (!initialised) {
        result->errors = fileName + ": error: the HLSL compiler could not start\n";
        return result;
    }
    ++g_compileCount;
    auto program = std::make_shared<CompiledProgram>();
    std::vector<std::uint32_t> spirv;
    if (!CompileToSpirv(hlsl, fileName, request.entry, vertex ? EShLangVertex : EShLangFragment, spirv,
                        result->errors) ||
        !(vertex ? TranslateVertexStage(spirv, fileName, *program, result->errors)
                 : TranslatePixelStage(spirv, fileName, request, *program, result->errors))) {
        result->errors = PlaceSemanticErrors(result->errors, hlsl, fileName);
        return result;
    }
    if (disk) disk->Store(key, *program);
    result->program = std::move(program);
    return result;
}

// A stage keeps a few kilobytes; a process that compiles endless distinct sources must not grow
// without bound. Failures are kept too (their messages name the file), so that an effect compiled
// ahead on several threads reports each failure without compiling it twice.
ComputedOnce<StageResult> g_stages(512);

std::shared_ptr<const StageResult> CompileStage(const std::string& hlsl, const std::string& fileName,
                                                const ShaderCompileRequest& request, bool vertex) {
    const std::string key =
        vertex ? ProgramKey(hlsl, request, ShaderCompileRequest()) : ProgramKey(hlsl, ShaderCompileRequest(), request);
    return g_stages.Get(fileName + '\n' + key, [&] { return TranslateStage(hlsl, fileName, request, vertex, key); });
}

}  // namespace

ProgramCompileResult CompileProgram(const std::string& vertexHlsl, const std::string& pixelHlsl,
                                    const std::string& fileName, const ShaderCompileRequest& vertexShader,
                                    const ShaderCompileRequest& pixelShader) {
    ProgramCompileResult result;
    const bool hasVertex = !vertexShader.entry.empty();
    const bool hasPixel = !pixelShader.entry.empty();
    if (!hasVertex && !hasPixel) {
        FailWith(fileName, "a program needs a vertex or a pixel shader", result.errors);
        return result;
    }
    if (hasVertex && !ValidProfile(vertexShader.profile, "vs_")) {
        result.errors = FormatError(fileName, vertexShader.position,
                                    "invalid vertex shader profile '" + vertexShader.profile + "'");
        return result;
    }
    if (hasPixel && !ValidProfile(pixelShader.profile, "ps_")) {
        result.errors =
            FormatError(fileName, pixelShader.position, "invalid pixel shader profile '" + pixelShader.profile + "'");
        return result;
    }
    // An entry parameter without a name would crash glslang (EntryParameters.h).
    for (const bool vertex : {true, false}) {
        const ShaderCompileRequest& request = vertex ? vertexShader : pixelShader;
        SourcePosition where;
        if (!request.entry.empty() &&
            FindUnnamedEntryParameter(vertex ? vertexHlsl : pixelHlsl, request.entry, where)) {
            result.errors =
                FormatError(fileName, where, "a parameter of entry point '" + request.entry + "' has no name");
            return result;
        }
    }
    auto program = std::make_shared<CompiledProgram>();
    if (hasVertex) {
        const auto stage = CompileStage(vertexHlsl, fileName, vertexShader, true);
        if (stage->program == nullptr) {
            result.errors = stage->errors;
            return result;
        }
        const CompiledProgram& vertex = *stage->program;
        program->vertexGlsl = vertex.vertexGlsl;
        program->vertexInputs = vertex.vertexInputs;
        program->vertexConstants = vertex.vertexConstants;
        program->vertexOutputs = vertex.vertexOutputs;
        program->samplers = vertex.samplers;
    }
    if (hasPixel) {
        const auto stage = CompileStage(pixelHlsl, fileName, pixelShader, false);
        if (stage->program == nullptr) {
            result.errors = stage->errors;
            return result;
        }
        const CompiledProgram& pixel = *stage->program;
        program->fragmentGlsl = pixel.fragmentGlsl;
        program->colorOutput = pixel.colorOutput;
        program->pixelConstants = pixel.pixelConstants;
        program->pixelInputs = pixel.pixelInputs;
        for (const std::string& sampler : pixel.samplers) {
            if (std::find(program->samplers.begin(), program->samplers.end(), sampler) == program->samplers.end())
                program->samplers.push_back(sampler);
        }
    }
    result.program = std::move(program);
    return result;
}

ProgramCompileResult CompileProgram(const std::string& hlsl, const std::string& fileName,
                                    const ShaderCompileRequest& vertexShader, const ShaderCompileRequest& pixelShader) {
    return CompileProgram(hlsl, hlsl, fileName, vertexShader, pixelShader);
}

bool StartCompiler() {
    if (const auto directory = ProgramCache::DirectoryFromEnvironment()) {
        if (ProgramCache(*directory, CompilerVersion()).HoldsPrograms()) return false;
    }
    static const bool initialised = glslang::InitializeProcess();
    if (!initialised) return false;
    // glslang builds its tables of built-in functions at its first parse, for every stage at once.
    const std::string text = "float4 fx_start_entry() : COLOR { return 0; }\n";
    std::vector<std::uint32_t> spirv;
    std::string errors;
    return CompileToSpirv(text, "start", "fx_start_entry", EShLangFragment, spirv, errors);
}

bool CheckHlsl(const std::string& hlsl, const std::string& fileName, std::string& errors) {
    static const bool initialised = glslang::InitializeProcess();
    if (!initialised) return FailWith(fileName, "the HLSL compiler could not start", errors);
    // glslang parses the whole text; an entry of ours gives it something to compile.
    const std::string text = hlsl + "\nfloat4 fx_check_entry() : COLOR { return 0; }\n";
    std::vector<std::uint32_t> spirv;
    return CompileToSpirv(text, fileName, "fx_check_entry", EShLangFragment, spirv, errors);
}

std::uint64_t StageCompileCount() {
    return g_compileCount.load();
}

}  // namespace nvesk::d3dx9

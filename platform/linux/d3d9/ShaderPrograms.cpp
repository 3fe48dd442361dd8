#include "ShaderPrograms.h"
#include "com/Diagnostics.h"

#include "ShaderWrapping.h"

#include <epoxy/gl.h>

#include <string>
#include <utility>

namespace nvesk::d3d9 {

using com::Reject;
namespace {

std::string ShaderLog(GLuint shader) {
    GLint length = 0;
    glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
    std::string log(static_cast<size_t>(length > 0 ? length : 0), '\0');
    if (length > 0) {
        glGetShaderInfoLog(shader, length, nullptr, log.data());
        log.resize(log.find('\0') == std::string::npos ? log.size() : log.find('\0'));
    }
    return log;
}

std::string ProgramLog(GLuint program) {
    GLint length = 0;
    glGetProgramiv(program, GL_INFO_LOG_LENGTH, &length);
    std::string log(static_cast<size_t>(length > 0 ? length : 0), '\0');
    if (length > 0) {
        glGetProgramInfoLog(program, length, nullptr, log.data());
        log.resize(log.find('\0') == std::string::npos ? log.size() : log.find('\0'));
    }
    return log;
}

GLuint Compile(GLenum stage, const std::string& source, std::string* log) {
    const GLuint shader = glCreateShader(stage);
    const char* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint compiled = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (compiled != GL_TRUE) {
        *log = (stage == GL_VERTEX_SHADER ? "vertex shader: " : "fragment shader: ") + ShaderLog(shader);
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

// Links the two stages with the vertex inputs at their locations; 0 with *log set on failure.
GLuint LinkStages(GLuint vertex, GLuint fragment, const AttributeBindings& attributes, std::string* log) {
    const GLuint program = glCreateProgram();
    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    for (const auto& [name, location] : attributes) {
        glBindAttribLocation(program, location, name.c_str());
    }
    glLinkProgram(program);
    glDetachShader(program, vertex);
    glDetachShader(program, fragment);
    GLint linked = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (linked != GL_TRUE) {
        *log = "link: " + ProgramLog(program);
        glDeleteProgram(program);
        return 0;
    }
    return program;
}

// Calls visit(name, location in `from`, GL type) for every element of every default-block uniform.
template <typename Visit>
void ForEachUniformElement(GLuint from, Visit visit) {
    GLint count = 0;
    GLint longest = 0;
    glGetProgramiv(from, GL_ACTIVE_UNIFORMS, &count);
    glGetProgramiv(from, GL_ACTIVE_UNIFORM_MAX_LENGTH, &longest);
    std::string name(static_cast<size_t>(longest > 0 ? longest : 1), '\0');
    for (GLuint index = 0; index < static_cast<GLuint>(count); ++index) {
        GLint block = -1;
        glGetActiveUniformsiv(from, 1, &index, GL_UNIFORM_BLOCK_INDEX, &block);
        if (block != -1) {
            continue;  // block members have no locations
        }
        GLint size = 0;
        GLint type = 0;
        glGetActiveUniformsiv(from, 1, &index, GL_UNIFORM_SIZE, &size);
        glGetActiveUniformsiv(from, 1, &index, GL_UNIFORM_TYPE, &type);
        GLsizei length = 0;
        glGetActiveUniformName(from, index, static_cast<GLsizei>(name.size()), &length, name.data());
        std::string base(name.data(), static_cast<size_t>(length));
        const bool array = base.size() > 3 && base.compare(base.size() - 3, 3, "[0]") == 0;
        if (array) {
            base.resize(base.size() - 3);
        }
        for (GLint element = 0; element < (array ? size : 1); ++element) {
            const std::string full = array ? base + "[" + std::to_string(element) + "]" : base;
            const GLint location = glGetUniformLocation(from, full.c_str());
            if (location >= 0) {
                visit(full, location, static_cast<GLenum>(type));
            }
        }
    }
}

// For every element of every default-block uniform of `from`, its location there and in `to`.
std::unordered_map<int, int> TranslateLocations(GLuint from, GLuint to) {
    std::unordered_map<int, int> locations;
    ForEachUniformElement(from, [&](const std::string& name, GLint location, GLenum) {
        locations[location] = glGetUniformLocation(to, name.c_str());
    });
    return locations;
}

// Gives `to` the values `from` holds in the uniforms both have: a program linked later for other
// fixed-function state starts with what the application set. The device's own (nvesk_) are set
// per draw.
void CopyUniformValues(GLuint from, GLuint to) {
    ForEachUniformElement(from, [&](const std::string& name, GLint location, GLenum type) {
        const GLint target = glGetUniformLocation(to, name.c_str());
        if (target < 0 || name.rfind("nvesk_", 0) == 0) {
            return;
        }
        GLfloat floats[16] = {};
        GLint ints[4] = {};
        switch (type) {
        case GL_FLOAT:
        case GL_FLOAT_VEC2:
        case GL_FLOAT_VEC3:
        case GL_FLOAT_VEC4: {
            const PFNGLPROGRAMUNIFORM1FVPROC setters[] = {glProgramUniform1fv, glProgramUniform2fv, glProgramUniform3fv,
                                                          glProgramUniform4fv};
            const int components = type == GL_FLOAT ? 1 : static_cast<int>(type - GL_FLOAT_VEC2) + 2;
            glGetUniformfv(from, location, floats);
            setters[components - 1](to, target, 1, floats);
            break;
        }
        case GL_FLOAT_MAT4:
            glGetUniformfv(from, location, floats);
            glProgramUniformMatrix4fv(to, target, 1, GL_FALSE, floats);
            break;
        case GL_INT:
        case GL_BOOL:
        case GL_SAMPLER_2D:
        case GL_SAMPLER_CUBE:
        case GL_SAMPLER_3D:
            glGetUniformiv(from, location, ints);
            glProgramUniform1iv(to, target, 1, ints);
            break;
        case GL_INT_VEC4:
        case GL_BOOL_VEC4:
            glGetUniformiv(from, location, ints);
            glProgramUniform4iv(to, target, 1, ints);
            break;
        default:
            break;  // the effect layer uploads vec4 registers, ivec4 registers and samplers only
        }
    });
}

int Translate(const std::unordered_map<int, int>& locations, int location) {
    auto found = locations.find(location);
    return found != locations.end() ? found->second : -1;
}

}  // namespace

void ShaderPrograms::ReadLocations(Variant& variant) {
    variant.pixelOffset = glGetUniformLocation(variant.name, kPixelOffsetUniform);
    variant.transform = glGetUniformLocation(variant.name, kFixedTransformUniform);
    variant.screen = glGetUniformLocation(variant.name, kFixedScreenUniform);
    variant.depth = glGetUniformLocation(variant.name, kFixedDepthUniform);
    variant.factor = glGetUniformLocation(variant.name, kFixedFactorUniform);
    variant.lighting = glGetUniformLocation(variant.name, kFixedLightingUniform);
    variant.texTransform = glGetUniformLocation(variant.name, kFixedTexTransformUniform);
}

HRESULT ShaderPrograms::LinkPair(const std::string& vertexGlsl, const std::string& fragmentGlsl,
                                 const std::string& colorOutput, const AttributeBindings& attributes,
                                 const FixedFunctionKey& generated, Linked* linked, std::string* log) {
    std::string& message = *log;
    Linked record;
    // Both texts are made now, so that a stage the alpha test cannot wrap fails the link; only
    // the plain variant is compiled and linked.
    if (!WrapVertexShader(vertexGlsl, &record.deferred.vertexSource, &message, generated.GeneratesVertex()) ||
        !WrapFragmentShader(fragmentGlsl, colorOutput, &record.deferred.testedSource, &message,
                            generated.GeneratesPixel())) {
        return E_FAIL;
    }
    const GLuint vertex = Compile(GL_VERTEX_SHADER, record.deferred.vertexSource, &message);
    const GLuint plain = vertex != 0 ? Compile(GL_FRAGMENT_SHADER, fragmentGlsl, &message) : 0;
    if (plain != 0) {
        record.plain.name = LinkStages(vertex, plain, attributes, &message);
    }
    for (GLuint shader : {vertex, plain}) {
        if (shader != 0) {
            glDeleteShader(shader);
        }
    }
    if (record.plain.name == 0) {
        return E_FAIL;
    }
    ReadLocations(record.plain);
    record.deferred.attributes = attributes;
    record.locationsFrom = record.plain.name;
    *linked = std::move(record);
    return D3D_OK;
}

HRESULT ShaderPrograms::LinkAlphaTested(Linked& linked) {
    std::string log;
    const GLuint vertex = Compile(GL_VERTEX_SHADER, linked.deferred.vertexSource, &log);
    const GLuint tested = vertex != 0 ? Compile(GL_FRAGMENT_SHADER, linked.deferred.testedSource, &log) : 0;
    const GLuint name = tested != 0 ? LinkStages(vertex, tested, linked.deferred.attributes, &log) : 0;
    for (GLuint shader : {vertex, tested}) {
        if (shader != 0) {
            glDeleteShader(shader);
        }
    }
    if (name == 0) {
        return com::Refuse(D3DERR_DRIVERINTERNALERROR, "the program's alpha-tested variant: %s", log.c_str());
    }
    linked.alphaTested.name = name;
    ReadLocations(linked.alphaTested);
    linked.alphaFunction = glGetUniformLocation(name, kAlphaFunctionUniform);
    linked.alphaReference = glGetUniformLocation(name, kAlphaReferenceUniform);
    glProgramUniform1i(name, linked.alphaFunction, linked.lastAlphaFunction);
    glProgramUniform1f(name, linked.alphaReference, linked.lastAlphaReference);
    // The application's values so far reached the plain variant only.
    linked.alphaTestedLocations = TranslateLocations(linked.locationsFrom, name);
    CopyUniformValues(linked.plain.name, name);
    linked.deferred = {};
    return D3D_OK;
}

ShaderPrograms::PairSource ShaderPrograms::CompletedSource(const ShaderProgramSource& source,
                                                           const FixedFunctionKey& key) {
    const bool generatedVertex = key.GeneratesVertex();
    const bool generatedPixel = key.GeneratesPixel();
    const std::vector<ShaderVarying>& varyings = generatedVertex && generatedPixel ? FixedVaryings() : source.varyings;
    return {generatedVertex ? GenerateVertexStage(key.vertex, varyings) : source.vertexGlsl,
            generatedPixel ? GeneratePixelStage(key.pixel, varyings) : source.fragmentGlsl,
            generatedPixel ? "nvesk_ff_Color" : source.colorOutput};
}

HRESULT ShaderPrograms::LinkCompleted(const ShaderProgramSource& source, const AttributeLocations& locations,
                                      const FixedFunctionKey& key, Linked* linked, std::string* log) {
    const PairSource pair = CompletedSource(source, key);
    const HRESULT hr = LinkPair(pair.vertexGlsl, pair.fragmentGlsl, pair.colorOutput,
                                key.GeneratesVertex() ? AttributeBindings {} : locations.Bindings(source.attributes),
                                key, linked, log);
    if (SUCCEEDED(hr) && (key.GeneratesVertex() || key.GeneratesPixel())) {
        ++fixedFunctionLinks_;
    }
    return hr;
}

HRESULT ShaderPrograms::Validate(const ShaderProgramSource& source, AttributeLocations* locations,
                                 FixedFunctionKey* referenceKey, std::string* log) {
    if (source.vertexGlsl.empty() && source.fragmentGlsl.empty()) {
        return Reject("both stages are empty: draw without a program for fixed function");
    }
    if (!AttributeLocations::ForInputs(source.attributes, locations, log)) {
        return Reject("%s", log->c_str());
    }
    for (const ShaderVarying& varying : source.varyings) {
        if (varying.components < 1 || varying.components > 4) {
            return Reject("a varying of %u components", varying.components);
        }
    }
    // The stage left empty is linked here with one fixed-function choice, so that compile errors
    // show now and uniforms have locations; other choices are linked when a draw needs them.
    *referenceKey = FixedFunctionKey {};
    if (source.vertexGlsl.empty()) {
        referenceKey->vertex.position = FixedVertexKey::Transformed;
    } else if (source.fragmentGlsl.empty()) {
        referenceKey->pixel.generated = 1;
    }
    return D3D_OK;
}

HRESULT ShaderPrograms::Check(const ShaderProgramSource& source, std::string* log) {
    std::string ignored;
    std::string& message = log != nullptr ? *log : ignored;
    message.clear();
    AttributeLocations locations;
    FixedFunctionKey key;
    if (HRESULT hr = Validate(source, &locations, &key, &message); FAILED(hr)) {
        return hr;
    }
    const PairSource pair = CompletedSource(source, key);
    std::string vertex;
    std::string tested;
    if (!WrapVertexShader(pair.vertexGlsl, &vertex, &message, key.GeneratesVertex()) ||
        !WrapFragmentShader(pair.fragmentGlsl, pair.colorOutput, &tested, &message, key.GeneratesPixel())) {
        return E_FAIL;
    }
    return D3D_OK;
}

HRESULT ShaderPrograms::Link(const ShaderProgramSource& source, ShaderProgramHandle* handle, std::string* log) {
    std::string ignored;
    std::string& message = log != nullptr ? *log : ignored;
    message.clear();
    if (handle == nullptr) {
        return Reject("handle is null");
    }
    *handle = 0;
    Program record;
    if (HRESULT hr = Validate(source, &record.locations, &record.referenceKey, &message); FAILED(hr)) {
        return hr;
    }
    if (HRESULT hr = LinkCompleted(source, record.locations, record.referenceKey, &record.reference, &message);
        FAILED(hr)) {
        return hr;
    }
    if (record.referenceKey.GeneratesVertex() || record.referenceKey.GeneratesPixel()) {
        record.source = source;
    }
    *handle = next_++;
    programs_[*handle] = std::move(record);
    return D3D_OK;
}

void ShaderPrograms::Delete(const Linked& linked) {
    for (GLuint name : {linked.plain.name, linked.alphaTested.name}) {
        if (name != 0) {
            glDeleteProgram(name);
        }
    }
}

void ShaderPrograms::Unbind(const Linked& linked) {
    if (boundName_ != 0 && (boundName_ == linked.plain.name || boundName_ == linked.alphaTested.name)) {
        glUseProgram(0);
        boundName_ = 0;
    }
}

HRESULT ShaderPrograms::Use(ShaderProgramHandle handle) {
    if (handle != 0 && !Has(handle)) {
        return Reject("not a program of this device");
    }
    current_ = handle;
    return D3D_OK;
}

HRESULT ShaderPrograms::Free(ShaderProgramHandle handle) {
    auto found = programs_.find(handle);
    if (found == programs_.end()) {
        return Reject("not a program of this device");
    }
    Program& program = found->second;
    Unbind(program.reference);
    Delete(program.reference);
    for (const auto& entry : program.completed) {
        Unbind(entry.second);
        Delete(entry.second);
    }
    programs_.erase(found);
    if (current_ == handle) {
        current_ = 0;
    }
    return D3D_OK;
}

void ShaderPrograms::FreeAll() {
    for (auto& entry : programs_) {
        Delete(entry.second.reference);
        for (const auto& completed : entry.second.completed) {
            Delete(completed.second);
        }
    }
    for (const auto& entry : fixedFunction_) {
        Delete(entry.second);
    }
    programs_.clear();
    fixedFunction_.clear();
    current_ = 0;
    boundName_ = 0;
}

unsigned int ShaderPrograms::GlProgram(ShaderProgramHandle handle) const {
    auto found = programs_.find(handle);
    return found == programs_.end() ? 0 : found->second.reference.plain.name;
}

std::vector<ShaderPrograms::UniformTarget> ShaderPrograms::UniformTargets(ShaderProgramHandle handle,
                                                                          int location) const {
    auto found = programs_.find(handle);
    if (found == programs_.end()) {
        return {};
    }
    const Program& program = found->second;
    // A location another link lacks goes there as -1, which GL ignores; the reference still
    // refuses it.
    // Alpha-tested variants not linked yet take the values from their plain one when they are.
    std::vector<UniformTarget> targets = {UniformTarget {program.reference.plain.name, location}};
    if (program.reference.alphaTested.name != 0) {
        targets.push_back(UniformTarget {program.reference.alphaTested.name,
                                         Translate(program.reference.alphaTestedLocations, location)});
    }
    for (const auto& entry : program.completed) {
        const Linked& linked = entry.second;
        targets.push_back(UniformTarget {linked.plain.name, Translate(linked.plainLocations, location)});
        if (linked.alphaTested.name != 0) {
            targets.push_back(
                UniformTarget {linked.alphaTested.name, Translate(linked.alphaTestedLocations, location)});
        }
    }
    return targets;
}

bool ShaderPrograms::CurrentHasVertex() const {
    return current_ != 0 && !programs_.at(current_).referenceKey.GeneratesVertex();
}

bool ShaderPrograms::CurrentHasPixel() const {
    return current_ != 0 && !programs_.at(current_).referenceKey.GeneratesPixel();
}

const AttributeLocations& ShaderPrograms::CurrentAttributeLocations() const {
    return CurrentHasVertex() ? programs_.at(current_).locations : AttributeLocations::FixedFunction();
}

const std::vector<ShaderVarying>& ShaderPrograms::CurrentVaryings() const {
    static const std::vector<ShaderVarying> kNone;
    return current_ != 0 ? programs_.at(current_).source.varyings : kNone;
}

ShaderPrograms::Linked* ShaderPrograms::LinkedFor(const FixedFunctionKey& key, HRESULT* result) {
    *result = D3D_OK;
    std::string log;
    if (current_ == 0) {
        auto found = fixedFunction_.find(key);
        if (found != fixedFunction_.end()) {
            return &found->second;
        }
        Linked linked;
        *result = LinkCompleted(ShaderProgramSource {}, AttributeLocations::FixedFunction(), key, &linked, &log);
        if (FAILED(*result)) {
            *result = com::Refuse(D3DERR_DRIVERINTERNALERROR, "a generated fixed-function program: %s", log.c_str());
            return nullptr;
        }
        return &fixedFunction_.emplace(key, std::move(linked)).first->second;
    }
    Program& program = programs_.at(current_);
    if (!key.GeneratesVertex() && !key.GeneratesPixel()) {
        return &program.reference;
    }
    if (key == program.referenceKey) {
        return &program.reference;
    }
    auto found = program.completed.find(key);
    if (found != program.completed.end()) {
        return &found->second;
    }
    Linked linked;
    *result = LinkCompleted(program.source, program.locations, key, &linked, &log);
    if (FAILED(*result)) {
        *result = com::Refuse(D3DERR_DRIVERINTERNALERROR, "the program completed by fixed function: %s", log.c_str());
        return nullptr;
    }
    const GLuint reference = program.reference.plain.name;
    linked.locationsFrom = reference;
    linked.plainLocations = TranslateLocations(reference, linked.plain.name);
    CopyUniformValues(reference, linked.plain.name);
    return &program.completed.emplace(key, std::move(linked)).first->second;
}

HRESULT ShaderPrograms::PrepareDraw(const FixedFunctionKey& key, const FixedFunctionUniforms& fixed, float offsetX,
                                    float offsetY, DWORD alphaFunction, float alphaReference) {
    HRESULT result = D3D_OK;
    Linked* found = LinkedFor(key, &result);
    if (found == nullptr) {
        return result;
    }
    Linked& program = *found;
    const bool alphaTest = alphaFunction != D3DCMP_ALWAYS;
    if (alphaTest && program.alphaTested.name == 0) {
        if (HRESULT linked = LinkAlphaTested(program); FAILED(linked)) {
            return linked;
        }
    }
    Variant& variant = alphaTest ? program.alphaTested : program.plain;
    if (boundName_ != variant.name) {
        glUseProgram(variant.name);
        boundName_ = variant.name;
    }
    if (variant.lastOffset[0] != offsetX || variant.lastOffset[1] != offsetY) {
        glUniform2f(variant.pixelOffset, offsetX, offsetY);
        variant.lastOffset[0] = offsetX;
        variant.lastOffset[1] = offsetY;
    }
    if (key.GeneratesVertex() || key.GeneratesPixel()) {
        // -1 locations (what the generated stages do not read) are ignored by GL.
        glUniformMatrix4fv(variant.transform, 1, GL_FALSE, fixed.transform);
        glUniform4fv(variant.screen, 1, fixed.screen);
        glUniform2fv(variant.depth, 1, fixed.depth);
        glUniform4fv(variant.factor, 1, fixed.factor);
        glUniformMatrix4fv(variant.texTransform, static_cast<GLsizei>(kFixedStageCount), GL_FALSE, fixed.texTransform);
        if (key.vertex.CameraSpace()) {
            glUniform4fv(variant.lighting, static_cast<GLsizei>(kLightingVectors), fixed.lighting);
        }
    }
    if (!alphaTest) {
        return D3D_OK;
    }
    const int function = static_cast<int>(alphaFunction);
    if (program.lastAlphaFunction != function) {
        glUniform1i(program.alphaFunction, function);
        program.lastAlphaFunction = function;
    }
    if (program.lastAlphaReference != alphaReference) {
        glUniform1f(program.alphaReference, alphaReference);
        program.lastAlphaReference = alphaReference;
    }
    return D3D_OK;
}

}  // namespace nvesk::d3d9

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

// Links the two stages with the attributes at their declaration locations; 0 with *log set on failure.
GLuint LinkStages(GLuint vertex, GLuint fragment, const std::vector<ShaderAttribute>& attributes, std::string* log) {
    const GLuint program = glCreateProgram();
    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    for (const ShaderAttribute& attribute : attributes) {
        glBindAttribLocation(program,
                             static_cast<GLuint>(VertexAttributeLocation(attribute.usage, attribute.usageIndex)),
                             attribute.name.c_str());
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

// For every element of every default-block uniform of `from`, its location there and in `to`.
std::unordered_map<int, int> TranslateLocations(GLuint from, GLuint to) {
    std::unordered_map<int, int> locations;
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
        glGetActiveUniformsiv(from, 1, &index, GL_UNIFORM_SIZE, &size);
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
                locations[location] = glGetUniformLocation(to, full.c_str());
            }
        }
    }
    return locations;
}

}  // namespace

HRESULT ShaderPrograms::Link(const ShaderProgramSource& source, ShaderProgramHandle* handle, std::string* log) {
    std::string ignored;
    std::string& message = log != nullptr ? *log : ignored;
    message.clear();
    if (handle == nullptr) {
        return Reject("handle is null");
    }
    *handle = 0;
    if (source.vertexGlsl.empty() != source.fragmentGlsl.empty()) {
        return LinkOneStage(source, handle, &message);
    }
    std::string vertexSource;
    std::string testedSource;
    if (!WrapVertexShader(source.vertexGlsl, &vertexSource, &message) ||
        !WrapFragmentShader(source.fragmentGlsl, source.colorOutput, &testedSource, &message)) {
        return E_FAIL;
    }
    for (const ShaderAttribute& attribute : source.attributes) {
        if (VertexAttributeLocation(attribute.usage, attribute.usageIndex) < 0) {
            message = "no vertex input location for " + attribute.name;
            return Reject("%s", message.c_str());
        }
    }
    const GLuint vertex = Compile(GL_VERTEX_SHADER, vertexSource, &message);
    const GLuint tested = vertex != 0 ? Compile(GL_FRAGMENT_SHADER, testedSource, &message) : 0;
    const GLuint plain = tested != 0 ? Compile(GL_FRAGMENT_SHADER, source.fragmentGlsl, &message) : 0;
    Program record;
    if (plain != 0) {
        record.plain.name = LinkStages(vertex, plain, source.attributes, &message);
    }
    if (record.plain.name != 0) {
        record.alphaTested.name = LinkStages(vertex, tested, source.attributes, &message);
    }
    for (GLuint shader : {vertex, tested, plain}) {
        if (shader != 0) {
            glDeleteShader(shader);
        }
    }
    if (record.alphaTested.name == 0) {
        Delete(record);
        return E_FAIL;
    }
    for (Variant* variant : {&record.plain, &record.alphaTested}) {
        variant->pixelOffset = glGetUniformLocation(variant->name, kPixelOffsetUniform);
    }
    record.alphaTestedLocations = TranslateLocations(record.plain.name, record.alphaTested.name);
    record.alphaFunction = glGetUniformLocation(record.alphaTested.name, kAlphaFunctionUniform);
    record.alphaReference = glGetUniformLocation(record.alphaTested.name, kAlphaReferenceUniform);
    glProgramUniform1i(record.alphaTested.name, record.alphaFunction, record.lastAlphaFunction);
    *handle = next_++;
    programs_[*handle] = std::move(record);
    return D3D_OK;
}

HRESULT ShaderPrograms::LinkOneStage(const ShaderProgramSource& source, ShaderProgramHandle* handle, std::string* log) {
    // A separable GL program: its uniforms have locations now, and the fixed-function stage joins
    // it in a program pipeline at draw time.
    const bool vertex = !source.vertexGlsl.empty();
    std::string wrapped;
    const bool ok = vertex ? WrapVertexShader(source.vertexGlsl, &wrapped, log)
                           : WrapFragmentShader(source.fragmentGlsl, source.colorOutput, &wrapped, log);
    if (!ok) {
        return E_FAIL;
    }
    const GLuint shader = Compile(vertex ? GL_VERTEX_SHADER : GL_FRAGMENT_SHADER, wrapped, log);
    if (shader == 0) {
        return E_FAIL;
    }
    const GLuint program = glCreateProgram();
    glProgramParameteri(program, GL_PROGRAM_SEPARABLE, GL_TRUE);
    glAttachShader(program, shader);
    for (const ShaderAttribute& attribute : source.attributes) {
        const int location = VertexAttributeLocation(attribute.usage, attribute.usageIndex);
        if (location >= 0) {
            glBindAttribLocation(program, static_cast<GLuint>(location), attribute.name.c_str());
        }
    }
    glLinkProgram(program);
    glDetachShader(program, shader);
    glDeleteShader(shader);
    GLint linked = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (linked != GL_TRUE) {
        *log = "link: " + ProgramLog(program);
        glDeleteProgram(program);
        return E_FAIL;
    }
    Program record;
    record.plain.name = program;
    record.plain.pixelOffset = glGetUniformLocation(program, kPixelOffsetUniform);
    record.missingStage = vertex ? "pixel" : "vertex";
    record.partial = source;
    *handle = next_++;
    programs_[*handle] = std::move(record);
    return D3D_OK;
}

const char* ShaderPrograms::CurrentMissingStage() const {
    auto found = programs_.find(current_);
    return found == programs_.end() ? nullptr : found->second.missingStage;
}

void ShaderPrograms::Delete(const Program& program) {
    for (GLuint name : {program.plain.name, program.alphaTested.name}) {
        if (name != 0) {
            glDeleteProgram(name);
        }
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
    if (boundName_ == found->second.plain.name || boundName_ == found->second.alphaTested.name) {
        glUseProgram(0);
        boundName_ = 0;
    }
    Delete(found->second);
    programs_.erase(found);
    if (current_ == handle) {
        current_ = 0;
    }
    return D3D_OK;
}

void ShaderPrograms::FreeAll() {
    for (auto& entry : programs_) {
        Delete(entry.second);
    }
    programs_.clear();
    current_ = 0;
    boundName_ = 0;
}

unsigned int ShaderPrograms::GlProgram(ShaderProgramHandle handle) const {
    auto found = programs_.find(handle);
    return found == programs_.end() ? 0 : found->second.plain.name;
}

std::vector<ShaderPrograms::UniformTarget> ShaderPrograms::UniformTargets(ShaderProgramHandle handle,
                                                                          int location) const {
    auto found = programs_.find(handle);
    if (found == programs_.end()) {
        return {};
    }
    const Program& program = found->second;
    auto translated = program.alphaTestedLocations.find(location);
    // A location the first program lacks goes to the second as -1, which GL ignores; the first
    // still refuses it.
    const int tested = translated != program.alphaTestedLocations.end() ? translated->second : -1;
    if (program.alphaTested.name == 0) {
        return {UniformTarget {program.plain.name, location}};  // a program of one stage
    }
    return {UniformTarget {program.plain.name, location}, UniformTarget {program.alphaTested.name, tested}};
}

void ShaderPrograms::PrepareDraw(float offsetX, float offsetY, DWORD alphaFunction, float alphaReference) {
    Program& program = programs_.at(current_);
    const bool alphaTest = alphaFunction != D3DCMP_ALWAYS;
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
    if (!alphaTest) {
        return;
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
}

}  // namespace nvesk::d3d9

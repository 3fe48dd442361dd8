#include "ShaderPrograms.h"

#include "ShaderWrapping.h"

#include <epoxy/gl.h>

namespace nvesk::d3d9 {
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

}  // namespace

HRESULT ShaderPrograms::Link(const ShaderProgramSource& source, ShaderProgramHandle* handle, std::string* log) {
    std::string ignored;
    std::string& message = log != nullptr ? *log : ignored;
    message.clear();
    if (handle == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *handle = 0;
    std::string vertexSource;
    std::string fragmentSource;
    if (!WrapVertexShader(source.vertexGlsl, &vertexSource, &message) ||
        !WrapFragmentShader(source.fragmentGlsl, source.colorOutput, &fragmentSource, &message)) {
        return E_FAIL;
    }
    for (const ShaderAttribute& attribute : source.attributes) {
        if (VertexAttributeLocation(attribute.usage, attribute.usageIndex) < 0) {
            message = "no vertex input location for " + attribute.name;
            return D3DERR_INVALIDCALL;
        }
    }
    const GLuint vertex = Compile(GL_VERTEX_SHADER, vertexSource, &message);
    if (vertex == 0) {
        return E_FAIL;
    }
    const GLuint fragment = Compile(GL_FRAGMENT_SHADER, fragmentSource, &message);
    if (fragment == 0) {
        glDeleteShader(vertex);
        return E_FAIL;
    }
    const GLuint program = glCreateProgram();
    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    for (const ShaderAttribute& attribute : source.attributes) {
        glBindAttribLocation(program, static_cast<GLuint>(VertexAttributeLocation(attribute.usage, attribute.usageIndex)),
                             attribute.name.c_str());
    }
    glLinkProgram(program);
    glDetachShader(program, vertex);
    glDetachShader(program, fragment);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    GLint linked = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (linked != GL_TRUE) {
        message = "link: " + ProgramLog(program);
        glDeleteProgram(program);
        return E_FAIL;
    }
    Program record;
    record.name = program;
    record.pixelOffset = glGetUniformLocation(program, kPixelOffsetUniform);
    record.alphaFunction = glGetUniformLocation(program, kAlphaFunctionUniform);
    record.alphaReference = glGetUniformLocation(program, kAlphaReferenceUniform);
    glProgramUniform1i(program, record.alphaFunction, record.lastAlphaFunction);
    *handle = next_++;
    programs_[*handle] = record;
    return D3D_OK;
}

HRESULT ShaderPrograms::Use(ShaderProgramHandle handle) {
    if (handle != 0 && !Has(handle)) {
        return D3DERR_INVALIDCALL;
    }
    current_ = handle;
    return D3D_OK;
}

HRESULT ShaderPrograms::Free(ShaderProgramHandle handle) {
    auto found = programs_.find(handle);
    if (found == programs_.end()) {
        return D3DERR_INVALIDCALL;
    }
    if (boundName_ == found->second.name) {
        glUseProgram(0);
        boundName_ = 0;
    }
    glDeleteProgram(found->second.name);
    programs_.erase(found);
    if (current_ == handle) {
        current_ = 0;
    }
    return D3D_OK;
}

void ShaderPrograms::FreeAll() {
    for (auto& entry : programs_) {
        glDeleteProgram(entry.second.name);
    }
    programs_.clear();
    current_ = 0;
    boundName_ = 0;
}

unsigned int ShaderPrograms::GlProgram(ShaderProgramHandle handle) const {
    auto found = programs_.find(handle);
    return found == programs_.end() ? 0 : found->second.name;
}

void ShaderPrograms::PrepareDraw(float offsetX, float offsetY, DWORD alphaFunction, float alphaReference) {
    Program& program = programs_.at(current_);
    if (boundName_ != program.name) {
        glUseProgram(program.name);
        boundName_ = program.name;
    }
    if (program.lastOffset[0] != offsetX || program.lastOffset[1] != offsetY) {
        glUniform2f(program.pixelOffset, offsetX, offsetY);
        program.lastOffset[0] = offsetX;
        program.lastOffset[1] = offsetY;
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

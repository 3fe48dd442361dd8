#include "GlObjects.h"

namespace SceneBench {
namespace {

GLuint CompileStage(GLenum stage, const char* source, std::string* error) {
    const GLuint shader = glCreateShader(stage);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint compiled = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (compiled != GL_TRUE) {
        char log[1024] = "";
        glGetShaderInfoLog(shader, sizeof log, nullptr, log);
        *error = log;
    }
    return shader;
}

}  // namespace

GLuint CompileProgram(const char* vertexSource, const char* fragmentSource, std::string* error) {
    error->clear();
    const GLuint vertex = CompileStage(GL_VERTEX_SHADER, vertexSource, error);
    const GLuint fragment = CompileStage(GL_FRAGMENT_SHADER, fragmentSource, error);
    const GLuint program = glCreateProgram();
    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    glLinkProgram(program);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    GLint linked = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (linked != GL_TRUE || !error->empty()) {
        if (error->empty()) *error = "the program does not link";
        glDeleteProgram(program);
        return 0;
    }
    return program;
}

GLuint CreateTexture(int width, int height, const void* texels) {
    GLuint texture = 0;
    glCreateTextures(GL_TEXTURE_2D, 1, &texture);
    glTextureStorage2D(texture, 1, GL_RGBA8, width, height);
    glTextureParameteri(texture, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTextureParameteri(texture, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTextureParameteri(texture, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTextureParameteri(texture, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    if (texels != nullptr)
        glTextureSubImage2D(texture, 0, 0, 0, width, height, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, texels);
    return texture;
}

}  // namespace SceneBench

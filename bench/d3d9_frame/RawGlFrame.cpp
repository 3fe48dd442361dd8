// The floor: the same frame written directly against SDL2 and OpenGL 4.5.
#include "FrameWorkload.h"
#include "Frames.h"
#include "GlObjects.h"

#include <SDL.h>
#include <epoxy/gl.h>

#include <chrono>
#include <vector>

namespace FrameBench {
namespace {

GLuint Compile(GLenum stage, const char* source) {
    const GLuint shader = glCreateShader(stage);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    return shader;
}

}  // namespace

double RunRawGlFrames(double seconds) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        return -1.0;
    }
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 4);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 5);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_Window* window = SDL_CreateWindow("raw GL frame", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, kWidth,
                                          kHeight, SDL_WINDOW_OPENGL);
    SDL_GLContext context = window != nullptr ? SDL_GL_CreateContext(window) : nullptr;
    if (context == nullptr) {
        return -1.0;
    }
    SDL_GL_SetSwapInterval(0);

    const GLuint program = glCreateProgram();
    glAttachShader(program, Compile(GL_VERTEX_SHADER, kVertexShader));
    glAttachShader(program, Compile(GL_FRAGMENT_SHADER, kFragmentShader));
    glBindAttribLocation(program, 0, "position");
    glBindAttribLocation(program, 1, "texcoord");
    glLinkProgram(program);
    glUseProgram(program);
    float projection[16];
    Projection(projection);
    glUniformMatrix4fv(glGetUniformLocation(program, "projection"), 1, GL_FALSE, projection);
    glUniform1i(glGetUniformLocation(program, "image"), 0);

    const float w = kWidth;
    const float h = kHeight;
    const float sx = 300.0f;
    const float sy = 200.0f;
    const float vertices[] = {0,
                              0,
                              0.5f,
                              0,
                              0,
                              w,
                              0,
                              0.5f,
                              1,
                              0,
                              0,
                              h,
                              0.5f,
                              0,
                              1,
                              w,
                              h,
                              0.5f,
                              1,
                              1,
                              sx,
                              sy,
                              0.5f,
                              0,
                              0,
                              sx + kSpriteWidth,
                              sy,
                              0.5f,
                              1,
                              0,
                              sx,
                              sy + kSpriteHeight,
                              0.5f,
                              0,
                              1,
                              sx + kSpriteWidth,
                              sy + kSpriteHeight,
                              0.5f,
                              1,
                              1};
    GLuint buffer = 0;
    glCreateBuffers(1, &buffer);
    glNamedBufferData(buffer, sizeof(vertices), vertices, GL_STATIC_DRAW);
    GLuint vertexArray = 0;
    glCreateVertexArrays(1, &vertexArray);
    glVertexArrayVertexBuffer(vertexArray, 0, buffer, 0, 20);
    glEnableVertexArrayAttrib(vertexArray, 0);
    glEnableVertexArrayAttrib(vertexArray, 1);
    glVertexArrayAttribFormat(vertexArray, 0, 3, GL_FLOAT, GL_FALSE, 0);
    glVertexArrayAttribFormat(vertexArray, 1, 2, GL_FLOAT, GL_FALSE, 12);
    glVertexArrayAttribBinding(vertexArray, 0, 0);
    glVertexArrayAttribBinding(vertexArray, 1, 0);
    glBindVertexArray(vertexArray);

    std::vector<std::uint8_t> sprite(kSpriteWidth * kSpriteHeight * 4);
    WriteSpriteTexels(sprite.data());
    const GLuint spriteTexture = SceneBench::CreateTexture(kSpriteWidth, kSpriteHeight, sprite.data());
    const GLuint dynamicTexture = SceneBench::CreateTexture(kTextureSize, kTextureSize, nullptr);
    std::vector<std::uint8_t> texels(kTextureSize * kTextureSize * 4);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    // The Direct3D frame has an automatic depth buffer, tested by default: so does this one.
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glViewport(0, 0, kWidth, kHeight);

    unsigned frames = 0;
    const auto start = std::chrono::steady_clock::now();
    double elapsed = 0.0;
    while (elapsed < seconds) {
        SDL_PumpEvents();
        glClearColor(0.0f, 0.0f, 0.5f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        WriteDynamicTexels(frames, texels.data(), kTextureSize * 4);
        glTextureSubImage2D(dynamicTexture, 0, 0, 0, kTextureSize, kTextureSize, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                            texels.data());
        glBindTextureUnit(0, dynamicTexture);
        glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
        glBindTextureUnit(0, spriteTexture);
        glDrawArrays(GL_TRIANGLE_STRIP, 4, 4);
        SDL_GL_SwapWindow(window);
        ++frames;
        elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    glFinish();
    elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    glDeleteTextures(1, &spriteTexture);
    glDeleteTextures(1, &dynamicTexture);
    glDeleteBuffers(1, &buffer);
    glDeleteVertexArrays(1, &vertexArray);
    glDeleteProgram(program);
    SDL_GL_DeleteContext(context);
    SDL_DestroyWindow(window);
    // SDL video stays up: the window layer of the other side shares it.
    return frames / elapsed;
}

}  // namespace FrameBench

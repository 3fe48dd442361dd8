// OpenGL objects the raw programs make alike: linked programs and sampled textures.
#pragma once

#include <epoxy/gl.h>

#include <string>

namespace SceneBench {

// 0, with *error set, when a stage does not compile or the program does not link.
GLuint CompileProgram(const char* vertexSource, const char* fragmentSource, std::string* error);
// An RGBA8 texture with linear filtering, clamped, holding the B, G, R, A texels when given.
GLuint CreateTexture(int width, int height, const void* texels);

}  // namespace SceneBench

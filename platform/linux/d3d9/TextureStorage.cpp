#include "TextureStorage.h"

#include <algorithm>

namespace nvesk::d3d9 {
namespace {

bool StoresAsBgra8(const PixelFormat& format) {
    return format.internalFormat == GL_RGBA8 && format.uploadFormat == GL_BGRA &&
           format.uploadType == GL_UNSIGNED_INT_8_8_8_8_REV;
}

}  // namespace

void AllocateTextureLevels(GLuint texture, GLenum target, const PixelFormat& format, UINT width, UINT height,
                           UINT levels) {
    if (!StoresAsBgra8(format)) {
        glTextureStorage2D(texture, static_cast<GLsizei>(levels), format.internalFormat, static_cast<GLsizei>(width),
                           static_cast<GLsizei>(height));
        return;
    }
    // Mesa matches the upload's layout exactly only for an unsized internal format given with that
    // upload format and type, and only through glTexImage: sized or immutable storage gets R8G8B8A8.
    const bool cube = target == GL_TEXTURE_CUBE_MAP;
    GLint previous = 0;
    glGetIntegerv(cube ? GL_TEXTURE_BINDING_CUBE_MAP : GL_TEXTURE_BINDING_2D, &previous);
    glBindTexture(target, texture);
    for (UINT level = 0; level < levels; ++level) {
        for (GLenum face = 0; face < (cube ? 6u : 1u); ++face) {
            glTexImage2D(cube ? GL_TEXTURE_CUBE_MAP_POSITIVE_X + face : GL_TEXTURE_2D, static_cast<GLint>(level),
                         GL_RGBA, static_cast<GLsizei>(width), static_cast<GLsizei>(height), 0, GL_BGRA,
                         GL_UNSIGNED_INT_8_8_8_8_REV, nullptr);
        }
        width = std::max(1u, width / 2);
        height = std::max(1u, height / 2);
    }
    glBindTexture(target, static_cast<GLuint>(previous));
}

}  // namespace nvesk::d3d9

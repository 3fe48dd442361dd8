#include "FrameTarget.h"

#include <epoxy/gl.h>

namespace nvesk::d3d9 {
namespace {

// Mesa turns a blit between images of one pixel layout into a plain copy, a flip between the
// top-down and bottom-up row orders included; any other blit is drawn, which costs a full-screen
// pass per Present. X11's 32-bit visuals hold B, G, R, A bytes, and Mesa picks exactly that layout
// only for an unsized internal format given with matching upload format and type.
void AllocateWindowLayout(GLuint texture, UINT width, UINT height) {
    GLint previous = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, static_cast<GLsizei>(width), static_cast<GLsizei>(height), 0, GL_BGRA,
                 GL_UNSIGNED_INT_8_8_8_8_REV, nullptr);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previous));
}

}  // namespace

FrameTarget::~FrameTarget() {
    Destroy();
}

bool FrameTarget::Create(UINT width, UINT height, const PixelFormat& color, D3DFORMAT depthFormat) {
    Destroy();
    width_ = width;
    height_ = height;
    colorFormat_ = &color;
    hasAlpha_ = color.swizzle[3] != GL_ONE;
    glCreateTextures(GL_TEXTURE_2D, 1, &color_);
    AllocateWindowLayout(color_, width, height);
    glTextureParameteri(color_, GL_TEXTURE_MAX_LEVEL, 0);
    // Opaque black: an X8 format's alpha must read 1 from the start (see HasAlpha).
    const GLuint opaqueBlack = 0xFF000000u;
    glClearTexImage(color_, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, &opaqueBlack);
    glCreateFramebuffers(1, &framebuffer_);
    glNamedFramebufferTexture(framebuffer_, GL_COLOR_ATTACHMENT0, color_, 0);
    if (depthFormat != D3DFMT_UNKNOWN) {
        GLenum internalFormat;
        if (!DepthStencilFormat(depthFormat, &internalFormat, &hasStencil_)) {
            Destroy();
            return false;
        }
        glCreateRenderbuffers(1, &depth_);
        glNamedRenderbufferStorage(depth_, internalFormat, static_cast<GLsizei>(width), static_cast<GLsizei>(height));
        glNamedFramebufferRenderbuffer(framebuffer_, hasStencil_ ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT,
                                       GL_RENDERBUFFER, depth_);
    }
    if (glCheckNamedFramebufferStatus(framebuffer_, GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        Destroy();
        return false;
    }
    Bind();
    return true;
}

void FrameTarget::Destroy() {
    if (framebuffer_ != 0) {
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glDeleteFramebuffers(1, &framebuffer_);
        framebuffer_ = 0;
    }
    if (color_ != 0) {
        glDeleteTextures(1, &color_);
        color_ = 0;
    }
    if (depth_ != 0) {
        glDeleteRenderbuffers(1, &depth_);
        depth_ = 0;
    }
    hasStencil_ = false;
}

void FrameTarget::Bind() const {
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
}

void FrameTarget::BlitToWindow(const RECT& source, const RECT& destination, int windowHeight) const {
    const bool scaled = source.right - source.left != destination.right - destination.left ||
                        source.bottom - source.top != destination.bottom - destination.top;
    // The window's rows count from the bottom: the destination is flipped.
    glBlitNamedFramebuffer(framebuffer_, 0, source.left, source.top, source.right, source.bottom, destination.left,
                           windowHeight - destination.top, destination.right, windowHeight - destination.bottom,
                           GL_COLOR_BUFFER_BIT, scaled ? GL_LINEAR : GL_NEAREST);
}

void FrameTarget::Read(const RECT& area, BYTE* destination) const {
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glNamedFramebufferReadBuffer(framebuffer_, GL_COLOR_ATTACHMENT0);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer_);
    glReadPixels(area.left, area.top, area.right - area.left, area.bottom - area.top, colorFormat_->uploadFormat,
                 colorFormat_->uploadType, destination);
}

}  // namespace nvesk::d3d9

#include "FrameTarget.h"

#include <epoxy/gl.h>

namespace nvesk::d3d9 {

FrameTarget::~FrameTarget() {
    Destroy();
}

bool FrameTarget::Create(UINT width, UINT height, const PixelFormat& color, D3DFORMAT depthFormat) {
    Destroy();
    width_ = width;
    height_ = height;
    colorFormat_ = &color;
    glCreateTextures(GL_TEXTURE_2D, 1, &color_);
    // X8 formats store no alpha: destination alpha then reads as 1, as in Direct3D.
    const bool opaque = color.swizzle[3] == GL_ONE;
    glTextureStorage2D(color_, 1, opaque ? GL_RGB8 : GL_RGBA8, static_cast<GLsizei>(width), static_cast<GLsizei>(height));
    glTextureParameteri(color_, GL_TEXTURE_MAX_LEVEL, 0);
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

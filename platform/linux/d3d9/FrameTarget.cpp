#include "FrameTarget.h"

#include "TextureStorage.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <functional>
#include <string_view>

namespace nvesk::d3d9 {
namespace {

// Copies colour, depth and stencil between two framebuffers of one size, upside down. Depth and
// stencil copy only between buffers of one layout: false when GL refuses.
bool CopyFlipped(GLuint from, GLuint to, GLsizei width, GLsizei height, GLbitfield depthStencil) {
    while (glGetError() != GL_NO_ERROR) {}
    const GLboolean scissored = glIsEnabled(GL_SCISSOR_TEST);
    glDisable(GL_SCISSOR_TEST);
    glBlitNamedFramebuffer(from, to, 0, 0, width, height, 0, height, width, 0, GL_COLOR_BUFFER_BIT | depthStencil,
                           GL_NEAREST);
    if (scissored) {
        glEnable(GL_SCISSOR_TEST);
    }
    return glGetError() == GL_NO_ERROR;
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
    // Mesa turns a blit between images of one pixel layout into a plain copy, a flip between the
    // top-down and bottom-up row orders included; any other blit is drawn, which costs a full-screen
    // pass per Present. X11's 32-bit visuals hold B, G, R, A bytes, as A8R8G8B8 textures are kept.
    AllocateTextureLevels(color_, GL_TEXTURE_2D, *FindPixelFormat(D3DFMT_A8R8G8B8), width, height, 1);
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
        glGetNamedFramebufferAttachmentParameteriv(framebuffer_, GL_DEPTH_ATTACHMENT,
                                                   GL_FRAMEBUFFER_ATTACHMENT_DEPTH_SIZE, &depthBits_);
    }
    if (glCheckNamedFramebufferStatus(framebuffer_, GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        Destroy();
        return false;
    }
    SetWindowOrigin(false);
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
    depthBits_ = 0;
    inWindow_ = false;
}

void FrameTarget::Bind() const {
    glBindFramebuffer(GL_FRAMEBUFFER, inWindow_ ? 0 : framebuffer_);
}

void FrameTarget::SetViewport(LONG x, LONG y, LONG width, LONG height) const {
    glViewport(x, inWindow_ ? static_cast<LONG>(height_) - y - height : y, width, height);
}

void FrameTarget::SetScissor(LONG x, LONG y, LONG width, LONG height) const {
    glScissor(x, inWindow_ ? static_cast<LONG>(height_) - y - height : y, width, height);
}

bool FrameTarget::FitsWindow(int windowWidth, int windowHeight, const WindowBuffers& window) const {
    // The colour image is always 8 bits a channel with alpha (AllocateWindowLayout).
    if (framebuffer_ == 0 || windowWidth != static_cast<int>(width_) || windowHeight != static_cast<int>(height_) ||
        window.alphaBits != 8 || window.samples != 0) {
        return false;
    }
    return depth_ == 0 || (window.depthBits == depthBits_ && (!hasStencil_ || window.stencilBits == 8));
}

unsigned int FrameTarget::DepthStencilBits() const {
    return depth_ == 0 ? 0 : GL_DEPTH_BUFFER_BIT | (hasStencil_ ? GL_STENCIL_BUFFER_BIT : 0);
}

bool FrameTarget::MoveIntoWindow() {
    if (!CopyFlipped(framebuffer_, 0, static_cast<GLsizei>(width_), static_cast<GLsizei>(height_),
                     DepthStencilBits())) {
        return false;
    }
    SetWindowOrigin(true);
    return true;
}

void FrameTarget::MoveOutOfWindow() {
    // Fits the window, so the layouts matched one way and match the other.
    CopyFlipped(0, framebuffer_, static_cast<GLsizei>(width_), static_cast<GLsizei>(height_), DepthStencilBits());
    SetWindowOrigin(false);
}

void FrameTarget::SetWindowOrigin(bool inWindow) {
    inWindow_ = inWindow;
    // The window's rows count from the bottom, the framebuffer object's (as Direct3D's) from the top.
    glClipControl(inWindow ? GL_LOWER_LEFT : GL_UPPER_LEFT, GL_ZERO_TO_ONE);
    Bind();
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
    if (inWindow_) {
        ReadWindowArea(area, destination);
    } else {
        ReadFrom(framebuffer_, area, destination);
    }
}

void FrameTarget::ReadWindowArea(const RECT& area, BYTE* destination) const {
    const LONG height = area.bottom - area.top;
    const LONG bottom = static_cast<LONG>(height_) - area.bottom;
    ReadFrom(0, RECT {area.left, bottom, area.right, bottom + height}, destination);
    // The window's rows came bottom-up.
    const size_t pitch = RowPitch(*colorFormat_, static_cast<UINT>(area.right - area.left));
    for (LONG top = 0, low = height - 1; top < low; ++top, --low) {
        BYTE* upper = destination + static_cast<size_t>(top) * pitch;
        std::swap_ranges(upper, upper + pitch, destination + static_cast<size_t>(low) * pitch);
    }
}

void FrameTarget::ReadFrom(unsigned int framebuffer, const RECT& area, BYTE* destination) const {
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
    glReadBuffer(framebuffer == 0 ? GL_BACK : GL_COLOR_ATTACHMENT0);
    glReadPixels(area.left, area.top, area.right - area.left, area.bottom - area.top, colorFormat_->uploadFormat,
                 colorFormat_->uploadType, destination);
}

void SwapKeepsImage::Restart() {
    known_ = false;
    probesLeft_ = kProbes;
    previousHash_ = 0;
    band_ = std::vector<BYTE>();
}

size_t SwapKeepsImage::HashFrame(const FrameTarget& frame, bool window, bool* blank) {
    const size_t pitch = RowPitch(frame.ColorFormat(), frame.Width());
    band_.resize(pitch * std::min(kBandRows, frame.Height()));
    size_t hash = 0;
    bool zeros = true;
    for (UINT top = 0; top < frame.Height(); top += kBandRows) {
        const UINT rows = std::min(kBandRows, frame.Height() - top);
        const RECT area {0, static_cast<LONG>(top), static_cast<LONG>(frame.Width()), static_cast<LONG>(top + rows)};
        if (window) {
            frame.ReadWindowArea(area, band_.data());
        } else {
            frame.Read(area, band_.data());
        }
        const std::string_view bytes(reinterpret_cast<const char*>(band_.data()), pitch * rows);
        zeros = zeros && std::all_of(bytes.begin(), bytes.end(), [](char value) { return value == 0; });
        hash ^= std::hash<std::string_view> {}(bytes) + 0x9E3779B97F4A7C15u + (hash << 6) + (hash >> 2);
    }
    if (blank != nullptr) {
        *blank = zeros;
    }
    return hash;
}

void SwapKeepsImage::Before(const FrameTarget& frame) {
    presentedHash_ = HashFrame(frame, false, &presentedBlank_);
}

void SwapKeepsImage::After(const FrameTarget& frame) {
    const size_t keptHash = HashFrame(frame, true, nullptr);
    known_ = keptHash == presentedHash_ && presentedHash_ != previousHash_ && !presentedBlank_;
    previousHash_ = presentedHash_;
    --probesLeft_;
    if (!Probing()) {
        band_ = std::vector<BYTE>();
    }
}

}  // namespace nvesk::d3d9

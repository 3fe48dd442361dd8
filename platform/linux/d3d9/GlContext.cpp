#include "GlContext.h"

#include <SDL.h>
#include <epoxy/gl.h>

namespace nvesk::d3d9 {
namespace {

// The context current on this thread, so MakeCurrent costs nothing in the common case.
thread_local GlContext* currentContext = nullptr;

}  // namespace

GlContext::~GlContext() {
    Destroy();
}

bool GlContext::Create(SDL_Window* window, std::string* error) {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 4);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 5);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GLContext context = SDL_GL_CreateContext(window);
    if (context == nullptr) {
        *error = SDL_GetError();
        return false;
    }
    window_ = window;
    context_ = context;
    currentWindow_ = window;
    currentContext = this;
    if (epoxy_gl_version() < 45) {
        *error = "OpenGL 4.5 is not available";
        Destroy();
        return false;
    }
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    renderer_ = renderer != nullptr ? renderer : "";
    software_ = renderer_.find("llvmpipe") != std::string::npos || renderer_.find("softpipe") != std::string::npos ||
                renderer_.find("swrast") != std::string::npos;
    glGetNamedFramebufferAttachmentParameteriv(0, GL_BACK_LEFT, GL_FRAMEBUFFER_ATTACHMENT_ALPHA_SIZE,
                                               &buffers_.alphaBits);
    glGetNamedFramebufferAttachmentParameteriv(0, GL_DEPTH, GL_FRAMEBUFFER_ATTACHMENT_DEPTH_SIZE, &buffers_.depthBits);
    glGetNamedFramebufferAttachmentParameteriv(0, GL_STENCIL, GL_FRAMEBUFFER_ATTACHMENT_STENCIL_SIZE,
                                               &buffers_.stencilBits);
    glGetIntegerv(GL_SAMPLES, &buffers_.samples);
    // Asking the size of a buffer the window lacks is an error that leaves the size at 0.
    while (glGetError() != GL_NO_ERROR) {}
    glClipControl(GL_UPPER_LEFT, GL_ZERO_TO_ONE);
    glDisable(GL_DITHER);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    return true;
}

void GlContext::Destroy() {
    if (context_ == nullptr) {
        return;
    }
    if (currentContext == this) {
        SDL_GL_MakeCurrent(window_, nullptr);
        currentContext = nullptr;
    }
    SDL_GL_DeleteContext(static_cast<SDL_GLContext>(context_));
    context_ = nullptr;
    window_ = nullptr;
    currentWindow_ = nullptr;
}

void GlContext::MakeCurrent() {
    if (currentContext == this && currentWindow_ == window_) {
        return;
    }
    SDL_GL_MakeCurrent(window_, static_cast<SDL_GLContext>(context_));
    currentWindow_ = window_;
    currentContext = this;
}

bool GlContext::MakeCurrentOn(SDL_Window* window) {
    if (SDL_GL_MakeCurrent(window, static_cast<SDL_GLContext>(context_)) != 0) {
        return false;
    }
    currentWindow_ = window;
    currentContext = this;
    return true;
}

void GlContext::SetSwapInterval(int interval) {
    MakeCurrent();
    SDL_GL_SetSwapInterval(interval);
}

void GlContext::Swap(SDL_Window* window) {
    SDL_GL_SwapWindow(window);
}

}  // namespace nvesk::d3d9

// One OpenGL 4.5 core context on the device window, with Direct3D's conventions switched on:
// upper-left origin and 0..1 depth (glClipControl), no dithering.
#pragma once

#include "FrameTarget.h"

#include <string>

struct SDL_Window;

namespace nvesk::d3d9 {

class GlContext {
public:
    GlContext() = default;
    ~GlContext();
    GlContext(const GlContext&) = delete;
    GlContext& operator=(const GlContext&) = delete;

    // Creates the context on the window and makes it current; false with *error set on failure.
    bool Create(SDL_Window* window, std::string* error);
    void Destroy();

    // Cheap when already current.
    void MakeCurrent();
    // Draws the following frames into another window (Present's destination override).
    bool MakeCurrentOn(SDL_Window* window);

    void SetSwapInterval(int interval);
    void Swap(SDL_Window* window);

    SDL_Window* Window() const { return window_; }
    // Mesa's software rasterisers (llvmpipe, softpipe, swrast).
    bool IsSoftwareRenderer() const { return software_; }
    const std::string& Renderer() const { return renderer_; }
    // The device window's own colour, depth and stencil buffers.
    const WindowBuffers& Buffers() const { return buffers_; }

private:
    SDL_Window* window_ = nullptr;
    void* context_ = nullptr;  // SDL_GLContext
    SDL_Window* currentWindow_ = nullptr;
    bool software_ = false;
    std::string renderer_;
    WindowBuffers buffers_;
};

}  // namespace nvesk::d3d9

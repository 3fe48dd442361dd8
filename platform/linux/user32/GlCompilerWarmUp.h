// Mesa's GLSL compiler made ready before the first window needs it. The first shader any context
// of the process compiles builds the compiler's built-in functions, about a tenth of the start-up
// with the software rasteriser, and every context after that finds them built for as long as one
// context that compiled is alive. The driver preload's thread does it in a context of its own,
// with no window (EGL's surfaceless platform), while the program opens its window, and keeps that
// context until the preload ends.
#pragma once

#include <string>

namespace nvesk::user32 {

// True where Mesa will draw in software: LIBGL_ALWAYS_SOFTWARE says yes, or `deviceFolder` holds
// no GPU render node. Only there does the warm-up pay: a GPU driver would start a second
// device for it.
bool SoftwareRenderingExpected(const std::string& deviceFolder = "/dev/dri");

class GlCompilerWarmUp {
public:
    GlCompilerWarmUp() = default;
    // Ends the context and the display it made (neither is current on any thread by then).
    ~GlCompilerWarmUp();
    GlCompilerWarmUp(const GlCompilerWarmUp&) = delete;
    GlCompilerWarmUp& operator=(const GlCompilerWarmUp&) = delete;

    // Opens a surfaceless display and an OpenGL 4.5 core context, compiles a small vertex shader
    // in it and leaves the context current nowhere. False, with nothing kept, where any step
    // fails (no EGL, no surfaceless platform, no context): the first window's compile then
    // builds the functions itself, as without the warm-up.
    bool Run();

    bool Compiled() const { return compiled_; }

private:
    void End();

    void* library_ = nullptr;
    void* display_ = nullptr;
    void* context_ = nullptr;
    bool compiled_ = false;
};

}  // namespace nvesk::user32

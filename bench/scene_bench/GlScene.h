// The raw OpenGL 4.5 programs' common parts: the window and context (SDL2 for those alone), the
// 2D pass of pixel-placed, alpha-blended quads, the cursor and the loop that times the frames.
#pragma once

#include "GlObjects.h"
#include "SceneContent.h"
#include "SceneRun.h"

#include <SDL.h>
#include <epoxy/gl.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace SceneBench {

// The demo's window with a 24-bit depth buffer and no vsync (config.cfg says VSync = false).
class GlWindow {
public:
    GlWindow() = default;
    ~GlWindow();
    GlWindow(const GlWindow&) = delete;
    GlWindow& operator=(const GlWindow&) = delete;
    bool Open(const char* title, std::string* error);

    // Frames until `clock` says the time is over: clear, `draw`, present. The last frame is read
    // back before its present and checked against `scene`. The program's exit status.
    int Run(FrameClock& clock, Scene scene, const std::function<void()>& draw);

private:
    SDL_Window* window_ = nullptr;
    SDL_GLContext context_ = nullptr;
};

// Quads in window pixels, drawn from one buffer with the image effect's blending, as the image
// box draws them: the scene's 800 x 600 image and the cursor.
class QuadPass {
public:
    QuadPass() = default;
    ~QuadPass();
    QuadPass(const QuadPass&) = delete;
    QuadPass& operator=(const QuadPass&) = delete;

    // The program and a buffer for `quads` (x, y, width, height each).
    bool Create(const std::vector<std::array<float, 4>>& quads, std::string* error);
    // Binds the program, the buffer and the blending.
    void Begin();
    void Draw(int quad, GLuint texture);

private:
    GLuint program_ = 0;
    GLuint buffer_ = 0;
    GLuint vertexArray_ = 0;
};

// The cursor's frames as textures, stepped by the frame time.
class CursorFrames {
public:
    CursorFrames() = default;
    ~CursorFrames();
    CursorFrames(const CursorFrames&) = delete;
    CursorFrames& operator=(const CursorFrames&) = delete;

    bool Load(const std::string& assetFolder, std::string* error);
    // The texture to show after `seconds` more.
    GLuint Advance(double seconds);

private:
    std::vector<GLuint> textures_;
    CursorAnimation animation_;
};

}  // namespace SceneBench

#include "GlScene.h"

#include <cstdio>

namespace SceneBench {
namespace {

const char kQuadVertexShader[] = R"(#version 450
layout(location = 0) in vec2 position;
layout(location = 1) in vec2 texcoord;
out vec2 uv;
void main() {
    uv = texcoord;
    // Window pixels, rows from the top, at the image box's depth of 0.5.
    gl_Position = vec4(position.x * (2.0 / 800.0) - 1.0, 1.0 - position.y * (2.0 / 600.0), 0.0, 1.0);
}
)";

const char kQuadFragmentShader[] = R"(#version 450
in vec2 uv;
layout(binding = 0) uniform sampler2D image;
out vec4 colour;
void main() { colour = texture(image, uv); }
)";

}  // namespace

GlWindow::~GlWindow() {
    if (context_ != nullptr) SDL_GL_DeleteContext(context_);
    if (window_ != nullptr) SDL_DestroyWindow(window_);
    SDL_Quit();
}

bool GlWindow::Open(const char* title, std::string* error) {
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        *error = SDL_GetError();
        return false;
    }
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 4);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 5);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    window_ = SDL_CreateWindow(title, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, kWidth, kHeight,
                               SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN);
    context_ = window_ != nullptr ? SDL_GL_CreateContext(window_) : nullptr;
    if (context_ == nullptr || epoxy_gl_version() < 45) {
        *error = context_ == nullptr ? SDL_GetError() : "OpenGL 4.5 is not available";
        return false;
    }
    SDL_GL_SetSwapInterval(0);
    // Direct3D's depth range; the automatic depth buffer is tested with LESSEQUAL and written.
    glClipControl(GL_LOWER_LEFT, GL_ZERO_TO_ONE);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glViewport(0, 0, kWidth, kHeight);
    glClearColor(((kClearColour >> 16) & 0xFF) / 255.0f, ((kClearColour >> 8) & 0xFF) / 255.0f,
                 (kClearColour & 0xFF) / 255.0f, 1.0f);
    return true;
}

int GlWindow::Run(FrameClock& clock, Scene scene, const std::function<void()>& draw) {
    for (;;) {
        SDL_PumpEvents();
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        draw();
        const bool more = clock.Presented();
        if (!more) {
            std::vector<std::uint32_t> rows(static_cast<std::size_t>(kWidth) * kHeight);
            glReadPixels(0, 0, kWidth, kHeight, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, rows.data());
            // OpenGL's rows run from the bottom.
            std::vector<std::uint32_t> pixels;
            pixels.reserve(rows.size());
            for (int y = kHeight - 1; y >= 0; --y)
                pixels.insert(pixels.end(), rows.begin() + y * kWidth, rows.begin() + (y + 1) * kWidth);
            const std::string fault = CheckFrame(pixels, scene);
            if (!fault.empty()) {
                std::fprintf(stderr, "the last frame is wrong: %s\n", fault.c_str());
                return 1;
            }
        }
        SDL_GL_SwapWindow(window_);
        if (!more) return clock.Report();
    }
}

QuadPass::~QuadPass() {
    glDeleteProgram(program_);
    glDeleteBuffers(1, &buffer_);
    glDeleteVertexArrays(1, &vertexArray_);
}

bool QuadPass::Create(const std::vector<std::array<float, 4>>& quads, std::string* error) {
    program_ = CompileProgram(kQuadVertexShader, kQuadFragmentShader, error);
    if (program_ == 0) return false;
    // Triangle strips: top-left, top-right, bottom-left, bottom-right; x, y, u, v each.
    std::vector<float> vertices;
    for (const std::array<float, 4>& q : quads) {
        const float x = q[0], y = q[1], r = q[0] + q[2], b = q[1] + q[3];
        vertices.insert(vertices.end(), {x, y, 0, 0, r, y, 1, 0, x, b, 0, 1, r, b, 1, 1});
    }
    glCreateBuffers(1, &buffer_);
    glNamedBufferData(buffer_, static_cast<GLsizeiptr>(vertices.size() * sizeof(float)), vertices.data(),
                      GL_STATIC_DRAW);
    glCreateVertexArrays(1, &vertexArray_);
    glVertexArrayVertexBuffer(vertexArray_, 0, buffer_, 0, 4 * sizeof(float));
    for (GLuint attribute = 0; attribute < 2; ++attribute) {
        glEnableVertexArrayAttrib(vertexArray_, attribute);
        glVertexArrayAttribFormat(vertexArray_, attribute, 2, GL_FLOAT, GL_FALSE, 2 * sizeof(float) * attribute);
        glVertexArrayAttribBinding(vertexArray_, attribute, 0);
    }
    return true;
}

void QuadPass::Begin() {
    glUseProgram(program_);
    glBindVertexArray(vertexArray_);
    glDisable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

void QuadPass::Draw(int quad, GLuint texture) {
    glBindTextureUnit(0, texture);
    glDrawArrays(GL_TRIANGLE_STRIP, 4 * quad, 4);
}

CursorFrames::~CursorFrames() {
    glDeleteTextures(static_cast<GLsizei>(textures_.size()), textures_.data());
}

bool CursorFrames::Load(const std::string& assetFolder, std::string* error) {
    std::vector<Picture> frames;
    if (!LoadCursorFrames(assetFolder, frames, error)) return false;
    for (const Picture& frame : frames)
        textures_.push_back(CreateTexture(frame.width, frame.height, frame.texels.data()));
    return true;
}

GLuint CursorFrames::Advance(double seconds) {
    return textures_[animation_.Advance(seconds)];
}

}  // namespace SceneBench

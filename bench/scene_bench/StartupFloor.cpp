// The floor of the demo's start-up: a program that only makes the window and OpenGL context the demo
// makes (800 x 600, through SDL2 as our platform does: events then video, RGBA8 with a 24-bit depth
// and 8-bit stencil buffer, double-buffered OpenGL 4.5 core) and presents one cleared frame. It
// prints the moment that frame's swap was done on CLOCK_MONOTONIC, which the scene benchmark
// subtracts from the moment it started the program, and the processor time spent by then.
//   startup_floor
#include "SceneRun.h"

#include "user32/WindowContextAttributes.h"

#include <SDL.h>
#include <epoxy/gl.h>

#include <cstdio>
#include <ctime>

int main() {
    // As our platform starts SDL: no signal handlers of its own, events before video.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_EVENTS) != 0 || SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "no display: %s\n", SDL_GetError());
        return 1;
    }
    // The window layer's own attributes, from its header.
    nvesk::user32::SetWindowContextAttributes();
    SDL_Window* window =
        SDL_CreateWindow("start-up floor", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, SceneBench::kWidth,
                         SceneBench::kHeight, SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN);
    SDL_GLContext context = window != nullptr ? SDL_GL_CreateContext(window) : nullptr;
    if (context == nullptr || epoxy_gl_version() < 45) {
        std::fprintf(stderr, "no OpenGL 4.5 context: %s\n", SDL_GetError());
        return 1;
    }
    SDL_GL_SetSwapInterval(0);
    const std::uint32_t clear = SceneBench::kClearColour;
    glClearColor(((clear >> 16) & 0xFF) / 255.0f, ((clear >> 8) & 0xFF) / 255.0f, (clear & 0xFF) / 255.0f, 1.0f);
    glClearDepth(1.0);
    glClearStencil(0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    // The frame must really be the cleared one: a floor that draws nothing would be no floor. One
    // pixel read back waits for the clear, which the swap waits for anyway.
    std::uint32_t pixel = 0;
    glReadPixels(SceneBench::kWidth / 2, SceneBench::kHeight / 2, 1, 1, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, &pixel);
    const bool cleared = (pixel | 0xFF000000u) == clear;
    SDL_GL_SwapWindow(window);
    timespec presented {};
    clock_gettime(CLOCK_MONOTONIC, &presented);
    timespec processor {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &processor);
    std::printf("first frame monotonic: %.6f\nfirst frame processor: %.6f\n",
                static_cast<double>(presented.tv_sec) + presented.tv_nsec / 1e9,
                static_cast<double>(processor.tv_sec) + processor.tv_nsec / 1e9);
    SDL_GL_DeleteContext(context);
    SDL_DestroyWindow(window);
    SDL_Quit();
    if (!cleared) {
        std::fprintf(stderr, "the presented frame is 0x%08X, not the clear colour\n", pixel);
        return 1;
    }
    return 0;
}

// The fire, water and empty scenes through SDL2's renderer on its OpenGL back end, as a user would
// show a CPU-made image: a streaming texture locked for the demo's simulation step, copied over
// the window, the cursor's frames copied on top; no vsync, as the demo's configuration asks.
//   compare_sdl fire|water|empty <asset folder> <warm-up seconds> <seconds>
#include "SceneContent.h"
#include "SceneRun.h"

#include <SDL.h>

#include <cstdio>
#include <vector>

using namespace SceneBench;

namespace {

// SDL2 and what it made, given back in the reverse order.
struct SdlSession {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    std::vector<SDL_Texture*> textures;
    ~SdlSession() {
        for (SDL_Texture* texture : textures)
            SDL_DestroyTexture(texture);
        if (renderer != nullptr) SDL_DestroyRenderer(renderer);
        if (window != nullptr) SDL_DestroyWindow(window);
        SDL_Quit();
    }
    SDL_Texture* Texture(int access, int width, int height) {
        SDL_Texture* texture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, access, width, height);
        if (texture != nullptr) {
            SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_BLEND);
            textures.push_back(texture);
        }
        return texture;
    }
};

int Fail(const char* what) {
    std::fprintf(stderr, "%s: %s\n", what, SDL_GetError());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    ChildOptions options;
    // SDL2's renderer draws no lit mesh.
    if (!ParseChildOptions(argc, argv, {Scene::Fire, Scene::Water, Scene::Empty}, options)) return 2;
    SDL_SetHint(SDL_HINT_RENDER_DRIVER, "opengl");
    SDL_SetHint(SDL_HINT_RENDER_VSYNC, "0");
    // Linear filtering, as the image effect samples.
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
    SdlSession sdl;
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return Fail("SDL_Init");
    sdl.window = SDL_CreateWindow("SDL2 renderer scene", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, kWidth,
                                  kHeight, SDL_WINDOW_SHOWN);
    if (sdl.window == nullptr) return Fail("SDL_CreateWindow");
    sdl.renderer = SDL_CreateRenderer(sdl.window, -1, SDL_RENDERER_ACCELERATED);
    SDL_RendererInfo info {};
    if (sdl.renderer == nullptr || SDL_GetRendererInfo(sdl.renderer, &info) != 0) return Fail("SDL_CreateRenderer");
    if (SDL_strcmp(info.name, "opengl") != 0) {
        std::fprintf(stderr, "SDL2 chose the %s renderer, not opengl\n", info.name);
        return 1;
    }

    std::string error;
    std::vector<Picture> frames;
    FireSteps fire;
    WaterSteps water;
    if (!LoadCursorFrames(options.assetFolder, frames, &error) ||
        (options.scene == Scene::Water && !water.Load(options.assetFolder, &error))) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    std::vector<SDL_Texture*> cursor;
    for (const Picture& frame : frames) {
        SDL_Texture* texture = sdl.Texture(SDL_TEXTUREACCESS_STATIC, frame.width, frame.height);
        if (texture == nullptr || SDL_UpdateTexture(texture, nullptr, frame.texels.data(), frame.width * 4) != 0)
            return Fail("the cursor's texture");
        cursor.push_back(texture);
    }
    const int size = options.scene == Scene::Water ? water.Size() : fire.Size();
    SDL_Texture* image = sdl.Texture(SDL_TEXTUREACCESS_STREAMING, size, size);
    if (image == nullptr) return Fail("the scene's texture");

    const SDL_Rect whole {0, 0, kWidth, kHeight};
    const SDL_Rect cursorRect {static_cast<int>(kCursorX), static_cast<int>(kCursorY), kCursorFrameWidth,
                               kCursorFrameHeight};
    FrameClock clock(options);
    CursorAnimation animation;
    for (;;) {
        SDL_PumpEvents();
        SDL_SetRenderDrawColor(sdl.renderer, (kClearColour >> 16) & 0xFF, (kClearColour >> 8) & 0xFF,
                               kClearColour & 0xFF, 0xFF);
        SDL_RenderClear(sdl.renderer);
        if (options.scene != Scene::Empty) {
            void* bits = nullptr;
            int pitch = 0;
            if (SDL_LockTexture(image, nullptr, &bits, &pitch) != 0) return Fail("SDL_LockTexture");
            if (options.scene == Scene::Fire) {
                fire.Step(static_cast<std::uint8_t*>(bits), pitch);
            } else {
                water.Step(static_cast<std::uint8_t*>(bits), pitch);
            }
            SDL_UnlockTexture(image);
            SDL_RenderCopy(sdl.renderer, image, nullptr, &whole);
        }
        SDL_RenderCopy(sdl.renderer, cursor[static_cast<std::size_t>(animation.Advance(clock.FrameTime()))], nullptr,
                       &cursorRect);
        const bool more = clock.Presented();
        if (!more) {
            std::vector<std::uint32_t> pixels(static_cast<std::size_t>(kWidth) * kHeight);
            if (SDL_RenderReadPixels(sdl.renderer, nullptr, SDL_PIXELFORMAT_ARGB8888, pixels.data(), kWidth * 4) != 0)
                return Fail("SDL_RenderReadPixels");
            const std::string fault = CheckFrame(pixels, options.scene);
            if (!fault.empty()) {
                std::fprintf(stderr, "the last frame is wrong: %s\n", fault.c_str());
                return 1;
            }
        }
        SDL_RenderPresent(sdl.renderer);
        if (!more) return clock.Report();
    }
}

// The fire, water and empty scenes in raw OpenGL 4.5: the demo's simulation step into a 256 x 256
// texture uploaded every frame, drawn as an 800 x 600 blended quad, and the cursor on top.
//   compare_gl fire|water|empty <asset folder> <warm-up seconds> <seconds>
#include "GlScene.h"

#include <cstdio>
#include <memory>

using namespace SceneBench;

int main(int argc, char** argv) {
    ChildOptions options;
    if (!ParseChildOptions(argc, argv, {Scene::Fire, Scene::Water, Scene::Empty}, options)) return 2;
    std::string error;
    GlWindow window;
    QuadPass quads;
    CursorFrames cursor;
    FireSteps fire;
    WaterSteps water;
    if (!window.Open("raw OpenGL scene", &error) ||
        !quads.Create({{0.0f, 0.0f, 800.0f, 600.0f}, {kCursorX, kCursorY, kCursorFrameWidth, kCursorFrameHeight}},
                      &error) ||
        !cursor.Load(options.assetFolder, &error) ||
        (options.scene == Scene::Water && !water.Load(options.assetFolder, &error))) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    const int size = options.scene == Scene::Water ? water.Size() : fire.Size();
    const GLuint image = CreateTexture(size, size, nullptr);
    std::unique_ptr<std::uint8_t[]> texels(new std::uint8_t[static_cast<std::size_t>(size) * size * 4]);

    FrameClock clock(options);
    const int status = window.Run(clock, options.scene, [&] {
        quads.Begin();
        if (options.scene != Scene::Empty) {
            if (options.scene == Scene::Fire) {
                fire.Step(texels.get(), size * 4);
            } else {
                water.Step(texels.get(), size * 4);
            }
            glTextureSubImage2D(image, 0, 0, 0, size, size, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, texels.get());
            quads.Draw(0, image);
        }
        quads.Draw(1, cursor.Advance(clock.FrameTime()));
    });
    glDeleteTextures(1, &image);
    return status;
}

// What the comparison programs show, taken from the demo's own assets and its own simulation code,
// so that their CPU work per frame is the demo's.
#pragma once

#include "app/FireTexture.h"
#include "app/WaterTexture.h"

#include <cstdint>
#include <string>
#include <vector>

namespace SceneBench {

// A picture as 0xAARRGGBB texels (B, G, R, A in memory: a D3DFMT_A8R8G8B8 surface), rows from the top.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> texels;
};

// The file decoded (PNG, BMP); false with *error set when it cannot be read.
bool LoadPicture(const std::string& path, Picture& picture, std::string* error);
// The cursor strip of the asset folder (mushrum.png) cut into its frames.
bool LoadCursorFrames(const std::string& assetFolder, std::vector<Picture>& frames, std::string* error);

// The fire scene's step: the demo's simulation, written into 256 x 256 texels `pitch` bytes apart.
class FireSteps {
public:
    int Size() const { return fire_.size; }
    void Step(std::uint8_t* bits, int pitch);

private:
    FireTexture fire_;
};

// The water scene's step over the demo's picture (ziemia.bmp of the asset folder).
class WaterSteps {
public:
    WaterSteps();
    bool Load(const std::string& assetFolder, std::string* error);
    int Size() const { return water_.size; }
    void Step(std::uint8_t* bits, int pitch);

private:
    WaterTexture water_;
    Picture picture_;
};

}  // namespace SceneBench

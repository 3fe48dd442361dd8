#include "SceneContent.h"

#include "SceneRun.h"

#include <stb/stb_image.h>

namespace SceneBench {

bool LoadPicture(const std::string& path, Picture& picture, std::string* error) {
    int width = 0;
    int height = 0;
    int channels = 0;
    stbi_uc* rgba = stbi_load(path.c_str(), &width, &height, &channels, 4);
    if (rgba == nullptr) {
        // The decoder may be built without its failure texts.
        const char* reason = stbi_failure_reason();
        *error = path + ": " + (reason != nullptr ? reason : "cannot be read or decoded");
        return false;
    }
    picture.width = width;
    picture.height = height;
    picture.texels.resize(static_cast<std::size_t>(width) * height);
    for (std::size_t i = 0; i < picture.texels.size(); ++i) {
        const stbi_uc* p = rgba + 4 * i;
        picture.texels[i] = static_cast<std::uint32_t>(p[3]) << 24 | static_cast<std::uint32_t>(p[0]) << 16 |
                            static_cast<std::uint32_t>(p[1]) << 8 | p[2];
    }
    stbi_image_free(rgba);
    return true;
}

bool LoadCursorFrames(const std::string& assetFolder, std::vector<Picture>& frames, std::string* error) {
    Picture strip;
    if (!LoadPicture(assetFolder + "/mushrum.png", strip, error)) return false;
    if (strip.width != kCursorFrames * kCursorFrameWidth || strip.height != kCursorFrameHeight) {
        *error = "mushrum.png is not a strip of the cursor's frames";
        return false;
    }
    frames.assign(kCursorFrames, Picture {});
    for (int f = 0; f < kCursorFrames; ++f) {
        Picture& frame = frames[f];
        frame.width = kCursorFrameWidth;
        frame.height = kCursorFrameHeight;
        for (int y = 0; y < kCursorFrameHeight; ++y) {
            const std::uint32_t* row = strip.texels.data() + static_cast<std::size_t>(y) * strip.width;
            frame.texels.insert(frame.texels.end(), row + f * kCursorFrameWidth, row + (f + 1) * kCursorFrameWidth);
        }
    }
    return true;
}

void FireSteps::Step(std::uint8_t* bits, int pitch) {
    fire_.SpreadAndWritePixels(bits, pitch);
    fire_.Exchange();
}

WaterSteps::WaterSteps() : water_(L"ziemia.bmp") {}

bool WaterSteps::Load(const std::string& assetFolder, std::string* error) {
    return LoadPicture(assetFolder + "/ziemia.bmp", picture_, error);
}

void WaterSteps::Step(std::uint8_t* bits, int pitch) {
    water_.DropWhenDue();
    water_.SpreadAndRefract(reinterpret_cast<const std::uint8_t*>(picture_.texels.data()), picture_.width * 4,
                            picture_.width, picture_.height, bits, pitch);
    water_.Exchange();
}

}  // namespace SceneBench

// An image that cycles through frames cut from a horizontal strip of equally sized frames.
#pragma once

#include "renderer/Image.h"
#include "renderer/Timer.h"

#include <cstdint>
#include <string>
#include <vector>

namespace NVesk {
namespace NRenderer {

struct AnimationDesc {
    std::wstring fileName;  // the strip image
    float frameWidth;       // pixels
    float frameHeight;      // pixels
    std::int32_t frameCount;
    double frameDuration;  // seconds
};

class Animation : public Image {
public:
    explicit Animation(const AnimationDesc& desc);

    // Steps the frame by the timer's last frame time, then draws as an image does. An animation
    // without a slot neither steps nor draws (D3DERR_INVALIDCALL).
    HRESULT Draw() override;
    ~Animation() override;
    // Writes the quad, loads the strip and cuts it into one default-pool texture per frame.
    // 0; 3 strip not loaded; 4 a frame texture not created, or neither copied nor cleared; 5 frameCount
    // below 1. A frame whose copy failed is kept, transparent.
    std::int32_t Restore(std::int32_t slot) override;
    // Frees the frame textures; the slot becomes -1.
    void Release() override;

    // One frame step by `seconds`: keeps the remainder, drops a backlog longer than one frame, wraps
    // after the last frame and shows the new frame's texture (when the frames exist).
    void Advance(double seconds);

    std::vector<IDirect3DTexture9*> frames;
    float frameWidth;
    float frameHeight;
    std::int32_t frameCount;
    std::int32_t currentFrame;
    double elapsed;
    double frameDuration;

    // The frame timer; set at program start.
    static Timer* timer;

private:
    // Cuts the strip into frames; 0 or 4.
    std::int32_t CutFrames(IDirect3DSurface9* strip, std::int32_t width, std::int32_t height);
    // A frame whose copy failed made transparent black; false, logged, when it cannot be cleared.
    bool ClearFrame(IDirect3DTexture9* frame, HRESULT copied);
};

}  // namespace NRenderer
}  // namespace NVesk

// The water simulation: drops fall on a height field whose ripples spread and fade, and each output
// pixel is the source picture's pixel displaced by the refraction through the local slope.
#pragma once

#include "app/SimulationKernels.h"
#include "renderer/Scene.h"

#include <d3d9.h>

#include <cstdint>
#include <string>
#include <vector>

class WaterTexture {
public:
    explicit WaterTexture(const std::wstring& fileName);
    ~WaterTexture();
    WaterTexture(const WaterTexture&) = delete;
    WaterTexture& operator=(const WaterTexture&) = delete;

    // Creates the output texture (1 when refused) and loads the source picture (2 when refused).
    std::int32_t Restore();
    // One step rendered into `texture`; null when either texture is missing or a lock or unlock
    // fails, and then the height fields are not exchanged.
    IDirect3DTexture9* Update();

    // The step in parts, for callers that hold the pixels themselves.
    // Counts the update and, every twelfth one over the whole program, drops at a random place.
    void DropWhenDue();
    // Raises a cone of `strength` per pixel of distance around (cx, cy), clipped to the field.
    void AddDrop(std::int32_t cx, std::int32_t cy, std::int32_t radius, std::int32_t strength);
    // The new heights into `current` from the last two.
    void Spread();
    // Output pixels from the source picture (width x height pixels, read clamped to it).
    void Refract(const std::uint8_t* sourceBits, std::int32_t sourcePitch, std::int32_t sourceWidth,
                 std::int32_t sourceHeight, std::uint8_t* bits, std::int32_t pitch) const;
    // Spread() then Refract() in one pass: each row refracts as soon as the row below it has spread,
    // while both are still in the cache; the same heights and pixels.
    void SpreadAndRefract(const std::uint8_t* sourceBits, std::int32_t sourcePitch, std::int32_t sourceWidth,
                          std::int32_t sourceHeight, std::uint8_t* bits, std::int32_t pitch);
    // `current` becomes `previous`.
    void Exchange();
    // The pixel offset for a height difference; any difference maps into the table.
    std::uint8_t RefractionOffset(std::int64_t difference) const;

    // Updates since the last drop, shared by every water surface of the program.
    static std::uint32_t dropCounter;

    NVesk::NRenderer::SceneContextRecord* context;
    IDirect3DTexture9* texture;
    IDirect3DTexture9* source;
    std::wstring fileName;
    std::uint16_t size;
    // size x size heights, row 0 at the top; freed with the simulation alone.
    std::vector<std::int32_t> current;
    std::vector<std::int32_t> previous;
    // Entry i is the offset for the difference i - 256.
    std::uint8_t refraction[512];
    // The vector instructions the steps use: NVESK_SIMD's choice (SimulationLevel.h) unless set otherwise.
    SimulationKernels::Level kernels;
};

// The fire simulation: a grid of intensities that rises and cools, stirred at the bottom, drawn
// through a palette into a dynamic texture.
#pragma once

#include "app/SimulationKernels.h"
#include "renderer/Scene.h"

#include <d3d9.h>

#include <cstdint>
#include <vector>

class FireTexture {
public:
    FireTexture();
    ~FireTexture();
    FireTexture(const FireTexture&) = delete;
    FireTexture& operator=(const FireTexture&) = delete;

    // One step written into `texture`; null when there is no texture or its lock or unlock fails,
    // and then the grids are not exchanged.
    IDirect3DTexture9* Update();

    // The step in parts, for callers that hold the pixels themselves.
    // Computes `next` from `current`: spread one row up, then stir the bottom row with rand().
    void Spread();
    // The bottom row of `next` from that of `current`, by a random walk in pairs of equal cells.
    void Stir();
    // Writes `next` through the palette as D3DFMT_A8R8G8B8 pixels, rows `pitch` bytes apart.
    void WritePixels(std::uint8_t* bits, std::int32_t pitch) const;
    // Spread() then WritePixels() in one pass over the rows, each band of rows drawn while it is
    // still in the cache: the same grids, pixels and random numbers.
    void SpreadAndWritePixels(std::uint8_t* bits, std::int32_t pitch);
    // `next` becomes `current`.
    void Exchange();

    NVesk::NRenderer::SceneContextRecord* context;
    IDirect3DTexture9* texture;
    // Entry i in memory order blue, green, red, alpha (= i): the layout of a D3DFMT_A8R8G8B8 pixel.
    std::uint8_t palette[256][4];
    std::uint16_t size;
    std::int32_t cooling;
    // size x size intensities, row 0 at the top; freed with the simulation alone.
    std::vector<std::uint8_t> current;
    std::vector<std::uint8_t> next;
    // The vector instructions the steps use: NVESK_SIMD's choice (SimulationLevel.h) unless set otherwise.
    SimulationKernels::Level kernels;
};

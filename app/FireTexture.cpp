#include "app/FireTexture.h"

#include "app/SimulationKernels.h"
#include "app/SimulationLevel.h"
#include "app/SimulationReference.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace {

// The palette's channels as runs: `count` entries of `value`.
struct Run {
    int count;
    std::uint8_t value;
};

constexpr Run kRed[] = {{28, 0},  {7, 4},   {5, 8},   {4, 12},  {4, 16},  {3, 20},  {3, 24},   {2, 28},  {3, 32},
                        {2, 36},  {2, 40},  {2, 44},  {2, 48},  {2, 52},  {2, 56},  {2, 60},   {1, 64},  {2, 68},
                        {2, 72},  {1, 76},  {2, 80},  {1, 84},  {2, 88},  {2, 92},  {1, 96},   {2, 100}, {1, 104},
                        {2, 108}, {1, 112}, {1, 116}, {2, 120}, {1, 124}, {2, 128}, {1, 132},  {2, 136}, {1, 140},
                        {2, 144}, {1, 148}, {2, 152}, {1, 156}, {2, 160}, {2, 164}, {3, 172},  {2, 176}, {1, 180},
                        {2, 184}, {2, 188}, {2, 192}, {2, 196}, {2, 200}, {2, 204}, {3, 208},  {2, 212}, {2, 216},
                        {4, 220}, {3, 224}, {4, 228}, {4, 232}, {5, 236}, {7, 240}, {10, 244}, {81, 248}};

constexpr Run kGreen[] = {{44, 0},  {11, 4},  {9, 8},   {6, 12},  {6, 16},  {5, 20},  {4, 24},  {4, 28},  {4, 32},
                          {4, 36},  {3, 40},  {3, 44},  {3, 48},  {3, 52},  {3, 56},  {3, 60},  {3, 64},  {2, 68},
                          {3, 72},  {2, 76},  {3, 80},  {3, 84},  {2, 88},  {3, 92},  {2, 96},  {2, 100}, {3, 104},
                          {2, 108}, {2, 112}, {3, 116}, {2, 120}, {2, 124}, {3, 128}, {2, 132}, {2, 136}, {3, 140},
                          {2, 144}, {3, 148}, {2, 152}, {2, 156}, {2, 160}, {1, 163}, {2, 164}, {3, 168}, {3, 172},
                          {2, 176}, {3, 180}, {3, 184}, {3, 188}, {3, 192}, {2, 196}, {5, 200}, {3, 204}, {4, 208},
                          {4, 212}, {4, 216}, {5, 220}, {5, 224}, {6, 228}, {6, 232}, {8, 236}, {6, 240}};

constexpr Run kBlue[] = {{110, 0}, {29, 4},  {3, 8},   {1, 2},   {16, 8}, {17, 12}, {14, 16},
                         {12, 20}, {12, 24}, {10, 28}, {10, 32}, {9, 36}, {8, 40},  {5, 44}};

template <std::size_t N>
constexpr int Entries(const Run (&runs)[N]) {
    int total = 0;
    for (const Run& run : runs)
        total += run.count;
    return total;
}

static_assert(Entries(kRed) == 256 && Entries(kGreen) == 256 && Entries(kBlue) == 256, "one entry per intensity");

template <std::size_t N>
void FillChannel(std::uint8_t (&palette)[256][4], int channel, const Run (&runs)[N]) {
    int index = 0;
    for (const Run& run : runs) {
        for (int i = 0; i < run.count; ++i)
            palette[index++][channel] = run.value;
    }
}

}  // namespace

FireTexture::FireTexture()
    : context(&NVesk::NRenderer::SceneContext),
      texture(nullptr),
      size(256),
      cooling(1),
      current(static_cast<std::size_t>(size) * size, 0),
      next(static_cast<std::size_t>(size) * size, 0),
      kernels(SimulationKernels::ConfiguredLevel()) {
    FillChannel(palette, 0, kBlue);
    FillChannel(palette, 1, kGreen);
    FillChannel(palette, 2, kRed);
    for (int i = 0; i < 256; ++i)
        palette[i][3] = static_cast<std::uint8_t>(i);
}

// The texture belongs to the scene's invalidate / restore protocol, not to the simulation.
FireTexture::~FireTexture() = default;

namespace {

// The rows run a vector at a time when the grid is wide enough and the cooling fits a byte.
bool RowsRunWide(const FireTexture& fire) {
    return fire.size >= 18 && fire.cooling >= 0 && fire.cooling <= 255;
}

SimulationKernels::FireGrids Grids(FireTexture& fire) {
    return {fire.current.data(), fire.next.data(), fire.size, fire.cooling};
}

void PaletteColours(const FireTexture& fire, std::uint32_t (&colours)[256]) {
    std::memcpy(colours, fire.palette, sizeof colours);
}

}  // namespace

void FireTexture::Spread() {
    if (!RowsRunWide(*this)) {
        SimulationReference::FireSpread(*this);
        return;
    }
    // Row 0 of `next` is written for y = 0 and again for y = 1, where the second value stays: the
    // kernels start at 1.
    SimulationKernels::FireSpread(kernels, Grids(*this));
    Stir();
}

void FireTexture::Stir() {
    const int n = size;
    const int bottom = (n - 1) * n;
    for (int x = 0; x + 1 < n; x += 2) {
        int v = current[bottom + x] + std::rand() % 128 - 64;
        if (v < 0) v = 0;
        if (v > 255) v = 255;
        next[bottom + x] = static_cast<std::uint8_t>(v);
        next[bottom + x + 1] = static_cast<std::uint8_t>(v);
    }
}

void FireTexture::WritePixels(std::uint8_t* bits, std::int32_t pitch) const {
    std::uint32_t colours[256];
    PaletteColours(*this, colours);
    SimulationKernels::PalettePixels(kernels, colours, next.data(), size, size, bits, pitch);
}

void FireTexture::SpreadAndWritePixels(std::uint8_t* bits, std::int32_t pitch) {
    if (!RowsRunWide(*this)) {
        Spread();
        WritePixels(bits, pitch);
        return;
    }
    const int n = size;
    std::uint32_t colours[256];
    PaletteColours(*this, colours);
    SimulationKernels::FireSpreadAndPixels(kernels, Grids(*this), colours, bits, pitch);
    // The bottom row comes from the stir, the step's only use of the random numbers.
    Stir();
    SimulationKernels::PalettePixels(kernels, colours, next.data() + (n - 1) * n, n, 1,
                                     bits + static_cast<std::ptrdiff_t>(n - 1) * pitch, pitch);
}

void FireTexture::Exchange() {
    std::swap(current, next);
}

IDirect3DTexture9* FireTexture::Update() {
    // Without a texture there is nowhere to show a step: the fire waits for the next restore.
    if (texture == nullptr) return nullptr;
    D3DLOCKED_RECT locked;
    if (FAILED(texture->LockRect(0, &locked, nullptr, D3DLOCK_DISCARD))) {
        // The grid still steps (and draws its random numbers) with nowhere to show it.
        Spread();
        return nullptr;
    }
    SpreadAndWritePixels(static_cast<std::uint8_t*>(locked.pBits), locked.Pitch);
    if (FAILED(texture->UnlockRect(0))) return nullptr;
    Exchange();
    return texture;
}

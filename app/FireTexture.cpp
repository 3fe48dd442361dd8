#include "app/FireTexture.h"

#include "app/SimulationKernels.h"
#include "app/SimulationReference.h"

#include <cstdlib>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
      next(static_cast<std::size_t>(size) * size, 0) {
    FillChannel(palette, 0, kBlue);
    FillChannel(palette, 1, kGreen);
    FillChannel(palette, 2, kRed);
    for (int i = 0; i < 256; ++i)
        palette[i][3] = static_cast<std::uint8_t>(i);
}

// The texture belongs to the scene's invalidate / restore protocol, not to the simulation.
FireTexture::~FireTexture() = default;

namespace {

std::uint8_t FireCell(int above, int below, int left, int right, int cooling) {
    int v = (below + above + left + right) / 4 - cooling;
    if (v < 0) v = 0;
    return static_cast<std::uint8_t>(v);
}

// One row of `next` from the row it rises from and its neighbours above and below; columns wrap.
// The inner columns take no branches, so they run sixteen cells at a time.
void FireRow(const std::uint8_t* __restrict above, const std::uint8_t* __restrict row,
             const std::uint8_t* __restrict below, std::uint8_t* __restrict out, int n, int cooling) {
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i cool = _mm_set1_epi8(static_cast<char>(cooling));
    const auto block = [&](int x) {
        const auto load = [](const std::uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); };
        const __m128i a = load(above + x);
        const __m128i b = load(below + x);
        const __m128i l = load(row + x - 1);
        const __m128i r = load(row + x + 1);
        const __m128i low = _mm_add_epi16(_mm_add_epi16(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero)),
                                          _mm_add_epi16(_mm_unpacklo_epi8(l, zero), _mm_unpacklo_epi8(r, zero)));
        const __m128i high = _mm_add_epi16(_mm_add_epi16(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero)),
                                           _mm_add_epi16(_mm_unpackhi_epi8(l, zero), _mm_unpackhi_epi8(r, zero)));
        const __m128i average = _mm_packus_epi16(_mm_srli_epi16(low, 2), _mm_srli_epi16(high, 2));
        // Subtracting with saturation is the cooling clamped at zero.
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_subs_epu8(average, cool));
    };
    int x = 1;
    for (; x + 16 <= n - 1; x += 16)
        block(x);
    // The last block overlaps the one before: it writes the same values again.
    if (x < n - 1) block(n - 1 - 16);
#else
    for (int x = 1; x < n - 1; ++x)
        out[x] = FireCell(above[x], below[x], row[x - 1], row[x + 1], cooling);
#endif
    out[0] = FireCell(above[0], below[0], row[n - 1], row[1], cooling);
    out[n - 1] = FireCell(above[n - 1], below[n - 1], row[n - 2], row[0], cooling);
}

}  // namespace

void FireTexture::Spread() {
    const int n = size;
    // The rows run sixteen cells at a time when the grid is wide enough and the cooling fits a byte.
    if (n < 18 || cooling < 0 || cooling > 255) {
        SimulationReference::FireSpread(*this);
        return;
    }
    const std::uint8_t* grid = current.data();
    // Row 0 of `next` is written for y = 0 and again for y = 1, where the second value stays: start at 1.
    for (int y = 1; y < n; ++y) {
        const int down = y < n - 1 ? y + 1 : n - 1;
        FireRow(grid + (y - 1) * n, grid + y * n, grid + down * n, next.data() + (y - 1) * n, n, cooling);
    }
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
    std::memcpy(colours, palette, sizeof colours);
    SimulationKernels::PalettePixels(SimulationKernels::Best(), colours, next.data(), size, size, bits, pitch);
}

void FireTexture::Exchange() {
    std::swap(current, next);
}

IDirect3DTexture9* FireTexture::Update() {
    // Without a texture there is nowhere to show a step: the fire waits for the next restore.
    if (texture == nullptr) return nullptr;
    Spread();
    D3DLOCKED_RECT locked;
    if (FAILED(texture->LockRect(0, &locked, nullptr, D3DLOCK_DISCARD))) return nullptr;
    WritePixels(static_cast<std::uint8_t*>(locked.pBits), locked.Pitch);
    if (FAILED(texture->UnlockRect(0))) return nullptr;
    Exchange();
    return texture;
}

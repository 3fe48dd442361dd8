#include "app/SimulationKernels.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

// Not on Windows: MinGW's GCC does not realign the stack for 32- and 64-byte vectors spilled there
// (GCC bug 54412), and the Windows ABI promises only 16 bytes.
#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__) && !defined(_WIN32)
#define NVESK_X86_KERNELS 1
#include <immintrin.h>
#endif

namespace SimulationKernels {

namespace {

void PortablePaletteRow(const std::uint32_t (&colours)[256], const std::uint8_t* __restrict cells, int width,
                        std::uint8_t* __restrict row) {
    int x = 0;
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    // Eight cells read at once and two pixels stored at once: fewer loads and stores per pixel.
    for (; x + 8 <= width; x += 8) {
        std::uint64_t eight;
        std::memcpy(&eight, cells + x, 8);
        for (int i = 0; i < 8; i += 2) {
            const std::uint64_t pair = colours[(eight >> (8 * i)) & 0xFF] |
                                       static_cast<std::uint64_t>(colours[(eight >> (8 * i + 8)) & 0xFF]) << 32;
            std::memcpy(row + 4 * (x + i), &pair, 8);
        }
    }
#endif
    for (; x < width; ++x)
        std::memcpy(row + 4 * x, &colours[cells[x]], 4);
}

// What one output pixel reads: its byte offset into the source.
template <bool Clamped>
struct Sampler {
    const Refraction& r;

    // The offset signed like the difference there - here; the table index is the difference's low
    // nine bits plus 256, which is its remainder in 0..511 whatever the difference's size.
    int Offset(std::int32_t here, std::int32_t there) const {
        const int offset =
            r.table[(static_cast<std::uint32_t>(there) - static_cast<std::uint32_t>(here) + 256u) & 511u];
        return there < here ? -offset : offset;
    }

    std::ptrdiff_t At(int x, int y, std::int32_t here, std::int32_t right, std::int32_t down) const {
        const int sx = x + Offset(here, right);
        const int sy = y + Offset(here, down);
        const bool inside = static_cast<unsigned>(sx) < static_cast<unsigned>(r.n) &&
                            static_cast<unsigned>(sy) < static_cast<unsigned>(r.n);
        const int column = Clamped ? std::min(sx, r.lastColumn) : sx;
        const int line = Clamped ? std::min(sy, r.lastRow) : sy;
        return inside ? static_cast<std::ptrdiff_t>(line) * r.sourcePitch + 4 * column : 0;
    }
};

template <bool Clamped>
void RefractRows(const Refraction& r, std::uint8_t* bits, std::int32_t pitch) {
    const Sampler<Clamped> sampler {r};
    const int n = r.n;
    for (int y = 0; y < n; ++y) {
        const std::int32_t* __restrict row = r.heights + static_cast<std::ptrdiff_t>(y) * n;
        // The last row refracts with no difference downwards: it is its own row below.
        const std::int32_t* __restrict below = y < n - 1 ? row + n : row;
        std::uint8_t* __restrict out = bits + static_cast<std::ptrdiff_t>(y) * pitch;
        for (int x = 0; x < n - 1; ++x)
            std::memcpy(out + 4 * x, r.sourceBits + sampler.At(x, y, row[x], row[x + 1], below[x]), 4);
        // So does the last column sideways.
        std::memcpy(out + 4 * (n - 1), r.sourceBits + sampler.At(n - 1, y, row[n - 1], row[n - 1], below[n - 1]), 4);
    }
}

#if defined(NVESK_X86_KERNELS)

#define NVESK_AVX2 __attribute__((target("avx2"))) inline

NVESK_AVX2 void Avx2PaletteRows(const std::uint32_t (&colours)[256], const std::uint8_t* cells, int width, int height,
                                std::uint8_t* bits, std::int32_t pitch) {
    const int* table = reinterpret_cast<const int*>(colours);
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* line = cells + static_cast<std::ptrdiff_t>(y) * width;
        std::uint8_t* row = bits + static_cast<std::ptrdiff_t>(y) * pitch;
        int x = 0;
        for (; x + 8 <= width; x += 8) {
            const __m256i index = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(line + x)));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(row + 4 * x), _mm256_i32gather_epi32(table, index, 4));
        }
        PortablePaletteRow(colours, line + x, width - x, row + 4 * x);
    }
}

// GCC 12's own AVX-512 headers trip its uninitialised-value warning (their undefined vectors).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
// Each channel is a 256-byte table: two 128-entry permutes picked by the index's top bit look up
// 64 cells at once.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) void Avx512PaletteRows(const std::uint32_t (&colours)[256],
                                                                              const std::uint8_t* cells, int width,
                                                                              int height, std::uint8_t* bits,
                                                                              std::int32_t pitch) {
    alignas(64) std::uint8_t channels[4][256];
    for (int i = 0; i < 256; ++i) {
        std::uint8_t bytes[4];
        std::memcpy(bytes, &colours[i], 4);
        for (int c = 0; c < 4; ++c)
            channels[c][i] = bytes[c];
    }
    __m512i quarters[4][4];
    for (int c = 0; c < 4; ++c) {
        for (int q = 0; q < 4; ++q)
            quarters[c][q] = _mm512_load_si512(channels[c] + 64 * q);
    }
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* line = cells + static_cast<std::ptrdiff_t>(y) * width;
        std::uint8_t* row = bits + static_cast<std::ptrdiff_t>(y) * pitch;
        int x = 0;
        for (; x + 64 <= width; x += 64) {
            const __m512i index = _mm512_loadu_si512(line + x);
            const __mmask64 high = _mm512_movepi8_mask(index);
            __m512i channel[4];
            for (int c = 0; c < 4; ++c) {
                const __m512i low = _mm512_permutex2var_epi8(quarters[c][0], index, quarters[c][1]);
                const __m512i top = _mm512_permutex2var_epi8(quarters[c][2], index, quarters[c][3]);
                channel[c] = _mm512_mask_blend_epi8(high, low, top);
            }
            // Blue, green, red, alpha interleaved; each 128-bit lane holds four pixels of its own.
            const __m512i blueGreenLow = _mm512_unpacklo_epi8(channel[0], channel[1]);
            const __m512i blueGreenHigh = _mm512_unpackhi_epi8(channel[0], channel[1]);
            const __m512i redAlphaLow = _mm512_unpacklo_epi8(channel[2], channel[3]);
            const __m512i redAlphaHigh = _mm512_unpackhi_epi8(channel[2], channel[3]);
            const __m512i p0 = _mm512_unpacklo_epi16(blueGreenLow, redAlphaLow);
            const __m512i p1 = _mm512_unpackhi_epi16(blueGreenLow, redAlphaLow);
            const __m512i p2 = _mm512_unpacklo_epi16(blueGreenHigh, redAlphaHigh);
            const __m512i p3 = _mm512_unpackhi_epi16(blueGreenHigh, redAlphaHigh);
            // Lane L of p0..p3 holds pixels 16L.., 16L+4.., 16L+8.., 16L+12..: a 4 x 4 lane transpose.
            const __m512i t0 = _mm512_shuffle_i64x2(p0, p1, 0x44);
            const __m512i t1 = _mm512_shuffle_i64x2(p2, p3, 0x44);
            const __m512i t2 = _mm512_shuffle_i64x2(p0, p1, 0xEE);
            const __m512i t3 = _mm512_shuffle_i64x2(p2, p3, 0xEE);
            _mm512_storeu_si512(row + 4 * x, _mm512_shuffle_i64x2(t0, t1, 0x88));
            _mm512_storeu_si512(row + 4 * x + 64, _mm512_shuffle_i64x2(t0, t1, 0xDD));
            _mm512_storeu_si512(row + 4 * x + 128, _mm512_shuffle_i64x2(t2, t3, 0x88));
            _mm512_storeu_si512(row + 4 * x + 192, _mm512_shuffle_i64x2(t2, t3, 0xDD));
        }
        PortablePaletteRow(colours, line + x, width - x, row + 4 * x);
    }
}
#pragma GCC diagnostic pop

#endif

}  // namespace

bool Supported(Level level) {
#if defined(NVESK_X86_KERNELS)
    switch (level) {
    case Level::Portable:
        return true;
    case Level::Avx2:
        return __builtin_cpu_supports("avx2");
    case Level::Avx512Vbmi:
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
               __builtin_cpu_supports("avx512vbmi");
    }
    return false;
#else
    return level == Level::Portable;
#endif
}

Level Best() {
    static const Level best = Supported(Level::Avx512Vbmi) ? Level::Avx512Vbmi
                              : Supported(Level::Avx2)     ? Level::Avx2
                                                           : Level::Portable;
    return best;
}

void PalettePixels(Level level, const std::uint32_t (&colours)[256], const std::uint8_t* cells, int width, int height,
                   std::uint8_t* bits, std::int32_t pitch) {
#if defined(NVESK_X86_KERNELS)
    if (level == Level::Avx512Vbmi) return Avx512PaletteRows(colours, cells, width, height, bits, pitch);
    if (level == Level::Avx2) return Avx2PaletteRows(colours, cells, width, height, bits, pitch);
#endif
    static_cast<void>(level);
    for (int y = 0; y < height; ++y)
        PortablePaletteRow(colours, cells + static_cast<std::ptrdiff_t>(y) * width, width,
                           bits + static_cast<std::ptrdiff_t>(y) * pitch);
}

void Refract(const Refraction& refraction, std::uint8_t* bits, std::int32_t pitch) {
    if (refraction.n <= 0) return;
    // A source at least as large as the field needs no clamping.
    if (refraction.lastColumn == refraction.n - 1 && refraction.lastRow == refraction.n - 1)
        RefractRows<false>(refraction, bits, pitch);
    else
        RefractRows<true>(refraction, bits, pitch);
}

}  // namespace SimulationKernels

#include "app/SimulationKernels.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// Not on Windows: MinGW's GCC does not realign the stack for 32- and 64-byte vectors spilled there
// (GCC bug 54412), and the Windows ABI promises only 16 bytes.
#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__) && !defined(_WIN32)
#define NVESK_X86_KERNELS 1
#include <immintrin.h>
#endif

namespace SimulationKernels {

namespace {

std::uint8_t FireCell(int above, int below, int left, int right, int cooling) {
    int v = (below + above + left + right) / 4 - cooling;
    if (v < 0) v = 0;
    return static_cast<std::uint8_t>(v);
}

// Columns `from` .. n - 2 of a fire row (from >= 1), then the two columns that wrap. The inner
// columns take no branches, so they run sixteen cells at a time.
void PortableFireRow(const std::uint8_t* __restrict above, const std::uint8_t* __restrict row,
                     const std::uint8_t* __restrict below, std::uint8_t* __restrict out, int n, int cooling, int from) {
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
    int x = from;
    for (; x + 16 <= n - 1; x += 16)
        block(x);
    // The last block overlaps the one before: it writes the same values again.
    if (x < n - 1) block(n - 1 - 16);
#else
    for (int x = from; x < n - 1; ++x)
        out[x] = FireCell(above[x], below[x], row[x - 1], row[x + 1], cooling);
#endif
    out[0] = FireCell(above[0], below[0], row[n - 1], row[1], cooling);
    out[n - 1] = FireCell(above[n - 1], below[n - 1], row[n - 2], row[0], cooling);
}

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

// The damping divisor is the single-precision 1.05; the division itself is in double precision.
const double kDamping = static_cast<double>(1.05f);
// For every 32-bit v, v * kReciprocal truncates to the same integer as v / kDamping (checked for all
// 2^32 of them; the tests check the vector forms over wide ranges): the vector forms multiply, which
// costs a fraction of a division.
const double kReciprocal = 1.0 / kDamping;

std::int32_t WaterCell(std::int32_t above, std::int32_t below, std::int32_t left, std::int32_t right,
                       std::int32_t here) {
    const std::int32_t v = (below + above + right + left) / 2 - here;
    return static_cast<std::int32_t>(v / kDamping);
}

// Columns `from` .. n - 1 of a water row (from >= 1); the last column is its own right neighbour.
void PortableWaterRow(const std::int32_t* __restrict above, const std::int32_t* __restrict middle,
                      const std::int32_t* __restrict below, std::int32_t* __restrict row, int n, int from) {
    int x = from;
#if defined(__SSE2__)
    const __m128d reciprocal = _mm_set1_pd(kReciprocal);
    const auto load = [](const std::int32_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); };
    for (; x + 4 <= n - 1; x += 4) {
        const __m128i sum = _mm_add_epi32(_mm_add_epi32(load(below + x), load(above + x)),
                                          _mm_add_epi32(load(middle + x + 1), load(middle + x - 1)));
        // Halving truncated toward zero: negative sums round up before the arithmetic shift.
        const __m128i half = _mm_srai_epi32(_mm_add_epi32(sum, _mm_srli_epi32(sum, 31)), 1);
        const __m128i v = _mm_sub_epi32(half, load(row + x));
        // Every int32 is exact in a double; the conversion back truncates toward zero.
        const __m128i low = _mm_cvttpd_epi32(_mm_mul_pd(_mm_cvtepi32_pd(v), reciprocal));
        const __m128i high = _mm_cvttpd_epi32(_mm_mul_pd(_mm_cvtepi32_pd(_mm_unpackhi_epi64(v, v)), reciprocal));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row + x), _mm_unpacklo_epi64(low, high));
    }
#endif
    for (; x < n - 1; ++x)
        row[x] = WaterCell(above[x], below[x], middle[x - 1], middle[x + 1], row[x]);
    if (n > 1) row[n - 1] = WaterCell(above[n - 1], below[n - 1], middle[n - 2], middle[n - 1], row[n - 1]);
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

// Height rows y and the one below it (the last row is its own row below: no difference downwards).
const std::int32_t* HeightRow(const Refraction& r, int y) {
    return r.heights + static_cast<std::ptrdiff_t>(y) * r.n;
}
const std::int32_t* HeightRowBelow(const Refraction& r, int y) {
    return HeightRow(r, y < r.n - 1 ? y + 1 : y);
}

// Pixels `from` .. n - 1 of output row y; the last column is its own right neighbour.
template <bool Clamped>
void RefractRow(const Refraction& r, int y, int from, std::uint8_t* __restrict out) {
    const Sampler<Clamped> sampler {r};
    const int n = r.n;
    const std::int32_t* __restrict row = HeightRow(r, y);
    const std::int32_t* __restrict below = HeightRowBelow(r, y);
    for (int x = from; x < n - 1; ++x)
        std::memcpy(out + 4 * x, r.sourceBits + sampler.At(x, y, row[x], row[x + 1], below[x]), 4);
    std::memcpy(out + 4 * (n - 1), r.sourceBits + sampler.At(n - 1, y, row[n - 1], row[n - 1], below[n - 1]), 4);
}

void PortableRefractRows(const Refraction& r, int firstRow, int endRow, std::uint8_t* bits, std::int32_t pitch) {
    // A source at least as large as the field needs no clamping.
    const bool clamped = r.lastColumn != r.n - 1 || r.lastRow != r.n - 1;
    for (int y = firstRow; y < endRow; ++y) {
        std::uint8_t* out = bits + static_cast<std::ptrdiff_t>(y) * pitch;
        if (clamped)
            RefractRow<true>(r, y, 0, out);
        else
            RefractRow<false>(r, y, 0, out);
    }
}

#if defined(NVESK_X86_KERNELS)

#define NVESK_AVX2 __attribute__((target("avx2"))) inline
#define NVESK_AVX512 __attribute__((target("avx512f,avx512bw,avx512vbmi")))

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

// Eight cells at a time from column 1 on; returns the first column left to do.
NVESK_AVX2 int Avx2WaterColumns(const std::int32_t* __restrict above, const std::int32_t* __restrict middle,
                                const std::int32_t* __restrict below, std::int32_t* __restrict row, int n) {
    const __m256d reciprocal = _mm256_set1_pd(kReciprocal);
    int x = 1;
    for (; x + 8 <= n - 1; x += 8) {
        const __m256i* up = reinterpret_cast<const __m256i*>(above + x);
        const __m256i* down = reinterpret_cast<const __m256i*>(below + x);
        const __m256i* left = reinterpret_cast<const __m256i*>(middle + x - 1);
        const __m256i* right = reinterpret_cast<const __m256i*>(middle + x + 1);
        const __m256i sum = _mm256_add_epi32(_mm256_add_epi32(_mm256_loadu_si256(down), _mm256_loadu_si256(up)),
                                             _mm256_add_epi32(_mm256_loadu_si256(right), _mm256_loadu_si256(left)));
        const __m256i half = _mm256_srai_epi32(_mm256_add_epi32(sum, _mm256_srli_epi32(sum, 31)), 1);
        const __m256i v = _mm256_sub_epi32(half, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + x)));
        const __m128i low =
            _mm256_cvttpd_epi32(_mm256_mul_pd(_mm256_cvtepi32_pd(_mm256_castsi256_si128(v)), reciprocal));
        const __m128i high =
            _mm256_cvttpd_epi32(_mm256_mul_pd(_mm256_cvtepi32_pd(_mm256_extracti128_si256(v, 1)), reciprocal));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(row + x), _mm256_set_m128i(high, low));
    }
    return x;
}

// GCC 12's own AVX-512 headers trip its uninitialised-value warnings (their undefined vectors).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
// Lane L of the result c holds lane c of a[L]: four vectors' 128-bit lanes transposed.
NVESK_AVX512 void TransposeLanes(const __m512i (&a)[4], __m512i (&result)[4]) {
    const __m512i t0 = _mm512_shuffle_i64x2(a[0], a[1], 0x44);
    const __m512i t1 = _mm512_shuffle_i64x2(a[2], a[3], 0x44);
    const __m512i t2 = _mm512_shuffle_i64x2(a[0], a[1], 0xEE);
    const __m512i t3 = _mm512_shuffle_i64x2(a[2], a[3], 0xEE);
    result[0] = _mm512_shuffle_i64x2(t0, t1, 0x88);
    result[1] = _mm512_shuffle_i64x2(t0, t1, 0xDD);
    result[2] = _mm512_shuffle_i64x2(t2, t3, 0x88);
    result[3] = _mm512_shuffle_i64x2(t2, t3, 0xDD);
}

// Each channel is a 256-byte table: two 128-entry permutes picked by the index's top bit look up
// 64 cells at once.
NVESK_AVX512 void Avx512PaletteRows(const std::uint32_t (&colours)[256], const std::uint8_t* cells, int width,
                                    int height, std::uint8_t* bits, std::int32_t pitch) {
    // The channels split out of the colours in vectors (the steps call this for a few rows at a
    // time): byte 4k + c of sixteen colours goes to byte k of lane c, then the lanes transpose.
    alignas(64) std::uint8_t grouping[64];
    for (int i = 0; i < 64; ++i)
        grouping[i] = static_cast<std::uint8_t>(4 * (i % 16) + i / 16);
    const __m512i group = _mm512_load_si512(grouping);
    __m512i quarters[4][4];
    for (int q = 0; q < 4; ++q) {
        __m512i grouped[4];
        for (int i = 0; i < 4; ++i)
            grouped[i] = _mm512_permutexvar_epi8(group, _mm512_loadu_si512(colours + 64 * q + 16 * i));
        __m512i channels[4];
        TransposeLanes(grouped, channels);
        for (int c = 0; c < 4; ++c)
            quarters[c][q] = channels[c];
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
            const __m512i pixels[4] = {
                _mm512_unpacklo_epi16(blueGreenLow, redAlphaLow), _mm512_unpackhi_epi16(blueGreenLow, redAlphaLow),
                _mm512_unpacklo_epi16(blueGreenHigh, redAlphaHigh), _mm512_unpackhi_epi16(blueGreenHigh, redAlphaHigh)};
            // Lane L of pixels 0..3 holds pixels 16L.., 16L+4.., 16L+8.., 16L+12...
            __m512i ordered[4];
            TransposeLanes(pixels, ordered);
            for (int i = 0; i < 4; ++i)
                _mm512_storeu_si512(row + 4 * x + 64 * i, ordered[i]);
        }
        PortablePaletteRow(colours, line + x, width - x, row + 4 * x);
    }
}

// Cells x .. x + 63 of a fire row.
NVESK_AVX512 inline void Avx512FireBlock(const std::uint8_t* __restrict above, const std::uint8_t* __restrict row,
                                         const std::uint8_t* __restrict below, std::uint8_t* __restrict out, int x,
                                         __m512i cool) {
    const __m512i zero = _mm512_setzero_si512();
    const __m512i a = _mm512_loadu_si512(above + x);
    const __m512i b = _mm512_loadu_si512(below + x);
    const __m512i l = _mm512_loadu_si512(row + x - 1);
    const __m512i r = _mm512_loadu_si512(row + x + 1);
    // Unpacking and packing both work within 128-bit lanes, so the cells come back in order.
    const __m512i low =
        _mm512_add_epi16(_mm512_add_epi16(_mm512_unpacklo_epi8(a, zero), _mm512_unpacklo_epi8(b, zero)),
                         _mm512_add_epi16(_mm512_unpacklo_epi8(l, zero), _mm512_unpacklo_epi8(r, zero)));
    const __m512i high =
        _mm512_add_epi16(_mm512_add_epi16(_mm512_unpackhi_epi8(a, zero), _mm512_unpackhi_epi8(b, zero)),
                         _mm512_add_epi16(_mm512_unpackhi_epi8(l, zero), _mm512_unpackhi_epi8(r, zero)));
    const __m512i average = _mm512_packus_epi16(_mm512_srli_epi16(low, 2), _mm512_srli_epi16(high, 2));
    _mm512_storeu_si512(out + x, _mm512_subs_epu8(average, cool));
}

// The inner columns sixty-four cells at a time; returns the first column left to do.
NVESK_AVX512 int Avx512FireColumns(const std::uint8_t* __restrict above, const std::uint8_t* __restrict row,
                                   const std::uint8_t* __restrict below, std::uint8_t* __restrict out, int n,
                                   int cooling) {
    const __m512i cool = _mm512_set1_epi8(static_cast<char>(cooling));
    int x = 1;
    for (; x + 64 <= n - 1; x += 64)
        Avx512FireBlock(above, row, below, out, x, cool);
    // The last block overlaps the one before: it writes the same values again.
    if (x < n - 1 && n - 1 - 64 >= 1) {
        Avx512FireBlock(above, row, below, out, n - 1 - 64, cool);
        x = n - 1;
    }
    return x;
}

// The first `count` lanes.
NVESK_AVX512 inline __mmask16 FirstLanes(int count) {
    return static_cast<__mmask16>(count >= 16 ? 0xFFFF : (1u << count) - 1);
}

// Sixteen new heights (or the first `count`) from column x on; the older heights are read before
// the new ones are stored, so the row can be its own output.
NVESK_AVX512 inline void Avx512WaterBlock(const std::int32_t* above, const std::int32_t* middle,
                                          const std::int32_t* below, std::int32_t* row, int x, int count) {
    const __mmask16 lanes = FirstLanes(count);
    const __m512i sum = _mm512_add_epi32(
        _mm512_add_epi32(_mm512_maskz_loadu_epi32(lanes, below + x), _mm512_maskz_loadu_epi32(lanes, above + x)),
        _mm512_add_epi32(_mm512_maskz_loadu_epi32(lanes, middle + x + 1),
                         _mm512_maskz_loadu_epi32(lanes, middle + x - 1)));
    const __m512i half = _mm512_srai_epi32(_mm512_add_epi32(sum, _mm512_srli_epi32(sum, 31)), 1);
    const __m512i v = _mm512_sub_epi32(half, _mm512_maskz_loadu_epi32(lanes, row + x));
    const __m512d reciprocal = _mm512_set1_pd(kReciprocal);
    const __m256i low = _mm512_cvttpd_epi32(_mm512_mul_pd(_mm512_cvtepi32_pd(_mm512_castsi512_si256(v)), reciprocal));
    const __m256i high =
        _mm512_cvttpd_epi32(_mm512_mul_pd(_mm512_cvtepi32_pd(_mm512_extracti64x4_epi64(v, 1)), reciprocal));
    _mm512_mask_storeu_epi32(row + x, lanes, _mm512_inserti64x4(_mm512_castsi256_si512(low), high, 1));
}

// The inner columns sixteen cells at a time, the last few under a mask; returns n - 1.
NVESK_AVX512 int Avx512WaterColumns(const std::int32_t* above, const std::int32_t* middle, const std::int32_t* below,
                                    std::int32_t* row, int n) {
    for (int x = 1; x < n - 1; x += 16)
        Avx512WaterBlock(above, middle, below, row, x, n - 1 - x);
    return std::max(n - 1, 1);
}

// Whether every source offset the field can reach fits the 32-bit offsets of a gather.
bool GatherReaches(const Refraction& r) {
    const long long rows = static_cast<long long>(r.lastRow) * r.sourcePitch;
    const long long reach = 4LL * r.lastColumn;
    return rows >= INT32_MIN && rows + reach <= INT32_MAX;
}

// The refraction's constants in vectors.
struct Avx512Refraction {
    __m512i table[8];
    __m512i n;
    __m512i lastColumn;
    __m512i lastRow;
    __m512i sourcePitch;
    __m512i firstPixel;
    const std::uint8_t* sourceBits;
};

// Sixteen pixels (or the first `count`) of output row y from column x on. Both differences' table
// indices sit in one vector (x's in the low half of each lane, y's in the high half), so four
// 128-entry byte permutes and three blends look both offsets up from the 512-byte table; the pixels
// then come with one gather, the ones outside the field masked to the first source pixel.
NVESK_AVX512 inline void Avx512RefractBlock(const Avx512Refraction& k, const std::int32_t* row,
                                            const std::int32_t* below, int x, int y, int count, std::uint8_t* out) {
    const __mmask16 lanes = FirstLanes(count);
    const __m512i here = _mm512_maskz_loadu_epi32(lanes, row + x);
    const __m512i right = _mm512_maskz_loadu_epi32(lanes, row + x + 1);
    const __m512i down = _mm512_maskz_loadu_epi32(lanes, below + x);
    const __m512i bias = _mm512_set1_epi32(256);
    const __m512i nineBits = _mm512_set1_epi32(511);
    const __m512i across = _mm512_and_si512(_mm512_add_epi32(_mm512_sub_epi32(right, here), bias), nineBits);
    const __m512i upDown = _mm512_and_si512(_mm512_add_epi32(_mm512_sub_epi32(down, here), bias), nineBits);
    const __m512i index = _mm512_or_si512(across, _mm512_slli_epi32(upDown, 16));
    // Bytes 0 and 2 of a lane hold index bits 0..7; bit 7 picks within a 256-entry half, bit 8
    // (moved to bit 7 of the same byte) the half.
    const __mmask64 upperQuarter = _mm512_movepi8_mask(index);
    const __mmask64 upperHalf = _mm512_movepi8_mask(_mm512_srli_epi16(index, 1));
    const __m512i lowerHalf =
        _mm512_mask_blend_epi8(upperQuarter, _mm512_permutex2var_epi8(k.table[0], index, k.table[1]),
                               _mm512_permutex2var_epi8(k.table[2], index, k.table[3]));
    const __m512i higherHalf =
        _mm512_mask_blend_epi8(upperQuarter, _mm512_permutex2var_epi8(k.table[4], index, k.table[5]),
                               _mm512_permutex2var_epi8(k.table[6], index, k.table[7]));
    const __m512i offsets = _mm512_mask_blend_epi8(upperHalf, lowerHalf, higherHalf);
    const __m512i lowByte = _mm512_set1_epi32(0xFF);
    const __m512i dx = _mm512_and_si512(offsets, lowByte);
    const __m512i dy = _mm512_and_si512(_mm512_srli_epi32(offsets, 16), lowByte);
    const __m512i column =
        _mm512_add_epi32(_mm512_set1_epi32(x), _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15));
    const __m512i line = _mm512_set1_epi32(y);
    const __m512i sx =
        _mm512_mask_sub_epi32(_mm512_add_epi32(column, dx), _mm512_cmplt_epi32_mask(right, here), column, dx);
    const __m512i sy = _mm512_mask_sub_epi32(_mm512_add_epi32(line, dy), _mm512_cmplt_epi32_mask(down, here), line, dy);
    const __mmask16 inside = _mm512_cmplt_epu32_mask(sx, k.n) & _mm512_cmplt_epu32_mask(sy, k.n);
    const __m512i at = _mm512_add_epi32(_mm512_mullo_epi32(_mm512_min_epi32(sy, k.lastRow), k.sourcePitch),
                                        _mm512_slli_epi32(_mm512_min_epi32(sx, k.lastColumn), 2));
    const __m512i pixels = _mm512_mask_i32gather_epi32(k.firstPixel, inside & lanes, at, k.sourceBits, 1);
    _mm512_mask_storeu_epi32(out + 4 * x, lanes, pixels);
}

NVESK_AVX512 void Avx512RefractRows(const Refraction& r, int firstRow, int endRow, std::uint8_t* bits,
                                    std::int32_t pitch) {
    Avx512Refraction k;
    for (int i = 0; i < 8; ++i)
        k.table[i] = _mm512_loadu_si512(r.table + 64 * i);
    k.n = _mm512_set1_epi32(r.n);
    k.lastColumn = _mm512_set1_epi32(r.lastColumn);
    k.lastRow = _mm512_set1_epi32(r.lastRow);
    k.sourcePitch = _mm512_set1_epi32(r.sourcePitch);
    std::int32_t first;
    std::memcpy(&first, r.sourceBits, 4);
    k.firstPixel = _mm512_set1_epi32(first);
    k.sourceBits = r.sourceBits;
    for (int y = firstRow; y < endRow; ++y) {
        const std::int32_t* row = HeightRow(r, y);
        const std::int32_t* below = HeightRowBelow(r, y);
        std::uint8_t* out = bits + static_cast<std::ptrdiff_t>(y) * pitch;
        for (int x = 0; x < r.n - 1; x += 16)
            Avx512RefractBlock(k, row, below, x, y, r.n - 1 - x, out);
        // The last column, its own right neighbour.
        RefractRow<true>(r, y, r.n - 1, out);
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

void FireRow(Level level, const std::uint8_t* above, const std::uint8_t* row, const std::uint8_t* below,
             std::uint8_t* out, int n, int cooling) {
    int from = 1;
#if defined(NVESK_X86_KERNELS)
    if (level == Level::Avx512Vbmi) from = Avx512FireColumns(above, row, below, out, n, cooling);
#endif
    static_cast<void>(level);
    PortableFireRow(above, row, below, out, n, cooling, from);
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

void WaterRow(Level level, const std::int32_t* above, const std::int32_t* middle, const std::int32_t* below,
              std::int32_t* row, int n) {
    if (n <= 0) return;
    row[0] = WaterCell(above[0], below[0], middle[0], middle[n > 1 ? 1 : 0], row[0]);
    int from = 1;
#if defined(NVESK_X86_KERNELS)
    if (level == Level::Avx512Vbmi) from = Avx512WaterColumns(above, middle, below, row, n);
    if (level == Level::Avx2) from = Avx2WaterColumns(above, middle, below, row, n);
#endif
    static_cast<void>(level);
    PortableWaterRow(above, middle, below, row, n, from);
}

void Refract(Level level, const Refraction& refraction, int firstRow, int endRow, std::uint8_t* bits,
             std::int32_t pitch) {
    if (refraction.n <= 0) return;
#if defined(NVESK_X86_KERNELS)
    if (level == Level::Avx512Vbmi && GatherReaches(refraction))
        return Avx512RefractRows(refraction, firstRow, endRow, bits, pitch);
#endif
    static_cast<void>(level);
    PortableRefractRows(refraction, firstRow, endRow, bits, pitch);
}

}  // namespace SimulationKernels

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

// FireAverage: the vector rows take (a + b + c + d) / 4 of bytes without widening them. With
// u = avg(a, b) and v = avg(c, d), the rounded-up halves pavgb gives, the quotient is avg(u, v) less
// one where any of a ^ b, c ^ d, u ^ v is odd (checked for all 2^32 quadruples).
std::uint8_t FireCell(int above, int below, int left, int right, int cooling) {
    int v = (below + above + left + right) / 4 - cooling;
    if (v < 0) v = 0;
    return static_cast<std::uint8_t>(v);
}

// The scalar ends of the vector rows, compiled into each level's own loop: calls from the wide
// loops into the portable functions cost far more than the work they did (the AVX-512 water step
// went from 104 to 65 microseconds once its per-row last column was inlined).
#if defined(__GNUC__)
#define NVESK_INLINE __attribute__((always_inline)) inline
#else
#define NVESK_INLINE inline
#endif

// Asks for `lines` cache lines from `at` on, to be written. The widest palette form is bound by its
// stores, each waiting for its line; the next row's lines asked for while this row is drawn took a
// tenth off the fire step (the narrower forms, bound by their lookups, gained nothing).
NVESK_INLINE void PrefetchForWriting(const std::uint8_t* at, int lines) {
#if defined(__GNUC__)
    for (int i = 0; i < lines; ++i)
        __builtin_prefetch(at + 64 * i, 1, 3);
#else
    static_cast<void>(at);
    static_cast<void>(lines);
#endif
}

// Columns `from` .. n - 2 of a fire row cell by cell, then the two columns that wrap.
NVESK_INLINE void FireCellsFrom(const std::uint8_t* above, const std::uint8_t* row, const std::uint8_t* below,
                                std::uint8_t* out, int n, int cooling, int from) {
    for (int x = from; x < n - 1; ++x)
        out[x] = FireCell(above[x], below[x], row[x - 1], row[x + 1], cooling);
    out[0] = FireCell(above[0], below[0], row[n - 1], row[1], cooling);
    out[n - 1] = FireCell(above[n - 1], below[n - 1], row[n - 2], row[0], cooling);
}

// Cells `from` .. width - 1 of a palette row one by one.
NVESK_INLINE void PaletteCellsFrom(const std::uint32_t* colours, const std::uint8_t* cells, int width,
                                   std::uint8_t* row, int from) {
    for (int x = from; x < width; ++x)
        std::memcpy(row + 4 * x, &colours[cells[x]], 4);
}

// One fire row: the inner columns take no branches, so they run sixteen cells at a time; then the
// two columns that wrap.
void PortableFireRow(const std::uint8_t* __restrict above, const std::uint8_t* __restrict row,
                     const std::uint8_t* __restrict below, std::uint8_t* __restrict out, int n, int cooling) {
    int from = 1;
#if defined(__SSE2__)
    const __m128i one = _mm_set1_epi8(1);
    const __m128i cool = _mm_set1_epi8(static_cast<char>(cooling));
    const auto block = [&](int x) {
        const auto load = [](const std::uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); };
        const __m128i a = load(above + x);
        const __m128i b = load(below + x);
        const __m128i l = load(row + x - 1);
        const __m128i r = load(row + x + 1);
        // The four bytes' sum over four without widening them (FireAverage).
        const __m128i upDown = _mm_avg_epu8(a, b);
        const __m128i sides = _mm_avg_epu8(l, r);
        const __m128i odd =
            _mm_or_si128(_mm_or_si128(_mm_xor_si128(a, b), _mm_xor_si128(l, r)), _mm_xor_si128(upDown, sides));
        const __m128i average = _mm_sub_epi8(_mm_avg_epu8(upDown, sides), _mm_and_si128(odd, one));
        // Subtracting with saturation is the cooling clamped at zero.
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_subs_epu8(average, cool));
    };
    int x = from;
    for (; x + 16 <= n - 1; x += 16)
        block(x);
    // The last block overlaps the one before: it writes the same values again.
    if (x < n - 1) block(n - 1 - 16);
    from = n - 1;
#endif
    FireCellsFrom(above, row, below, out, n, cooling, from);
}

// Where row y - 1 of `next` comes from.
struct FireRowSources {
    const std::uint8_t* above;
    const std::uint8_t* row;
    const std::uint8_t* below;
    std::uint8_t* out;
};

FireRowSources SourcesOf(const FireGrids& g, int y) {
    const std::ptrdiff_t n = g.n;
    const int down = y < g.n - 1 ? y + 1 : g.n - 1;
    return {g.current + (y - 1) * n, g.current + y * n, g.current + down * n, g.next + (y - 1) * n};
}

void PortableSpreadRows(const FireGrids& g, int firstRow, int endRow) {
    for (int y = firstRow; y < endRow; ++y) {
        const FireRowSources s = SourcesOf(g, y);
        PortableFireRow(s.above, s.row, s.below, s.out, g.n, g.cooling);
    }
}

// Rows firstRow .. endRow - 1 spread by `Block`, `Width` cells from column x, over the inner
// columns, the last block overlapping the one before (it writes the same values again), then the
// rest cell by cell. Compiled into each wide level's own function, where the blocks inline.
template <int Width, void (*Block)(const FireRowSources& sources, int x, int cooling)>
NVESK_INLINE void WideSpreadRows(const FireGrids& g, int firstRow, int endRow) {
    const int n = g.n;
    for (int y = firstRow; y < endRow; ++y) {
        const FireRowSources s = SourcesOf(g, y);
        int x = 1;
        for (; x + Width <= n - 1; x += Width)
            Block(s, x, g.cooling);
        if (x < n - 1 && n - 1 - Width >= 1) {
            Block(s, n - 1 - Width, g.cooling);
            x = n - 1;
        }
        FireCellsFrom(s.above, s.row, s.below, s.out, n, g.cooling, x);
    }
}

// Rows of sixteen of a fire's cells and their pixels fit the first-level cache together: rows
// 1 .. n - 1 spread (rows 0 .. n - 2 of `next`) and drawn band by band.
constexpr int kFireBand = 16;
template <typename Spread, typename Pixels>
void FireBands(const FireGrids& g, const Spread& spread, const Pixels& pixels) {
    for (int top = 0; top < g.n - 1; top += kFireBand) {
        const int end = std::min(top + kFireBand, g.n - 1);
        spread(top + 1, end + 1);
        pixels(top, end);
    }
}

// Per pixel a load of the cell, a load of its colour and a quarter of a 16-byte store. The cells
// are read one by one: the compiler's own vector form moves them through vector registers first,
// which costs more than the loads. Sixteen equal cells (the cold top of a fire is all zero) are one
// colour stored four times.
void PortablePaletteRow(const std::uint32_t (&colours)[256], const std::uint8_t* __restrict cells, int width,
                        std::uint8_t* __restrict row) {
    int x = 0;
#if defined(__SSE2__)
    const auto colour = [&colours](const volatile std::uint8_t* cell) {
        return _mm_cvtsi32_si128(static_cast<int>(colours[*cell]));
    };
    const auto four = [&](int at) {
        const volatile std::uint8_t* cell = cells + at;
        const __m128i low = _mm_unpacklo_epi32(colour(cell), colour(cell + 1));
        const __m128i high = _mm_unpacklo_epi32(colour(cell + 2), colour(cell + 3));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row + 4 * at), _mm_unpacklo_epi64(low, high));
    };
    for (; x + 16 <= width; x += 16) {
        const __m128i sixteen = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cells + x));
        const __m128i first = _mm_set1_epi8(static_cast<char>(cells[x]));
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(sixteen, first)) == 0xFFFF) {
            const __m128i same = _mm_set1_epi32(static_cast<int>(colours[cells[x]]));
            for (int i = 0; i < 4; ++i)
                _mm_storeu_si128(reinterpret_cast<__m128i*>(row + 4 * x + 16 * i), same);
            continue;
        }
        for (int i = 0; i < 16; i += 4)
            four(x + i);
    }
#endif
    PaletteCellsFrom(colours, cells, width, row, x);
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
    // The multiply (see kReciprocal): a division at each row's two ends cost a tenth of the step.
    return static_cast<std::int32_t>(v * kReciprocal);
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
NVESK_INLINE void RefractRow(const Refraction& r, int y, int from, std::uint8_t* __restrict out) {
    const Sampler<Clamped> sampler {r};
    const int n = r.n;
    const std::int32_t* __restrict row = HeightRow(r, y);
    const std::int32_t* __restrict below = HeightRowBelow(r, y);
    for (int x = from; x < n - 1; ++x)
        std::memcpy(out + 4 * x, r.sourceBits + sampler.At(x, y, row[x], row[x + 1], below[x]), 4);
    std::memcpy(out + 4 * (n - 1), r.sourceBits + sampler.At(n - 1, y, row[n - 1], row[n - 1], below[n - 1]), 4);
}

// The pixels at `count` byte offsets into the source, one load each: on the processor at hand as
// fast as a 16-lane gather, and faster than an 8-lane one.
template <typename Offsets>
NVESK_INLINE void FetchPixelsAt(const std::uint8_t* source, const Offsets& offsets, int count, std::uint8_t* out) {
    alignas(64) std::int32_t at[sizeof(Offsets) / 4];
    std::memcpy(at, &offsets, sizeof at);
    for (int i = 0; i < count; ++i)
        std::memcpy(out + 4 * i, source + at[i], 4);
}

// Where none of a run's offsets moves it, the run is the source's row y from column x on (clamped to
// the last row): most of a rippling field is calm enough for that (three runs of eight pixels in four
// on the demo's water). Null where the run passes the source's last column.
NVESK_INLINE const std::uint8_t* CalmSource(const Refraction& r, int x, int y, int width) {
    if (x + width - 1 > r.lastColumn) return nullptr;
    return r.sourceBits + static_cast<std::ptrdiff_t>(std::min(y, r.lastRow)) * r.sourcePitch + 4 * x;
}

// The table indices around 256 (a difference of 0) whose offsets are 0: first .. last, or 512 alone
// (no index) where the table moves even a level field.
struct CalmIndices {
    int first;
    int last;
};

CalmIndices CalmIndicesOf(const std::uint8_t* table) {
    if (table[256] != 0) return {512, 512};
    int first = 256;
    while (first > 0 && table[first - 1] == 0)
        --first;
    int last = 256;
    while (last < 511 && table[last + 1] == 0)
        ++last;
    return {first, last};
}

// Pixels 0 .. n - 1 of output row y, four at a time where the four are calm.
template <bool Clamped>
void PortableRefractRow(const Refraction& r, const CalmIndices& calm, int y, std::uint8_t* __restrict out) {
    int x = 0;
#if defined(__SSE2__)
    const std::int32_t* row = HeightRow(r, y);
    const std::int32_t* below = HeightRowBelow(r, y);
    const Sampler<Clamped> sampler {r};
    const auto load = [](const std::int32_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); };
    const __m128i bias = _mm_set1_epi32(256);
    const __m128i nineBits = _mm_set1_epi32(511);
    const __m128i beforeFirst = _mm_set1_epi32(calm.first - 1);
    const __m128i afterLast = _mm_set1_epi32(calm.last + 1);
    const auto calmIn = [&](__m128i index) {
        return _mm_and_si128(_mm_cmpgt_epi32(index, beforeFirst), _mm_cmplt_epi32(index, afterLast));
    };
    for (; x + 4 <= r.n - 1; x += 4) {
        const __m128i here = load(row + x);
        const __m128i across = _mm_and_si128(_mm_add_epi32(_mm_sub_epi32(load(row + x + 1), here), bias), nineBits);
        const __m128i upDown = _mm_and_si128(_mm_add_epi32(_mm_sub_epi32(load(below + x), here), bias), nineBits);
        const std::uint8_t* source = CalmSource(r, x, y, 4);
        if (source != nullptr && _mm_movemask_epi8(_mm_and_si128(calmIn(across), calmIn(upDown))) == 0xFFFF) {
            std::memcpy(out + 4 * x, source, 16);
            continue;
        }
        for (int i = x; i < x + 4; ++i)
            std::memcpy(out + 4 * i, r.sourceBits + sampler.At(i, y, row[i], row[i + 1], below[i]), 4);
    }
#else
    static_cast<void>(calm);
#endif
    RefractRow<Clamped>(r, y, x, out);
}

void PortableRefractRows(const Refraction& r, int firstRow, int endRow, std::uint8_t* bits, std::int32_t pitch) {
    // A source at least as large as the field needs no clamping.
    const bool clamped = r.lastColumn != r.n - 1 || r.lastRow != r.n - 1;
    const CalmIndices calm = CalmIndicesOf(r.table);
    for (int y = firstRow; y < endRow; ++y) {
        std::uint8_t* out = bits + static_cast<std::ptrdiff_t>(y) * pitch;
        if (clamped)
            PortableRefractRow<true>(r, calm, y, out);
        else
            PortableRefractRow<false>(r, calm, y, out);
    }
}

#if defined(NVESK_X86_KERNELS)

#define NVESK_AVX2 __attribute__((target("avx2"))) inline
#define NVESK_AVX512 __attribute__((target("avx512f,avx512bw,avx512vbmi")))

NVESK_AVX2 __m256i Load256(const void* p) {
    return _mm256_loadu_si256(static_cast<const __m256i*>(p));
}

// Cells x .. x + 31 of a fire row (FireAverage).
NVESK_AVX2 void Avx2FireBlock(const FireRowSources& s, int x, int cooling) {
    __m256i a = Load256(s.above + x);
    __m256i b = Load256(s.below + x);
    __m256i l = Load256(s.row + x - 1);
    __m256i r = Load256(s.row + x + 1);
    // Each row read once (see Avx512FireBlock).
    asm("" : "+x"(a), "+x"(b), "+x"(l), "+x"(r));
    const __m256i upDown = _mm256_avg_epu8(a, b);
    const __m256i sides = _mm256_avg_epu8(l, r);
    const __m256i odd = _mm256_or_si256(_mm256_or_si256(_mm256_xor_si256(a, b), _mm256_xor_si256(l, r)),
                                        _mm256_xor_si256(upDown, sides));
    const __m256i average = _mm256_sub_epi8(_mm256_avg_epu8(upDown, sides), _mm256_and_si256(odd, _mm256_set1_epi8(1)));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(s.out + x),
                        _mm256_subs_epu8(average, _mm256_set1_epi8(static_cast<char>(cooling))));
}

NVESK_AVX2 void Avx2SpreadRows(const FireGrids& g, int firstRow, int endRow) {
    WideSpreadRows<32, Avx2FireBlock>(g, firstRow, endRow);
}

// Eight gathers for 32 cells, or one colour stored four times where the 32 are equal.
NVESK_AVX2 void Avx2PaletteRows(const std::uint32_t (&colours)[256], const std::uint8_t* cells, int width, int height,
                                std::uint8_t* bits, std::int32_t pitch) {
    const int* table = reinterpret_cast<const int*>(colours);
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* line = cells + static_cast<std::ptrdiff_t>(y) * width;
        std::uint8_t* row = bits + static_cast<std::ptrdiff_t>(y) * pitch;
        int x = 0;
        for (; x + 32 <= width; x += 32) {
            __m256i* out = reinterpret_cast<__m256i*>(row + 4 * x);
            const __m256i first = _mm256_set1_epi8(static_cast<char>(line[x]));
            if (_mm256_movemask_epi8(_mm256_cmpeq_epi8(Load256(line + x), first)) == -1) {
                const __m256i same = _mm256_set1_epi32(table[line[x]]);
                for (int i = 0; i < 4; ++i)
                    _mm256_storeu_si256(out + i, same);
                continue;
            }
            for (int i = 0; i < 4; ++i) {
                const __m128i eight = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(line + x + 8 * i));
                _mm256_storeu_si256(out + i, _mm256_i32gather_epi32(table, _mm256_cvtepu8_epi32(eight), 4));
            }
        }
        PaletteCellsFrom(colours, line, width, row, x);
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

// Whether every source offset the field can reach fits the 32-bit offsets of a gather.
bool GatherReaches(const Refraction& r) {
    const long long rows = static_cast<long long>(r.lastRow) * r.sourcePitch;
    const long long reach = 4LL * r.lastColumn;
    return rows >= INT32_MIN && rows + reach <= INT32_MAX;
}

// The table's entries for differences -16 .. 15 (indices 240 .. 271) in two byte-lookup vectors:
// ripples rarely differ more between neighbours, so most blocks look their offsets up in registers.
struct Avx2Window {
    __m256i low;
    __m256i high;
};

NVESK_AVX2 Avx2Window WindowOf(const std::uint8_t* table) {
    return {_mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(table + 240))),
            _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(table + 256)))};
}

// The calm indices (CalmIndices) in each 16-bit half: the first, and how many follow it.
struct Avx2Calm {
    __m256i first;
    __m256i span;
};

// The table index of each difference there - here: its low nine bits plus 256.
NVESK_AVX2 __m256i TableIndex(__m256i here, __m256i there) {
    return _mm256_and_si256(_mm256_add_epi32(_mm256_sub_epi32(there, here), _mm256_set1_epi32(256)),
                            _mm256_set1_epi32(511));
}

// Both offsets' magnitudes from the table's aligned words, shifted down to their byte (the gathers
// never read past the table).
NVESK_AVX2 __m256i Avx2GatheredMagnitude(const std::uint8_t* table, __m256i index) {
    const __m256i word = _mm256_i32gather_epi32(reinterpret_cast<const int*>(table),
                                                _mm256_andnot_si256(_mm256_set1_epi32(3), index), 1);
    const __m256i shift = _mm256_slli_epi32(_mm256_and_si256(index, _mm256_set1_epi32(3)), 3);
    return _mm256_and_si256(_mm256_srlv_epi32(word, shift), _mm256_set1_epi32(0xFF));
}

// Negated where there < here: (m ^ s) - s with s all ones.
NVESK_AVX2 __m256i Signed(__m256i magnitude, __m256i here, __m256i there) {
    const __m256i sign = _mm256_cmpgt_epi32(here, there);
    return _mm256_sub_epi32(_mm256_xor_si256(magnitude, sign), sign);
}

// Eight pixels of output row y from column x on. The offsets come from the window where all sixteen
// indices fall in it (x's in the low half of each lane, y's in the high half), gathered otherwise;
// the pixels are loaded one by one, the ones outside the field from the first source pixel. On the
// processor at hand the table gathers cost more than the rest of the block together.
NVESK_AVX2 void Avx2RefractBlock(const Refraction& r, const Avx2Window& window, const Avx2Calm& calm,
                                 const std::int32_t* row, const std::int32_t* below, int x, int y, std::uint8_t* out) {
    const __m256i here = Load256(row + x);
    const __m256i right = Load256(row + x + 1);
    const __m256i down = Load256(below + x);
    const __m256i across = TableIndex(here, right);
    const __m256i upDown = TableIndex(here, down);
    const __m256i indices = _mm256_or_si256(across, _mm256_slli_epi32(upDown, 16));
    const std::uint8_t* calmRun = CalmSource(r, x, y, 8);
    if (calmRun != nullptr) {
        const __m256i fromFirst = _mm256_sub_epi16(indices, calm.first);
        if (_mm256_movemask_epi8(_mm256_cmpeq_epi16(_mm256_max_epu16(fromFirst, calm.span), calm.span)) == -1) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 4 * x), Load256(calmRun));
            return;
        }
    }
    __m256i dx;
    __m256i dy;
    const __m256i inWindow = _mm256_sub_epi16(indices, _mm256_set1_epi16(240));
    if (_mm256_testz_si256(inWindow, _mm256_set1_epi16(static_cast<short>(0xFFE0)))) {
        // Bit 4 of each index, moved to bit 7 of its byte, picks the upper half of the window.
        const __m256i both =
            _mm256_blendv_epi8(_mm256_shuffle_epi8(window.low, inWindow), _mm256_shuffle_epi8(window.high, inWindow),
                               _mm256_slli_epi16(inWindow, 3));
        dx = _mm256_and_si256(both, _mm256_set1_epi32(0xFF));
        dy = _mm256_and_si256(_mm256_srli_epi32(both, 16), _mm256_set1_epi32(0xFF));
    } else {
        dx = Avx2GatheredMagnitude(r.table, across);
        dy = Avx2GatheredMagnitude(r.table, upDown);
    }
    const __m256i sx = _mm256_add_epi32(
        _mm256_add_epi32(_mm256_set1_epi32(x), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7)), Signed(dx, here, right));
    const __m256i sy = _mm256_add_epi32(_mm256_set1_epi32(y), Signed(dy, here, down));
    // Unsigned below n: no larger than n - 1 when both are read unsigned.
    const __m256i last = _mm256_set1_epi32(r.n - 1);
    const __m256i inside = _mm256_and_si256(_mm256_cmpeq_epi32(_mm256_min_epu32(sx, last), sx),
                                            _mm256_cmpeq_epi32(_mm256_min_epu32(sy, last), sy));
    const __m256i at = _mm256_add_epi32(
        _mm256_mullo_epi32(_mm256_min_epi32(sy, _mm256_set1_epi32(r.lastRow)), _mm256_set1_epi32(r.sourcePitch)),
        _mm256_slli_epi32(_mm256_min_epi32(sx, _mm256_set1_epi32(r.lastColumn)), 2));
    FetchPixelsAt(r.sourceBits, _mm256_and_si256(at, inside), 8, out + 4 * x);
}

NVESK_AVX2 void Avx2RefractRows(const Refraction& r, int firstRow, int endRow, std::uint8_t* bits, std::int32_t pitch) {
    const Avx2Window window = WindowOf(r.table);
    const CalmIndices calmIndices = CalmIndicesOf(r.table);
    const Avx2Calm calm {_mm256_set1_epi16(static_cast<short>(calmIndices.first)),
                         _mm256_set1_epi16(static_cast<short>(calmIndices.last - calmIndices.first))};
    for (int y = firstRow; y < endRow; ++y) {
        const std::int32_t* row = HeightRow(r, y);
        const std::int32_t* below = HeightRowBelow(r, y);
        std::uint8_t* out = bits + static_cast<std::ptrdiff_t>(y) * pitch;
        int x = 0;
        for (; x + 8 <= r.n - 1; x += 8)
            Avx2RefractBlock(r, window, calm, row, below, x, y, out);
        // The rest and the last column, its own right neighbour.
        RefractRow<true>(r, y, x, out);
    }
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

// The palette's channels as 256-byte tables, four vectors each, split out of the colours in vectors:
// byte 4k + c of sixteen colours goes to byte k of lane c, then the lanes transpose.
struct Avx512Palette {
    const std::uint32_t* colours;
    __m512i quarters[4][4];
    // Byte 4i + c: byte 16c + i, the pixel order of four channels' lanes side by side.
    __m512i pixelOrder;
    // Every colour's alpha is its own index (the fire's palette): the cells are the alpha channel.
    bool alphaIsIndex;
};

bool AlphaIsIndex(const std::uint32_t (&colours)[256]) {
    std::uint32_t differs = 0;
    for (std::uint32_t i = 0; i < 256; ++i)
        differs |= (colours[i] >> 24) ^ i;
    return differs == 0;
}

NVESK_AVX512 void PrepareAvx512Palette(const std::uint32_t (&colours)[256], Avx512Palette& palette) {
    alignas(64) std::uint8_t order[64];
    for (int i = 0; i < 64; ++i)
        order[i] = static_cast<std::uint8_t>(4 * (i % 16) + i / 16);
    const __m512i group = _mm512_load_si512(order);
    for (int q = 0; q < 4; ++q) {
        __m512i grouped[4];
        for (int i = 0; i < 4; ++i)
            grouped[i] = _mm512_permutexvar_epi8(group, _mm512_loadu_si512(colours + 64 * q + 16 * i));
        __m512i channels[4];
        TransposeLanes(grouped, channels);
        for (int c = 0; c < 4; ++c)
            palette.quarters[c][q] = channels[c];
    }
    for (int i = 0; i < 64; ++i)
        order[i] = static_cast<std::uint8_t>(16 * (i % 4) + i / 4);
    palette.pixelOrder = _mm512_load_si512(order);
    palette.colours = colours;
    palette.alphaIsIndex = AlphaIsIndex(colours);
}

// Each channel two 128-entry permutes picked by the index's top bit: 64 cells at once. 64 equal
// cells (the cold top of a fire) are one colour stored.
template <bool AlphaIsIndex>
NVESK_AVX512 void Avx512PaletteRowsOf(const Avx512Palette& palette, const std::uint8_t* cells, int width, int height,
                                      std::uint8_t* bits, std::int32_t pitch) {
    const auto& quarters = palette.quarters;
    constexpr int kLookedUp = AlphaIsIndex ? 3 : 4;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* line = cells + static_cast<std::ptrdiff_t>(y) * width;
        std::uint8_t* row = bits + static_cast<std::ptrdiff_t>(y) * pitch;
        int x = 0;
        for (; x + 64 <= width; x += 64) {
            const __m512i index = _mm512_loadu_si512(line + x);
            PrefetchForWriting(row + pitch + 4 * x, 4);
            if (_mm512_cmpneq_epi8_mask(index, _mm512_set1_epi8(static_cast<char>(line[x]))) == 0) {
                const __m512i same = _mm512_set1_epi32(static_cast<int>(palette.colours[line[x]]));
                for (int k = 0; k < 4; ++k)
                    _mm512_storeu_si512(row + 4 * x + 64 * k, same);
                continue;
            }
            const __mmask64 high = _mm512_movepi8_mask(index);
            __m512i channel[4];
            channel[3] = index;
            for (int c = 0; c < kLookedUp; ++c) {
                const __m512i low = _mm512_permutex2var_epi8(quarters[c][0], index, quarters[c][1]);
                const __m512i top = _mm512_permutex2var_epi8(quarters[c][2], index, quarters[c][3]);
                channel[c] = _mm512_mask_blend_epi8(high, low, top);
            }
            // Lane k of the four channels side by side, then each in pixel order: single-source
            // permutes cost half the two-source ones.
            __m512i lanes[4];
            TransposeLanes(channel, lanes);
            for (int k = 0; k < 4; ++k)
                _mm512_storeu_si512(row + 4 * x + 64 * k, _mm512_permutexvar_epi8(palette.pixelOrder, lanes[k]));
        }
        PaletteCellsFrom(palette.colours, line, width, row, x);
    }
}

NVESK_AVX512 void Avx512PaletteRows(const Avx512Palette& palette, const std::uint8_t* cells, int width, int height,
                                    std::uint8_t* bits, std::int32_t pitch) {
    if (palette.alphaIsIndex) return Avx512PaletteRowsOf<true>(palette, cells, width, height, bits, pitch);
    Avx512PaletteRowsOf<false>(palette, cells, width, height, bits, pitch);
}

// Cells x .. x + 63 of a fire row (FireAverage; the three parities in one logic instruction).
NVESK_AVX512 inline void Avx512FireBlock(const FireRowSources& s, int x, int cooling) {
    std::uint8_t* out = s.out;
    __m512i a = _mm512_loadu_si512(s.above + x);
    __m512i b = _mm512_loadu_si512(s.below + x);
    __m512i l = _mm512_loadu_si512(s.row + x - 1);
    __m512i r = _mm512_loadu_si512(s.row + x + 1);
    // Each row read once: the compiler would otherwise fold the loads into both their uses, and most
    // of these loads cross a cache line.
    asm("" : "+v"(a), "+v"(b), "+v"(l), "+v"(r));
    // Cold cells (the top of a fire) stay cold: four zero neighbours make a zero (0xFE: a | b | l).
    const __m512i any = _mm512_or_si512(_mm512_ternarylogic_epi32(a, b, l, 0xFE), r);
    if (_mm512_test_epi8_mask(any, any) == 0) {
        _mm512_storeu_si512(out + x, any);
        return;
    }
    const __m512i upDown = _mm512_avg_epu8(a, b);
    const __m512i sides = _mm512_avg_epu8(l, r);
    // 0xBE: (a ^ b) | c, with c = (l ^ r) | (upDown ^ sides) from 0xBE again.
    const __m512i odd =
        _mm512_ternarylogic_epi32(a, b, _mm512_ternarylogic_epi32(l, r, _mm512_xor_si512(upDown, sides), 0xBE), 0xBE);
    const __m512i average = _mm512_sub_epi8(_mm512_avg_epu8(upDown, sides), _mm512_and_si512(odd, _mm512_set1_epi8(1)));
    _mm512_storeu_si512(out + x, _mm512_subs_epu8(average, _mm512_set1_epi8(static_cast<char>(cooling))));
}

NVESK_AVX512 void Avx512SpreadRows(const FireGrids& g, int firstRow, int endRow) {
    WideSpreadRows<64, Avx512FireBlock>(g, firstRow, endRow);
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

// The refraction's constants in vectors.
struct Avx512Refraction {
    __m512i table[8];
    __m512i n;
    __m512i lastColumn;
    __m512i lastRow;
    __m512i sourcePitch;
    // CalmIndices in each 16-bit half.
    __m512i calmFirst;
    __m512i calmSpan;
    const std::uint8_t* sourceBits;
    const Refraction* field;
};

// Sixteen pixels (or the first `count`) of output row y from column x on. Both differences' table
// indices sit in one vector (x's in the low half of each lane, y's in the high half), so four
// 128-entry byte permutes and three blends look both offsets up from the 512-byte table; the pixels
// then come one by one, the ones outside the field from the first source pixel, or as one run where
// the block is calm.
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
    const std::uint8_t* calm = CalmSource(*k.field, x, y, std::min(count, 16));
    if (calm != nullptr && _mm512_cmple_epu16_mask(_mm512_sub_epi16(index, k.calmFirst), k.calmSpan) == 0xFFFFFFFFu) {
        _mm512_mask_storeu_epi32(out + 4 * x, lanes, _mm512_maskz_loadu_epi32(lanes, calm));
        return;
    }
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
    FetchPixelsAt(k.sourceBits, _mm512_maskz_mov_epi32(inside, at), std::min(count, 16), out + 4 * x);
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
    const CalmIndices calm = CalmIndicesOf(r.table);
    k.calmFirst = _mm512_set1_epi16(static_cast<short>(calm.first));
    k.calmSpan = _mm512_set1_epi16(static_cast<short>(calm.last - calm.first));
    k.sourceBits = r.sourceBits;
    k.field = &r;
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

void FireSpread(Level level, const FireGrids& grids) {
#if defined(NVESK_X86_KERNELS)
    if (level == Level::Avx512Vbmi) return Avx512SpreadRows(grids, 1, grids.n);
    if (level == Level::Avx2) return Avx2SpreadRows(grids, 1, grids.n);
#endif
    static_cast<void>(level);
    PortableSpreadRows(grids, 1, grids.n);
}

void FireSpreadAndPixels(Level level, const FireGrids& grids, const std::uint32_t (&colours)[256], std::uint8_t* bits,
                         std::int32_t pitch) {
    const int n = grids.n;
    const auto rowsOf = [&](int top) { return grids.next + static_cast<std::ptrdiff_t>(top) * n; };
    const auto pixelsOf = [&](int top) { return bits + static_cast<std::ptrdiff_t>(top) * pitch; };
#if defined(NVESK_X86_KERNELS)
    if (level == Level::Avx512Vbmi) {
        // The palette's tables made once for the whole step.
        Avx512Palette palette;
        PrepareAvx512Palette(colours, palette);
        return FireBands(
            grids, [&](int first, int end) { Avx512SpreadRows(grids, first, end); },
            [&](int top, int end) { Avx512PaletteRows(palette, rowsOf(top), n, end - top, pixelsOf(top), pitch); });
    }
    if (level == Level::Avx2) {
        return FireBands(
            grids, [&](int first, int end) { Avx2SpreadRows(grids, first, end); },
            [&](int top, int end) { Avx2PaletteRows(colours, rowsOf(top), n, end - top, pixelsOf(top), pitch); });
    }
#endif
    static_cast<void>(level);
    FireBands(
        grids, [&](int first, int end) { PortableSpreadRows(grids, first, end); },
        [&](int top, int end) {
            for (int y = top; y < end; ++y)
                PortablePaletteRow(colours, rowsOf(y), n, pixelsOf(y));
        });
}

void PalettePixels(Level level, const std::uint32_t (&colours)[256], const std::uint8_t* cells, int width, int height,
                   std::uint8_t* bits, std::int32_t pitch) {
#if defined(NVESK_X86_KERNELS)
    if (level == Level::Avx512Vbmi) {
        Avx512Palette palette;
        PrepareAvx512Palette(colours, palette);
        return Avx512PaletteRows(palette, cells, width, height, bits, pitch);
    }
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
    if (level == Level::Avx2 && GatherReaches(refraction))
        return Avx2RefractRows(refraction, firstRow, endRow, bits, pitch);
#endif
    static_cast<void>(level);
    PortableRefractRows(refraction, firstRow, endRow, bits, pitch);
}

}  // namespace SimulationKernels

// The innermost loops of the fire and water steps at a level of vector instructions picked at run
// time (SimulationLevel.h), every level giving the same bytes as the plain steps of
// SimulationReference.
#pragma once

#include <cstdint>

namespace SimulationKernels {

enum class Level { Portable, Avx2, Avx512Vbmi };

// Whether this processor (and its system) runs `level`; Portable always.
bool Supported(Level level);
// The widest supported level.
Level Best();

// The fire's two grids of n x n cells, row 0 at the top.
struct FireGrids {
    const std::uint8_t* current;
    std::uint8_t* next;
    int n;
    int cooling;
};

// Rows 0 .. n - 2 of `next`: row y - 1 from rows y - 1 .. y + 1 of `current` (the bottom row its
// own row below), each cell the average of its four neighbours in `current` less the cooling, not
// below zero; columns wrap. Needs n >= 18 and cooling in 0..255.
void FireSpread(Level level, const FireGrids& grids);
// FireSpread, each band of rows drawn through the palette (as PalettePixels) while it is still in
// the first-level cache: rows 0 .. n - 2 of the image at `bits`.
void FireSpreadAndPixels(Level level, const FireGrids& grids, const std::uint32_t (&colours)[256], std::uint8_t* bits,
                         std::int32_t pitch);

// Cells through a palette of 0xAARRGGBB-in-memory-order colours into rows `pitch` bytes apart.
void PalettePixels(Level level, const std::uint32_t (&colours)[256], const std::uint8_t* cells, int width, int height,
                   std::uint8_t* bits, std::int32_t pitch);

// One row of new water heights into `row`, which holds the older heights there: half the sum of the
// four neighbours of `middle` (clamped to the row's ends) less the older height, divided by the
// single-precision 1.05 in double precision and truncated.
void WaterRow(Level level, const std::int32_t* above, const std::int32_t* middle, const std::int32_t* below,
              std::int32_t* row, int n);

// The water's refraction of an n x n height field: each pixel the source pixel displaced by the
// table's offsets for the differences to the right and below (signed like them), or the first
// source pixel when the displaced one leaves the field; the source read clamped to lastColumn and
// lastRow. `table` entry i is the offset for the difference i - 256, any difference taken mod 512.
struct Refraction {
    const std::uint8_t* table;
    const std::int32_t* heights;
    int n;
    int lastColumn;
    int lastRow;
    const std::uint8_t* sourceBits;
    std::int32_t sourcePitch;
};
// Output rows firstRow .. endRow - 1 of the image at `bits` (row 0 there). The AVX-512 form looks
// the offsets up with byte permutes and gathers 16 pixels at once; the AVX2 form gathers the offsets
// and 8 pixels at once (a third of the scalar loop's time on the processor at hand); the portable
// one goes pixel by pixel.
void Refract(Level level, const Refraction& refraction, int firstRow, int endRow, std::uint8_t* bits,
             std::int32_t pitch);

}  // namespace SimulationKernels

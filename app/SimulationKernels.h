// The innermost loops of the fire and water steps; the palette lookup in the widest form the
// processor runs, picked at run time, every form giving the same bytes as the portable one.
#pragma once

#include <cstdint>

namespace SimulationKernels {

enum class Level { Portable, Avx2, Avx512Vbmi };

// Whether this processor (and its system) runs `level`; Portable always.
bool Supported(Level level);
// The widest supported level.
Level Best();

// Cells through a palette of 0xAARRGGBB-in-memory-order colours into rows `pitch` bytes apart.
void PalettePixels(Level level, const std::uint32_t (&colours)[256], const std::uint8_t* cells, int width, int height,
                   std::uint8_t* bits, std::int32_t pitch);

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
// Pixel by pixel: gathering the pixels eight at a time (AVX2) measured slower on the processors
// at hand than the scalar loads.
void Refract(const Refraction& refraction, std::uint8_t* bits, std::int32_t pitch);

}  // namespace SimulationKernels

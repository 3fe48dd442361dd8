// The fire and water steps written plainly, cell by cell: the arithmetic the fast steps of
// FireTexture and WaterTexture must reproduce byte for byte.
#pragma once

#include "app/FireTexture.h"
#include "app/WaterTexture.h"

#include <cstdint>

namespace SimulationReference {

// FireTexture::Spread: the spread one row up, then the stir of the bottom row.
void FireSpread(FireTexture& fire);
// FireTexture::WritePixels.
void FireWritePixels(const FireTexture& fire, std::uint8_t* bits, std::int32_t pitch);
// WaterTexture::Spread.
void WaterSpread(WaterTexture& water);
// WaterTexture::Refract.
void WaterRefract(const WaterTexture& water, const std::uint8_t* sourceBits, std::int32_t sourcePitch,
                  std::int32_t sourceWidth, std::int32_t sourceHeight, std::uint8_t* bits, std::int32_t pitch);

}  // namespace SimulationReference
